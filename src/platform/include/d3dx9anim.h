// D3DX 9's frame hierarchies and animation: the frame and mesh container records, the
// allocator a program gives the hierarchy loader, keyframed animation sets and the animation
// controller, with the SDK's names, vtable order and signatures.
#pragma once

#include <d3d9.h>

#include "d3dx9core.h"
#include "d3dx9math.h"
#include "d3dx9mesh.h"

struct ID3DXPMesh;
struct ID3DXPatchMesh;
struct ID3DXFile;
struct ID3DXFileData;
struct ID3DXFileSaveObject;
struct ID3DXFileSaveData;

inline const IID IID_ID3DXAnimationSet = {
    0x698cfb3f, 0x9289, 0x4d95, {0x9a, 0x57, 0x33, 0xa9, 0x4b, 0x5a, 0x65, 0xf9}};
inline const IID IID_ID3DXKeyframedAnimationSet = {
    0xfa4e8e3a, 0x9786, 0x407d, {0x8b, 0x4c, 0x59, 0x95, 0x89, 0x37, 0x64, 0xaf}};
inline const IID IID_ID3DXCompressedAnimationSet = {
    0x6cc2480d, 0x3808, 0x4739, {0x9f, 0x88, 0xde, 0x49, 0xfa, 0xcd, 0x8d, 0x4c}};
inline const IID IID_ID3DXAnimationController = {
    0xac8948ec, 0xf86d, 0x43e2, {0x96, 0xde, 0x31, 0xfc, 0x35, 0xf9, 0x6d, 0x9e}};

enum D3DXMESHDATATYPE {
    D3DXMESHTYPE_MESH = 1,
    D3DXMESHTYPE_PMESH = 2,
    D3DXMESHTYPE_PATCHMESH = 3,
    D3DXMESHTYPE_FORCE_DWORD = 0x7fffffff
};

enum D3DXCALLBACK_SEARCH_FLAGS {
    D3DXCALLBACK_SEARCH_EXCLUDING_INITIAL_POSITION = 0x01,
    D3DXCALLBACK_SEARCH_BEHIND_INITIAL_POSITION = 0x02,
    D3DXCALLBACK_SEARCH_FORCE_DWORD = 0x7fffffff
};

enum D3DXPLAYBACK_TYPE {
    D3DXPLAY_LOOP = 0,
    D3DXPLAY_ONCE = 1,
    D3DXPLAY_PINGPONG = 2,
    D3DXPLAY_FORCE_DWORD = 0x7fffffff
};

enum D3DXCOMPRESSION_FLAGS {
    D3DXCOMPRESSION_DEFAULT = 0,
    D3DXCOMPRESSION_FORCE_DWORD = 0x7fffffff
};

enum D3DXPRIORITY_TYPE {
    D3DXPRIORITY_LOW = 0,
    D3DXPRIORITY_HIGH = 1,
    D3DXPRIORITY_FORCE_DWORD = 0x7fffffff
};

enum D3DXEVENT_TYPE {
    D3DXEVENT_TRACKSPEED = 0,
    D3DXEVENT_TRACKWEIGHT = 1,
    D3DXEVENT_TRACKPOSITION = 2,
    D3DXEVENT_TRACKENABLE = 3,
    D3DXEVENT_PRIORITYBLEND = 4,
    D3DXEVENT_FORCE_DWORD = 0x7fffffff
};

enum D3DXTRANSITION_TYPE {
    D3DXTRANSITION_LINEAR = 0,
    D3DXTRANSITION_EASEINEASEOUT = 1,
    D3DXTRANSITION_FORCE_DWORD = 0x7fffffff
};

struct D3DXMESHDATA {
    D3DXMESHDATATYPE Type;
    union {
        ID3DXMesh* pMesh;
        ID3DXPMesh* pPMesh;
        ID3DXPatchMesh* pPatchMesh;
    };
};
typedef D3DXMESHDATA* LPD3DXMESHDATA;

