// Builds D3DXLoadMeshFromX's merged mesh from an .x document: frame transforms, polygon fans,
// vertices split where their corners' normals differ, colours, texture coordinates and
// material lists, mesh after mesh in file order.
#include "d3dx9/mesh_build.h"
#include "d3dx9/mesh_values.h"

#include "xfile/document.h"
#include "xfile/large_buffer.h"

#include <d3dx9.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <span>

namespace d3dx9 {
namespace {

using xfile::Document;
// The builder's per-corner and per-vertex tables: huge pages and no zeroing before they are
// filled, as a large mesh's tables take tens of thousands of page faults otherwise.
using xfile::LargeVector;
using xfile::Node;
using xfile::Template;

constexpr uint32_t kNone = 0xFFFFFFFF;
// Frames nest at most kMaxDepth deep in the document; references add hops on top of that.
constexpr uint32_t kMaxWalkDepth = 2 * xfile::kMaxDepth;
// References may place a mesh more than once. The merged mesh may hold this many times the
// document's numbers (plus some slack for small files); more is a file built to exhaust memory.
constexpr uint64_t kInstancingFactor = 4;
constexpr uint64_t kInstancingSlack = uint64_t{1} << 20;

// Empties a vector and gives its memory back (clear() keeps the storage).
template <class Vector> void ReleaseStorage(Vector& v) {
    Vector().swap(v);
}

struct MeshInstance {
    const Node* mesh;
    D3DXMATRIX world;
    bool identity;
};

struct Layout {
    DWORD fvf = D3DFVF_XYZ;
    DWORD stride = 12;
    DWORD normal = 0, diffuse = 0, texture = 0; // byte offsets, 0 when absent
};

bool IsIdentity(const D3DXMATRIX& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m.m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
    return true;
}

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

D3DXVECTOR3 Normalized(D3DXVECTOR3 v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length > 0) {
        v.x /= length;
        v.y /= length;
        v.z /= length;
    }
    return v;
}

// Clamped to [0,1]; NaN (binary files can hold one) counts as 0.
BYTE ColorByte(float c) {
    c = c > 0 ? (c < 1 ? c : 1) : 0;
    return static_cast<BYTE>(c * 255.0f + 0.5f);
}

// Collects the meshes to merge, in file order, each with the transform in force where it
// appears. Work is bounded: references can only point backwards, but they can still fan out.
class Walker {
  public:
    explicit Walker(const Document& doc)
        : doc_(doc), visits_left_(kInstancingFactor * doc.nodes().size() + kInstancingSlack),
          data_left_(kInstancingFactor * doc.number_count() + kInstancingSlack) {}

    HRESULT Run() {
        const D3DXMATRIX identity = Identity();
        for (const Node& n : doc_.top_level()) {
            if (n.type == Template::Mesh) {
                if (!Emit(n, identity, true)) return status_;
            } else if (n.type == Template::Frame) {
                if (!WalkFrame(n, identity, true, 1)) return status_;
            }
        }
        return D3D_OK;
    }
    std::vector<MeshInstance>& instances() { return instances_; }

  private:
    bool Stop(HRESULT status) {
        status_ = status;
        return false;
    }
    bool Emit(const Node& mesh, const D3DXMATRIX& world, bool identity) {
        if (mesh.numbers_count > data_left_) return Stop(E_OUTOFMEMORY);
        data_left_ -= mesh.numbers_count;
        instances_.push_back({&mesh, world, identity});
        return true;
    }
    bool WalkFrame(const Node& frame, D3DXMATRIX world, bool identity, uint32_t depth) {
        if (depth > kMaxWalkDepth) return Stop(E_FAIL);
        for (const Node& child : doc_.children(frame)) {
            if (visits_left_ == 0) return Stop(E_OUTOFMEMORY);
            --visits_left_;
            const Node* c = doc_.resolve(child);
            if (!c) continue;
            switch (c->type) {
            case Template::FrameTransformMatrix: {
                const auto v = doc_.numbers(*c);
                if (v.size() != 16) return Stop(E_FAIL);
                D3DXMATRIX local;
                for (int i = 0; i < 16; ++i)
                    local.m[i / 4][i % 4] = v.real(i);
                // Row vectors: the frame's own matrix first, then what encloses it. A matrix
                // applies to the meshes after it; several in one frame accumulate.
                D3DXMatrixMultiply(&world, &local, &world);
                identity = IsIdentity(world);
                break;
            }
            case Template::Mesh:
                if (!Emit(*c, world, identity)) return false;
                break;
            case Template::Frame:
                if (!WalkFrame(*c, world, identity, depth + 1)) return false;
                break;
            default:
                break;
            }
        }
        return true;
    }

