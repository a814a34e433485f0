// D3DX 9's mesh interface and the .x mesh loader.
#pragma once

#include <d3d9.h>

#include "d3dx9core.h"

enum _MAX_FVF_DECL_SIZE { MAX_FVF_DECL_SIZE = MAXD3DDECLLENGTH + 1 };

enum _D3DXMESH {
    D3DXMESH_32BIT = 0x001,
    D3DXMESH_DONOTCLIP = 0x002,
    D3DXMESH_POINTS = 0x004,
    D3DXMESH_RTPATCHES = 0x008,
    D3DXMESH_NPATCHES = 0x4000,
    D3DXMESH_VB_SYSTEMMEM = 0x010,
    D3DXMESH_VB_MANAGED = 0x020,
    D3DXMESH_VB_WRITEONLY = 0x040,
    D3DXMESH_VB_DYNAMIC = 0x080,
    D3DXMESH_VB_SOFTWAREPROCESSING = 0x8000,
    D3DXMESH_IB_SYSTEMMEM = 0x100,
    D3DXMESH_IB_MANAGED = 0x200,
    D3DXMESH_IB_WRITEONLY = 0x400,
    D3DXMESH_IB_DYNAMIC = 0x800,
    D3DXMESH_IB_SOFTWAREPROCESSING = 0x10000,
    D3DXMESH_VB_SHARE = 0x1000,
    D3DXMESH_USEHWONLY = 0x2000,
    D3DXMESH_SYSTEMMEM = 0x110,
    D3DXMESH_MANAGED = 0x220,
    D3DXMESH_WRITEONLY = 0x440,
    D3DXMESH_DYNAMIC = 0x880,
    D3DXMESH_SOFTWAREPROCESSING = 0x18000
};

struct D3DXMATERIAL {
    D3DMATERIAL9 MatD3D;
    LPSTR pTextureFilename;
};
typedef D3DXMATERIAL* LPD3DXMATERIAL;

enum D3DXEFFECTDEFAULTTYPE {
    D3DXEDT_STRING = 1,
    D3DXEDT_FLOATS = 2,
    D3DXEDT_DWORD = 3,
    D3DXEDT_FORCEDWORD = 0x7fffffff
};

struct D3DXEFFECTDEFAULT {
    LPSTR pParamName;
    D3DXEFFECTDEFAULTTYPE Type;
    DWORD NumBytes;
    LPVOID pValue;
};
typedef D3DXEFFECTDEFAULT* LPD3DXEFFECTDEFAULT;

struct D3DXEFFECTINSTANCE {
    LPSTR pEffectFilename;
    DWORD NumDefaults;
    LPD3DXEFFECTDEFAULT pDefaults;
};
typedef D3DXEFFECTINSTANCE* LPD3DXEFFECTINSTANCE;

struct D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
};

struct ID3DXBaseMesh;
struct ID3DXMesh;
typedef ID3DXMesh* LPD3DXMESH;
struct ID3DXSkinInfo;
typedef ID3DXSkinInfo* LPD3DXSKININFO;

inline const IID IID_ID3DXBaseMesh = {
    0x7ed943dd, 0x52e8, 0x40b5, {0xa8, 0xd8, 0x76, 0x68, 0x5c, 0x40, 0x63, 0x30}};
inline const IID IID_ID3DXMesh = {
    0x4020e5c2, 0x1403, 0x4929, {0x88, 0x3f, 0xe2, 0xe8, 0x49, 0xfa, 0xc1, 0x95}};
inline const IID IID_ID3DXSkinInfo = {
    0x11eaa540, 0xf9a6, 0x4d49, {0xae, 0x6a, 0xe1, 0x92, 0x21, 0xf7, 0x0c, 0xc4}};

struct ID3DXBaseMesh : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DrawSubset(DWORD attribId) = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumFaces() = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumVertices() = 0;
    virtual DWORD STDMETHODCALLTYPE GetFVF() = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumBytesPerVertex() = 0;
    virtual DWORD STDMETHODCALLTYPE GetOptions() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* device) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER9* vertexBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER9* indexBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD flags, LPVOID* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD flags, LPVOID* data) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributeTable(D3DXATTRIBUTERANGE* attribTable,
                                                        DWORD* attribTableSize) = 0;
};

struct ID3DXMesh : public ID3DXBaseMesh {
    virtual HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() = 0;
};

struct D3DXBONECOMBINATION {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
    DWORD* BoneId;
};
typedef D3DXBONECOMBINATION* LPD3DXBONECOMBINATION;

