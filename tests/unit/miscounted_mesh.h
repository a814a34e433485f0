// Test models for lists longer or shorter than their counts: a framed, textured, coloured mesh
// with normals and two materials, each of whose arrays can be listed one element more or one
// fewer than its count says, written as text or as binary, with where the reader must stop.
#pragma once

#include "xfile_test_writer.h"

#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace xfile_test {

// The arrays of a mesh and its parts, each sized by the count before it.
enum class MeshArray {
    Vertices,
    Faces,
    LastFaceIndices, // the last face's vertex indices, sized by that face's own count
    Normals,
    NormalFaces,
    LastNormalFaceIndices,
    TextureCoords,
    VertexColors,
    MaterialIndices,
};

inline constexpr MeshArray kMeshArrays[] = {
    MeshArray::Vertices,      MeshArray::Faces,        MeshArray::LastFaceIndices,
    MeshArray::Normals,       MeshArray::NormalFaces,  MeshArray::LastNormalFaceIndices,
    MeshArray::TextureCoords, MeshArray::VertexColors, MeshArray::MaterialIndices,
};

inline const char* ArrayName(MeshArray a) {
    switch (a) {
    case MeshArray::Vertices:
        return "vertices";
    case MeshArray::Faces:
        return "faces";
    case MeshArray::LastFaceIndices:
        return "a face's vertex indices";
    case MeshArray::Normals:
        return "normals";
    case MeshArray::NormalFaces:
        return "face normals";
    case MeshArray::LastNormalFaceIndices:
        return "a face's normal indices";
    case MeshArray::TextureCoords:
        return "texture coordinates";
    case MeshArray::VertexColors:
        return "vertex colours";
    case MeshArray::MaterialIndices:
        return "material indices";
    }
    return "?";
}

// One array listed with `listed` elements more than its count (-1: one fewer; 0: as counted).
struct Miscount {
    MeshArray array = MeshArray::Vertices;
    int listed = 0;
};

// A model's bytes (header included) and two places in them: where the first element past the
// count starts (listed > 0), and where the token after the values of the array's object starts
// (its first child, or its '}').
struct MiscountedModel {
    std::string bytes;
    size_t surplus = std::string::npos;
    size_t after_values = std::string::npos;
};

namespace miscounted {

// The model as counted; Listed() gives an array as listed.
struct Model {
    std::vector<std::vector<double>> vertices = {
        {0.5, 0.25, 0.75}, {1.5, 0.25, 0.75}, {1.5, 1.25, 0.75}, {0.5, 1.25, 1.75}};
    std::vector<std::vector<uint32_t>> faces = {{0, 1, 2}, {0, 2, 3}};
    std::vector<std::vector<double>> normals = {{0.6, 0.8, 0}, {0.8, 0, 0.6}};
    std::vector<std::vector<uint32_t>> normal_faces = {{0, 0, 0}, {1, 1, 1}};
    std::vector<std::vector<double>> uvs = {{0.25, 0.5}, {0.75, 0.5}, {0.75, 0.125}, {0.25, 1}};
    // index, then red, green, blue, alpha
    std::vector<std::vector<double>> colors = {{0, 1, 0, 0, 1}, {3, 0, 0, 1, 0.5}};
    std::vector<uint32_t> material_indices = {1, 0};
};

// What each array gains as its extra element (none of whose coordinates is a whole number, so
// that one read where a count belongs is refused there).
inline const std::vector<double> kExtraVertex = {2.5, 0.25, 0.75};
inline const std::vector<uint32_t> kExtraFace = {1, 2, 3};
inline const std::vector<double> kExtraNormal = {0.6, 0, 0.8};
inline const std::vector<double> kExtraUv = {0.75, 0.375};
inline const std::vector<double> kExtraColor = {1, 0.5, 0.5, 0.5, 1};

template <class T> void Relist(std::vector<T>& v, int listed, const T& extra) {
    if (listed > 0) v.push_back(extra);
    if (listed < 0) v.pop_back();
}

// `counted` with `m` applied to the lists (counts are taken from `counted`).
inline Model Listed(const Model& counted, Miscount m) {
    Model l = counted;
    switch (m.array) {
    case MeshArray::Vertices:
        Relist(l.vertices, m.listed, kExtraVertex);
        break;
    case MeshArray::Faces:
        Relist(l.faces, m.listed, kExtraFace);
        break;
    case MeshArray::LastFaceIndices:
        Relist(l.faces.back(), m.listed, uint32_t{1});
        break;
    case MeshArray::Normals:
        Relist(l.normals, m.listed, kExtraNormal);
        break;
    case MeshArray::NormalFaces:
        Relist(l.normal_faces, m.listed, std::vector<uint32_t>{1, 1, 1});
        break;
    case MeshArray::LastNormalFaceIndices:
        Relist(l.normal_faces.back(), m.listed, uint32_t{0});
        break;
    case MeshArray::TextureCoords:
        Relist(l.uvs, m.listed, kExtraUv);
        break;
    case MeshArray::VertexColors:
        Relist(l.colors, m.listed, kExtraColor);
        break;
    case MeshArray::MaterialIndices:
        Relist(l.material_indices, m.listed, uint32_t{1});
        break;
    }
    return l;
}

inline const std::vector<double> kMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5, 2, -1, 1};
inline const std::vector<double> kRed = {1, 0, 0, 1, 8, 0.5, 0.5, 0.5, 0, 0, 0};
inline const std::vector<double> kGreen = {0, 1, 0, 1, 2, 0, 0, 0, 0, 0, 0};