    const Document& doc_;
    std::vector<MeshInstance> instances_;
    uint64_t visits_left_;
    uint64_t data_left_;
    HRESULT status_ = D3D_OK;
};

struct MeshChildren {
    const Node* normals = nullptr;
    const Node* coords = nullptr;
    const Node* colors = nullptr;
    const Node* materials = nullptr;
};

// The mesh's optional parts; when one appears twice, the last one counts.
MeshChildren FindChildren(const Document& doc, const Node& mesh) {
    MeshChildren parts;
    for (const Node& child : doc.children(mesh)) {
        const Node* c = doc.resolve(child);
        if (!c) continue;
        switch (c->type) {
        case Template::MeshNormals:
            parts.normals = c;
            break;
        case Template::MeshTextureCoords:
            parts.coords = c;
            break;
        case Template::MeshVertexColors:
            parts.colors = c;
            break;
        case Template::MeshMaterialList:
            parts.materials = c;
            break;
        default:
            break;
        }
    }
    return parts;
}

HRESULT ReadMaterial(const Document& doc, const Node& node, XMaterial& out) {
    const auto v = doc.numbers(node);
    if (v.size() < 11) return E_FAIL;
    const auto f = [&](int i) { return v.real(i); };
    D3DMATERIAL9& m = out.material;
    m.Diffuse = {f(0), f(1), f(2), f(3)};
    m.Ambient = {0, 0, 0, 1};
    m.Power = f(4);
    m.Specular = {f(5), f(6), f(7), 1};
    m.Emissive = {f(8), f(9), f(10), 1};
    for (const Node& child : doc.children(node)) {
        const Node* c = doc.resolve(child);
        if (c && c->type == Template::TextureFilename && c->strings_count > 0) {
            out.has_texture = true;
            out.texture = std::string(doc.string(*c, 0));
        }
    }
    return D3D_OK;
}

// Equal normal values share an id, so corners compare normals by value in O(1).
struct NormalKey {
    uint32_t bits[3];
    bool operator==(const NormalKey& o) const { return std::memcmp(bits, o.bits, 12) == 0; }
};
NormalKey KeyOf(const D3DXVECTOR3& n) {
    NormalKey k;
    const float v[3] = {n.x + 0.0f, n.y + 0.0f, n.z + 0.0f}; // -0 and +0 are one value
    std::memcpy(k.bits, v, 12);
    return k;
}
size_t HashOf(const NormalKey& k) {
    uint64_t h = k.bits[0] * 0x9E3779B97F4A7C15ull;
    h = (h ^ k.bits[1]) * 0xC2B2AE3D27D4EB4Full;
    return static_cast<size_t>((h ^ k.bits[2]) * 0x165667B19E3779F9ull >> 17);
}
size_t HashOf(uint64_t k) {
    return static_cast<size_t>((k * 0x9E3779B97F4A7C15ull) >> 17);
}

// An open-addressing set of indices, each standing for a key its caller keeps. Sized once for
// the most entries it can get; no allocation per entry (meshes have millions of corners).
class IndexSet {
  public:
    explicit IndexSet(size_t most) {
        size_t capacity = 16;
        while (capacity < most * 2)
            capacity <<= 1;
        slots_.assign(capacity, kNone);
        mask_ = capacity - 1;
    }
    // The index already standing for the same key as `index` (as `same` decides), or `index`
    // itself, now added.
    template <class Same> uint32_t FindOrAdd(size_t hash, uint32_t index, Same same) {
        for (size_t i = hash & mask_;; i = (i + 1) & mask_) {
            if (slots_[i] == kNone) {
                slots_[i] = index;
                return index;
            }
            if (same(slots_[i])) return slots_[i];
        }
    }

