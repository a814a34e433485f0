#!/usr/bin/env python3
"""Writes the hand-made .x cases of the conformance mesh comparison into this folder."""
import math
import struct
import zlib

MATERIALS = """  Material {
   0.8;0.4;0.2;1.0;;
   12.0;
   0.5;0.5;0.5;;
   0.0;0.1;0.0;;
   TextureFilename { "Tex\\\\Stripes.PNG"; }
  }
  Material {
   0.1;0.3;0.9;0.5;;
   0.0;
   0.0;0.0;0.0;;
   0.0;0.0;0.0;;
  }
"""


def write(name, text):
    with open(name, "w", newline="\n") as f:
        f.write(text)


# Quads and a pentagon (fanned), normals per face corner (vertices duplicate), vertex colours,
# texture coordinates, two materials whose faces are not in attribute order.
write("polygons.x", """xof 0303txt 0032
Mesh polygons {
 6;
 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;, 0.5;1.5;0.0;, 0.5;0.5;-1.0;;
 3;
 4;0,3,2,1;,
 5;0,3,4,2,1;,
 3;0,1,5;;
 MeshNormals {
  3;
  0.0;0.0;-2.0;, 0.0;0.0;1.0;, 0.0;-1.0;0.0;;
  3;
  4;0,0,0,0;,
  5;1,1,1,1,1;,
  3;2,2,2;;
 }
 MeshTextureCoords {
  6;
  0.0;1.0;, 1.0;1.0;, 1.0;0.0;, 0.0;0.0;, 0.5;-0.5;, 0.25;0.75;;
 }
 MeshVertexColors {
  4;
  0;1.0;0.0;0.0;1.0;;,
  1;0.0;1.0;0.0;0.5;;,
  2;0.0;0.0;1.0;0.1;;,
  5;2.0;-1.0;0.5;1.0;;;
 }
 MeshMaterialList {
  2;
  3;
  1,0,1;;
""" + MATERIALS + """ }
}
""")

# A top-level mesh without materials beside a framed one that references a top-level material.
write("two_meshes.x", """xof 0303txt 0032
Material shared {
 1.0;1.0;1.0;1.0;;
 5.0;
 1.0;1.0;1.0;;
 0.0;0.0;0.0;;
}
Mesh first {
 3;
 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;;
 1;
 3;0,1,2;;
}
Frame moved {
 FrameTransformMatrix {
  1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 2.0,0.0,3.0,1.0;;
 }
 Mesh second {
  4;
  0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;;
  2;
  3;0,1,2;,
  3;0,2,3;;
  MeshMaterialList {
   1;
   2;
   0,0;;
   { shared }
  }
 }
}
""")

# Nested frames with rotations and translations: the order in which a child's matrix and its
# parent's compose decides where the mesh lands.
c, s = math.cos(0.5), math.sin(0.5)
write("nested_frames.x", f"""xof 0303txt 0032
Frame outer {{
 FrameTransformMatrix {{
  {c:.6f},{s:.6f},0.0,0.0, {-s:.6f},{c:.6f},0.0,0.0, 0.0,0.0,1.0,0.0, 1.0,2.0,0.0,1.0;;
 }}
 Frame inner {{
  FrameTransformMatrix {{
   1.0,0.0,0.0,0.0, 0.0,{c:.6f},{s:.6f},0.0, 0.0,{-s:.6f},{c:.6f},0.0, 0.0,0.0,3.0,1.0;;
  }}
  Mesh m {{
   3;
   1.0;0.0;0.0;, 0.0;1.0;0.0;, 0.0;0.0;1.0;;
   1;
   3;0,1,2;;
  }}
 }}
}}
""")

# A material list with fewer face indices than faces (exporters write one for a single material).
write("short_face_indices.x", """xof 0303txt 0032
Mesh m {
 4;
 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;;
 2;
 3;0,1,2;,
 3;0,2,3;;
 MeshMaterialList {
  1;
  1;
  0;;
  Material {
   0.5;0.5;0.5;1.0;;
   1.0;
   0.0;0.0;0.0;;
   0.0;0.0;0.0;;
  }
 }
}
""")

