// LoadMeshModel, DrawMeshModel and ReleaseMeshModel: the shown model and its textures.
#include "scene/mesh_model.h"
#include "scene/console_text.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

namespace {

LoadFailureListener loadFailureListener = nullptr;

// Where a path's last component starts: after its last '\\' or '/'. The byte after a code
// page 932 lead byte is a trail byte, which may be '\\' or '/'.
size_t LastComponentStart(const char* path) {
    size_t start = 0;
    for (size_t i = 0; path[i]; ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsDBCSLeadByte(c) && path[i + 1]) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/') start = i + 1;
    }
    return start;
}

// The folder part of a path, with its separator ("dir\\" of "dir\\model.x"), or "".
std::string FolderOf(const char* path) {
    return std::string(path, LastComponentStart(path));
}

bool IsRelative(const char* name) {
    if (name[0] == '\\' || name[0] == '/') return false;
    if (name[0] && name[1] == ':') return false; // a drive letter
    return true;
}

const char* DescribeFileError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "no such file";
    case ERROR_ACCESS_DENIED:
        return "permission denied";
    default:
        return "the file could not be read";
    }
}

// Why the file cannot be read whole, as the file system tells it; nullptr when it can be. D3DX
// gives the same code for all of these.
const char* DescribeUnreadableFile(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return DescribeFileError(GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "it is a folder, not a file";
    if (attributes & FILE_ATTRIBUTE_DEVICE) return "it is not a regular file";
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return DescribeFileError(GetLastError());
    DWORD sizeHigh = 0;
    const DWORD sizeLow = GetFileSize(file, &sizeHigh);
    CloseHandle(file);
    if (sizeLow == 0 && sizeHigh == 0) return "the file is empty";
    return nullptr;
}

const char* DescribeLoadFailure(HRESULT result, const char* path) {
    if (result == D3DXERR_INVALIDDATA || result == D3DXFERR_FILENOTFOUND) {
        if (const char* reason = DescribeUnreadableFile(path)) return reason;
    }
    switch (result) {
    case D3DXFERR_FILENOTFOUND:
    case D3DXERR_INVALIDDATA: // what D3DX says of a file it cannot open
        return "the file could not be read";
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

const char kByFileName[] = "its file name beside the model";

// A file a texture name may stand for, and where that is, for messages.
struct TexturePlace {
    std::string path;
    const char* where;
};

// Where a texture named by a material is looked for: as named (relative to the current
// directory); for a relative name, beside the model file; and last, since exporters write the
// path on the machine the model was made on ("C:\\work\\wood.png"), its file name beside the
// model.
std::vector<TexturePlace> TexturePlaces(const char* name, const char* modelPath) {
    std::vector<TexturePlace> places = {{name, "from the current directory"}};
    const std::string modelFolder = FolderOf(modelPath);
    if (!modelFolder.empty() && IsRelative(name))
        places.push_back({modelFolder + name, "beside the model"});
    const char* fileName = name + LastComponentStart(name);
    const std::string besideModel = modelFolder + fileName;
    if (fileName[0] && besideModel != places.back().path)
        places.push_back({besideModel, kByFileName});
    return places;
}

// Says why a texture the model names is not used: not found where it was looked for, or found
// but not readable or not an image D3DX decodes.
void ReportTextureFailure(const char* modelPath, const char* name,
                          const std::vector<TexturePlace>& tried, HRESULT result) {
    for (const TexturePlace& candidate : tried) {
        const DWORD attributes = GetFileAttributesA(candidate.path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        const char* reason = DescribeUnreadableFile(candidate.path.c_str());
        std::fprintf(stderr,
                     "xofview: texture \"%s\" of model \"%s\" not used: \"%s\": %s (0x%08X)\n",
                     ConsoleText(name).c_str(), ConsoleText(modelPath).c_str(),
                     ConsoleText(candidate.path.c_str()).c_str(),
                     reason ? reason : "not an image that can be decoded", unsigned(result));
        return;
    }
    std::string looked;
    for (size_t i = 0; i < tried.size(); ++i) {
        if (i > 0) looked += i + 1 == tried.size() ? " and " : ", ";
        looked += "\"" + ConsoleText(tried[i].path.c_str()) + "\" (" + tried[i].where + ")";
    }
    std::fprintf(stderr, "xofview: texture \"%s\" of model \"%s\" not found: looked for %s\n",
                 ConsoleText(name).c_str(), ConsoleText(modelPath).c_str(), looked.c_str());
}

// A texture named by a material, from the first of its places that gives one. A texture that
// cannot be had is reported once per name (`reported`) and left out: its subset is drawn
// untextured. One found by its file name alone is said, since the model named another file.
IDirect3DTexture9* LoadMaterialTexture(const char* name, const char* modelPath,
                                       std::set<std::string>& reported) {
    const std::vector<TexturePlace> tried = TexturePlaces(name, modelPath);
    HRESULT result = E_FAIL;
    for (size_t i = 0; i < tried.size(); ++i) {
        IDirect3DTexture9* texture = nullptr;
        result = D3DXCreateTextureFromFile(viewer.device, tried[i].path.c_str(), &texture);
        if (result != 0) continue;
        if (tried[i].where == kByFileName && reported.insert(name).second)
            std::fprintf(stderr,
                         "xofview: texture \"%s\" of model \"%s\" found by its file name: "
                         "using \"%s\"\n",
                         ConsoleText(name).c_str(), ConsoleText(modelPath).c_str(),
                         ConsoleText(tried[i].path.c_str()).c_str());
        return texture;
    }
    if (reported.insert(name).second) ReportTextureFailure(modelPath, name, tried, result);
    return nullptr;
}

} // namespace

void SetLoadFailureListener(LoadFailureListener listener) {
    loadFailureListener = listener;
}

bool LoadMeshModel(MeshModel* model, const char* path) {
    ID3DXBuffer* materialBuffer = nullptr;
    DWORD count = 0;
    ID3DXMesh* mesh = nullptr;
    const HRESULT result = D3DXLoadMeshFromX(path, D3DXMESH_SYSTEMMEM, viewer.device, nullptr,
                                             &materialBuffer, nullptr, &count, &mesh);
    if (result != 0 || !mesh || (count > 0 && !materialBuffer)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", unsigned(result));
        const std::string message = "cannot load model \"" + ConsoleText(path) +
                                    "\": " + DescribeLoadFailure(result, path) + " (" + code + ")";
        std::fprintf(stderr, "xofview: %s\n", message.c_str());
        std::fflush(stderr);
        if (loadFailureListener) loadFailureListener(message.c_str());
        if (materialBuffer) materialBuffer->Release();
        if (mesh) mesh->Release();
        return false;
    }

    model->mesh = mesh;
    std::set<std::string> reportedTextures;
    TakeMaterials(model,
                  count ? static_cast<const D3DXMATERIAL*>(materialBuffer->GetBufferPointer())
                        : nullptr,
                  count, path, reportedTextures);
    if (materialBuffer) materialBuffer->Release();
    std::fflush(stderr);
    return true;
}

void TakeMaterials(MeshModel* model, const D3DXMATERIAL* records, DWORD count, const char* path,
                   std::set<std::string>& reportedTextures) {
    model->materialCount = count;
    model->materials = new D3DMATERIAL9[count];
    model->textures = new IDirect3DTexture9*[count];
    for (DWORD i = 0; i < count; ++i) {
        model->materials[i] = records[i].MatD3D;
        model->materials[i].Ambient = model->materials[i].Diffuse; // the file's ambient is unused
        const char* textureName = records[i].pTextureFilename;
        model->textures[i] =
            textureName ? LoadMaterialTexture(textureName, path, reportedTextures) : nullptr;
    }
}

void ModelWorldMatrix(const Vector3& position, const Vector3& rotation, D3DXMATRIX* world) {
    D3DXMATRIX rotateX, rotateY, rotateZ, translate, scale;
    D3DXMatrixRotationX(&rotateX, rotation.x);
    D3DXMatrixRotationY(&rotateY, rotation.y);
    D3DXMatrixRotationZ(&rotateZ, rotation.z);
    D3DXMatrixTranslation(&translate, position.x, position.y, position.z);
    D3DXMatrixScaling(&scale, 1.0f, 1.0f, 1.0f);
    // Turned about z, then x, then y, then moved: multiplied strictly from the left.
    D3DXMatrixMultiply(world, &rotateZ, &rotateX);
    D3DXMatrixMultiply(world, world, &rotateY);
    D3DXMatrixMultiply(world, world, &translate);
    D3DXMatrixMultiply(world, world, &scale);
}

bool MeasureMeshModel(const MeshModel* model, const Vector3& position, const Vector3& rotation,
                      Vector3* centre, float* radius) {
    ID3DXMesh* mesh = model ? model->mesh : nullptr;
    const DWORD count = mesh ? mesh->GetNumVertices() : 0;
    // Positions are the first three floats of every vertex the loader builds.
    if (count == 0 || (mesh->GetFVF() & D3DFVF_POSITION_MASK) != D3DFVF_XYZ) return false;
    const DWORD stride = mesh->GetNumBytesPerVertex();
    void* data = nullptr;
    if (mesh->LockVertexBuffer(D3DLOCK_READONLY, &data) != 0) return false;
    D3DXMATRIX world;
    ModelWorldMatrix(position, rotation, &world);
    const bool measured =
        MeasurePoints(static_cast<const char*>(data), count, stride, world, centre, radius);
    mesh->UnlockVertexBuffer();
    return measured;
}

bool MeasurePoints(const char* points, DWORD count, DWORD stride, const D3DXMATRIX& world,
                   Vector3* centre, float* radius) {
    // Two passes over the points as placed: the box gives the centre, then the farthest point
    // from it the radius. Points that are not finite (damaged data) are left out.
    auto placed = [&](DWORD i, D3DXVECTOR3* p) {
        D3DXVECTOR3 v;
        std::memcpy(&v, points + size_t(i) * stride, sizeof v);
        D3DXVec3TransformCoord(p, &v, &world);
        return std::isfinite(p->x) && std::isfinite(p->y) && std::isfinite(p->z);
    };
    D3DXVECTOR3 low = {0, 0, 0}, high = {0, 0, 0}, p;
    bool any = false;
    for (DWORD i = 0; i < count; ++i) {
        if (!placed(i, &p)) continue;
        if (!any) low = high = p;
        any = true;
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    }
    if (!any) return false;
    const Vector3 middle = {(low.x + high.x) / 2, (low.y + high.y) / 2, (low.z + high.z) / 2};
    float farthest = 0.0f;
    for (DWORD i = 0; i < count; ++i) {
        if (!placed(i, &p)) continue;
        const float dx = p.x - middle.x, dy = p.y - middle.y, dz = p.z - middle.z;
        farthest = std::max(farthest, dx * dx + dy * dy + dz * dz);
    }
    if (!std::isfinite(farthest)) return false;
    *centre = middle;
    *radius = std::sqrt(farthest);
    return true;
}

void DrawMeshModel(MeshModel* model, const Vector3& position, const Vector3& rotation) {
    D3DXMATRIX world;
    ModelWorldMatrix(position, rotation, &world);
    viewer.device->SetTransform(D3DTS_WORLD, &world);
    DrawMeshModelSubsets(model);
}

void DrawMeshModelSubsets(MeshModel* model) {
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