    void Prefetch(size_t hash) const { __builtin_prefetch(&slots_[hash & mask_]); }

  private:
    LargeVector<uint32_t> slots_;
    size_t mask_;
};

class MeshAppender {
  public:
    MeshAppender(const Document& doc, const Layout& layout, MeshGeometry& out)
        : doc_(doc), layout_(layout), out_(out) {}

    // D3D_OK, S_FALSE for a mesh without vertices (skipped), or E_FAIL.
    HRESULT Append(const MeshInstance& instance, bool& had_material_list);
    // Where each vertex the next Append builds comes from goes to `origins`.
    void KeepOrigins(VertexOrigins* origins) { origins_ = origins; }

  private:
    HRESULT ReadPositions(Values& v, uint32_t vertex_count);
    HRESULT ReadFaces(Values& v, uint32_t vertex_count);
    HRESULT ReadNormals(const Node& node);
    HRESULT ReadTextureCoords(const Node& node, uint32_t vertex_count);
    HRESULT ReadVertexColors(const Node& node, uint32_t vertex_count);
    HRESULT ReadMaterialList(const Node& node, uint32_t face_count);
    void SplitByNormals(uint32_t vertex_count);
    void PlaceInWorld(const D3DXMATRIX& world);
    void ReleaseCornerInputs();
    HRESULT WriteVertices(bool has_normals);
    void ReleaseVertexInputs();
    void WriteTriangles(uint32_t base, bool has_material_list);

    const Document& doc_;
    const Layout& layout_;
    MeshGeometry& out_;
    VertexOrigins* origins_ = nullptr;

    LargeVector<D3DXVECTOR3> positions_;
    LargeVector<float> coords_;        // two per vertex, empty without texture coordinates
    LargeVector<D3DCOLOR> colors_;     // per vertex, empty without vertex colours
    LargeVector<uint32_t> face_start_; // polygon f's corners: [face_start_[f], face_start_[f+1])
    LargeVector<uint32_t> corners_;    // file vertex index of each corner
    LargeVector<D3DXVECTOR3> normal_values_;
    LargeVector<uint32_t> normal_ids_;    // per file normal: id of its value
    LargeVector<uint32_t> corner_normal_; // per corner: normal index, empty without normals
    LargeVector<uint32_t> polygon_material_;
    std::vector<XMaterial> materials_;
    LargeVector<uint32_t> source_;           // per output vertex: the file vertex it copies
    LargeVector<D3DXVECTOR3> vertex_normal_; // per output vertex
    LargeVector<uint32_t> corner_vertex_;    // per corner: output vertex
};

HRESULT MeshAppender::ReadFaces(Values& v, uint32_t vertex_count) {
    uint32_t face_count;
    if (!v.Count(face_count) || face_count > v.left()) return E_FAIL;
    face_start_.assign(size_t{face_count} + 1, 0);
    corners_.clear();
    corners_.reserve(v.left()); // at most: the rest are the polygons' sizes
    for (uint32_t f = 0; f < face_count; ++f) {
        uint32_t n;
        if (!v.Count(n) || n < 3 || n > v.left()) return E_FAIL;
        face_start_[f] = static_cast<uint32_t>(corners_.size());
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t index;
            if (!v.Count(index) || index >= vertex_count) return E_FAIL;
            corners_.push_back(index);
        }
    }
    face_start_[face_count] = static_cast<uint32_t>(corners_.size());
    return D3D_OK;
}