inline std::string Number(double v) {
    char b[32];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}

// Text, one element a line. Marks the start of the first element past `counted` elements, and
// the start of the next token after an array's object's values.
class TextWriter {
  public:
    explicit TextWriter(Miscount m) : m_(m) {}
    std::string out = "xof 0303txt 0032\n";
    MiscountedModel result;

    void Line(const std::string& s) {
        if (after_values_pending_) result.after_values = out.size() + s.find_first_not_of(' ');
        after_values_pending_ = false;
        out += s + "\n";
    }
    // `elements`, each already ending in its own ';', separated by ',' and ended by ';'.
    // `inner` marks, in the last element, the offset of a value past that element's count.
    void Elements(MeshArray which, const std::vector<std::string>& elements, size_t counted,
                  size_t inner = std::string::npos) {
        for (size_t i = 0; i < elements.size(); ++i) {
            if (which == m_.array && i == counted) result.surplus = out.size();
            if (which == m_.array && i + 1 == elements.size() && inner != std::string::npos)
                result.surplus = out.size() + inner;
            out += elements[i] + (i + 1 < elements.size() ? "," : ";") + "\n";
        }
        if (elements.empty()) out += ";\n";
    }
    // The next line's first token follows the values of the object holding `arrays`.
    void AfterValues(std::initializer_list<MeshArray> arrays) {
        for (MeshArray a : arrays)
            if (a == m_.array) after_values_pending_ = true;
    }

  private:
    Miscount m_;
    bool after_values_pending_ = false;
};

inline std::string Floats(const std::vector<double>& v) {
    std::string s;
    for (double x : v)
        s += Number(x) + ";";
    return s;
}

// A face "n;i,j,k;" and, when it lists more indices than `n`, where the first of them starts.
inline std::string FaceText(const std::vector<uint32_t>& listed, size_t n, size_t* surplus) {
    std::string s = std::to_string(n) + ";";
    for (size_t i = 0; i < listed.size(); ++i) {
        if (i == n && surplus) *surplus = s.size();
        s += std::to_string(listed[i]) + (i + 1 < listed.size() ? "," : "");
    }
    return s + ";";
}

inline std::vector<std::string> FaceLines(const std::vector<std::vector<uint32_t>>& listed,
                                          const std::vector<std::vector<uint32_t>>& counted,
                                          size_t* last_surplus) {
    std::vector<std::string> lines;
    for (size_t f = 0; f < listed.size(); ++f) {
        const size_t n = f < counted.size() ? counted[f].size() : listed[f].size();
        lines.push_back(FaceText(listed[f], n, f + 1 == listed.size() ? last_surplus : nullptr));
    }
    return lines;
}

} // namespace miscounted

