// The ID3DXMesh and buffers D3DX's loaders hand back, made from built geometry: the mesh's
// contents in the index width its vertex count needs, the material records with their texture
// names, one effect instance per material, and face adjacency.
#include "d3dx9/mesh_output.h"
#include "d3dx9/mesh.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace d3dx9 {
namespace {

// D3DXMATERIAL records followed by their NUL-terminated texture names, which the records'
// pointers point at.
HRESULT MakeMaterialBuffer(const std::vector<XMaterial>& materials, ID3DXBuffer** out) {
    size_t bytes = materials.size() * sizeof(D3DXMATERIAL);
    for (const XMaterial& m : materials)
        if (m.has_texture) bytes += m.texture.size() + 1;
    if (bytes > 0xFFFFFFFFu) return E_OUTOFMEMORY;
    if (HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(bytes), out); FAILED(hr)) return hr;
    auto* records = static_cast<D3DXMATERIAL*>((*out)->GetBufferPointer());
    char* names = reinterpret_cast<char*>(records + materials.size());
    for (size_t i = 0; i < materials.size(); ++i) {
        records[i].MatD3D = materials[i].material;
        records[i].pTextureFilename = nullptr;
        if (materials[i].has_texture) {
            records[i].pTextureFilename = names;
            std::memcpy(names, materials[i].texture.c_str(), materials[i].texture.size() + 1);
            names += materials[i].texture.size() + 1;
        }
    }
    return D3D_OK;
}

// One effect instance per material with the defaults D3DX gives: Diffuse, Power, Specular,
// Emissive, Ambient (floats) and, with a texture, Texture0@Name.
HRESULT MakeEffectInstanceBuffer(const std::vector<XMaterial>& materials, ID3DXBuffer** out) {
    static const char* const kFloatNames[] = {"Diffuse", "Power", "Specular", "Emissive",
                                              "Ambient"};
    static const char kTextureName[] = "Texture0@Name";
    size_t defaults = 0, bytes = materials.size() * sizeof(D3DXEFFECTINSTANCE);
    for (const XMaterial& m : materials) {
        defaults += m.has_texture ? 6 : 5;
        for (const char* name : kFloatNames)
            bytes += std::strlen(name) + 1;
        bytes += 16 + 4 + 16 + 16 + 16;
        if (m.has_texture) bytes += sizeof(kTextureName) + m.texture.size() + 1;
    }
    bytes += defaults * sizeof(D3DXEFFECTDEFAULT);
    if (bytes > 0xFFFFFFFFu) return E_OUTOFMEMORY;
    if (HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(bytes), out); FAILED(hr)) return hr;
    auto* instances = static_cast<D3DXEFFECTINSTANCE*>((*out)->GetBufferPointer());
    auto* next_default = reinterpret_cast<D3DXEFFECTDEFAULT*>(instances + materials.size());
    // Float values first, so each stays 4-byte aligned; the strings after all of them.
    char* values = reinterpret_cast<char*>(next_default + defaults);
    char* strings = values + materials.size() * (16 + 4 + 16 + 16 + 16);
    const auto put = [](char*& at, const void* src, size_t n) {
        void* start = at;
        std::memcpy(at, src, n);
        at += n;
        return start;
    };
    for (size_t i = 0; i < materials.size(); ++i) {
        const D3DMATERIAL9& m = materials[i].material;
        const void* sources[] = {&m.Diffuse, &m.Power, &m.Specular, &m.Emissive, &m.Ambient};
        const DWORD sizes[] = {16, 4, 16, 16, 16};
        instances[i].pEffectFilename = nullptr;
        instances[i].pDefaults = next_default;
        instances[i].NumDefaults = materials[i].has_texture ? 6 : 5;
        for (int k = 0; k < 5; ++k) {
            D3DXEFFECTDEFAULT& d = *next_default++;
            d.pParamName =
                static_cast<char*>(put(strings, kFloatNames[k], std::strlen(kFloatNames[k]) + 1));
            d.Type = D3DXEDT_FLOATS;
            d.NumBytes = sizes[k];
            d.pValue = put(values, sources[k], sizes[k]);
        }
        if (materials[i].has_texture) {
            D3DXEFFECTDEFAULT& d = *next_default++;
            d.pParamName = static_cast<char*>(put(strings, kTextureName, sizeof(kTextureName)));
            d.Type = D3DXEDT_STRING;
            d.NumBytes = static_cast<DWORD>(materials[i].texture.size() + 1);
            d.pValue = put(strings, materials[i].texture.c_str(), d.NumBytes);
        }
    }
    return D3D_OK;
}

