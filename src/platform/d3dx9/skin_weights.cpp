// A mesh's XSkinMeshHeader and SkinWeights read into an ID3DXSkinInfo: the bones in file order,
// each with its frame's name, its influences and its offset matrix, first on the file's vertices,
// then remapped onto the vertices the mesh builder made.
#include "d3dx9/skin_weights.h"
#include "d3dx9/mesh_values.h"
#include "xfile/document.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace d3dx9 {
namespace {

using xfile::Document;
using xfile::Node;
using xfile::Template;

// The skin parts of a mesh as D3DX takes them: one header, before any weights.
struct SkinParts {
    const Node* header = nullptr;
    std::vector<const Node*> weights;
};

HRESULT FindSkinParts(const Document& doc, const Node& mesh, SkinParts& parts) {
    for (const Node& child : doc.children(mesh)) {
        const Node* c = doc.resolve(child);
        if (!c) continue;
        if (c->type == Template::XSkinMeshHeader) {
            if (parts.header) return E_FAIL;
            parts.header = c;
        } else if (c->type == Template::SkinWeights) {
            if (!parts.header) return E_FAIL;
            parts.weights.push_back(c);
        }
    }
    return D3D_OK;
}

// WORD nMaxSkinWeightsPerVertex; WORD nMaxSkinWeightsPerFace; WORD nBones: only the last counts.
HRESULT ReadBoneCount(const Document& doc, const Node& header, uint32_t& bones) {
    Values v(doc.numbers(header));
    uint32_t per_vertex, per_face;
    if (!v.Count(per_vertex) || !v.Count(per_face) || !v.Count(bones) || bones > 0xFFFF)
        return E_FAIL;
    return D3D_OK;
}

// STRING transformNodeName; DWORD nWeights; array DWORD vertexIndices[nWeights];
// array FLOAT weights[nWeights]; Matrix4x4 matrixOffset. `vertices` and `weights` are scratch.
HRESULT ReadBone(const Document& doc, const Node& node, uint32_t file_vertices, DWORD bone,
                 ID3DXSkinInfo* skin, std::vector<DWORD>& vertices, std::vector<float>& weights) {
    if (node.strings_count < 1) return E_FAIL;
    Values v(doc.numbers(node));
    uint32_t count;
    if (!v.Count(count) || v.left() < 16 || count > (v.left() - 16) / 2) return E_FAIL;
    // Never empty: SetBoneInfluence takes no null arrays, even for no influences.
    vertices.resize(size_t{count} + 1);
    weights.resize(size_t{count} + 1);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t index;
        // D3DX takes any index here and would skin past the vertex buffer's end with it.
        if (!v.Count(index) || index >= file_vertices) return E_FAIL;
        vertices[i] = index;
    }
    v.Floats(weights.data(), count);
    float offset[16];
    v.Floats(offset, 16);
    D3DXMATRIX matrix;
    std::memcpy(matrix.m, offset, sizeof(offset));
    const std::string name(doc.string(node, 0));
    if (HRESULT hr = skin->SetBoneName(bone, name.c_str()); FAILED(hr)) return hr;
    if (HRESULT hr = skin->SetBoneInfluence(bone, count, vertices.data(), weights.data());
        FAILED(hr))
        return hr;
    return skin->SetBoneOffsetMatrix(bone, &matrix);
}

} // namespace

HRESULT ReadSkinWeights(const Document& doc, const Node& mesh, DWORD fvf,
                        const VertexOrigins& origins, ID3DXSkinInfo** skin) {
    *skin = nullptr;
    SkinParts parts;
    if (HRESULT hr = FindSkinParts(doc, mesh, parts); FAILED(hr)) return hr;
    if (!parts.header) return D3D_OK;
    uint32_t bones = 0;
    if (HRESULT hr = ReadBoneCount(doc, *parts.header, bones); FAILED(hr)) return hr;
    if (parts.weights.size() != bones) return E_FAIL;
    if (bones == 0) return D3D_OK;

    ID3DXSkinInfo* created = nullptr;
    if (HRESULT hr = D3DXCreateSkinInfoFVF(origins.file_vertex_count, fvf, bones, &created);
        FAILED(hr))
        return hr;
    // Released on every way out but success, a thrown bad_alloc included.
    const auto release = [](ID3DXSkinInfo* s) { s->Release(); };
    std::unique_ptr<ID3DXSkinInfo, decltype(release)> made(created, release);
    std::vector<DWORD> vertices;
    std::vector<float> weights;
    for (DWORD b = 0; b < bones; ++b)
        if (HRESULT hr = ReadBone(doc, *parts.weights[b], origins.file_vertex_count, b, made.get(),
                                  vertices, weights);
            FAILED(hr))
            return hr;
    std::vector<DWORD> remap(origins.source.begin(), origins.source.end());
    if (HRESULT hr = made->Remap(static_cast<DWORD>(remap.size()), remap.data()); FAILED(hr))
        return hr;
    *skin = made.release();
    return D3D_OK;
}

} // namespace d3dx9