// `counted` gives the counts (and, with `m` applied, the lists): by default the model above.
inline MiscountedModel MiscountedText(Miscount m, const miscounted::Model& counted = {}) {
    using namespace miscounted;
    const Model l = Listed(counted, m);
    TextWriter w(m);
    std::vector<std::string> e;
    w.Line("Frame root {");
    w.Line(" FrameTransformMatrix {");
    w.Line(Floats(kMatrix) + ";");
    w.Line(" }");
    w.Line(" Mesh quad {");
    w.Line(std::to_string(counted.vertices.size()) + ";");
    for (const auto& v : l.vertices)
        e.push_back(Floats(v));
    w.Elements(MeshArray::Vertices, e, counted.vertices.size());
    w.Line(std::to_string(counted.faces.size()) + ";");
    size_t inner = std::string::npos;
    e = FaceLines(l.faces, counted.faces, &inner);
    w.Elements(m.array == MeshArray::LastFaceIndices ? MeshArray::LastFaceIndices
                                                     : MeshArray::Faces,
               e, counted.faces.size(), inner);
    w.AfterValues({MeshArray::Vertices, MeshArray::Faces, MeshArray::LastFaceIndices});
    w.Line("  MeshNormals {");
    w.Line(std::to_string(counted.normals.size()) + ";");
    e.clear();
    for (const auto& v : l.normals)
        e.push_back(Floats(v));
    w.Elements(MeshArray::Normals, e, counted.normals.size());
    w.Line(std::to_string(counted.normal_faces.size()) + ";");
    inner = std::string::npos;
    e = FaceLines(l.normal_faces, counted.normal_faces, &inner);
    w.Elements(m.array == MeshArray::LastNormalFaceIndices ? MeshArray::LastNormalFaceIndices
                                                           : MeshArray::NormalFaces,
               e, counted.normal_faces.size(), inner);
    w.AfterValues({MeshArray::Normals, MeshArray::NormalFaces, MeshArray::LastNormalFaceIndices});
    w.Line("  }");
    w.Line("  MeshTextureCoords {");
    w.Line(std::to_string(counted.uvs.size()) + ";");
    e.clear();
    for (const auto& v : l.uvs)
        e.push_back(Floats(v));
    w.Elements(MeshArray::TextureCoords, e, counted.uvs.size());
    w.AfterValues({MeshArray::TextureCoords});
    w.Line("  }");
    w.Line("  MeshVertexColors {");
    w.Line(std::to_string(counted.colors.size()) + ";");
    e.clear();
    for (const auto& c : l.colors)
        e.push_back(std::to_string(static_cast<int>(c[0])) + ";" +
                    Floats({c.begin() + 1, c.end()}) + ";");
    w.Elements(MeshArray::VertexColors, e, counted.colors.size());
    w.AfterValues({MeshArray::VertexColors});
    w.Line("  }");
    w.Line("  MeshMaterialList {");
    w.Line("2;");
    w.Line(std::to_string(counted.material_indices.size()) + ";");
    // "1,\n0;;": single values separated by ',', the array ended by ";;".
    for (size_t i = 0; i < l.material_indices.size(); ++i) {
        if (m.array == MeshArray::MaterialIndices && i == counted.material_indices.size())
            w.result.surplus = w.out.size();
        w.out += std::to_string(l.material_indices[i]) +
                 (i + 1 < l.material_indices.size() ? ",\n" : ";;\n");
    }
    w.AfterValues({MeshArray::MaterialIndices});
    w.Line("   Material {");
    w.Line(Floats({kRed.begin(), kRed.begin() + 4}) + ";" + Number(kRed[4]) + ";" +
           Floats({kRed.begin() + 5, kRed.begin() + 8}) + ";" +
           Floats({kRed.begin() + 8, kRed.end()}) + ";");
    w.Line("    TextureFilename { \"red.png\"; }");
    w.Line("   }");
    w.Line("   Material {");
    w.Line(Floats({kGreen.begin(), kGreen.begin() + 4}) + ";" + Number(kGreen[4]) + ";" +
           Floats({kGreen.begin() + 5, kGreen.begin() + 8}) + ";" +
           Floats({kGreen.begin() + 8, kGreen.end()}) + ";");
    w.Line("   }");
    w.Line("  }");
    w.Line(" }");
    w.Line("}");
    w.result.bytes = w.out;
    return w.result;
}