struct D3DXMESHCONTAINER {
    LPSTR Name;
    D3DXMESHDATA MeshData;
    LPD3DXMATERIAL pMaterials;
    LPD3DXEFFECTINSTANCE pEffects;
    DWORD NumMaterials;
    DWORD* pAdjacency;
    ID3DXSkinInfo* pSkinInfo;
    D3DXMESHCONTAINER* pNextMeshContainer;
};
typedef D3DXMESHCONTAINER* LPD3DXMESHCONTAINER;

struct D3DXFRAME {
    LPSTR Name;
    D3DXMATRIX TransformationMatrix;
    LPD3DXMESHCONTAINER pMeshContainer;
    D3DXFRAME* pFrameSibling;
    D3DXFRAME* pFrameFirstChild;
};
typedef D3DXFRAME* LPD3DXFRAME;

struct D3DXKEY_VECTOR3 {
    FLOAT Time;
    D3DXVECTOR3 Value;
};
typedef D3DXKEY_VECTOR3* LPD3DXKEY_VECTOR3;

struct D3DXKEY_QUATERNION {
    FLOAT Time;
    D3DXQUATERNION Value;
};
typedef D3DXKEY_QUATERNION* LPD3DXKEY_QUATERNION;

struct D3DXKEY_CALLBACK {
    FLOAT Time;
    LPVOID pCallbackData;
};
typedef D3DXKEY_CALLBACK* LPD3DXKEY_CALLBACK;

struct D3DXTRACK_DESC {
    D3DXPRIORITY_TYPE Priority;
    FLOAT Weight;
    FLOAT Speed;
    double Position;
    BOOL Enable;
};
typedef D3DXTRACK_DESC* LPD3DXTRACK_DESC;

struct D3DXEVENT_DESC {
    D3DXEVENT_TYPE Type;
    UINT Track;
    double StartTime;
    double Duration;
    D3DXTRANSITION_TYPE Transition;
    union {
        FLOAT Weight;
        FLOAT Speed;
        double Position;
        BOOL Enable;
    };
};
typedef D3DXEVENT_DESC* LPD3DXEVENT_DESC;

typedef DWORD D3DXEVENTHANDLE;
typedef D3DXEVENTHANDLE* LPD3DXEVENTHANDLE;

struct ID3DXAllocateHierarchy;
struct ID3DXLoadUserData;
struct ID3DXSaveUserData;
struct ID3DXAnimationSet;
struct ID3DXKeyframedAnimationSet;
struct ID3DXCompressedAnimationSet;
struct ID3DXAnimationCallbackHandler;
struct ID3DXAnimationController;
typedef ID3DXAllocateHierarchy* LPD3DXALLOCATEHIERARCHY;
typedef ID3DXLoadUserData* LPD3DXLOADUSERDATA;
typedef ID3DXSaveUserData* LPD3DXSAVEUSERDATA;
typedef ID3DXAnimationSet* LPD3DXANIMATIONSET;
typedef ID3DXKeyframedAnimationSet* LPD3DXKEYFRAMEDANIMATIONSET;
typedef ID3DXCompressedAnimationSet* LPD3DXCOMPRESSEDANIMATIONSET;
typedef ID3DXAnimationCallbackHandler* LPD3DXANIMATIONCALLBACKHANDLER;
typedef ID3DXAnimationController* LPD3DXANIMATIONCONTROLLER;

// The program's allocator of frames and mesh containers: no IUnknown, four methods.
struct ID3DXAllocateHierarchy {
    virtual HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateMeshContainer(
        LPCSTR name, const D3DXMESHDATA* meshData, const D3DXMATERIAL* materials,
        const D3DXEFFECTINSTANCE* effectInstances, DWORD numMaterials, const DWORD* adjacency,
        ID3DXSkinInfo* skinInfo, LPD3DXMESHCONTAINER* newMeshContainer) = 0;
    virtual HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME frame) = 0;
    virtual HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER meshContainer) = 0;
};

