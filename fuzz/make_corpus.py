#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/:
xfile: small .x files in text, binary (32- and 64-bit floats) and MSZIP-compressed form that
  reach every part of the reader and the mesh builder: templates, frames, references, normals,
  colours, uvs, materials, skins;
  and, for what may follow the last object and for lists against their counts, a model with a
  stray '}' (or several, or NUL bytes) after it or before another object, and with each of its
  arrays listed one element longer or shorter than its count, or counted otherwise than its mesh;
dds: DXT1/3/5 and masked formats, with and without mip levels;
image: one byte of options (see image_fuzz.cpp) and a small PNG, BMP, TGA, PPM or DDS file;
path: CP932 names, relative to the tree path_fuzz.cpp makes;
controller: byte programs for controller_fuzz.cpp (sets of keys, then track steps).
(The hierarchy target reads the xfile seeds.)"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "xfile")

TEXT_MODEL = b"""
template Custom { <26e6b1c3-3d4d-4a1d-a437-b33668ffa1c2> DWORD a; array FLOAT b[a]; [...] }
Header { 1; 0; 1; }
Custom c { 2; 1.5; -2e-3; }
Material red { 1.0;0.0;0.0;1.0;; 8.0; 0.5;0.5;0.5;; 0.0;0.0;0.0;;
 TextureFilename { "tex\\\\red.png"; } }
Frame root {
 FrameTransformMatrix { 0,0,-1,0, 0,1,0,0, 1,0,0,0, 1,2,3,1;; }
 Frame child { <01234567-89ab-cdef-0123-456789abcdef>
  FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 0,0,0,1;; }
  Mesh quad {
   5; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 0.5;0.5;1;;
   3; 4;0,1,2,3;, 3;0,1,4;, 3;2,3,4;;
   MeshNormals { 3; 0;0;1;, 0;-1;0.5;, 0;1;0.5;; 3; 4;0,0,0,0;, 3;1,1,1;, 3;2,2,2;; }
   MeshTextureCoords { 5; 0;0;, 1;0;, 1;1;, 0;1;, 0.5;0.5;; }
   MeshVertexColors { 2; 0;1;0;0;1;;, 4;0;0;1;0.1;;; }
   MeshMaterialList { 2; 2; 1, 0;; { red } Material { 0;1;0;1;; 2; 0;0;0;; 0;0;0;; } }
  }
 }
 { quad }
}
AnimationSet { Animation { { root } AnimationKey { 2; 1; 0; 3; 0,0,0;;; } } }
"""

CUBE = b"""
Mesh cube { 8; 0;0;0;, 0;1;0;, 1;0;0;, 1;1;0;, 1;0;1;, 0;0;1;, 0;1;1;, 1;1;1;;
 6; 4;0,1,3,2;, 4;1,3,7,6;, 4;2,0,5,4;, 4;4,5,6,7;, 4;0,5,6,1;, 4;2,3,7,4;;
 MeshNormals { 6; 0;0;-1;, 0;1;0;, 0;-1;0;, 0;0;1;, -1;0;0;, 1;0;0;;
  6; 4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;; } }
"""

SKINNED_CUBE = CUBE.rstrip().rstrip(b"}") + b"""
 MeshTextureCoords { 8; 0;0;, 0;1;, 1;0;, 1;1;, 1;0;, 0;0;, 0;1;, 1;1;; }
 XSkinMeshHeader { 2; 6; 2; }
 SkinWeights { "hip"; 5; 0, 1, 2, 3, 4; 1.0, 0.5, 1.0, 0.25, 0.75;
  1,0,0,0, 0,1,0,0, 0,0,1,0, 0,-1,0,1;; }
 SkinWeights { "spine"; 5; 1, 3, 5, 6, 7; 0.5, 0.75, 1, 1, 1;
  0,1,0,0, -1,0,0,0, 0,0,1,0, 0,-2,0,1;; }
}
Frame hip { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,1,0,1;; }
 Frame spine { FrameTransformMatrix { 0,-1,0,0, 1,0,0,0, 0,0,1,0, 0,1,0,1;; } } }
"""


def binary_skinned_triangle(doubles):
    b = Binary(doubles)
    b.name(b"Mesh").open().ints([3]).floats([0, 0, 0, 1, 0, 0, 0, 1, 0]).ints([1, 3, 0, 1, 2])
    b.name(b"XSkinMeshHeader").open().ints([1, 1, 1]).close()
    b.name(b"SkinWeights").open().string(b"bone").ints([2, 0, 2])
    b.floats([0.5, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 2, 1]).close()
    b.close()
    return bytes(b.out)