// Three DWORDs per face: the face across each edge (v0-v1, v1-v2, v2-v0), or 0xFFFFFFFF.
// Vertices at exactly the same position count as one, as GenerateAdjacency(0.0f) does.
HRESULT MakeAdjacencyBuffer(const MeshGeometry& g, ID3DXBuffer** out) {
    const size_t faces = g.attributes.size();
    if (faces * 12 > 0xFFFFFFFFu) return E_OUTOFMEMORY;
    std::vector<uint32_t> point(g.vertex_count);
    {
        std::vector<uint32_t> order(g.vertex_count);
        for (uint32_t i = 0; i < g.vertex_count; ++i)
            order[i] = i;
        const auto position = [&](uint32_t v) { return g.vertices.data() + size_t{v} * g.stride; };
        const auto less = [&](uint32_t a, uint32_t b) {
            const int c = std::memcmp(position(a), position(b), 12);
            return c != 0 ? c < 0 : a < b;
        };
        std::sort(order.begin(), order.end(), less);
        for (size_t i = 0; i < order.size(); ++i) {
            const bool same =
                i > 0 && std::memcmp(position(order[i]), position(order[i - 1]), 12) == 0;
            point[order[i]] = same ? point[order[i - 1]] : order[i];
        }
    }
    struct Edge {
        uint64_t key;
        uint32_t face;
        uint32_t slot;
    };
    std::vector<Edge> edges(faces * 3);
    for (size_t f = 0; f < faces; ++f) {
        for (uint32_t e = 0; e < 3; ++e) {
            const uint32_t a = point[g.indices[f * 3 + e]],
                           b = point[g.indices[f * 3 + (e + 1) % 3]];
            const uint64_t key = (uint64_t{std::min(a, b)} << 32) | std::max(a, b);
            edges[f * 3 + e] = {key, static_cast<uint32_t>(f), e};
        }
    }
    std::sort(edges.begin(), edges.end(), [](const Edge& x, const Edge& y) {
        return x.key != y.key ? x.key < y.key : x.face < y.face;
    });
    if (HRESULT hr = D3DXCreateBuffer(static_cast<DWORD>(faces * 12), out); FAILED(hr)) return hr;
    auto* adjacency = static_cast<DWORD*>((*out)->GetBufferPointer());
    std::fill(adjacency, adjacency + faces * 3, 0xFFFFFFFFu);
    for (size_t i = 0; i < edges.size();) {
        size_t j = i;
        while (j < edges.size() && edges[j].key == edges[i].key)
            ++j;
        for (size_t k = i; k < j; ++k)
            for (size_t m = i; m < j; ++m)
                if (edges[m].face != edges[k].face) {
                    adjacency[size_t{edges[k].face} * 3 + edges[k].slot] = edges[m].face;
                    break;
                }
        i = j;
    }
    return D3D_OK;
}

// A non-manifold edge shared by many faces makes MakeAdjacencyBuffer's pairing quadratic in
// that edge's faces; geometry this size never has such fans, but a crafted file could.
bool AdjacencyIsAffordable(const MeshGeometry& g) {
    return g.attributes.size() < (1u << 26);
}

MeshContents ToContents(MeshGeometry&& g, DWORD options) {
    MeshContents c;
    c.fvf = g.fvf;
    c.stride = g.stride;
    c.vertex_count = g.vertex_count;
    c.face_count = static_cast<DWORD>(g.attributes.size());
    // 16-bit indices cannot reach past 65,535 vertices.
    if (g.vertex_count > 0xFFFF) options |= D3DXMESH_32BIT;
    c.options = options;
    c.vertices = std::move(g.vertices);
    if (options & D3DXMESH_32BIT) {
        c.indices.resize(g.indices.size() * 4);
        std::memcpy(c.indices.data(), g.indices.data(), c.indices.size());
    } else {
        c.indices.resize(g.indices.size() * 2);
        for (size_t i = 0; i < g.indices.size(); ++i) {
            const uint16_t v = static_cast<uint16_t>(g.indices[i]);
            std::memcpy(c.indices.data() + i * 2, &v, 2);
        }
    }
    if (g.attribute_table) {
        for (DWORD f = 0; f < c.face_count;) {
            D3DXATTRIBUTERANGE r{g.attributes[f], f, 0, 0xFFFFFFFFu, 0};
            DWORD end = f;
            while (end < c.face_count && g.attributes[end] == r.AttribId)
                ++end;
            r.FaceCount = end - f;
            // The range's vertices: a plain reduction over its indices, which compilers unroll.
            DWORD low = 0xFFFFFFFFu, high = 0;
            for (size_t i = size_t{f} * 3; i < size_t{end} * 3; ++i) {
                low = std::min<DWORD>(low, g.indices[i]);
                high = std::max<DWORD>(high, g.indices[i]);
            }
            r.VertexStart = low;
            r.VertexCount = high - low + 1;
            c.attribute_table.push_back(r);
            f = end;
        }
    }
    c.attributes = std::move(g.attributes);
    return c;
}

} // namespace

HRESULT MakeMeshOutputs(MeshGeometry&& geometry, DWORD options, IDirect3DDevice9* device,
                        const MeshOutputRequest& request, MeshOutputs& out) {
    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    ID3DXBuffer* effects = nullptr;
    const auto release_all = [&] {
        if (adjacency) adjacency->Release();
        if (materials) materials->Release();
        if (effects) effects->Release();
    };
    const bool has_materials = !geometry.materials.empty();
    HRESULT hr = D3D_OK;
    if (request.adjacency)
        hr = AdjacencyIsAffordable(geometry) ? MakeAdjacencyBuffer(geometry, &adjacency)
                                             : E_OUTOFMEMORY;
    if (SUCCEEDED(hr) && request.materials && has_materials)
        hr = MakeMaterialBuffer(geometry.materials, &materials);
    if (SUCCEEDED(hr) && request.effects && has_materials)
        hr = MakeEffectInstanceBuffer(geometry.materials, &effects);
    const DWORD count = static_cast<DWORD>(geometry.materials.size());
    ID3DXMesh* mesh = nullptr;
    if (SUCCEEDED(hr))
        hr = CreateMeshObject(device, ToContents(std::move(geometry), options), &mesh);
    if (FAILED(hr)) {
        release_all();
        return hr;
    }
    out.mesh = mesh;
    out.adjacency = adjacency;
    out.materials = materials;
    out.effects = effects;
    out.material_count = count;
    return D3D_OK;
}

} // namespace d3dx9
