// MeshModel: the shown model, its materials and a texture per material.
#pragma once

#include <windows.h>

#include <d3d9.h>
#include <d3dx9.h>

#include "state/viewer_state.h"

#include <set>
#include <string>

// Subset i is drawn with materials[i] and textures[i]. An empty model (no mesh, count 0)
// draws nothing and releases nothing.
struct MeshModel {
    ID3DXMesh* mesh;
    D3DMATERIAL9* materials;
    IDirect3DTexture9** textures;
    DWORD materialCount;
};

// Fills a zero-filled model from an .x file; on failure the model stays empty and stderr
// names the file and the reason. Returns whether the model loaded.
bool LoadMeshModel(MeshModel* model, const char* path);
// Who else is told, besides standard error, that a model did not load: nobody unless set. Gets
// the message's line ("cannot load model ...", names in the terminal's code page).
using LoadFailureListener = void (*)(const char* message);
void SetLoadFailureListener(LoadFailureListener listener);

// The model's world matrix at `position`, turned by `rotation` (radians about x, y and z): turned
// about z, then x, then y, then moved.
void ModelWorldMatrix(const Vector3& position, const Vector3& rotation, D3DXMATRIX* world);
// The bounds of the model as placed: the centre of its vertices' box and the radius of the sphere
// about it that holds them all. False for a model without vertices.
bool MeasureMeshModel(const MeshModel* model, const Vector3& position, const Vector3& rotation,
                      Vector3* centre, float* radius);
// The same for `count` points, `stride` bytes apart, each three floats, placed by `world`.
bool MeasurePoints(const char* points, DWORD count, DWORD stride, const D3DXMATRIX& world,
                   Vector3* centre, float* radius);

void DrawMeshModel(MeshModel* model, const Vector3& position, const Vector3& rotation);
// Each subset with its material and texture, under the world transform the device holds.
void DrawMeshModelSubsets(MeshModel* model);
// Fills a model's materials and textures from `count` records of the model file `path`: ambient
// taken from diffuse, each texture looked for as LoadMeshModel looks for it, and a texture that
// cannot be had reported once per name in `reportedTextures`.
void TakeMaterials(MeshModel* model, const D3DXMATERIAL* records, DWORD count, const char* path,
                   std::set<std::string>& reportedTextures);
void ReleaseMeshModel(MeshModel* model);
