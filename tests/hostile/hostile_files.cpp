// Generators of good, large and damaged model and image files (see hostile_files.h).
#include "hostile_files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

namespace hostile {
namespace {

void PutBig32(Bytes& out, uint32_t v) {
    for (int i = 3; i >= 0; --i)
        out.push_back(uint8_t(v >> (8 * i)));
}

void Append(Bytes& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
}

// The binary token stream of the .x format, little-endian.
struct BinaryWriter {
    Bytes out;
    BinaryWriter& Name(const std::string& s) {
        Put16(out, 1);
        Put32(out, uint32_t(s.size()));
        Append(out, s);
        return *this;
    }
    BinaryWriter& String(const std::string& s) {
        Put16(out, 2);
        Put32(out, uint32_t(s.size()));
        Append(out, s);
        Put16(out, 20); // ';'
        return *this;
    }
    BinaryWriter& Ints(const std::vector<uint32_t>& v) {
        Put16(out, 6);
        Put32(out, uint32_t(v.size()));
        for (uint32_t x : v)
            Put32(out, x);
        return *this;
    }
    BinaryWriter& Floats(const std::vector<float>& v) {
        Put16(out, 7);
        Put32(out, uint32_t(v.size()));
        for (float f : v) {
            uint32_t u;
            std::memcpy(&u, &f, 4);
            Put32(out, u);
        }
        return *this;
    }
    BinaryWriter& Open() {
        Put16(out, 10);
        return *this;
    }
    BinaryWriter& Close() {
        Put16(out, 11);
        return *this;
    }
};

void PngChunk(Bytes& out, const char type[5], const Bytes& data) {
    PutBig32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBig32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

Bytes PngWithRows(uint32_t width, uint32_t height, uint32_t rows) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    PutBig32(ihdr, width);
    PutBig32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, deflate, no filter, no interlace
    PngChunk(out, "IHDR", ihdr);
    Bytes raw;
    for (uint32_t y = 0; y < rows; ++y) {
        raw.push_back(0); // filter: none
        for (uint32_t x = 0; x < width; ++x)
            raw.insert(raw.end(), {uint8_t(x * 7), uint8_t(y * 5), uint8_t(x ^ y), 255});
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    Bytes packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9);
    packed.resize(packedSize);
    PngChunk(out, "IDAT", packed);
    PngChunk(out, "IEND", {});
    return out;
}

} // namespace

Bytes FromString(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes TextCubeModel(const std::string& texture) {
    std::string material = "Material skin { 0.8;0.7;0.6;1.0;; 8.0; 0.2;0.2;0.2;; 0.0;0.0;0.0;;";
    if (!texture.empty()) material += " TextureFilename { \"" + texture + "\"; }";
    material += " }\n";
    return FromString(
        "xof 0303txt 0032\n" + material +
        "Mesh cube {\n"
        " 8; -1;-1;-1;, -1;1;-1;, 1;1;-1;, 1;-1;-1;, -1;-1;1;, -1;1;1;, 1;1;1;, 1;-1;1;;\n"
        " 12; 3;0,1,2;, 3;0,2,3;, 3;4,6,5;, 3;4,7,6;, 3;0,4,5;, 3;0,5,1;,\n"
        "     3;3,2,6;, 3;3,6,7;, 3;1,5,6;, 3;1,6,2;, 3;0,3,7;, 3;0,7,4;;\n"
        " MeshNormals { 8; -0.577;-0.577;-0.577;, -0.577;0.577;-0.577;, 0.577;0.577;-0.577;,\n"
        "  0.577;-0.577;-0.577;, -0.577;-0.577;0.577;, -0.577;0.577;0.577;, 0.577;0.577;0.577;,\n"
        "  0.577;-0.577;0.577;;\n"
        "  12; 3;0,1,2;, 3;0,2,3;, 3;4,6,5;, 3;4,7,6;, 3;0,4,5;, 3;0,5,1;,\n"
        "      3;3,2,6;, 3;3,6,7;, 3;1,5,6;, 3;1,6,2;, 3;0,3,7;, 3;0,7,4;; }\n"
        " MeshTextureCoords { 8; 0;0;, 0;1;, 1;1;, 1;0;, 1;0;, 1;1;, 0;1;, 0;0;; }\n"
        " MeshMaterialList { 1; 12; 0,0,0,0,0,0,0,0,0,0,0,0;; { skin } }\n"
        "}\n");
}

Bytes BinaryQuadModel() {
    BinaryWriter b;
    Append(b.out, "xof 0303bin 0032");
    b.Name("Frame").Name("root").Open();
    b.Name("FrameTransformMatrix").Open();
    b.Floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 2, 1}).Close();
    b.Name("Mesh").Open().Ints({4}).Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    b.Ints({2, 3, 0, 1, 2, 3, 0, 2, 3});
    b.Name("MeshNormals").Open().Ints({1}).Floats({0, 0, 1});
    b.Ints({2, 3, 0, 0, 0, 3, 0, 0, 0}).Close();
    b.Name("MeshMaterialList").Open().Ints({1, 2, 0, 0});
    b.Name("Material").Open().Floats({1, 0, 0, 1, 8, 0.5f, 0.5f, 0.5f, 0, 0, 0}).Close();
    b.Close().Close().Close();
    return b.out;
}

