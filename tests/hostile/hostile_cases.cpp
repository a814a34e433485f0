// The hostile inputs of the suite (see hostile_cases.h).
#include "hostile_cases.h"

#include <cstring>
#include <limits>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hostile {
namespace {

Bytes Text(const std::string& body) {
    return FromString("xof 0303txt 0032\n" + body);
}

const char kTriangle[] = "3; 0;0;0;, 1;0;0;, 0;1;0;;";

std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

// A binary file: the header, then `tokens` as written by the caller.
Bytes Binary(const Bytes& tokens) {
    Bytes out = FromString("xof 0303bin 0032");
    out.insert(out.end(), tokens.begin(), tokens.end());
    return out;
}

Bytes NameToken(const std::string& s) {
    Bytes out;
    Put16(out, 1);
    Put32(out, uint32_t(s.size()));
    out.insert(out.end(), s.begin(), s.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A compressed file from raw blocks, with the declared total size given.
Bytes CompressedBlocks(uint32_t declaredSize, const std::vector<Bytes>& blocks) {
    Bytes out = FromString("xof 0303tzip0032");
    Put32(out, declaredSize);
    for (const Bytes& b : blocks)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

// Megabytes of numbers as exporters write them (they deflate about as well as real files do,
// so the reader parses them while it inflates them), from `seed`.
std::string ManyNumbers(size_t bytes, uint32_t seed) {
    std::string s;
    s.reserve(bytes + 32);
    while (s.size() < bytes) {
        seed = seed * 1664525u + 1013904223u;
        s += std::to_string((seed >> 8) % 5) + "." + std::to_string((seed >> 4) % 1000000) + ",";
    }
    return s;
}

// `bytes` with the 'CK' of the compressed block holding inflated byte `at` spoiled.
Bytes WithoutCk(Bytes bytes, size_t at) {
    size_t pos = 20, inflated = 0;
    for (;;) {
        const size_t raw = bytes[pos] | bytes[pos + 1] << 8,
                     size = bytes[pos + 2] | bytes[pos + 3] << 8;
        if (inflated + raw > at) break;
        inflated += raw;
        pos += 4 + size;
    }
    bytes[pos + 4] = 'X';
    return bytes;
}

void MustMake(bool ok, const std::string& what) {
    if (!ok) throw std::runtime_error("cannot make " + what + ": " + std::strerror(errno));
}

} // namespace

NamedBytes GoodModels() {
    const Bytes text = TextCubeModel();
    const Bytes body(text.begin() + 16, text.end());
    const Bytes binary = BinaryQuadModel();
    const Bytes binaryBody(binary.begin() + 16, binary.end());
    return {
        {"text", text},
        {"binary", binary},
        {"tzip", Compressed("xof 0303tzip0032", body, 256)},
        {"bzip", Compressed("xof 0303bzip0032", binaryBody, 64)},
    };
}

NamedBytes HostileModels() {
    const std::string tri = kTriangle;
    NamedBytes cases = {
        // Counts claiming billions of elements, backed by a handful.
        {"vertex count 4e9", Text("Mesh { 4000000000; 0;0;0;; 1; 3;0,0,0;;; }")},
        {"vertex count 2^31", Text("Mesh { 2147483648; 0;0;0;, 1;1;1;; 1; 3;0,1,0;;; }")},
        {"face count 2^32-1", Text("Mesh { " + tri + " 4294967295; 3;0,1,2;;; }")},
        {"face size 2^32-1", Text("Mesh { " + tri + " 1; 4294967295;0,1,2;;; }")},
        {"normal count 2^32-1", Text("Mesh { " + tri +
                                     " 1; 3;0,1,2;; MeshNormals { 4294967295; "
                                     "0;0;1;; 1; 3;0,0,0;;; } }")},
        {"normal faces 2^32-1", Text("Mesh { " + tri +
                                     " 1; 3;0,1,2;; MeshNormals { 1; 0;0;1;; "
                                     "4294967295; 3;0,0,0;;; } }")},
        {"uv count 2^32-1",
         Text("Mesh { " + tri + " 1; 3;0,1,2;; MeshTextureCoords { 4294967295; 0;0;; } }")},
        {"colour count 2^32-1",
         Text("Mesh { " + tri + " 1; 3;0,1,2;; MeshVertexColors { 4294967295; 0;1;1;1;1;;; } }")},
        {"material count 2^32-1",
         Text("Mesh { " + tri + " 1; 3;0,1,2;; MeshMaterialList { 4294967295; 1; 0;; } }")},
        {"material faces 2^32-1",
         Text("Mesh { " + tri + " 1; 3;0,1,2;; MeshMaterialList { 1; 4294967295; 0;; } }")},
        {"count beyond 32 bits", Text("Mesh { 99999999999999999999; 0;0;0;; 1; 3;0,0,0;;; }")},
        {"index out of range", Text("Mesh { " + tri + " 1; 3;0,1,7;; }")},
        {"binary int list of 2^32-1",
         Binary(NameToken("Mesh") + Bytes{10, 0, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0})},
        {"binary float list of 2^30",
         Binary(NameToken("Mesh") +
                Bytes{10, 0, 6, 0, 1, 0, 0, 0, 3, 0, 0, 0, 7, 0, 0, 0, 0, 0x40, 0, 0, 0, 0})},
        {"binary name of 4e9 bytes", Binary(Bytes{1, 0, 0xF0, 0xFF, 0xFF, 0xFF, 'M', 'e'})},
        {"binary string of 2^32-1 bytes",
         Binary(NameToken("TextureFilename") + Bytes{10, 0, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'a'})},
        // Nesting far deeper than any model.
        {"100000 nested frames", Text(Repeat("Frame f {\n", 100000))},
        {"100000 open braces", Text("Frame f " + Repeat("{", 100000))},
        {"100000 nested frames, closed", Text(Repeat("Frame {", 100000) + Repeat("}", 100000))},
        {"100000 binary nested frames", Binary([] {
             Bytes tokens;
             for (int i = 0; i < 100000; ++i) {
                 const Bytes frame = NameToken("Frame");
                 tokens.insert(tokens.end(), frame.begin(), frame.end());
                 Put16(tokens, 10);
             }
             return tokens;
         }())},
        {"frame referring to itself", Text("Frame a { { a } }")},
        // Data that do not fill their templates, and data after a '}' with nothing open.
        {"uv list one past its count",
         Text("Mesh { " + tri +
              " 1; 3;0,1,2;; MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;, 1;1;; } }")},
        {"vertex list one short of its count",
         Text("Mesh { 4; 0.5;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }")},
        {"a '}' with nothing open before a mesh",
         Text("Frame {}\n}\nMesh { " + tri + " 1; 3;0,1,2;; }")},
        {"100000 stray braces, then a mesh",
         Text("Frame {}\n" + Repeat("}\n", 100000) + "Mesh { " + tri + " 1; 3;0,1,2;; }")},
    };
    // Frames referring twice to the one before, 48 deep: 2^48 paths to one mesh.
    std::string laughs = "Frame f0 { Mesh { " + tri + " 1; 3;0,1,2;; } }\n";
    for (int i = 1; i <= 48; ++i)
        laughs += "Frame f" + std::to_string(i) + " { { f" + std::to_string(i - 1) + " } { f" +
                  std::to_string(i - 1) + " } }\n";
    cases.push_back({"2^48 references to one mesh", Text(laughs)});

    // Compressed forms.
    const Bytes text = TextCubeModel();
    const Bytes body(text.begin() + 16, text.end());
    cases.push_back({"block expanding beyond its raw size",
                     CompressedBlocks(uint32_t(body.size() + 16), {MszipBlock(body, 100)})});
    cases.push_back({"blocks beyond the declared size",
                     CompressedBlocks(16 + 50, {MszipBlock(body, uint16_t(body.size()))})});
    cases.push_back({"declared size 2^32-1",
                     CompressedBlocks(0xFFFFFFFFu, {MszipBlock(body, uint16_t(body.size()))})});
    cases.push_back({"declared size below the header", CompressedBlocks(3, {})});
    cases.push_back({"block of garbage", CompressedBlocks(1000, {[] {
                                                              Bytes b;
                                                              Put16(b, 500);
                                                              Put16(b, 102);
                                                              b.push_back('C');
                                                              b.push_back('K');
                                                              b.resize(b.size() + 100, 0xA7);
                                                              return b;
                                                          }()})});
    {
        Bytes block = MszipBlock(body, uint16_t(body.size()));
        block.resize(block.size() - 5); // packed size now reaches past the end
        cases.push_back({"block cut short", CompressedBlocks(uint32_t(body.size() + 16), {block})});
    }
    {
        // A decompression bomb: 2 GB of zeros declared, in full 32 KB blocks of a few bytes each.
        const Bytes zeros(32768, 0);
        const Bytes block = MszipBlock(zeros, 32768);
        std::vector<Bytes> blocks(65535, block);
        cases.push_back({"2 GB of zeros from 1 MB", CompressedBlocks(0x7FFF0000u, blocks)});
    }
    {
        // Megabytes, read in pieces by two threads, and parsed while a thread inflates them;
        // in an object of a template of the file's own, which takes any number of values.
        const std::string numbers = ManyNumbers(size_t{5} << 20, 7);
        const std::string values =
            "template Values { <a3f8c5d2-6b1e-4f07-9c3a-2d5e8b7f1a04> [...] }\n";
        const std::string broken = values + "Values { " + numbers.substr(0, size_t{3} << 20) +
                                   "1.5f," + numbers.substr(size_t{3} << 20) + " }";
        cases.push_back({"a 5 MB run of numbers broken in its middle", Text(broken)});
        const std::string good = values + "Values { " + numbers + "0; }";
        const Bytes packed = Compressed("xof 0303tzip0032", FromString(good), 32768);
        cases.push_back({"5 MB of compressed numbers with a damaged block at 3 MB",
                         WithoutCk(packed, size_t{3} << 20)});
        cases.push_back({"5 MB of compressed numbers cut short",
                         Bytes(packed.begin(), packed.begin() + packed.size() * 2 / 3)});
        std::string letters(size_t{5} << 20, 'a');
        uint32_t seed = 3;
        for (char& c : letters)
            c = static_cast<char>('a' + ((seed = seed * 1664525u + 1013904223u) >> 8) % 26);
        cases.push_back(
            {"5 MB of compressed text in a string never closed",
             Compressed("xof 0303tzip0032", FromString("TextureFilename { \"" + letters), 32768)});
    }
    return cases;
}

std::vector<ExpectedResult> HostileAnimations() {
    constexpr long kOk = 0, kFail = long(0x80004005), kOutOfMemory = long(0x8007000E);
    constexpr long kParseError = long(0x88760390);
    const std::string bone = "Frame bone { }\n";
    const auto set = [&](const std::string& key) {
        return Text(bone + "AnimationSet s { Animation { { bone } " + key + " } }");
    };
    std::vector<ExpectedResult> cases = {
        {"key count 4e9", set("AnimationKey { 2; 4000000000; 0; 3; 1,2,3;;; }"), kFail},
        {"key count 2^32-1 in a binary list",
         Binary(NameToken("Frame") + NameToken("bone") + Bytes{10, 0, 11, 0} +
                NameToken("AnimationSet") + Bytes{10, 0} + NameToken("Animation") +
                Bytes{10, 0, 10, 0} + NameToken("bone") + Bytes{11, 0} + NameToken("AnimationKey") +
                Bytes{10,   0,    6,    0, 3, 0, 0, 0,  2, 0,  0, 0,  0xFF,
                      0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 11, 0, 11, 0, 11, 0}),
         kFail},
        {"value count 2^32-1", set("AnimationKey { 2; 1; 0; 4294967295; 1,2,3;;; }"), kFail},
        {"unknown key type", set("AnimationKey { 7; 1; 0; 3; 1,2,3;;; }"), kFail},
        {"times going backwards",
         set("AnimationKey { 2; 4; 30; 3; 3,0,0;;, 20; 3; 2,0,0;;, 10; 3; 1,0,0;;, 0; 3; "
             "0,0,0;;; }"),
         kOk},
        {"NaN and infinite keys",
         Binary(NameToken("Frame") + NameToken("bone") + Bytes{10, 0, 11, 0} +
                NameToken("AnimationSet") + Bytes{10, 0} + NameToken("Animation") +
                Bytes{10, 0, 10, 0} + NameToken("bone") + Bytes{11, 0} + NameToken("AnimationKey") +
                // A rotation key of (NaN, +inf, -inf, 0).
                Bytes{10,   0,    6, 0, 4,    0,    0, 0, 0, 0, 0,  0, 1,  0, 0,    0,    0, 0,
                      0,    0,    4, 0, 0,    0,    7, 0, 4, 0, 0,  0, 0,  0, 0xC0, 0x7F, 0, 0,
                      0x80, 0x7F, 0, 0, 0x80, 0xFF, 0, 0, 0, 0, 11, 0, 11, 0, 11,   0}),
         kOk},
        {"animation naming a missing frame",
         Text(bone + "AnimationSet s { Animation { { nowhere } "
                     "AnimationKey { 1; 1; 0; 3; 2,2,2;;; } } }"),
         kOk},
        {"1024 nested frames animated at the bottom",
         Text(Repeat("Frame f {\n", 1023) + "Frame bone { }" + Repeat("}", 1023) +
              "AnimationSet s { Animation { { bone } AnimationKey { 2; 1; 0; 3; 1,2,3;;; } } }"),
         kOk},
        {"100000 nested frames", Text(Repeat("Frame f {\n", 100000) + Repeat("}", 100000)),
         kParseError},
    };
    // Frames naming the one before twice, 40 deep: 2^40 frames if followed.
    std::string frames = "Frame f0 { }\n";
    for (int i = 1; i <= 40; ++i)
        frames += "Frame f" + std::to_string(i) + " { { f" + std::to_string(i - 1) + " } { f" +
                  std::to_string(i - 1) + " } }\n";
    cases.push_back({"2^40 frames by reference", Text(frames), kOutOfMemory});
    // One animation of 20000 keys, named 2000 times by reference in one set.
    std::string keys = "Animation big { { bone } AnimationKey { 2; 20000; ";
    for (int k = 0; k < 20000; ++k)
        keys += std::to_string(k) + "; 3; 1,2,3;;" + (k + 1 < 20000 ? ", " : "; } }\n");
    cases.push_back({"2000 references to an animation of 20000 keys",
                     Text(bone + "AnimationSet holder { " + keys + " }\nAnimationSet s { " +
                          Repeat("{ big } ", 2000) + "}"),
                     kOutOfMemory});
    std::string sets = bone;
    for (int i = 0; i < 5000; ++i)
        sets += "AnimationSet s" + std::to_string(i) +
                " { Animation { { bone } AnimationKey { 0; 1; 0; 4; 1,0,0,0;;; } } }\n";
    cases.push_back({"5000 sets", Text(sets), kOk});
    std::string many = "AnimationSet s { ";
    for (int i = 0; i < 5000; ++i)
        many += "Animation { { f" + std::to_string(i % 7) +
                " } AnimationKey { 1; 1; 0; 3; 2,2,2;;; } } ";
    cases.push_back({"5000 animations in a set", Text(bone + many + "}"), kOk});
    return cases;
}

Bytes HostileModel(const std::string& name) {
    for (auto& [caseName, bytes] : HostileModels())
        if (caseName == name) return bytes;
    throw std::runtime_error("no hostile model named " + name);
}

namespace {

const char kIdentityMatrix[] = "1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;;";

// A triangle in a frame, skinned by `skin` (XSkinMeshHeader and SkinWeights objects).
Bytes SkinnedTriangle(const std::string& skin) {
    return Text("Frame bone { Mesh { " + std::string(kTriangle) + " 1; 3;0,1,2;;\n" + skin + "} }");
}

std::string Header(uint32_t bones) {
    return "XSkinMeshHeader { 4; 12; " + std::to_string(bones) + "; }\n";
}

std::string SkinWeights(const std::string& bone, const std::string& weights) {
    return "SkinWeights { \"" + bone + "\"; " + weights + " }\n";
}

// A binary triangle skinned to one bone whose weight count is `count`, followed by `listed`
// indices, as many weights and an identity matrix.
Bytes BinarySkinnedTriangle(uint32_t count, uint32_t listed, float weight) {
    Bytes t;
    const auto name = [&](const std::string& s) {
        const Bytes n = NameToken(s);
        t.insert(t.end(), n.begin(), n.end());
    };
    const auto integers = [&](const std::vector<uint32_t>& v) {
        Put16(t, 6);
        Put32(t, uint32_t(v.size()));
        for (uint32_t x : v)
            Put32(t, x);
    };
    const auto floats = [&](const std::vector<float>& v) {
        Put16(t, 7);
        Put32(t, uint32_t(v.size()));
        for (float x : v) {
            uint32_t bits;
            std::memcpy(&bits, &x, 4);
            Put32(t, bits);
        }
    };
    name("Mesh");
    Put16(t, 10);
    integers({3});
    floats({0, 0, 0, 1, 0, 0, 0, 1, 0});
    integers({1, 3, 0, 1, 2});
    name("XSkinMeshHeader");
    Put16(t, 10);
    integers({1, 1, 1});
    Put16(t, 11);
    name("SkinWeights");
    Put16(t, 10);
    Put16(t, 2);
    Put32(t, 4);
    t.insert(t.end(), {'b', 'o', 'n', 'e'});
    Put16(t, 20);
    std::vector<uint32_t> indices = {count};
    for (uint32_t i = 0; i < listed; ++i)
        indices.push_back(i % 3);
    integers(indices);
    std::vector<float> reals(listed, weight);
    for (int i = 0; i < 16; ++i)
        reals.push_back(i % 5 == 0 ? weight : 0.0f);
    floats(reals);
    Put16(t, 11);
    Put16(t, 11);
    return Binary(t);
}

} // namespace

std::vector<HostileSkin> HostileSkins() {
    const std::string one = SkinWeights("bone", "1; 0; 1.0; " + std::string(kIdentityMatrix));
    std::vector<HostileSkin> cases = {
        {"weight count 2^32-1",
         SkinnedTriangle(Header(1) + SkinWeights("bone", "4294967295; 0; 1.0; " +
                                                             std::string(kIdentityMatrix))),
         false},
        {"weight count past the data",
         SkinnedTriangle(Header(1) +
                         SkinWeights("bone", "5; 0, 1; 1.0, 1.0; " + std::string(kIdentityMatrix))),
         false},
        {"vertex index past the mesh",
         SkinnedTriangle(Header(1) +
                         SkinWeights("bone", "1; 3; 1.0; " + std::string(kIdentityMatrix))),
         false},
        {"vertex index 2^32-1",
         SkinnedTriangle(Header(1) + SkinWeights("bone", "1; 4294967295; 1.0; " +
                                                             std::string(kIdentityMatrix))),
         false},
        {"weights before the header", SkinnedTriangle(one + Header(1)), false},
        {"65535 bones declared, one given", SkinnedTriangle(Header(65535) + one), false},
        {"bone count past a WORD", SkinnedTriangle(Header(70000) + one), false},
        {"header cut short", SkinnedTriangle("XSkinMeshHeader { 4; }\n"), false},
        {"offset matrix cut short",
         SkinnedTriangle(Header(1) + SkinWeights("bone", "1; 0; 1.0; 1,0,0;;")), false},
        {"binary weight count 2^30 over 10 weights", BinarySkinnedTriangle(1u << 30, 10, 1), false},
        {"binary weight count 2^32-1 over none", BinarySkinnedTriangle(0xFFFFFFFFu, 0, 1), false},
        {"binary NaN weights and matrix",
         BinarySkinnedTriangle(3, 3, std::numeric_limits<float>::quiet_NaN()), true},
        {"binary infinite weights and matrix",
         BinarySkinnedTriangle(3, 3, std::numeric_limits<float>::infinity()), true},
        {"100000 influences on three vertices", BinarySkinnedTriangle(100000, 100000, 0.5f), true},
        {"bones naming no frame",
         SkinnedTriangle(Header(2) + SkinWeights("nowhere", "0; " + std::string(kIdentityMatrix)) +
                         SkinWeights("", "1; 2; 1.0; " + std::string(kIdentityMatrix))),
         true},
        {"no bones", SkinnedTriangle(Header(0)), true},
    };
    // Thousands of bones, the last one's weight count damaged.
    for (const bool damaged : {false, true}) {
        std::string skin = Header(5000);
        for (int b = 0; b < 5000; ++b)
            skin += SkinWeights("bone" + std::to_string(b), (damaged && b == 4999 ? "9; " : "1; ") +
                                                                std::to_string(b % 3) + "; 0.5; " +
                                                                kIdentityMatrix);
        cases.push_back({damaged ? "5000 bones, the last one cut short" : "5000 bones",
                         SkinnedTriangle(skin), !damaged});
    }
    return cases;
}

NamedBytes HostileImages() {
    Bytes bmp = FromString("BM");
    Put32(bmp, 54 + 16);
    Put32(bmp, 0);
    Put32(bmp, 54);
    Put32(bmp, 40);
    Put32(bmp, 50000); // width
    Put32(bmp, 50000); // height
    Put16(bmp, 1);
    Put16(bmp, 32);
    for (int i = 0; i < 6; ++i)
        Put32(bmp, 0);
    bmp.resize(bmp.size() + 16, 0x11);
    Bytes bmpNegative = bmp;
    const uint32_t width = 4, minHeight = 0x80000000u;
    std::memcpy(&bmpNegative[18], &width, 4);
    std::memcpy(&bmpNegative[22], &minHeight, 4);
    return {
        {"png-100000x100000.png", PngClaiming(100000, 100000)},
        {"png-16384x16384.png", PngClaiming(16384, 16384)},
        {"png-8192x8192.png", PngClaiming(8192, 8192)},
        {"png-0x5.png", PngClaiming(0, 5)},
        {"dds-16384-dxt1.dds", Dds(16384, 16384, 1, "DXT1", 100)},
        {"dds-2^32-mips.dds", Dds(64, 64, 0xFFFFFFFFu, "DXT5", 4096)},
        {"dds-4e9-wide.dds", Dds(0xFFFFFFF0u, 4, 1, "", 64)},
        {"dds-0x0.dds", Dds(0, 0, 1, "", 64)},
        {"dds-fourcc-beyond-int.dds", Dds(8, 8, 1, "\xD0\x84\x84\x84", 64)},
        {"dds-argb-no-data.dds", Dds(2048, 2048, 1, "", 16)},
        {"bmp-50000x50000.bmp", bmp},
        {"bmp-height-2^31.bmp", bmpNegative},
        {"tga-rle-4095x4082-no-data.tga",
         Bytes{0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x0F, 0xF2, 0x0F, 32, 8}},
        // Our detection says JPEG; SDL_image, left to choose, would see "<svg" and parse SVG.
        {"jpeg-header-svg-body.jpg",
         FromString("\xFF\xD8\xFF\xCD\xD8\xFF\xCD\x04\x04\x05\x04\x04\x05\x04\x04"
                    "<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'><rect "
                    "width='4' height='4' fill='red'/></svg")},
        {"text.png", FromString("not an image at all")},
    };
}

std::vector<HostileName> HostileNames(const TempDir& dir, const Bytes& goodContent,
                                      const std::string& tag) {
    const std::string base = dir.path() + "/" + tag + "-";
    std::vector<HostileName> names;
    names.push_back({dir.Write(tag + "-empty", {}), "a zero-length file", true});

    const std::string folder = base + "folder";
    MustMake(mkdir(folder.c_str(), 0755) == 0, folder);
    names.push_back({folder, "a folder", true});

    const std::string fifo = base + "fifo";
    MustMake(mkfifo(fifo.c_str(), 0644) == 0, fifo);
    names.push_back({fifo, "a FIFO with no writer", true});

    names.push_back({"/dev/zero", "the device /dev/zero", true});
    names.push_back({"/dev/urandom", "the device /dev/urandom", true});

    // chmod 000: refused by the system unless this process may read anything (root may).
    const std::string locked = dir.Write(tag + "-unreadable", goodContent);
    MustMake(chmod(locked.c_str(), 0) == 0, locked);
    const bool readable = access(locked.c_str(), R_OK) == 0;
    names.push_back(
        {locked, readable ? "a chmod 000 file this user can still read (root)" : "a chmod 000 file",
         !readable});

    const std::string loop = base + "loop";
    MustMake(symlink(loop.c_str(), loop.c_str()) == 0, loop);
    names.push_back({loop, "a symlink to itself", true});
    MustMake(symlink((base + "pong").c_str(), (base + "ping").c_str()) == 0, "ping");
    MustMake(symlink((base + "ping").c_str(), (base + "pong").c_str()) == 0, "pong");
    names.push_back({base + "ping", "two symlinks to each other", true});
    names.push_back({base + "ping/model", "a path through a symlink loop", true});

    names.push_back({base + std::string(300 - base.size(), 'n'), "a name of 300 bytes", true});
    names.push_back({dir.path() + "/" + std::string(300, 'n'), "a 300-byte path component", true});

    // Sparse: 300 MB that take no disk, more than either loader takes.
    const std::string huge = base + "huge";
    {
        const int fd = open(huge.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        MustMake(fd >= 0, huge);
        MustMake(write(fd, goodContent.data(), goodContent.size()) == ssize_t(goodContent.size()),
                 huge);
        MustMake(ftruncate(fd, off_t(300) << 20) == 0, huge);
        close(fd);
    }
    names.push_back({huge, "a sparse file of 300 MB", true});
    return names;
}

} // namespace hostile
