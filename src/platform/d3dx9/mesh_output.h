// From built mesh geometry to what D3DX's loaders hand back: the ID3DXMesh, and its adjacency,
// material and effect instance buffers.
#pragma once

#include "d3dx9/mesh_build.h"

#include <d3dx9.h>

namespace d3dx9 {

struct MeshOutputRequest {
    bool adjacency = false;
    bool materials = false;
    bool effects = false;
};

// What MakeMeshOutputs made; each reference is the caller's.
struct MeshOutputs {
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* adjacency = nullptr; // three DWORDs per face
    ID3DXBuffer* materials = nullptr; // material_count D3DXMATERIAL records
    ID3DXBuffer* effects = nullptr;   // material_count D3DXEFFECTINSTANCE records
    DWORD material_count = 0;
};

// Makes the mesh of `geometry` with `options` (16-bit indices widened to 32 bits past 65,535
// vertices) on `device`, and the buffers `request` asks for; material and effect instance
// buffers only when the geometry has materials. On failure nothing is held.
HRESULT MakeMeshOutputs(MeshGeometry&& geometry, DWORD options, IDirect3DDevice9* device,
                        const MeshOutputRequest& request, MeshOutputs& out);

} // namespace d3dx9