inline MiscountedModel MiscountedBinary(Miscount m, bool doubles,
                                        const miscounted::Model& counted = {}) {
    using namespace miscounted;
    const Model l = Listed(counted, m);
    const size_t width = doubles ? 8 : 4;
    BinaryWriter w(doubles);
    MiscountedModel r;
    // The file offset of value `index` of the list written next.
    const auto value_at = [&](size_t index, size_t value_width) {
        return 16 + w.str().size() + 6 + index * value_width;
    };
    const auto after_values = [&](std::initializer_list<MeshArray> arrays) {
        for (MeshArray a : arrays)
            if (a == m.array) r.after_values = 16 + w.str().size();
    };
    const auto flat = [](const std::vector<std::vector<double>>& v) {
        std::vector<double> out;
        for (const auto& x : v)
            out.insert(out.end(), x.begin(), x.end());
        return out;
    };
    // nFaces, then each face's count and indices: one list, as binary exporters write it.
    const auto faces = [&](const std::vector<std::vector<uint32_t>>& listed,
                           const std::vector<std::vector<uint32_t>>& counted_faces, MeshArray whole,
                           MeshArray last) {
        std::vector<uint32_t> list = {static_cast<uint32_t>(counted_faces.size())};
        for (size_t f = 0; f < listed.size(); ++f) {
            if (m.array == whole && f == counted_faces.size()) r.surplus = value_at(list.size(), 4);
            const size_t n = f < counted_faces.size() ? counted_faces[f].size() : listed[f].size();
            list.push_back(static_cast<uint32_t>(n));
            for (size_t i = 0; i < listed[f].size(); ++i) {
                if (m.array == last && f + 1 == listed.size() && i == n)
                    r.surplus = value_at(list.size(), 4);
                list.push_back(listed[f][i]);
            }
        }
        w.Integers(list);
    };
    w.Name("Frame").Name("root").Open();
    w.Name("FrameTransformMatrix").Open().Floats(kMatrix).Close();
    w.Name("Mesh").Name("quad").Open();
    w.Integers({static_cast<uint32_t>(counted.vertices.size())});
    if (m.array == MeshArray::Vertices) r.surplus = value_at(counted.vertices.size() * 3, width);
    w.Floats(flat(l.vertices));
    faces(l.faces, counted.faces, MeshArray::Faces, MeshArray::LastFaceIndices);
    after_values({MeshArray::Vertices, MeshArray::Faces, MeshArray::LastFaceIndices});
    w.Name("MeshNormals").Open();
    w.Integers({static_cast<uint32_t>(counted.normals.size())});
    if (m.array == MeshArray::Normals) r.surplus = value_at(counted.normals.size() * 3, width);
    w.Floats(flat(l.normals));
    faces(l.normal_faces, counted.normal_faces, MeshArray::NormalFaces,
          MeshArray::LastNormalFaceIndices);
    after_values({MeshArray::Normals, MeshArray::NormalFaces, MeshArray::LastNormalFaceIndices});
    w.Close();
    w.Name("MeshTextureCoords").Open();
    w.Integers({static_cast<uint32_t>(counted.uvs.size())});
    if (m.array == MeshArray::TextureCoords) r.surplus = value_at(counted.uvs.size() * 2, width);
    w.Floats(flat(l.uvs));
    after_values({MeshArray::TextureCoords});
    w.Close();
    w.Name("MeshVertexColors").Open();
    w.Integers({static_cast<uint32_t>(counted.colors.size())});
    for (size_t i = 0; i < l.colors.size(); ++i) {
        if (m.array == MeshArray::VertexColors && i == counted.colors.size())
            r.surplus = value_at(0, 4);
        w.Integers({static_cast<uint32_t>(l.colors[i][0])});
        w.Floats({l.colors[i].begin() + 1, l.colors[i].end()});
    }
    after_values({MeshArray::VertexColors});
    w.Close();
    w.Name("MeshMaterialList").Open();
    std::vector<uint32_t> list = {2, static_cast<uint32_t>(counted.material_indices.size())};
    if (m.array == MeshArray::MaterialIndices)
        r.surplus = value_at(2 + counted.material_indices.size(), 4);
    list.insert(list.end(), l.material_indices.begin(), l.material_indices.end());
    w.Integers(list);
    after_values({MeshArray::MaterialIndices});
    w.Name("Material").Open().Floats(kRed);
    w.Name("TextureFilename").Open().String("red.png").Close().Close();
    w.Name("Material").Open().Floats(kGreen).Close();
    w.Close().Close().Close();
    r.bytes = std::string(doubles ? "xof 0303bin 0064" : "xof 0303bin 0032") + w.str();
    if (m.listed <= 0) r.surplus = std::string::npos;
    return r;
}

} // namespace xfile_test
