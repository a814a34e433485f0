// BuildMeshContainerParts: one Mesh object as D3DXLoadMeshHierarchyFromX hands it to
// CreateMeshContainer, built by the flat loader's own steps: the mesh in its own frame's space,
// its materials and effect instances (none without a material list, as D3DX gives them), its
// adjacency, and its skin on the vertices as built.
#include "d3dx9/mesh_container.h"
#include "d3dx9/mesh_build.h"
#include "d3dx9/mesh_output.h"
#include "d3dx9/skin_weights.h"
#include "xfile/document.h"

#include <new>
#include <utility>

namespace d3dx9 {
namespace {

template <class T> void ReleaseAndClear(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

} // namespace

MeshContainerParts::~MeshContainerParts() {
    ReleaseAndClear(mesh);
    ReleaseAndClear(materials);
    ReleaseAndClear(effect_instances);
    ReleaseAndClear(adjacency);
    ReleaseAndClear(skin_info);
}

HRESULT BuildMeshContainerParts(const xfile::Document& doc, const xfile::Node& mesh, DWORD options,
                                IDirect3DDevice9* device, MeshContainerParts* out) {
    if (!device || !out) return D3DERR_INVALIDCALL;
    MeshContainerParts made;
    try {
        MeshGeometry geometry;
        VertexOrigins origins;
        if (HRESULT hr = BuildOneMeshGeometry(doc, mesh, geometry, &origins); hr != D3D_OK)
            return hr;
        if (HRESULT hr = ReadSkinWeights(doc, mesh, geometry.fvf, origins, &made.skin_info);
            FAILED(hr))
            return hr;
        origins = VertexOrigins();
        MeshOutputs outputs;
        if (HRESULT hr =
                MakeMeshOutputs(std::move(geometry), options, device, {true, true, true}, outputs);
            FAILED(hr))
            return hr;
        made.mesh = outputs.mesh;
        made.adjacency = outputs.adjacency;
        made.materials = outputs.materials;
        made.effect_instances = outputs.effects;
        made.material_count = outputs.material_count;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    std::swap(out->mesh, made.mesh);
    std::swap(out->materials, made.materials);
    std::swap(out->effect_instances, made.effect_instances);
    std::swap(out->adjacency, made.adjacency);
    std::swap(out->material_count, made.material_count);
    std::swap(out->skin_info, made.skin_info);
    return D3D_OK;
}

} // namespace d3dx9
