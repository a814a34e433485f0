// The skin of one Mesh object (its XSkinMeshHeader and SkinWeights) as the ID3DXSkinInfo the
// hierarchy loader hands over with the mesh, on the vertices of the mesh as built.
#pragma once

#include "d3dx9/mesh_build.h"

#include <d3dx9.h>

namespace xfile {
class Document;
struct Node;
} // namespace xfile

namespace d3dx9 {

// Reads the skin of `mesh`, whose mesh was built with vertex format `fvf` from the vertices
// `origins` names: bone i is the i-th SkinWeights, and a vertex the builder copied carries the
// influences of the file's vertex it copies. *skin is null for a mesh without bones. E_FAIL for
// skin data D3DX refuses (SkinWeights without a header or not as many as it says, counts past
// the data, vertex indices past the mesh).
HRESULT ReadSkinWeights(const xfile::Document& doc, const xfile::Node& mesh, DWORD fvf,
                        const VertexOrigins& origins, ID3DXSkinInfo** skin);

} // namespace d3dx9