# MSZIP text over several 32 KB blocks, each block's deflate data referring back into the previous
# block's output (the block format keeps a 32 KB history across blocks).
n = 40
grid = [f"{x * 0.25:.4f};{y * 0.25:.4f};{(x * y % 7) * 0.1:.4f};" for y in range(n) for x in range(n)]
faces = []
for y in range(n - 1):
    for x in range(n - 1):
        a = y * n + x
        faces.append(f"4;{a},{a + 1},{a + n + 1},{a + n};")
payload = (f"Mesh grid {{\n {n * n};\n " + ",\n ".join(grid) + ";\n " + f"{len(faces)};\n " +
           ",\n ".join(faces) + ";\n}\n").encode()
body = b""
history = b""
for start in range(0, len(payload), 32768):
    block = payload[start:start + 32768]
    deflate = zlib.compressobj(9, zlib.DEFLATED, -15, zdict=history) if history else \
        zlib.compressobj(9, zlib.DEFLATED, -15)
    data = deflate.compress(block) + deflate.flush()
    body += struct.pack("<HH", len(block), len(data) + 2) + b"CK" + data
    history = block
with open("mszip_history.x", "wb") as f:
    f.write(b"xof 0303tzip0032" + struct.pack("<I", 16 + len(payload)) + body)

# Binary token files with the same triangle pair: float lists of 32-bit floats, and of 64-bit
# doubles as the header's float size says.
def binary(float_size):
    def name(s):
        return struct.pack("<HI", 1, len(s)) + s.encode()

    def ints(values):
        return struct.pack("<HI", 6, len(values)) + struct.pack(f"<{len(values)}I", *values)

    def floats(values):
        code = "d" if float_size == 64 else "f"
        return struct.pack("<HI", 7, len(values)) + struct.pack(f"<{len(values)}{code}", *values)

    obrace, cbrace = struct.pack("<H", 10), struct.pack("<H", 11)
    vertices = [0.0, 0.0, 0.0, 1.5, 0.0, 0.0, 1.5, 1.25, 0.0, 0.0, 1.25, 0.5]
    mesh = (name("Mesh") + name("pair") + obrace + ints([4]) + floats(vertices) +
            ints([2, 3, 0, 1, 2, 3, 0, 2, 3]) + cbrace)
    with open(f"binary_float{float_size}.x", "wb") as f:
        f.write(f"xof 0303bin 00{float_size}".encode() + mesh)


binary(32)
binary(64)


# Files that close one object too many: the last line a lone '}' (and another after it), as a game
# engine shipped them; a binary file with a CBRACE token after its last object; and a '}' between
# two objects, after which D3DX's file parser reads no further.
PAIR = """Mesh pair {
 4;
 0.0;0.0;0.0;, 1.0;0.0;0.0;, 1.0;1.0;0.0;, 0.0;1.0;0.0;;
 2;
 3;0,1,2;,
 3;0,2,3;;
 MeshTextureCoords {
  4;
  0.0;1.0;, 1.0;1.0;, 1.0;0.0;, 0.0;0.0;;
 }
}
"""
write("stray_braces.x", "xof 0303txt 0032\n" + PAIR + "}\n}\n")
write("stray_brace_between.x",
      "xof 0303txt 0032\n" + PAIR + "}\nMesh second {\n 3;\n 0.0;0.0;1.0;, 1.0;0.0;1.0;, "
      "0.0;1.0;1.0;;\n 1;\n 3;0,1,2;;\n}\n")
with open("binary_float32.x", "rb") as f:
    pair32 = f.read()
with open("stray_brace_binary.x", "wb") as f:
    f.write(pair32 + struct.pack("<H", 11))

# Texture coordinates listed one past their count (the count that of the vertices), and counted as
# listed but one more than the vertices.
write("uv_past_count.x", "xof 0303txt 0032\n" + PAIR.replace(
    "0.0;0.0;;\n }", "0.0;0.0;,\n  0.5;0.5;;\n }"))
write("uv_count_not_vertices.x", "xof 0303txt 0032\n" + PAIR.replace(
    "  4;\n  0.0;1.0;", "  5;\n  0.0;1.0;").replace("0.0;0.0;;\n }", "0.0;0.0;,\n  0.5;0.5;;\n }"))

# A file both loaders refuse, so that their failure codes are compared as they are printed.
write("not_x_data.x", "This is a text file, not DirectX .x data.\n")
