// libFuzzer target: any bytes as an .x file (text, binary or MSZIP-compressed, as the header
// says), through the reader and, when it parses, through the mesh builder D3DX runs on it, and
// through the mesh containers the hierarchy loader builds for its Mesh objects (on the recording
// device), each skin then skinned, counted, cloned and remapped.
#include "d3dx9/mesh_build.h"
#include "d3dx9/mesh_container.h"
#include "testing/recording_device.h"
#include "xfile/document.h"

#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace {

// Meshes past this many in one input are left to other inputs: the containers' work adds up.
constexpr int kMostContainers = 8;

xoftest::RecordingDevice* recording = nullptr;

void ExerciseSkin(ID3DXMesh* mesh, ID3DXSkinInfo* skin) {
    std::vector<D3DXMATRIX> bones(skin->GetNumBones());
    for (DWORD b = 0; b < bones.size(); ++b) {
        D3DXMatrixTranslation(&bones[b], float(b), 1, -1);
        bones[b].m[3][3] = (b % 3 == 2) ? 0.5f : 1.0f; // some not affine
    }
    void* src = nullptr;
    if (mesh->LockVertexBuffer(D3DLOCK_READONLY, &src) != D3D_OK) __builtin_trap();
    std::vector<uint8_t> dst(size_t{mesh->GetNumVertices()} * mesh->GetNumBytesPerVertex());
    if (skin->UpdateSkinnedMesh(bones.data(), nullptr, src, dst.data()) != D3D_OK) __builtin_trap();
    mesh->UnlockVertexBuffer();
    DWORD most = 0;
    if (skin->GetMaxVertexInfluences(&most) != D3D_OK) __builtin_trap();
    IDirect3DIndexBuffer9* indices = nullptr;
    if (mesh->GetIndexBuffer(&indices) == D3D_OK) {
        if (skin->GetMaxFaceInfluences(indices, mesh->GetNumFaces(), &most) != D3D_OK)
            __builtin_trap();
        indices->Release();
    }
    ID3DXSkinInfo* clone = nullptr;
    if (skin->Clone(&clone) == D3D_OK) {
        // Every vertex twice over, and one past the end: copies and a vertex of nothing.
        std::vector<DWORD> remap(size_t{mesh->GetNumVertices()} * 2 + 1);
        for (size_t i = 0; i < remap.size(); ++i)
            remap[i] = DWORD(i / 2);
        if (clone->Remap(DWORD(remap.size()), remap.data()) != D3D_OK) __builtin_trap();
        clone->Release();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xfile::Document doc;
    xfile::Error error;
    if (xfile::Parse({data, size}, doc, &error) != xfile::Status::Ok) return 0;
    try {
        d3dx9::MeshGeometry geometry;
        d3dx9::BuildMeshGeometry(doc, geometry);
    } catch (const std::bad_alloc&) {
        // D3DXLoadMeshFromX turns this into E_OUTOFMEMORY.
    }
    if (!recording) recording = xoftest::CreateRecordingDevice();
    IDirect3DDevice9* device = xoftest::AsDevice(recording);
    int containers = 0;
    for (const xfile::Node& node : doc.nodes()) {
        if (node.type != xfile::Template::Mesh || node.is_reference) continue;
        if (++containers > kMostContainers) break;
        d3dx9::MeshContainerParts parts;
        const HRESULT hr =
            d3dx9::BuildMeshContainerParts(doc, node, D3DXMESH_SYSTEMMEM, device, &parts);
        if ((hr == D3D_OK) != (parts.mesh != nullptr)) __builtin_trap();
        if (parts.skin_info) ExerciseSkin(parts.mesh, parts.skin_info);
    }
    xoftest::Calls(recording).clear();
    if (xoftest::LiveResources(recording) != 0) __builtin_trap();
    return 0;
}
