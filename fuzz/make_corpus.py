#!/usr/bin/env python3
"""Writes the seed inputs of fuzz/xfile_fuzz.cpp into fuzz/corpus/xfile/: small .x files in
text, binary (32- and 64-bit floats) and MSZIP-compressed form that reach every part of the
reader and the mesh builder: templates, frames, references, normals, colours, uvs, materials."""
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


def main():
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
    }
    for name, data in files.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
