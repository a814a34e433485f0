// One Mesh object of an .x document as D3DXLoadMeshHierarchyFromX hands it to
// ID3DXAllocateHierarchy::CreateMeshContainer: its mesh, materials, effect instances, adjacency
// and skin.
#pragma once

#include <d3dx9.h>

namespace xfile {
class Document;
struct Node;
} // namespace xfile

namespace d3dx9 {

// What is built for one Mesh object. Each reference is owned: the destructor releases whatever
// is still held, so a caller takes a reference by copying the pointer and setting it to null.
struct MeshContainerParts {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;        // material_count D3DXMATERIAL records
    ID3DXBuffer* effect_instances = nullptr; // material_count D3DXEFFECTINSTANCE records
    ID3DXBuffer* adjacency = nullptr;        // three DWORDs per face of `mesh`
    DWORD material_count = 0;
    ID3DXSkinInfo* skin_info = nullptr; // null when the mesh has no SkinWeights

    MeshContainerParts() = default;
    MeshContainerParts(const MeshContainerParts&) = delete;
    MeshContainerParts& operator=(const MeshContainerParts&) = delete;
    ~MeshContainerParts();
};

// Builds the mesh container of `mesh` (a Mesh node of `doc`, a reference already resolved) in
// its own frame's space: the mesh D3DXLoadMeshFromX would build from a file holding this mesh
// alone, with `options` (D3DXMESH_*) on `device`, and its skin info on the vertices as built.
// S_OK with every part filled (materials and effect instances only for a mesh with a material
// list, as D3DX gives them); S_FALSE with nothing built for a mesh D3DX skips (no vertices);
// otherwise the error D3DXLoadMeshFromX gives for the same mesh data, or E_FAIL for skin data
// D3DX refuses (and for vertex indices past the mesh, which it would skin past the buffer with).
HRESULT BuildMeshContainerParts(const xfile::Document& doc, const xfile::Node& mesh, DWORD options,
                                IDirect3DDevice9* device, MeshContainerParts* out);

} // namespace d3dx9