class Binary:
    """The binary token stream, little-endian."""

    def __init__(self, doubles=False):
        self.out = bytearray()
        self.doubles = doubles

    def tok(self, t):
        self.out += struct.pack("<H", t)
        return self

    def name(self, s):
        self.out += struct.pack("<HI", 1, len(s)) + s
        return self

    def string(self, s):
        self.out += struct.pack("<HI", 2, len(s)) + s + struct.pack("<H", 20)
        return self

    def ints(self, v):
        self.out += struct.pack("<HI", 6, len(v)) + struct.pack("<%dI" % len(v), *v)
        return self

    def floats(self, v):
        fmt = "d" if self.doubles else "f"
        self.out += struct.pack("<HI", 7, len(v)) + struct.pack("<%d%s" % (len(v), fmt), *v)
        return self

    def open(self):
        return self.tok(10)

    def close(self):
        return self.tok(11)


def binary_model(doubles):
    b = Binary(doubles)
    b.tok(31).name(b"Custom").open()
    b.out += struct.pack("<HIHH8B", 5, 0x26E6B1C3, 0x3D4D, 0x4A1D, 0xA4, 0x37, 0xB3, 0x36, 0x68, 0xFF, 0xA1, 0xC2)
    b.tok(41).name(b"a").tok(20).tok(14).tok(18).tok(18).tok(18).tok(15).close()
    b.name(b"Material").name(b"red").open().floats([1, 0, 0, 1, 8, 0.5, 0.5, 0.5, 0, 0, 0])
    b.name(b"TextureFilename").open().string(b"red.png").close().close()
    b.name(b"Frame").name(b"root").open()
    b.name(b"FrameTransformMatrix").open().floats([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 2, 1]).close()
    b.name(b"Mesh").open().ints([4]).floats([0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0])
    b.ints([2, 3, 0, 1, 2, 3, 0, 2, 3])
    b.name(b"MeshNormals").open().ints([1]).floats([0, 0, 1]).ints([2, 3, 0, 0, 0, 3, 0, 0, 0]).close()
    b.name(b"MeshTextureCoords").open().ints([4]).floats([0, 0, 1, 0, 1, 1, 0, 1]).close()
    b.name(b"MeshVertexColors").open().ints([1, 2]).floats([0, 1, 0, 1]).close()
    b.name(b"MeshMaterialList").open().ints([1, 1, 0]).open().name(b"red").close().close()
    b.close().close()
    return bytes(b.out)


# A framed mesh with normals, uvs, colours and two materials; each array may be listed one element
# more (+1) or fewer (-1) than its count says, and the counts may be taken from another model.
COUNTED = {
    "vertices": [[0.5, 0.25, 0.75], [1.5, 0.25, 0.75], [1.5, 1.25, 0.75], [0.5, 1.25, 1.75]],
    "faces": [[0, 1, 2], [0, 2, 3]],
    "normals": [[0.6, 0.8, 0], [0.8, 0, 0.6]],
    "normal_faces": [[0, 0, 0], [1, 1, 1]],
    "uvs": [[0.25, 0.5], [0.75, 0.5], [0.75, 0.125], [0.25, 1]],
    "colors": [[0, 1, 0, 0, 1], [3, 0, 0, 1, 0.5]],
    "material_indices": [1, 0],
}
EXTRA = {"vertices": [2.5, 0.25, 0.75], "faces": [1, 2, 3], "normals": [0.6, 0, 0.8],
         "normal_faces": [1, 1, 1], "uvs": [0.75, 0.375], "colors": [1, 0.5, 0.5, 0.5, 1],
         "material_indices": 1}
ARRAYS = ["vertices", "faces", "last_face", "normals", "normal_faces", "last_normal_face", "uvs",
          "colors", "material_indices"]


def listed(counted, array, delta):
    lists = {k: [list(x) if isinstance(x, list) else x for x in v] for k, v in counted.items()}
    target = {"last_face": "faces", "last_normal_face": "normal_faces"}.get(array)
    if target:
        lists[target][-1] = lists[target][-1] + [1] if delta > 0 else lists[target][-1][:-1]
    elif delta > 0:
        lists[array].append(EXTRA[array])
    elif delta < 0:
        lists[array].pop()
    return lists


def num(v):
    return b"%g" % v


def floats(v):
    return b"".join(num(x) + b";" for x in v)


def elements(items):
    return b",\n".join(items) + b";\n"


def face_text(face, n):
    return b"%d;" % n + b",".join(b"%d" % i for i in face) + b";"


