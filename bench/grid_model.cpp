// Writes the grid model in the four .x encodings.
#include "grid_model.h"
#include "xfile_test_writer.h"

#include <zlib.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace bench {
namespace {

struct Grid {
    int n;
    std::vector<float> positions, normals, coords; // 3, 3 and 2 per vertex
    std::vector<uint32_t> quads;                   // 4 vertex indices per quad
    std::vector<uint32_t> materials;               // one per quad
};

Grid MakeGrid(int n) {
    Grid g;
    g.n = n;
    const int side = n + 1;
    for (int j = 0; j < side; ++j) {
        for (int i = 0; i < side; ++i) {
            const float x = -2.0f + 4.0f * static_cast<float>(i) / static_cast<float>(n);
            const float z = -2.0f + 4.0f * static_cast<float>(j) / static_cast<float>(n);
            const float y = 0.1f * std::sin(6.0f * x) * std::cos(6.0f * z);
            const float dx = 0.6f * std::cos(6.0f * x) * std::cos(6.0f * z);
            const float dz = -0.6f * std::sin(6.0f * x) * std::sin(6.0f * z);
            const float length = std::sqrt(dx * dx + 1.0f + dz * dz);
            g.positions.insert(g.positions.end(), {x, y, z});
            g.normals.insert(g.normals.end(), {-dx / length, 1.0f / length, -dz / length});
            g.coords.insert(g.coords.end(), {static_cast<float>(i) / static_cast<float>(n),
                                             static_cast<float>(j) / static_cast<float>(n)});
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const uint32_t a = static_cast<uint32_t>(j * side + i);
            g.quads.insert(g.quads.end(), {a, a + static_cast<uint32_t>(side),
                                           a + static_cast<uint32_t>(side) + 1, a + 1});
            g.materials.push_back(static_cast<uint32_t>((i / 16 + j / 16) & 1));
        }
    }
    return g;
}

// Text output with to_chars: the generator itself must not take longer than the loads.
class TextOut {
  public:
    TextOut& operator<<(const char* s) {
        out_ += s;
        return *this;
    }
    TextOut& operator<<(uint32_t v) {
        char b[16];
        out_.append(b, std::to_chars(b, b + sizeof b, v).ptr);
        return *this;
    }
    TextOut& Float(float v) {
        char b[32];
        out_.append(b, std::to_chars(b, b + sizeof b, v, std::chars_format::fixed, 6).ptr);
        return *this;
    }
    std::string& str() { return out_; }

  private:
    std::string out_;
};

void TextVectors(TextOut& t, const std::vector<float>& values, int width) {
    const size_t count = values.size() / static_cast<size_t>(width);
    t << static_cast<uint32_t>(count) << ";\n";
    for (size_t v = 0; v < count; ++v) {
        for (int k = 0; k < width; ++k)
            t.Float(values[v * static_cast<size_t>(width) + static_cast<size_t>(k)]) << ";";
        t << (v + 1 < count ? ",\n" : ";\n");
    }
}

void TextFaces(TextOut& t, const std::vector<uint32_t>& quads) {
    const size_t count = quads.size() / 4;
    t << static_cast<uint32_t>(count) << ";\n";
    for (size_t f = 0; f < count; ++f) {
        t << "4;" << quads[f * 4] << "," << quads[f * 4 + 1] << "," << quads[f * 4 + 2] << ","
          << quads[f * 4 + 3] << (f + 1 < count ? ";,\n" : ";;\n");
    }
}

const float kMaterials[2][11] = {
    {0.8f, 0.3f, 0.2f, 1.0f, 10.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 0.0f},
    {0.2f, 0.5f, 0.9f, 1.0f, 20.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f},
};

std::string TextPayload(const Grid& g) {
    TextOut t;
    t << "\nMesh grid {\n";
    TextVectors(t, g.positions, 3);
    TextFaces(t, g.quads);
    t << "MeshNormals {\n";
    TextVectors(t, g.normals, 3);
    TextFaces(t, g.quads);
    t << "}\nMeshTextureCoords {\n";
    TextVectors(t, g.coords, 2);
    t << "}\nMeshMaterialList {\n2;\n" << static_cast<uint32_t>(g.materials.size()) << ";\n";
    for (size_t f = 0; f < g.materials.size(); ++f)
        t << g.materials[f] << (f + 1 < g.materials.size() ? ",\n" : ";\n");
    for (const auto& m : kMaterials) {
        t << "Material {\n";
        t.Float(m[0]) << ";";
        t.Float(m[1]) << ";";
        t.Float(m[2]) << ";";
        t.Float(m[3]) << ";;\n";
        t.Float(m[4]) << ";\n";
        t.Float(m[5]) << ";";
        t.Float(m[6]) << ";";
        t.Float(m[7]) << ";;\n";
        t.Float(m[8]) << ";";
        t.Float(m[9]) << ";";
        t.Float(m[10]) << ";;\n}\n";
    }
    t << "}\n}\n";
    return std::move(t.str());
}

// Binary tokens, little-endian.
class BinaryOut {
  public:
    template <class T> BinaryOut& Put(T v) {
        char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));
        out_.append(b, sizeof(T));
        return *this;
    }
    BinaryOut& Name(const char* s) {
        Put(uint16_t{1}).Put(static_cast<uint32_t>(std::strlen(s)));
        out_ += s;
        return *this;
    }
    BinaryOut& Open() { return Put(uint16_t{10}); }
    BinaryOut& Close() { return Put(uint16_t{11}); }
    BinaryOut& Integers(const std::vector<uint32_t>& v) {
        Put(uint16_t{6}).Put(static_cast<uint32_t>(v.size()));
        out_.append(reinterpret_cast<const char*>(v.data()), v.size() * 4);
        return *this;
    }
    BinaryOut& Floats(const float* v, size_t count) {
        Put(uint16_t{7}).Put(static_cast<uint32_t>(count));
        out_.append(reinterpret_cast<const char*>(v), count * 4);
        return *this;
    }
    std::string& str() { return out_; }

  private:
    std::string out_;
};