HRESULT MeshAppender::ReadNormals(const Node& node) {
    normal_values_.clear();
    normal_ids_.clear();
    corner_normal_.clear();
    Values v(doc_.numbers(node));
    // An empty MeshNormals still gives the mesh normals, all zero.
    if (v.left() == 0) return D3D_OK;
    uint32_t count, face_count;
    if (!v.Count(count) || count > v.left() / 3) return E_FAIL;
    normal_values_.resize(count);
    normal_ids_.resize(count);
    LargeVector<NormalKey> keys(count);
    LargeVector<size_t> hashes(count);
    IndexSet ids(count);
    v.Floats(reinterpret_cast<float*>(normal_values_.data()), size_t{count} * 3);
    for (uint32_t i = 0; i < count; ++i) {
        normal_values_[i] = Normalized(normal_values_[i]);
        keys[i] = KeyOf(normal_values_[i]);
        hashes[i] = HashOf(keys[i]);
    }
    // The table is far larger than the caches: each probe's slot is fetched some entries ahead.
    constexpr uint32_t kAhead = 16;
    for (uint32_t i = 0; i < count; ++i) {
        if (i + kAhead < count) ids.Prefetch(hashes[i + kAhead]);
        normal_ids_[i] =
            ids.FindOrAdd(hashes[i], i, [&](uint32_t other) { return keys[other] == keys[i]; });
    }
    const uint32_t polygons = static_cast<uint32_t>(face_start_.size() - 1);
    if (!v.Count(face_count)) return E_FAIL;
    if (count == 0 && face_count == 0) return D3D_OK;
    if (face_count != polygons) return E_FAIL;
    corner_normal_.resize(corners_.size());
    for (uint32_t f = 0; f < polygons; ++f) {
        uint32_t n;
        if (!v.Count(n) || n != face_start_[f + 1] - face_start_[f]) return E_FAIL;
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t index;
            if (!v.Count(index) || index >= count) return E_FAIL;
            corner_normal_[face_start_[f] + i] = index;
        }
    }
    return D3D_OK;
}

HRESULT MeshAppender::ReadMaterialList(const Node& node, uint32_t face_count) {
    polygon_material_.clear();
    materials_.clear();
    Values v(doc_.numbers(node));
    uint32_t material_count, index_count;
    if (!v.Count(material_count) || !v.Count(index_count)) return E_FAIL;
    if (material_count == 0) return D3D_OK; // no list
    if (index_count > v.left() || (index_count == 0 && face_count > 0)) return E_FAIL;
    polygon_material_.resize(face_count);
    for (uint32_t i = 0; i < index_count; ++i) {
        uint32_t m;
        if (!v.Count(m) || m >= material_count) return E_FAIL;
        if (i < face_count) polygon_material_[i] = m;
    }
    // A short list repeats its last index over the remaining faces.
    for (uint32_t i = index_count; i < face_count; ++i)
        polygon_material_[i] = polygon_material_[index_count - 1];
    for (const Node& child : doc_.children(node)) {
        const Node* c = doc_.resolve(child);
        if (!c || c->type != Template::Material) continue;
        XMaterial m;
        if (HRESULT hr = ReadMaterial(doc_, *c, m); hr != D3D_OK) return hr;
        materials_.push_back(std::move(m));
    }
    return materials_.size() == material_count ? D3D_OK : E_FAIL;
}

// Corners are visited polygon by polygon in file order. The first corner at a vertex gives it
// its normal; a later corner with another normal value gets a copy of the vertex, appended in
// order of discovery, shared by later corners with that same value.
void MeshAppender::SplitByNormals(uint32_t vertex_count) {
    source_.resize(vertex_count);
    for (uint32_t i = 0; i < vertex_count; ++i)
        source_[i] = i;
    vertex_normal_.assign(vertex_count, D3DXVECTOR3{});
    // Each corner's file vertex turns into its output vertex in place.
    corner_vertex_ = std::move(corners_);
    corners_.clear();
    if (corner_normal_.empty()) return;
    LargeVector<uint32_t> first_id(vertex_count, kNone);
    std::vector<uint64_t> copy_key; // per copy (output vertex - vertex_count): file vertex, id
    // Made at the first copy: most meshes need none, and its table is sized for every corner.
    std::optional<IndexSet> copies;
    for (size_t c = 0; c < corner_vertex_.size(); ++c) {
        const uint32_t v = corner_vertex_[c];
        const uint32_t normal = corner_normal_[c];
        const uint32_t id = normal_ids_[normal];
        if (first_id[v] == kNone) {
            first_id[v] = id;
            vertex_normal_[v] = normal_values_[normal];
        } else if (first_id[v] != id) {
            const uint64_t key = (uint64_t{v} << 32) | id;
            const uint32_t next = static_cast<uint32_t>(source_.size());
            if (!copies) copies.emplace(corner_vertex_.size());
            const uint32_t copy = copies->FindOrAdd(HashOf(key), next, [&](uint32_t other) {
                return copy_key[other - vertex_count] == key;
            });
            if (copy == next) {
                source_.push_back(v);
                vertex_normal_.push_back(normal_values_[normal]);
                copy_key.push_back(key);
            }
            corner_vertex_[c] = copy;
        }
    }
}