def faces_text(faces, counted_faces):
    return elements([face_text(f, len(counted_faces[i]) if i < len(counted_faces) else len(f))
                     for i, f in enumerate(faces)])


def miscounted_text(array=None, delta=0, counted=COUNTED):
    c, l = counted, listed(counted, array, delta)
    red = b"1;0;0;1;; 8; 0.5;0.5;0.5;; 0;0;0;;"
    return (b"xof 0303txt 0032\nFrame root {\n FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, "
            b"0.5,2,-1,1;; }\n Mesh quad {\n%d;\n" % len(c["vertices"]) +
            elements([floats(v) for v in l["vertices"]]) + b"%d;\n" % len(c["faces"]) +
            faces_text(l["faces"], c["faces"]) +
            b"  MeshNormals {\n%d;\n" % len(c["normals"]) +
            elements([floats(v) for v in l["normals"]]) + b"%d;\n" % len(c["normal_faces"]) +
            faces_text(l["normal_faces"], c["normal_faces"]) + b"  }\n"
            b"  MeshTextureCoords {\n%d;\n" % len(c["uvs"]) +
            elements([floats(v) for v in l["uvs"]]) + b"  }\n"
            b"  MeshVertexColors {\n%d;\n" % len(c["colors"]) +
            elements([b"%d;" % v[0] + floats(v[1:]) + b";" for v in l["colors"]]) + b"  }\n"
            b"  MeshMaterialList {\n2;\n%d;\n" % len(c["material_indices"]) +
            b",".join(b"%d" % i for i in l["material_indices"]) + b";;\n"
            b"   Material { " + red + b" TextureFilename { \"red.png\"; } }\n"
            b"   Material { 0;1;0;1;; 2; 0;0;0;; 0;0;0;; }\n  }\n }\n}\n")


def miscounted_binary(array=None, delta=0, counted=COUNTED):
    c, l = counted, listed(counted, array, delta)

    def face_list(faces, counted_faces):
        out = [len(counted_faces)]
        for i, f in enumerate(faces):
            out += [len(counted_faces[i]) if i < len(counted_faces) else len(f)] + f
        return out

    b = Binary()
    b.name(b"Frame").name(b"root").open()
    b.name(b"FrameTransformMatrix").open().floats([1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5, 2, -1, 1])
    b.close()
    b.name(b"Mesh").name(b"quad").open().ints([len(c["vertices"])])
    b.floats([x for v in l["vertices"] for x in v]).ints(face_list(l["faces"], c["faces"]))
    b.name(b"MeshNormals").open().ints([len(c["normals"])])
    b.floats([x for v in l["normals"] for x in v])
    b.ints(face_list(l["normal_faces"], c["normal_faces"])).close()
    b.name(b"MeshTextureCoords").open().ints([len(c["uvs"])])
    b.floats([x for v in l["uvs"] for x in v]).close()
    b.name(b"MeshVertexColors").open().ints([len(c["colors"])])
    for v in l["colors"]:
        b.ints([v[0]]).floats(v[1:])
    b.close()
    b.name(b"MeshMaterialList").open().ints([2, len(c["material_indices"])] + l["material_indices"])
    b.name(b"Material").open().floats([1, 0, 0, 1, 8, 0.5, 0.5, 0.5, 0, 0, 0])
    b.name(b"TextureFilename").open().string(b"red.png").close().close()
    b.name(b"Material").open().floats([0, 1, 0, 1, 2, 0, 0, 0, 0, 0, 0]).close()
    b.close().close().close()
    return b"xof 0303bin 0032" + bytes(b.out)


def end_and_count_seeds():
    """A stray '}' after the last object (read as if absent), before more data (refused), and
    NUL bytes after the data; each array one element longer or shorter than its count; counts
    that disagree with the mesh."""
    text, binary = miscounted_text(), miscounted_binary()
    close, zeros = struct.pack("<H", 11), b"\0" * 6
    frame = Binary().name(b"Frame").open().close().out
    files = {
        "end_brace.x": text + b"}\n",
        "end_braces.x": text + b"}}\n}\r\n",
        "end_brace_nul.x": text + b"}\n" + zeros,
        "end_nul.x": text + zeros,
        "end_brace_then_object.x": text + b"}\nFrame after {}\n",
        "end_brace_bin.x": binary + close,
        "end_braces_zeros_bin.x": binary + close + close + zeros,
        "end_zeros_bin.x": binary + zeros,
        "end_brace_then_object_bin.x": binary + close + bytes(frame),
    }
    for array in ARRAYS:
        for delta, word in ((1, "more"), (-1, "fewer")):
            files["count_%s_%s.x" % (array, word)] = miscounted_text(array, delta)
            files["count_%s_%s_bin.x" % (array, word)] = miscounted_binary(array, delta)
    other = dict(COUNTED, uvs=COUNTED["uvs"] + [[0.5, 0.5]],
                 normal_faces=COUNTED["normal_faces"][:1], colors=COUNTED["colors"][:1],
                 material_indices=COUNTED["material_indices"][:1])
    files["count_parts_against_mesh.x"] = miscounted_text(counted=other)
    files["count_parts_against_mesh_bin.x"] = miscounted_binary(counted=other)
    return files


