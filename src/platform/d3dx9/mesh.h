// ID3DXMesh over system-memory data, drawn through vertex and index buffers it makes on the
// device at its first DrawSubset.
#pragma once

#include "xfile/large_buffer.h"

#include <d3dx9.h>

#include <cstdint>
#include <vector>

namespace d3dx9 {

struct MeshContents {
    DWORD options = 0; // D3DXMESH_* as created; D3DXMESH_32BIT set when indices are 32-bit
    DWORD fvf = 0;
    DWORD stride = 0;
    DWORD vertex_count = 0;
    DWORD face_count = 0;
    // Large meshes' arrays: huge pages, not zeroed before they are filled.
    xfile::LargeVector<uint8_t> vertices; // vertex_count * stride
    xfile::LargeVector<uint8_t> indices;  // face_count * 3 WORDs or DWORDs
    xfile::LargeVector<DWORD> attributes; // face_count
    std::vector<D3DXATTRIBUTERANGE> attribute_table;
};

// A new mesh (reference count 1) holding `contents` and a reference to `device`.
HRESULT CreateMeshObject(IDirect3DDevice9* device, MeshContents&& contents, ID3DXMesh** mesh);

} // namespace d3dx9