Bytes LargeGridModel(uint32_t vertices) {
    uint32_t side = 2;
    while (side * side < vertices)
        ++side;
    BinaryWriter b;
    Append(b.out, "xof 0303bin 0032");
    b.Name("Mesh").Name("grid").Open().Ints({side * side});
    std::vector<float> positions;
    positions.reserve(size_t(side) * side * 3);
    for (uint32_t z = 0; z < side; ++z)
        for (uint32_t x = 0; x < side; ++x)
            positions.insert(
                positions.end(),
                {float(x) * 0.02f - 4.0f, 0.1f * float((x * 7 + z * 3) % 5), float(z) * 0.02f});
    b.Floats(positions);
    const uint32_t cells = (side - 1) * (side - 1);
    std::vector<uint32_t> faces = {cells * 2};
    faces.reserve(size_t(cells) * 8 + 1);
    for (uint32_t z = 0; z + 1 < side; ++z)
        for (uint32_t x = 0; x + 1 < side; ++x) {
            const uint32_t v = z * side + x;
            faces.insert(faces.end(), {3, v, v + side, v + side + 1, 3, v, v + side + 1, v + 1});
        }
    b.Ints(faces);
    std::vector<uint32_t> materialList = {1, cells * 2};
    materialList.resize(materialList.size() + size_t(cells) * 2, 0);
    b.Name("MeshMaterialList").Open().Ints(materialList);
    b.Name("Material").Open().Floats({0.3f, 0.8f, 0.3f, 1, 4, 0, 0, 0, 0, 0, 0}).Close();
    b.Close().Close();
    return b.out;
}

Bytes MszipBlock(const Bytes& raw, uint16_t claimedRawSize) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes packed(deflateBound(&z, uLong(raw.size())) + 16);
    z.next_in = const_cast<Bytef*>(raw.data());
    z.avail_in = uInt(raw.size());
    z.next_out = packed.data();
    z.avail_out = uInt(packed.size());
    deflate(&z, Z_FINISH);
    packed.resize(z.total_out);
    deflateEnd(&z);
    Bytes out;
    Put16(out, claimedRawSize);
    Put16(out, uint16_t(packed.size() + 2));
    out.push_back('C');
    out.push_back('K');
    out.insert(out.end(), packed.begin(), packed.end());
    return out;
}

Bytes Compressed(const std::string& header, const Bytes& payload, size_t block) {
    Bytes out = FromString(header);
    Put32(out, uint32_t(payload.size() + 16));
    for (size_t pos = 0; pos < payload.size(); pos += block) {
        // Each block deflated on its own: a valid MSZIP stream needs no shared history.
        const Bytes chunk(payload.begin() + pos,
                          payload.begin() + std::min(payload.size(), pos + block));
        const Bytes b = MszipBlock(chunk, uint16_t(chunk.size()));
        out.insert(out.end(), b.begin(), b.end());
    }
    return out;
}

Bytes Png(uint32_t width, uint32_t height) {
    return PngWithRows(width, height, height);
}

Bytes PngClaiming(uint32_t width, uint32_t height) {
    return PngWithRows(width, height, 0);
}

Bytes Dds(uint32_t width, uint32_t height, uint32_t mips, const std::string& fourcc,
          size_t dataBytes) {
    Bytes out = FromString("DDS ");
    Put32(out, 124);
    Put32(out, 0x1007 | (mips > 1 ? 0x20000 : 0)); // caps, height, width, pixel format, mips
    Put32(out, height);
    Put32(out, width);
    Put32(out, 0); // pitch or linear size
    Put32(out, 0); // depth
    Put32(out, mips);
    for (int i = 0; i < 11; ++i)
        Put32(out, 0);
    Put32(out, 32); // pixel format size
    if (!fourcc.empty()) {
        Put32(out, 0x4);
        Append(out, fourcc.substr(0, 4));
        for (int i = 0; i < 5; ++i)
            Put32(out, 0);
    } else {
        Put32(out, 0x41); // RGB with alpha
        Put32(out, 0);
        Put32(out, 32);
        Put32(out, 0x00FF0000);
        Put32(out, 0x0000FF00);
        Put32(out, 0x000000FF);
        Put32(out, 0xFF000000);
    }
    Put32(out, 0x1000 | (mips > 1 ? 0x400008 : 0));
    for (int i = 0; i < 4; ++i)
        Put32(out, 0);
    out.resize(out.size() + dataBytes, 0x5A);
    return out;
}

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/xofview-hostile-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Folders made unreadable by a test are opened up again so they can be removed.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const Bytes& bytes) const {
    const std::string full = path_ + "/" + name;
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + full);
    return full;
}

size_t PeakRssBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return size_t(usage.ru_maxrss) * 1024;
}

size_t CurrentRssBytes() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    unsigned long total = 0, resident = 0;
    const int read = std::fscanf(f, "%lu %lu", &total, &resident);
    std::fclose(f);
    return read == 2 ? size_t(resident) * size_t(sysconf(_SC_PAGESIZE)) : 0;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace hostile