def mszip(payload, block=4096):
    """MSZIP blocks, each deflated against the 32 KB before it."""
    out = bytearray()
    for pos in range(0, len(payload), block):
        chunk = payload[pos:pos + block]
        history = payload[max(0, pos - 32768):pos]
        z = zlib.compressobj(9, zlib.DEFLATED, -15, 8, zlib.Z_DEFAULT_STRATEGY, zdict=history) \
            if history else zlib.compressobj(9, zlib.DEFLATED, -15)
        data = z.compress(chunk) + z.flush()
        out += struct.pack("<HH", len(chunk), len(data) + 2) + b"CK" + data
    return bytes(out)


def compressed(header, payload, block=4096):
    return header + struct.pack("<I", len(payload) + 16) + mszip(payload, block)


def png(width, height, colour_type=6):
    channels = {0: 1, 2: 3, 6: 4}[colour_type]
    raw = b"".join(b"\0" + bytes((x * 37 + y * 11 + c * 5) & 255 for x in range(width)
                                  for c in range(channels)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    ihdr = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9))
            + chunk(b"IEND", b""))


def bmp(width, height, bits=24):
    row = (width * bits // 8 + 3) & ~3
    pixels = bytes((i * 29) & 255 for i in range(row * height))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + 40 + len(pixels), 0, 0, 54) + info + pixels


def tga(width, height):
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, width, height, 32, 8)
    return header + bytes((i * 13) & 255 for i in range(width * height * 4))