// Bones (names, offset matrices, the vertices each moves and by how much) and software skinning.
struct ID3DXSkinInfo : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetBoneInfluence(DWORD bone, DWORD numInfluences,
                                                       const DWORD* vertices,
                                                       const FLOAT* weights) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBoneVertexInfluence(DWORD boneNum, DWORD influenceNum,
                                                             FLOAT weight) = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumBoneInfluences(DWORD bone) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBoneInfluence(DWORD bone, DWORD* vertices,
                                                       FLOAT* weights) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBoneVertexInfluence(DWORD boneNum, DWORD influenceNum,
                                                             FLOAT* weight, DWORD* vertexNum) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMaxVertexInfluences(DWORD* maxVertexInfluences) = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumBones() = 0;
    virtual HRESULT STDMETHODCALLTYPE FindBoneVertexInfluenceIndex(DWORD boneNum, DWORD vertexNum,
                                                                   DWORD* influenceIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMaxFaceInfluences(IDirect3DIndexBuffer9* indexBuffer,
                                                           DWORD numFaces,
                                                           DWORD* maxFaceInfluences) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMinBoneInfluence(FLOAT minInfluence) = 0;
    virtual FLOAT STDMETHODCALLTYPE GetMinBoneInfluence() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBoneName(DWORD bone, LPCSTR name) = 0;
    virtual LPCSTR STDMETHODCALLTYPE GetBoneName(DWORD bone) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBoneOffsetMatrix(DWORD bone,
                                                          const D3DXMATRIX* boneTransform) = 0;
    virtual LPD3DXMATRIX STDMETHODCALLTYPE GetBoneOffsetMatrix(DWORD bone) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(ID3DXSkinInfo** skinInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE Remap(DWORD numVertices, DWORD* vertexRemap) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFVF(DWORD fvf) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDeclaration(const D3DVERTEXELEMENT9* declaration) = 0;
    virtual DWORD STDMETHODCALLTYPE GetFVF() = 0;
    virtual HRESULT STDMETHODCALLTYPE
    GetDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) = 0;
    virtual HRESULT STDMETHODCALLTYPE UpdateSkinnedMesh(
        const D3DXMATRIX* boneTransforms, const D3DXMATRIX* boneInvTransposeTransforms,
        LPCVOID verticesSrc, LPVOID verticesDst) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConvertToBlendedMesh(
        ID3DXMesh* meshIn, DWORD options, const DWORD* adjacencyIn, DWORD* adjacencyOut,
        DWORD* faceRemap, LPD3DXBUFFER* vertexRemap, DWORD* maxFaceInfl, DWORD* numBoneCombinations,
        LPD3DXBUFFER* boneCombinationTable, ID3DXMesh** meshOut) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConvertToIndexedBlendedMesh(
        ID3DXMesh* meshIn, DWORD options, DWORD paletteSize, const DWORD* adjacencyIn,
        DWORD* adjacencyOut, DWORD* faceRemap, LPD3DXBUFFER* vertexRemap, DWORD* maxVertexInfl,
        DWORD* numBoneCombinations, LPD3DXBUFFER* boneCombinationTable, ID3DXMesh** meshOut) = 0;
};

HRESULT WINAPI D3DXCreateSkinInfo(DWORD numVertices, const D3DVERTEXELEMENT9* declaration,
                                  DWORD numBones, LPD3DXSKININFO* skinInfo);
HRESULT WINAPI D3DXCreateSkinInfoFVF(DWORD numVertices, DWORD fvf, DWORD numBones,
                                     LPD3DXSKININFO* skinInfo);

// Vertex declarations and flexible vertex formats.
HRESULT WINAPI D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]);
HRESULT WINAPI D3DXFVFFromDeclarator(const D3DVERTEXELEMENT9* declaration, DWORD* fvf);
UINT WINAPI D3DXGetDeclLength(const D3DVERTEXELEMENT9* declaration);
UINT WINAPI D3DXGetDeclVertexSize(const D3DVERTEXELEMENT9* declaration, DWORD stream);
UINT WINAPI D3DXGetFVFVertexSize(DWORD fvf);

HRESULT WINAPI D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, LPDIRECT3DDEVICE9 device,
                                  LPD3DXBUFFER* adjacency, LPD3DXBUFFER* materials,
                                  LPD3DXBUFFER* effectInstances, DWORD* numMaterials,
                                  LPD3DXMESH* mesh);
HRESULT WINAPI D3DXLoadMeshFromXInMemory(LPCVOID memory, DWORD memorySize, DWORD options,
                                         LPDIRECT3DDEVICE9 device, LPD3DXBUFFER* adjacency,
                                         LPD3DXBUFFER* materials, LPD3DXBUFFER* effectInstances,
                                         DWORD* numMaterials, LPD3DXMESH* mesh);
#define D3DXLoadMeshFromX D3DXLoadMeshFromXA