HRESULT MeshAppender::ReadPositions(Values& v, uint32_t vertex_count) {
    if (vertex_count > v.left() / 3) return E_FAIL;
    positions_.resize(vertex_count);
    static_assert(sizeof(D3DXVECTOR3) == 12);
    v.Floats(reinterpret_cast<float*>(positions_.data()), size_t{vertex_count} * 3);
    return D3D_OK;
}

HRESULT MeshAppender::ReadTextureCoords(const Node& node, uint32_t vertex_count) {
    Values t(doc_.numbers(node));
    uint32_t count;
    if (!t.Count(count) || count != vertex_count || t.left() < size_t{count} * 2) return E_FAIL;
    coords_.resize(size_t{count} * 2);
    t.Floats(coords_.data(), coords_.size());
    return D3D_OK;
}

HRESULT MeshAppender::ReadVertexColors(const Node& node, uint32_t vertex_count) {
    colors_.assign(vertex_count, 0x00FFFFFF); // unlisted vertices: white, alpha 0
    Values c(doc_.numbers(node));
    uint32_t count;
    if (!c.Count(count) || count > c.left() / 5) return E_FAIL;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index;
        if (!c.Count(index) || index >= vertex_count) return E_FAIL;
        const BYTE r = ColorByte(c.Float()), g = ColorByte(c.Float()), b = ColorByte(c.Float());
        const BYTE a = ColorByte(c.Float());
        colors_[index] = (DWORD{a} << 24) | (DWORD{r} << 16) | (DWORD{g} << 8) | b;
    }
    return D3D_OK;
}

// Positions move with the frame; normals turn with the inverse transpose and are renormalised,
// so translation never leaks into them.
void MeshAppender::PlaceInWorld(const D3DXMATRIX& world) {
    for (auto& p : positions_)
        D3DXVec3TransformCoord(&p, &p, &world);
    D3DXMATRIX inverse, normal_matrix = world;
    if (D3DXMatrixInverse(&inverse, nullptr, &world)) D3DXMatrixTranspose(&normal_matrix, &inverse);
    for (auto& n : vertex_normal_) {
        D3DXVec3TransformNormal(&n, &n, &normal_matrix);
        n = Normalized(n);
    }
}

HRESULT MeshAppender::WriteVertices(bool has_normals) {
    const uint64_t base = out_.vertex_count;
    const uint64_t total = base + source_.size();
    if (total > 0xFFFFFFFFu) return E_OUTOFMEMORY;
    const DWORD stride = layout_.stride;
    out_.vertices.resize(total * stride);
    for (size_t j = 0; j < source_.size(); ++j) {
        uint8_t* dst = out_.vertices.data() + (base + j) * stride;
        const uint32_t s = source_[j];
        std::memcpy(dst, &positions_[s], 12);
        // The merged layout's parts this mesh lacks are zero.
        if (has_normals)
            std::memcpy(dst + layout_.normal, &vertex_normal_[j], 12);
        else if (layout_.normal)
            std::memset(dst + layout_.normal, 0, 12);
        if (!colors_.empty())
            std::memcpy(dst + layout_.diffuse, &colors_[s], 4);
        else if (layout_.diffuse)
            std::memset(dst + layout_.diffuse, 0, 4);
        if (!coords_.empty())
            std::memcpy(dst + layout_.texture, &coords_[size_t{s} * 2], 8);
        else if (layout_.texture)
            std::memset(dst + layout_.texture, 0, 8);
    }
    out_.vertex_count = static_cast<uint32_t>(total);
    return D3D_OK;
}

