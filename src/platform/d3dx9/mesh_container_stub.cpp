// Stand-in for the per-mesh build until it is merged (it builds nothing): remove at the merge.
#include "d3dx9/mesh_container.h"

namespace d3dx9 {

MeshContainerParts::~MeshContainerParts() {
    if (mesh) mesh->Release();
    if (materials) materials->Release();
    if (effect_instances) effect_instances->Release();
    if (adjacency) adjacency->Release();
    // ID3DXSkinInfo is declared with the per-mesh build; its IUnknown comes first.
    if (skin_info) reinterpret_cast<IUnknown*>(skin_info)->Release();
}

HRESULT BuildMeshContainerParts(const xfile::Document&, const xfile::Node&, DWORD,
                                IDirect3DDevice9*, MeshContainerParts*) {
    return S_FALSE;
}

} // namespace d3dx9
