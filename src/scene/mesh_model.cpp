// LoadMeshModel, DrawMeshModel and ReleaseMeshModel: the shown model and its textures.
#include "scene/mesh_model.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <cstdio>
#include <new>
#include <string>

namespace {

// The folder part of a path, with its separator ("dir\\" of "dir\\model.x"), or "". The byte
// after a code page 932 lead byte is a trail byte, which may be '\\' or '/'.
std::string FolderOf(const char* path) {
    size_t end = 0;
    for (size_t i = 0; path[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsDBCSLeadByte(c) && path[i + 1]) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/') end = i + 1;
    }
    return std::string(path, end);
}

bool IsRelative(const char* name) {
    if (name[0] == '\\' || name[0] == '/') return false;
    if (name[0] && name[1] == ':') return false; // a drive letter
    return true;
}

const char* DescribeLoadFailure(HRESULT result) {
    switch (result) {
    case D3DXFERR_FILENOTFOUND:
    case D3DXERR_INVALIDDATA: // what D3DX says of a file it cannot open
        return "file not found or not readable";
    case D3DXFERR_BADFILETYPE:
        return "not a DirectX .x file";
    case D3DXFERR_BADFILEVERSION:
        return "unsupported .x file version";
    case D3DXFERR_BADFILEFLOATSIZE:
        return "unsupported float size";
    case D3DXFERR_PARSEERROR:
    case D3DXFERR_BADFILE:
    case D3DXFERR_BADVALUE:
    case D3DXFERR_BADARRAYSIZE:
    case D3DXFERR_BADDATAREFERENCE:
        return "the file is damaged or not valid .x data";
    case D3DXERR_LOADEDMESHASNODATA:
        return "the file holds no mesh";
    case E_OUTOFMEMORY:
        return "out of memory";
    case D3DERR_INVALIDCALL:
        return "the file could not be read";
    default:
        return "the file could not be loaded";
    }
}

// A texture named by a material: as named first (relative to the current directory), then,
// for a relative name, beside the model file.
IDirect3DTexture9* LoadMaterialTexture(const char* name, const std::string& modelFolder) {
    IDirect3DTexture9* texture = nullptr;
    if (D3DXCreateTextureFromFile(viewer.device, name, &texture) == 0) return texture;
    texture = nullptr;
    if (modelFolder.empty() || !IsRelative(name)) return nullptr;
    const std::string besideModel = modelFolder + name;
    if (D3DXCreateTextureFromFile(viewer.device, besideModel.c_str(), &texture) == 0)
        return texture;
    return nullptr;
}

} // namespace

bool LoadMeshModel(MeshModel* model, const char* path) {
    ID3DXBuffer* materialBuffer = nullptr;
    DWORD count = 0;
    ID3DXMesh* mesh = nullptr;
    const HRESULT result = D3DXLoadMeshFromX(path, D3DXMESH_SYSTEMMEM, viewer.device, nullptr,
                                             &materialBuffer, nullptr, &count, &mesh);
    if (result != 0 || !mesh || (count > 0 && !materialBuffer)) {
        std::fprintf(stderr, "xofview: cannot load model \"%s\": %s (0x%08X)\n", path,
                     DescribeLoadFailure(result), unsigned(result));
        std::fflush(stderr);
        if (materialBuffer) materialBuffer->Release();
        if (mesh) mesh->Release();
        return false;
    }

    model->mesh = mesh;
    model->materialCount = count;
    model->materials = new D3DMATERIAL9[count];
    model->textures = new IDirect3DTexture9*[count];
    const D3DXMATERIAL* records =
        count ? static_cast<const D3DXMATERIAL*>(materialBuffer->GetBufferPointer()) : nullptr;
    const std::string folder = FolderOf(path);
    for (DWORD i = 0; i < count; ++i) {
        model->materials[i] = records[i].MatD3D;
        model->materials[i].Ambient = model->materials[i].Diffuse; // the file's ambient is unused
        const char* textureName = records[i].pTextureFilename;
        model->textures[i] = textureName ? LoadMaterialTexture(textureName, folder) : nullptr;
    }
    if (materialBuffer) materialBuffer->Release();
    return true;
}

void DrawMeshModel(MeshModel* model, const Vector3& position, const Vector3& rotation) {
    D3DXMATRIX rotateX, rotateY, rotateZ, translate, scale, world;
    D3DXMatrixRotationX(&rotateX, rotation.x);
    D3DXMatrixRotationY(&rotateY, rotation.y);
    D3DXMatrixRotationZ(&rotateZ, rotation.z);
    D3DXMatrixTranslation(&translate, position.x, position.y, position.z);
    D3DXMatrixScaling(&scale, 1.0f, 1.0f, 1.0f);
    // Turned about z, then x, then y, then moved: multiplied strictly from the left.
    D3DXMatrixMultiply(&world, &rotateZ, &rotateX);
    D3DXMatrixMultiply(&world, &world, &rotateY);
    D3DXMatrixMultiply(&world, &world, &translate);
    D3DXMatrixMultiply(&world, &world, &scale);
    viewer.device->SetTransform(D3DTS_WORLD, &world);

    for (DWORD i = 0; i < model->materialCount; ++i) {
        viewer.device->SetMaterial(&model->materials[i]);
        viewer.device->SetTexture(0, model->textures[i]);
        model->mesh->DrawSubset(i);
    }
}

void ReleaseMeshModel(MeshModel* model) {
    if (model->textures) {
        for (DWORD i = 0; i < model->materialCount; ++i) {
            if (model->textures[i]) model->textures[i]->Release();
            model->textures[i] = nullptr;
        }
        delete[] model->textures;
        model->textures = nullptr;
    }
    delete[] model->materials;
    model->materials = nullptr;
    if (model->mesh) model->mesh->Release();
    model->mesh = nullptr;
    model->materialCount = 0;
}