// Once each corner has its output vertex, the file's corner normals and normal tables are not
// needed; they go before anything else is read, as the largest models are at their peak memory
// from here on.
void MeshAppender::ReleaseCornerInputs() {
    ReleaseStorage(corner_normal_);
    ReleaseStorage(normal_values_);
    ReleaseStorage(normal_ids_);
}

// Only the polygons and their output vertices are needed once the vertices are written.
void MeshAppender::ReleaseVertexInputs() {
    ReleaseStorage(positions_);
    ReleaseStorage(coords_);
    ReleaseStorage(colors_);
    ReleaseStorage(source_);
    ReleaseStorage(vertex_normal_);
}

// Polygons become fans (v0 v1 v2) (v0 v2 v3) ..., winding kept. With a material list each
// triangle goes straight to its place with the mesh's faces sorted by attribute, file order
// kept within each attribute.
void MeshAppender::WriteTriangles(uint32_t base, bool has_material_list) {
    const uint32_t polygons = static_cast<uint32_t>(face_start_.size() - 1);
    const size_t first_face = out_.attributes.size();
    const size_t new_faces = corner_vertex_.size() - 2 * size_t{polygons};
    out_.indices.resize(out_.indices.size() + 3 * new_faces);
    out_.attributes.resize(first_face + new_faces);
    const DWORD material_base = static_cast<DWORD>(out_.materials.size());
    std::vector<size_t> next_face(has_material_list ? materials_.size() : 1, 0);
    if (has_material_list) {
        std::vector<size_t> faces_of(materials_.size(), 0);
        for (uint32_t f = 0; f < polygons; ++f)
            faces_of[polygon_material_[f]] += face_start_[f + 1] - face_start_[f] - 2;
        for (size_t m = 1; m < faces_of.size(); ++m)
            next_face[m] = next_face[m - 1] + faces_of[m - 1];
    }
    for (uint32_t f = 0; f < polygons; ++f) {
        const uint32_t s = face_start_[f], n = face_start_[f + 1] - s;
        // A mesh without a material list keeps id 0, whatever the meshes before it hold.
        const uint32_t material = has_material_list ? polygon_material_[f] : 0;
        const DWORD attribute = has_material_list ? material_base + material : 0;
        for (uint32_t i = 1; i + 1 < n; ++i) {
            const size_t face = first_face + next_face[material]++;
            uint32_t* triangle = out_.indices.data() + face * 3;
            triangle[0] = base + corner_vertex_[s];
            triangle[1] = base + corner_vertex_[s + i];
            triangle[2] = base + corner_vertex_[s + i + 1];
            out_.attributes[face] = attribute;
        }
    }
}

HRESULT MeshAppender::Append(const MeshInstance& instance, bool& had_material_list) {
    had_material_list = false;
    Values v(doc_.numbers(*instance.mesh));
    uint32_t vertex_count;
    if (!v.Count(vertex_count)) return E_FAIL;
    if (vertex_count == 0) return S_FALSE;
    if (HRESULT hr = ReadPositions(v, vertex_count); hr != D3D_OK) return hr;
    if (HRESULT hr = ReadFaces(v, vertex_count); hr != D3D_OK) return hr;
    const uint32_t polygons = static_cast<uint32_t>(face_start_.size() - 1);
    const MeshChildren parts = FindChildren(doc_, *instance.mesh);
    corner_normal_.clear();
    if (parts.normals)
        if (HRESULT hr = ReadNormals(*parts.normals); hr != D3D_OK) return hr;
    // The per-vertex and per-face parts are read after the split, which is where the corner
    // tables take the most memory; any of them that is malformed fails the load all the same.
    SplitByNormals(vertex_count);
    ReleaseCornerInputs();
    coords_.clear();
    if (parts.coords)
        if (HRESULT hr = ReadTextureCoords(*parts.coords, vertex_count); hr != D3D_OK) return hr;
    colors_.clear();
    if (parts.colors)
        if (HRESULT hr = ReadVertexColors(*parts.colors, vertex_count); hr != D3D_OK) return hr;
    polygon_material_.clear();
    materials_.clear();
    if (parts.materials)
        if (HRESULT hr = ReadMaterialList(*parts.materials, polygons); hr != D3D_OK) return hr;
    had_material_list = !materials_.empty();

    if (!instance.identity) PlaceInWorld(instance.world);
    const uint32_t base = out_.vertex_count;
    if (HRESULT hr = WriteVertices(parts.normals != nullptr); hr != D3D_OK) return hr;
    if (origins_) {
        origins_->file_vertex_count = vertex_count;
        origins_->source = std::move(source_);
    }
    ReleaseVertexInputs();
    WriteTriangles(base, had_material_list);
    if (had_material_list)
        for (auto& m : materials_)
            out_.materials.push_back(std::move(m));
    return D3D_OK;
}

