// D3DXLoadMeshFromXA and D3DXLoadMeshFromXInMemory: read the .x document, merge its meshes, and
// hand back the mesh with its materials, effect instances and adjacency.
#include "d3dx9/mesh_build.h"
#include "d3dx9/mesh_output.h"
#include "d3dx9/model_file.h"
#include "xfile/document.h"

#include <d3dx9.h>

#include <new>
#include <span>

namespace d3dx9 {

namespace {

// `file`, when given, holds `bytes` and is released once they are parsed; the document is
// released once the geometry is built. Each stage's input is gone before the next one's output
// grows, which keeps the peak memory of a large model down.
HRESULT LoadMesh(std::span<const uint8_t> bytes, xfile::LargeVector<unsigned char>* file,
                 DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                 ID3DXBuffer** materials, ID3DXBuffer** effects, DWORD* material_count,
                 ID3DXMesh** mesh) {
    xfile::Document doc;
    // The file's bytes go as soon as the reader is done with them, before the mesh is built.
    const HRESULT parsed =
        FromParseStatus(file ? xfile::Parse(*file, doc) : xfile::Parse(bytes, doc));
    if (FAILED(parsed)) return parsed;
    MeshGeometry geometry;
    if (HRESULT hr = BuildMeshGeometry(doc, geometry); FAILED(hr)) return hr;
    doc = xfile::Document();

    MeshOutputs made;
    const MeshOutputRequest request{adjacency != nullptr, materials != nullptr, effects != nullptr};
    if (HRESULT hr = MakeMeshOutputs(std::move(geometry), options, device, request, made);
        FAILED(hr))
        return hr;
    *mesh = made.mesh;
    if (adjacency) *adjacency = made.adjacency;
    if (materials) *materials = made.materials;
    if (effects) *effects = made.effects;
    if (material_count) *material_count = made.material_count;
    return D3D_OK;
}

} // namespace
} // namespace d3dx9

HRESULT WINAPI D3DXLoadMeshFromXInMemory(LPCVOID memory, DWORD memorySize, DWORD options,
                                         LPDIRECT3DDEVICE9 device, LPD3DXBUFFER* adjacency,
                                         LPD3DXBUFFER* materials, LPD3DXBUFFER* effectInstances,
                                         DWORD* numMaterials, LPD3DXMESH* mesh) {
    if (!memory || memorySize == 0 || !device || !mesh) return D3DERR_INVALIDCALL;
    try {
        return d3dx9::LoadMesh({static_cast<const uint8_t*>(memory), memorySize}, nullptr, options,
                               device, adjacency, materials, effectInstances, numMaterials, mesh);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, LPDIRECT3DDEVICE9 device,
                                  LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials,
                                  LPD3DXBUFFER* effectInstances, DWORD* numMaterials,
                                  LPD3DXMESH* mesh) {
    if (!filename || !device || !mesh) return D3DERR_INVALIDCALL;
    xfile::LargeVector<unsigned char> bytes;
    try {
        if (HRESULT hr = d3dx9::ReadModelFile(filename, bytes); FAILED(hr)) return hr;
        return d3dx9::LoadMesh({bytes.data(), bytes.size()}, &bytes, options, device, adjacency,
                               materials, effectInstances, numMaterials, mesh);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