struct ID3DXLoadUserData {
    virtual HRESULT STDMETHODCALLTYPE LoadTopLevelData(ID3DXFileData* childData) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadFrameChildData(LPD3DXFRAME frame,
                                                         ID3DXFileData* childData) = 0;
    virtual HRESULT STDMETHODCALLTYPE LoadMeshChildData(LPD3DXMESHCONTAINER meshContainer,
                                                        ID3DXFileData* childData) = 0;
};

struct ID3DXSaveUserData {
    virtual HRESULT STDMETHODCALLTYPE AddFrameChildData(const D3DXFRAME* frame,
                                                        ID3DXFileSaveObject* saveObject,
                                                        ID3DXFileSaveData* frameData) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddMeshChildData(const D3DXMESHCONTAINER* meshContainer,
                                                       ID3DXFileSaveObject* saveObject,
                                                       ID3DXFileSaveData* meshData) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    AddTopLevelDataObjectsPre(ID3DXFileSaveObject* saveObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    AddTopLevelDataObjectsPost(ID3DXFileSaveObject* saveObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterTemplates(ID3DXFile* file) = 0;
    virtual HRESULT STDMETHODCALLTYPE SaveTemplates(ID3DXFileSaveObject* saveObject) = 0;
};

struct ID3DXAnimationSet : public IUnknown {
    virtual LPCSTR STDMETHODCALLTYPE GetName() = 0;
    virtual double STDMETHODCALLTYPE GetPeriod() = 0;
    virtual double STDMETHODCALLTYPE GetPeriodicPosition(double position) = 0;
    virtual UINT STDMETHODCALLTYPE GetNumAnimations() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAnimationNameByIndex(UINT index, LPCSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAnimationIndexByName(LPCSTR name, UINT* index) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSRT(double periodicPosition, UINT animation,
                                             D3DXVECTOR3* scale, D3DXQUATERNION* rotation,
                                             D3DXVECTOR3* translation) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCallback(double position, DWORD flags,
                                                  double* callbackPosition,
                                                  LPVOID* callbackData) = 0;
};

struct ID3DXKeyframedAnimationSet : public ID3DXAnimationSet {
    virtual D3DXPLAYBACK_TYPE STDMETHODCALLTYPE GetPlaybackType() = 0;
    virtual double STDMETHODCALLTYPE GetSourceTicksPerSecond() = 0;
    virtual UINT STDMETHODCALLTYPE GetNumScaleKeys(UINT animation) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetScaleKeys(UINT animation, LPD3DXKEY_VECTOR3 keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetScaleKey(UINT animation, UINT key,
                                                  LPD3DXKEY_VECTOR3 scaleKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetScaleKey(UINT animation, UINT key,
                                                  LPD3DXKEY_VECTOR3 scaleKey) = 0;
    virtual UINT STDMETHODCALLTYPE GetNumRotationKeys(UINT animation) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRotationKeys(UINT animation,
                                                      LPD3DXKEY_QUATERNION keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRotationKey(UINT animation, UINT key,
                                                     LPD3DXKEY_QUATERNION rotationKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetRotationKey(UINT animation, UINT key,
                                                     LPD3DXKEY_QUATERNION rotationKey) = 0;
    virtual UINT STDMETHODCALLTYPE GetNumTranslationKeys(UINT animation) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTranslationKeys(UINT animation,
                                                         LPD3DXKEY_VECTOR3 keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTranslationKey(UINT animation, UINT key,
                                                        LPD3DXKEY_VECTOR3 translationKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTranslationKey(UINT animation, UINT key,
                                                        LPD3DXKEY_VECTOR3 translationKey) = 0;
    virtual UINT STDMETHODCALLTYPE GetNumCallbackKeys() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCallbackKeys(LPD3DXKEY_CALLBACK keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCallbackKey(UINT key, LPD3DXKEY_CALLBACK callbackKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetCallbackKey(UINT key, LPD3DXKEY_CALLBACK callbackKey) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterScaleKey(UINT animation, UINT key) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterRotationKey(UINT animation, UINT key) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterTranslationKey(UINT animation, UINT key) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterAnimationSRTKeys(
        LPCSTR name, UINT numScaleKeys, UINT numRotationKeys, UINT numTranslationKeys,
        const D3DXKEY_VECTOR3* scaleKeys, const D3DXKEY_QUATERNION* rotationKeys,
        const D3DXKEY_VECTOR3* translationKeys, DWORD* animationIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE Compress(DWORD flags, FLOAT lossiness, LPD3DXFRAME hierarchy,
                                               LPD3DXBUFFER* compressedData) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterAnimation(UINT index) = 0;
};

struct ID3DXCompressedAnimationSet : public ID3DXAnimationSet {
    virtual D3DXPLAYBACK_TYPE STDMETHODCALLTYPE GetPlaybackType() = 0;
    virtual double STDMETHODCALLTYPE GetSourceTicksPerSecond() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCompressedData(LPD3DXBUFFER* compressedData) = 0;
    virtual UINT STDMETHODCALLTYPE GetNumCallbackKeys() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCallbackKeys(LPD3DXKEY_CALLBACK keys) = 0;
};

struct ID3DXAnimationCallbackHandler {
    virtual HRESULT STDMETHODCALLTYPE HandleCallback(UINT track, LPVOID callbackData) = 0;
};

struct ID3DXAnimationController : public IUnknown {
    virtual UINT STDMETHODCALLTYPE GetMaxNumAnimationOutputs() = 0;
    virtual UINT STDMETHODCALLTYPE GetMaxNumAnimationSets() = 0;
    virtual UINT STDMETHODCALLTYPE GetMaxNumTracks() = 0;
    virtual UINT STDMETHODCALLTYPE GetMaxNumEvents() = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterAnimationOutput(LPCSTR name, D3DXMATRIX* matrix,
                                                              D3DXVECTOR3* scale,
                                                              D3DXQUATERNION* rotation,
                                                              D3DXVECTOR3* translation) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterAnimationSet(LPD3DXANIMATIONSET animSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnregisterAnimationSet(LPD3DXANIMATIONSET animSet) = 0;
    virtual UINT STDMETHODCALLTYPE GetNumAnimationSets() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAnimationSet(UINT index, LPD3DXANIMATIONSET* animSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAnimationSetByName(LPCSTR name,
                                                            LPD3DXANIMATIONSET* animSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE AdvanceTime(double timeDelta,
                                                  LPD3DXANIMATIONCALLBACKHANDLER handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetTime() = 0;
    virtual double STDMETHODCALLTYPE GetTime() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTrackAnimationSet(UINT track,
                                                           LPD3DXANIMATIONSET animSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTrackAnimationSet(UINT track,
                                                           LPD3DXANIMATIONSET* animSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTrackPriority(UINT track, D3DXPRIORITY_TYPE priority) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTrackSpeed(UINT track, FLOAT speed) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTrackWeight(UINT track, FLOAT weight) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTrackPosition(UINT track, double position) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTrackEnable(UINT track, BOOL enable) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTrackDesc(UINT track, LPD3DXTRACK_DESC desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTrackDesc(UINT track, LPD3DXTRACK_DESC desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPriorityBlend(FLOAT blendWeight) = 0;
    virtual FLOAT STDMETHODCALLTYPE GetPriorityBlend() = 0;
    virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackSpeed(UINT track, FLOAT newSpeed,
                                                            double startTime, double duration,
                                                            D3DXTRANSITION_TYPE transition) = 0;
    virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackWeight(UINT track, FLOAT newWeight,
                                                             double startTime, double duration,
                                                             D3DXTRANSITION_TYPE transition) = 0;
    virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackPosition(UINT track, double newPosition,
                                                               double startTime) = 0;
    virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyTrackEnable(UINT track, BOOL newEnable,
                                                             double startTime) = 0;
    virtual D3DXEVENTHANDLE STDMETHODCALLTYPE KeyPriorityBlend(FLOAT newBlendWeight,
                                                               double startTime, double duration,
                                                               D3DXTRANSITION_TYPE transition) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnkeyEvent(D3DXEVENTHANDLE event) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnkeyAllTrackEvents(UINT track) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnkeyAllPriorityBlends() = 0;
    virtual D3DXEVENTHANDLE STDMETHODCALLTYPE GetCurrentTrackEvent(UINT track,
                                                                   D3DXEVENT_TYPE eventType) = 0;
    virtual D3DXEVENTHANDLE STDMETHODCALLTYPE GetCurrentPriorityBlend() = 0;
    virtual D3DXEVENTHANDLE STDMETHODCALLTYPE GetUpcomingTrackEvent(UINT track,
                                                                    D3DXEVENTHANDLE event) = 0;
    virtual D3DXEVENTHANDLE STDMETHODCALLTYPE GetUpcomingPriorityBlend(D3DXEVENTHANDLE event) = 0;
    virtual HRESULT STDMETHODCALLTYPE ValidateEvent(D3DXEVENTHANDLE event) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEventDesc(D3DXEVENTHANDLE event,
                                                   LPD3DXEVENT_DESC desc) = 0;
    virtual HRESULT STDMETHODCALLTYPE CloneAnimationController(
        UINT maxNumAnimationOutputs, UINT maxNumAnimationSets, UINT maxNumTracks, UINT maxNumEvents,
        LPD3DXANIMATIONCONTROLLER* animController) = 0;
};

HRESULT WINAPI D3DXLoadMeshHierarchyFromXA(LPCSTR filename, DWORD meshOptions,
                                           LPDIRECT3DDEVICE9 device, LPD3DXALLOCATEHIERARCHY alloc,
                                           LPD3DXLOADUSERDATA userDataLoader,
                                           LPD3DXFRAME* frameHierarchy,
                                           LPD3DXANIMATIONCONTROLLER* animController);
HRESULT WINAPI D3DXLoadMeshHierarchyFromXInMemory(LPCVOID memory, DWORD sizeOfMemory,
                                                  DWORD meshOptions, LPDIRECT3DDEVICE9 device,
                                                  LPD3DXALLOCATEHIERARCHY alloc,
                                                  LPD3DXLOADUSERDATA userDataLoader,
                                                  LPD3DXFRAME* frameHierarchy,
                                                  LPD3DXANIMATIONCONTROLLER* animController);
#define D3DXLoadMeshHierarchyFromX D3DXLoadMeshHierarchyFromXA

HRESULT WINAPI D3DXFrameDestroy(LPD3DXFRAME frameRoot, LPD3DXALLOCATEHIERARCHY alloc);
HRESULT WINAPI D3DXFrameAppendChild(LPD3DXFRAME frameParent, const D3DXFRAME* frameChild);
LPD3DXFRAME WINAPI D3DXFrameFind(const D3DXFRAME* frameRoot, LPCSTR name);
HRESULT WINAPI D3DXFrameRegisterNamedMatrices(LPD3DXFRAME frameRoot,
                                              LPD3DXANIMATIONCONTROLLER animController);
UINT WINAPI D3DXFrameNumNamedMatrices(const D3DXFRAME* frameRoot);
HRESULT WINAPI D3DXFrameCalculateBoundingSphere(const D3DXFRAME* frameRoot,
                                                LPD3DXVECTOR3 objectCenter, FLOAT* objectRadius);
HRESULT WINAPI D3DXCreateKeyframedAnimationSet(LPCSTR name, double ticksPerSecond,
                                               D3DXPLAYBACK_TYPE playback, UINT numAnimations,
                                               UINT numCallbackKeys,
                                               const D3DXKEY_CALLBACK* callbackKeys,
                                               LPD3DXKEYFRAMEDANIMATIONSET* animationSet);
HRESULT WINAPI D3DXCreateAnimationController(UINT maxNumAnimationOutputs, UINT maxNumAnimationSets,
                                             UINT maxNumTracks, UINT maxNumEvents,
                                             LPD3DXANIMATIONCONTROLLER* animController);