def dds(width, height, fourcc=None, mips=1, bits=32, masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)):
    flags = 0x1007 | (0x20000 if mips > 1 else 0)
    if fourcc:
        pf = struct.pack("<II4s5I", 32, 0x4, fourcc, 0, 0, 0, 0, 0)
        block = 8 if fourcc == b"DXT1" else 16
        size = lambda w, h: max(1, (w + 3) // 4) * max(1, (h + 3) // 4) * block  # noqa: E731
    else:
        pf = struct.pack("<II4s5I", 32, 0x41 if masks[3] else 0x40, b"\0\0\0\0", bits, *masks)
        size = lambda w, h: w * h * bits // 8  # noqa: E731
    data = b""
    w, h = width, height
    for _ in range(mips):
        data += bytes((i * 53 + w) & 255 for i in range(size(w, h)))
        w, h = max(1, w // 2), max(1, h // 2)
    header = struct.pack("<4sIIIIIII44x", b"DDS ", 124, flags, height, width, 0, 0, mips)
    caps = struct.pack("<IIII4x", 0x1000 | (0x400008 if mips > 1 else 0), 0, 0, 0)
    return header + pf + caps + data


def write_all(folder, files):
    out = os.path.join(HERE, "corpus", folder)
    os.makedirs(out, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


def other_targets():
    dds_files = {
        "dxt1_mips.dds": dds(8, 8, b"DXT1", 4),
        "dxt3.dds": dds(4, 8, b"DXT3"),
        "dxt5_mips.dds": dds(8, 4, b"DXT5", 3),
        "argb.dds": dds(4, 4),
        "xrgb_mips.dds": dds(4, 2, mips=3, masks=(0xFF0000, 0xFF00, 0xFF, 0)),
        "rgb565.dds": dds(3, 5, bits=16, masks=(0xF800, 0x7E0, 0x1F, 0)),
        "argb4444.dds": dds(2, 2, bits=16, masks=(0xF00, 0xF0, 0xF, 0xF000)),
        "rgb24.dds": dds(5, 3, bits=24, masks=(0xFF0000, 0xFF00, 0xFF, 0)),
        # A FourCC above INT_MAX: no D3DFORMAT value, refused before it is taken for one.
        "fourcc_beyond_int.dds": dds(4, 4, b"\xd0\x84\x84\x84"),
    }
    write_all("dds", dds_files)
    images = {
        "png_rgba.png": png(5, 3), "png_rgb.png": png(4, 4, 2), "png_grey.png": png(3, 2, 0),
        "bmp24.bmp": bmp(5, 3), "bmp32.bmp": bmp(2, 2, 32), "tga32.tga": tga(3, 2),
        "ppm.ppm": b"P6\n3 2\n255\n" + bytes(range(18)), "dxt1.dds": dds_files["dxt1_mips.dds"],
        "argb.dds": dds_files["argb.dds"],
    }
    # The options byte: default sizes, then explicit formats, colour key, point filter, one level.
    write_all("image", {name: bytes([(i * 0x25) & 255]) + data
                        for i, (name, data) in enumerate(images.items())})
    write_all("path", {
        "plain": b"README",
        "case": b"MODELS\\cube.x",
        "mixed": b"models/Sub\\tex.png",
        "dbcs_5c": b"\x95\x5c\\A.X",  # "表" ends in 0x5C
        "japanese": "ソ\\フィルター画像.JPG".encode("cp932"),
        "dots": b".\\Models\\..\\models\\CUBE.x",
        "loop": b"loop\\x",
        "fifo": b"fifo",
        "lone_lead": b"Models\\\x81",
    })


ANIMATED_MODEL = b"""
AnimTicksPerSecond { 30; }
Frame root { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,2,0,1;; }
 Frame arm { FrameTransformMatrix { 0,1,0,0, -1,0,0,0, 0,0,1,0, 1,0,0,1;; }
  Frame hand { } }
 Mesh m { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3; 0,1,2;; } }
AnimationSet walk {
 Animation { { arm } AnimationOptions { 1; 0; }
  AnimationKey { 0; 3; 0; 4; 1,0,0,0;;, 15; 4; 0.7071,0,0.7071,0;;, 5; 4; 0,0,1,0;;; }
  AnimationKey { 2; 2; 30; 3; 1,2,3;;, 0; 3; 0,0,0;;; } }
 Animation { { hand } AnimationKey { 4; 1; 10; 16; 2,0,0,0, 0,2,0,0, 0,0,2,0, 1,1,1,1;;; } }
 Animation { { nowhere } AnimationKey { 1; 1; 0; 3; 2,2,2;;; } } }
AnimationSet run { Animation { { root } AnimationKey { 1; 1; 0; 3; 1,1,1;;; } } }
"""


def controller_seeds():
    def f(*values):
        return struct.pack("<%df" % len(values), *values)
    write_all("controller", {
        # LOOP at 30 ticks/s, one animation with a scale, a translation and a rotation key list.
        "loop.bin": bytes([0]) + f(30.0) + bytes([0, 2, 2, 2])
        + f(0, 1, 1, 1, 30, 2, 2, 2) + f(0, 0, 0, 0, 15, 1, 2, 3)
        + f(0, 0, 0, 0, 1, 30, 0, 0.7071, 0, 0.7071)
        + bytes([0, 0]) + f(0.25) + bytes([1, 1]) + f(7.5) + bytes([0, 0]) + f(0.1),
        # PINGPONG, keys out of order and at equal times, NaN and infinite values and steps.
        "pingpong_nan.bin": bytes([2]) + f(1.0) + bytes([1, 3, 0, 0])
        + f(5, 1, 1, 1, 5, 2, 2, 2, 1, float("nan"), 0, 0)
        + bytes([0, 0]) + f(float("inf")) + bytes([0, 2]) + f(-3.0) + bytes([1, 0]) + f(2.0),
    })


def main():
    other_targets()
    controller_seeds()
    os.makedirs(OUT, exist_ok=True)
    big = TEXT_MODEL + b"".join(b"Frame f%d { { quad } }\n" % i for i in range(400))
    files = {
        "text_model.x": b"xof 0303txt 0032" + TEXT_MODEL,
        "text_cube.x": b"xof 0302txt 0064\n" + CUBE,
        "binary_model.x": b"xof 0303bin 0032" + binary_model(False),
        "binary_model64.x": b"xof 0303bin 0064" + binary_model(True),
        "tzip_model.x": compressed(b"xof 0303tzip0032", big, 2048),
        "bzip_model.x": compressed(b"xof 0303bzip0064", binary_model(True), 64),
        "header_only.x": b"xof 0303txt 0032",
        "text_skinned.x": b"xof 0303txt 0032\n" + SKINNED_CUBE,
        "binary_skinned64.x": b"xof 0303bin 0064" + binary_skinned_triangle(True),
        "animated_model.x": b"xof 0303txt 0032" + ANIMATED_MODEL,
        "animated_model_tzip.x": compressed(b"xof 0303tzip0032", ANIMATED_MODEL, 128),
    }
    files.update(end_and_count_seeds())
    for name, data in files.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