std::vector<uint32_t> FaceList(const std::vector<uint32_t>& quads) {
    std::vector<uint32_t> list{static_cast<uint32_t>(quads.size() / 4)};
    for (size_t f = 0; f < quads.size(); f += 4)
        list.insert(list.end(), {4u, quads[f], quads[f + 1], quads[f + 2], quads[f + 3]});
    return list;
}

std::string BinaryPayload(const Grid& g) {
    BinaryOut b;
    const std::vector<uint32_t> faces = FaceList(g.quads);
    const uint32_t vertices = static_cast<uint32_t>(g.positions.size() / 3);
    b.Name("Mesh").Name("grid").Open();
    b.Integers({vertices}).Floats(g.positions.data(), g.positions.size()).Integers(faces);
    b.Name("MeshNormals").Open();
    b.Integers({vertices}).Floats(g.normals.data(), g.normals.size()).Integers(faces);
    b.Close();
    b.Name("MeshTextureCoords").Open();
    b.Integers({vertices}).Floats(g.coords.data(), g.coords.size());
    b.Close();
    b.Name("MeshMaterialList").Open();
    std::vector<uint32_t> list{2u, static_cast<uint32_t>(g.materials.size())};
    list.insert(list.end(), g.materials.begin(), g.materials.end());
    b.Integers(list);
    for (const auto& m : kMaterials) {
        b.Name("Material").Open().Floats(m, 11).Close();
    }
    b.Close();
    b.Close();
    return std::move(b.str());
}

std::string PathOf(const std::string& folder, int n, XForm form) {
    return folder + "/grid" + std::to_string(n) + "_" + XFormName(form) + ".x";
}

} // namespace

const char* XFormName(XForm form) {
    switch (form) {
    case XForm::Text:
        return "text";
    case XForm::Binary:
        return "binary";
    case XForm::TextZip:
        return "tzip";
    case XForm::BinaryZip:
        return "bzip";
    }
    return "?";
}

std::string GridModelFile(int n, XForm form) {
    const Grid g = MakeGrid(n);
    switch (form) {
    case XForm::Text:
        return "xof 0303txt 0032" + TextPayload(g);
    case XForm::Binary:
        return "xof 0303bin 0032" + BinaryPayload(g);
    case XForm::TextZip:
        return xfile_test::Compressed("xof 0303tzip0032", TextPayload(g));
    case XForm::BinaryZip:
        return xfile_test::Compressed("xof 0303bzip0032", BinaryPayload(g));
    }
    return {};
}

std::string EnsureGridModel(const std::string& folder, int n, XForm form) {
    const std::string path = PathOf(folder, n, form);
    if (std::filesystem::exists(path)) return path;
    std::filesystem::create_directories(folder);
    const std::string bytes = GridModelFile(n, form);
    const std::string temporary = path + ".part";
    {
        std::ofstream f(temporary, std::ios::binary);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::filesystem::rename(temporary, path);
    return path;
}

} // namespace bench
