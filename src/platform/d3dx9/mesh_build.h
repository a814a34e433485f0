// From an .x document to the one merged mesh D3DXLoadMeshFromX returns, or to the mesh of one
// Mesh object the hierarchy loader gives its mesh container: vertices, triangles, attribute ids
// and materials.
#pragma once

#include "xfile/large_buffer.h"

#include <d3d9.h>

#include <cstdint>
#include <string>
#include <vector>

namespace xfile {
class Document;
struct Node;
} // namespace xfile

namespace d3dx9 {

struct XMaterial {
    D3DMATERIAL9 material;
    bool has_texture = false;
    std::string texture; // the TextureFilename string exactly as stored
};

struct MeshGeometry {
    DWORD fvf = 0;
    DWORD stride = 0;
    uint32_t vertex_count = 0;
    xfile::LargeVector<uint8_t> vertices; // vertex_count * stride bytes, in `fvf` layout
    xfile::LargeVector<uint32_t> indices; // three per face
    xfile::LargeVector<DWORD> attributes; // one per face
    std::vector<XMaterial> materials;     // the merged mesh: at least one on success
    bool attribute_table = false;         // one mesh with its own material list
};

// For each vertex of a built mesh, the file's vertex it copies: the file's vertices come first,
// in order, then the copies made where corners' normals differ.
struct VertexOrigins {
    uint32_t file_vertex_count = 0;
    xfile::LargeVector<uint32_t> source; // one per vertex built
};

// Collects every mesh of the document (top level and inside frames, inline or referenced) in
// file order under its frame transforms and merges them. Returns D3D_OK, E_FAIL for a file
// without mesh data or with inconsistent mesh data, D3DERR_INVALIDCALL for meshes without
// faces, or E_OUTOFMEMORY when references would multiply the data beyond what the file holds.
HRESULT BuildMeshGeometry(const xfile::Document& doc, MeshGeometry& out);

// One Mesh object (a reference already resolved) in its own frame's space, read, split and fanned
// as BuildMeshGeometry does, with its own layout and only its own materials (none without a
// material list); `origins`, when given, receives where its vertices come from. Returns S_FALSE
// for a mesh without vertices (D3DX skips it), otherwise what BuildMeshGeometry returns for a
// file holding this mesh alone.
HRESULT BuildOneMeshGeometry(const xfile::Document& doc, const xfile::Node& mesh, MeshGeometry& out,
                             VertexOrigins* origins);

} // namespace d3dx9