XMaterial DefaultMaterial() {
    XMaterial m;
    m.material.Diffuse = {0.5f, 0.5f, 0.5f, 0};
    m.material.Ambient = {0, 0, 0, 0};
    m.material.Specular = {0.5f, 0.5f, 0.5f, 0};
    m.material.Emissive = {0, 0, 0, 0};
    m.material.Power = 0;
    return m;
}

// The layout of the meshes merged: position, then whatever any mesh with vertices has (normal,
// colour, one uv set).
Layout LayoutOf(const Document& doc, std::span<const MeshInstance> instances) {
    Layout layout;
    for (const MeshInstance& instance : instances) {
        const auto numbers = doc.numbers(*instance.mesh);
        if (!numbers.empty() && numbers[0] == 0) continue; // no vertices: skipped
        const MeshChildren parts = FindChildren(doc, *instance.mesh);
        if (parts.normals) layout.fvf |= D3DFVF_NORMAL;
        if (parts.colors) layout.fvf |= D3DFVF_DIFFUSE;
        if (parts.coords) layout.fvf |= D3DFVF_TEX1;
    }
    if (layout.fvf & D3DFVF_NORMAL) {
        layout.normal = layout.stride;
        layout.stride += 12;
    }
    if (layout.fvf & D3DFVF_DIFFUSE) {
        layout.diffuse = layout.stride;
        layout.stride += 4;
    }
    if (layout.fvf & D3DFVF_TEX1) {
        layout.texture = layout.stride;
        layout.stride += 8;
    }
    return layout;
}

// A built mesh needs vertices (E_FAIL without) and faces (the mesh cannot be made without).
HRESULT CheckBuilt(const MeshGeometry& g) {
    if (g.vertex_count == 0) return E_FAIL;
    if (g.attributes.empty()) return D3DERR_INVALIDCALL;
    return D3D_OK;
}

} // namespace

HRESULT BuildMeshGeometry(const Document& doc, MeshGeometry& out) {
    out = MeshGeometry{};
    Walker walker(doc);
    if (HRESULT hr = walker.Run(); hr != D3D_OK) return hr;

    const Layout layout = LayoutOf(doc, walker.instances());
    out.fvf = layout.fvf;
    out.stride = layout.stride;

    MeshAppender appender(doc, layout, out);
    int built = 0, with_list = 0;
    for (const MeshInstance& instance : walker.instances()) {
        bool had_list = false;
        const HRESULT hr = appender.Append(instance, had_list);
        if (FAILED(hr)) return hr;
        if (hr == S_FALSE) continue;
        ++built;
        with_list += had_list;
    }
    if (HRESULT hr = CheckBuilt(out); hr != D3D_OK) return hr;
    if (out.materials.empty()) out.materials.push_back(DefaultMaterial());
    out.attribute_table = built == 1 && with_list == 1;
    return D3D_OK;
}

HRESULT BuildOneMeshGeometry(const Document& doc, const Node& mesh, MeshGeometry& out,
                             VertexOrigins* origins) {
    out = MeshGeometry{};
    const MeshInstance instance{&mesh, Identity(), true};
    const Layout layout = LayoutOf(doc, {&instance, 1});
    out.fvf = layout.fvf;
    out.stride = layout.stride;

    MeshAppender appender(doc, layout, out);
    appender.KeepOrigins(origins);
    bool had_list = false;
    if (HRESULT hr = appender.Append(instance, had_list); hr != D3D_OK) return hr;
    if (HRESULT hr = CheckBuilt(out); hr != D3D_OK) return hr;
    out.attribute_table = had_list;
    return D3D_OK;
}

} // namespace d3dx9
