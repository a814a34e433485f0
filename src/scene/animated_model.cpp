// AnimatedModel: load, pose, advance, draw and release; and the viewer's animation keys.
#include "scene/animated_model.h"
#include "scene/console_text.h"
#include "scene/mesh_model.h"
#include "state/viewer_state.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <unordered_map>

namespace {

// A mesh container as the allocator makes it: D3DX's record, and the part the viewer draws.
struct ViewerMeshContainer : D3DXMESHCONTAINER {
    MeshModel look;
};

char* CopyName(const char* name) {
    const size_t length = name ? std::strlen(name) : 0;
    char* copy = new char[length + 1];
    if (length) std::memcpy(copy, name, length);
    copy[length] = '\0';
    return copy;
}

// Frames and mesh containers for D3DXLoadMeshHierarchyFromX. Each container's materials become a
// MeshModel's at once, textures looked for beside the model file as the static model's are.
class Allocator : public ID3DXAllocateHierarchy {
  public:
    explicit Allocator(const char* path) : path_(path) {}

    HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* newFrame) override {
        D3DXFRAME* frame = new (std::nothrow) D3DXFRAME{};
        if (!frame) return E_OUTOFMEMORY;
        frame->Name = CopyName(name);
        D3DXMatrixIdentity(&frame->TransformationMatrix);
        *newFrame = frame;
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* meshData,
                                                  const D3DXMATERIAL* materials,
                                                  const D3DXEFFECTINSTANCE*, DWORD materialCount,
                                                  const DWORD*, ID3DXSkinInfo* skinInfo,
                                                  LPD3DXMESHCONTAINER* newContainer) override {
        *newContainer = nullptr;
        if (meshData->Type != D3DXMESHTYPE_MESH || !meshData->pMesh) return E_FAIL;
        ViewerMeshContainer* container = new (std::nothrow) ViewerMeshContainer{};
        if (!container) return E_OUTOFMEMORY;
        container->Name = CopyName(name);
        container->MeshData.Type = D3DXMESHTYPE_MESH;
        container->MeshData.pMesh = meshData->pMesh;
        container->MeshData.pMesh->AddRef();
        if (skinInfo) skinInfo->AddRef();
        container->pSkinInfo = skinInfo;
        container->look.mesh = meshData->pMesh;
        container->look.mesh->AddRef();
        TakeMaterials(&container->look, materials, materialCount, path_, reportedTextures_);
        *newContainer = container;
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME frame) override {
        delete[] frame->Name;
        delete frame;
        return D3D_OK;
    }

    HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER base) override {
        auto* container = static_cast<ViewerMeshContainer*>(base);
        ReleaseMeshModel(&container->look);
        if (container->MeshData.pMesh) container->MeshData.pMesh->Release();
        if (container->pSkinInfo) container->pSkinInfo->Release();
        delete[] container->Name;
        delete container;
        return D3D_OK;
    }

  private:
    const char* path_;
    std::set<std::string> reportedTextures_;
};

// The frames parent first, with each one's parent, walked without recursion.
void FlattenFrames(AnimatedModel* model) {
    std::vector<std::pair<D3DXFRAME*, uint32_t>> pending;
    for (D3DXFRAME* f = model->root; f; f = f->pFrameSibling)
        pending.push_back({f, kNoFrame});
    // Siblings go on the stack in reverse, so they come off in file order.
    std::reverse(pending.begin(), pending.end());
    while (!pending.empty()) {
        const auto [frame, parent] = pending.back();
        pending.pop_back();
        const uint32_t index = uint32_t(model->frames.size());
        model->frames.push_back(frame);
        model->parents.push_back(parent);
        const size_t first = pending.size();
        for (D3DXFRAME* child = frame->pFrameFirstChild; child; child = child->pFrameSibling)
            pending.push_back({child, index});
        std::reverse(pending.begin() + first, pending.end());
    }
    model->combined.resize(model->frames.size());
}

// Each mesh container becomes a part; a skinned one learns its bones' frames and offsets, and
// keeps its vertices as loaded to skin from.
bool CollectParts(AnimatedModel* model) {
    std::unordered_map<std::string, uint32_t> framesByName;
    for (uint32_t i = 0; i < model->frames.size(); ++i)
        if (model->frames[i]->Name && model->frames[i]->Name[0])
            framesByName.emplace(model->frames[i]->Name, i); // the first of a name, as D3DX finds
    for (uint32_t i = 0; i < model->frames.size(); ++i) {
        for (D3DXMESHCONTAINER* c = model->frames[i]->pMeshContainer; c;
             c = c->pNextMeshContainer) {
            auto* container = static_cast<ViewerMeshContainer*>(c);
            // A skin of no bones moves nothing: the mesh hangs under its frame.
            ID3DXSkinInfo* skin = container->pSkinInfo;
            if (skin && skin->GetNumBones() == 0) skin = nullptr;
            AnimatedPart part{container->look, i, skin, {}, {}, {}, {}};
            if (part.skin) {
                ID3DXMesh* mesh = part.look.mesh;
                void* vertices = nullptr;
                if (mesh->LockVertexBuffer(D3DLOCK_READONLY, &vertices) != 0) return false;
                const size_t bytes = size_t(mesh->GetNumVertices()) * mesh->GetNumBytesPerVertex();
                const auto* start = static_cast<const uint8_t*>(vertices);
                part.bindVertices.assign(start, start + bytes);
                mesh->UnlockVertexBuffer();
                const DWORD boneCount = part.skin->GetNumBones();
                for (DWORD b = 0; b < boneCount; ++b) {
                    const char* name = part.skin->GetBoneName(b);
                    const auto found = name ? framesByName.find(name) : framesByName.end();
                    part.boneFrames.push_back(found == framesByName.end() ? kNoFrame
                                                                          : found->second);
                    const D3DXMATRIX* offset = part.skin->GetBoneOffsetMatrix(b);
                    D3DXMATRIX identity;
                    D3DXMatrixIdentity(&identity);
                    part.boneOffsets.push_back(offset ? *offset : identity);
                }
                part.bones.resize(boneCount);
            }
            model->parts.push_back(std::move(part));
        }
    }
    return true;
}

// Each frame's matrix in model space: its own under its parent's, parents first.
void CombineFrames(AnimatedModel* model) {
    for (size_t i = 0; i < model->frames.size(); ++i) {
        const uint32_t parent = model->parents[i];
        if (parent == kNoFrame)
            model->combined[i] = model->frames[i]->TransformationMatrix;
        else
            D3DXMatrixMultiply(&model->combined[i], &model->frames[i]->TransformationMatrix,
                               &model->combined[parent]);
    }
}

// A skinned part's vertices in this pose, written into its mesh. A bone that names no frame
// holds its vertices where they were loaded.
void SkinPart(AnimatedModel* model, AnimatedPart* part) {
    for (size_t b = 0; b < part->bones.size(); ++b) {
        if (part->boneFrames[b] == kNoFrame)
            D3DXMatrixIdentity(&part->bones[b]);
        else
            D3DXMatrixMultiply(&part->bones[b], &part->boneOffsets[b],
                               &model->combined[part->boneFrames[b]]);
    }
    void* vertices = nullptr;
    if (part->look.mesh->LockVertexBuffer(0, &vertices) != 0) return;
    part->skin->UpdateSkinnedMesh(part->bones.data(), nullptr, part->bindVertices.data(), vertices);
    part->look.mesh->UnlockVertexBuffer();
}

// The pose after the controller has written the frames: combined, and skins applied.
void ApplyPose(AnimatedModel* model) {
    CombineFrames(model);
    for (AnimatedPart& part : model->parts)
        if (part.skin) SkinPart(model, &part);
}

ID3DXAnimationSet* SetAt(AnimatedModel* model, UINT index) {
    ID3DXAnimationSet* set = nullptr;
    if (model->controller->GetAnimationSet(index, &set) != 0) return nullptr;
    return set;
}

double SteadyClock() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double (*animationClock)() = SteadyClock;

void SayNoAnimation(const char* path, const char* reason) {
    std::fprintf(stderr, "xofview: no animation to play in model \"%s\": %s\n",
                 ConsoleText(path).c_str(), reason);
    std::fflush(stderr);
}

// The shown model's animation, made on first asking; null when the model has none.
AnimatedModel* AskedAnimation() {
    ViewerState& s = viewer;
    if (s.animatedModel) return s.animatedModel;
    if (s.animationUnavailable || !s.model || !s.model->mesh) return nullptr;
    AnimatedModel* model = new AnimatedModel{};
    if (!LoadAnimatedModel(model, s.shownModelPath)) {
        delete model;
        s.animationUnavailable = true;
        return nullptr;
    }
    s.animatedModel = model;
    return model;
}

} // namespace

bool LoadAnimatedModel(AnimatedModel* model, const char* path) {
    Allocator allocator(path);
    D3DXFRAME* root = nullptr;
    ID3DXAnimationController* controller = nullptr;
    const HRESULT result = D3DXLoadMeshHierarchyFromX(path, D3DXMESH_SYSTEMMEM, viewer.device,
                                                      &allocator, nullptr, &root, &controller);
    if (result != 0 || !root || !controller || controller->GetNumAnimationSets() == 0) {
        char reason[64];
        std::snprintf(reason, sizeof reason, "its animation cannot be read (0x%08X)",
                      unsigned(result));
        SayNoAnimation(path, result != 0 || !root ? reason : "it has no animation set");
        if (controller) controller->Release();
        if (root) D3DXFrameDestroy(root, &allocator);
        return false;
    }
    model->root = root;
    model->controller = controller;
    model->setCount = controller->GetNumAnimationSets();
    FlattenFrames(model);
    if (!CollectParts(model)) {
        ReleaseAnimatedModel(model);
        SayNoAnimation(path, "its meshes cannot be read");
        return false;
    }
    PoseAnimatedModel(model, 0, 0.0);
    return true;
}

void PoseAnimatedModel(AnimatedModel* model, UINT index, double position) {
    ID3DXAnimationSet* set = SetAt(model, index);
    if (!set) return;
    model->set = index;
    ID3DXAnimationController* controller = model->controller;
    controller->SetTrackAnimationSet(0, set);
    set->Release();
    controller->SetTrackEnable(0, TRUE);
    controller->SetTrackSpeed(0, 1.0f);
    controller->SetTrackWeight(0, 1.0f);
    controller->SetTrackPosition(0, position);
    controller->AdvanceTime(0.0, nullptr);
    ApplyPose(model);
}

void AdvanceAnimatedModel(AnimatedModel* model, double clock) {
    const double elapsed = clock - model->lastClock;
    model->lastClock = clock;
    if (!model->playing || !(elapsed > 0.0)) return;
    model->controller->AdvanceTime(elapsed, nullptr);
    ApplyPose(model);
}

void DrawAnimatedModel(AnimatedModel* model, const Vector3& position, const Vector3& rotation) {
    D3DXMATRIX world;
    ModelWorldMatrix(position, rotation, &world);
    for (AnimatedPart& part : model->parts) {
        if (part.skin) {
            viewer.device->SetTransform(D3DTS_WORLD, &world); // skinned into model space
        } else {
            D3DXMATRIX placed;
            D3DXMatrixMultiply(&placed, &model->combined[part.frame], &world);
            viewer.device->SetTransform(D3DTS_WORLD, &placed);
        }
        DrawMeshModelSubsets(&part.look);
    }
}

bool MeasureAnimatedModel(AnimatedModel* model, const Vector3& position, const Vector3& rotation,
                          Vector3* centre, float* radius) {
    D3DXMATRIX world;
    ModelWorldMatrix(position, rotation, &world);
    std::vector<D3DXVECTOR3> placed;
    for (AnimatedPart& part : model->parts) {
        ID3DXMesh* mesh = part.look.mesh;
        if ((mesh->GetFVF() & D3DFVF_POSITION_MASK) != D3DFVF_XYZ) continue;
        D3DXMATRIX partWorld = world;
        if (!part.skin) D3DXMatrixMultiply(&partWorld, &model->combined[part.frame], &world);
        void* vertices = nullptr;
        if (mesh->LockVertexBuffer(D3DLOCK_READONLY, &vertices) != 0) continue;
        const DWORD count = mesh->GetNumVertices(), stride = mesh->GetNumBytesPerVertex();
        for (DWORD i = 0; i < count; ++i) {
            D3DXVECTOR3 p;
            std::memcpy(&p, static_cast<const char*>(vertices) + size_t(i) * stride, sizeof p);
            D3DXVec3TransformCoord(&p, &p, &partWorld);
            placed.push_back(p);
        }
        mesh->UnlockVertexBuffer();
    }
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    return MeasurePoints(reinterpret_cast<const char*>(placed.data()), DWORD(placed.size()),
                         sizeof(D3DXVECTOR3), identity, centre, radius);
}

void ReleaseAnimatedModel(AnimatedModel* model) {
    model->parts.clear(); // the parts' looks belong to the mesh containers
    if (model->controller) model->controller->Release();
    model->controller = nullptr;
    if (model->root) {
        Allocator allocator("");
        D3DXFrameDestroy(model->root, &allocator);
    }
    model->root = nullptr;
    model->frames.clear();
    model->parents.clear();
    model->combined.clear();
}

AnimationShown ShownAnimation(AnimatedModel* model) {
    AnimationShown shown = {model->set, "", 0.0, 0.0};
    ID3DXAnimationSet* set = nullptr;
    if (model->controller->GetTrackAnimationSet(0, &set) != 0 || !set) return shown;
    D3DXTRACK_DESC track = {};
    model->controller->GetTrackDesc(0, &track);
    shown.name = set->GetName() ? set->GetName() : "";
    shown.period = set->GetPeriod();
    shown.position = set->GetPeriodicPosition(track.Position);
    set->Release(); // the controller keeps it, and its name, while it is on the track
    return shown;
}

void PlayOrPauseAnimation() {
    AnimatedModel* model = viewer.animatedModel;
    if (!model) {
        model = AskedAnimation(); // posed at the first set's start, paused
        if (!model) return;
    }
    model->playing = !model->playing;
    model->lastClock = animationClock();
}

void PlayNextAnimationSet() {
    const bool fresh = !viewer.animatedModel;
    AnimatedModel* model = AskedAnimation();
    if (!model) return;
    PoseAnimatedModel(model, fresh ? 0 : (model->set + 1) % model->setCount, 0.0);
    model->playing = true;
    model->lastClock = animationClock();
}

bool PlayAnimationSet(const char* set) {
    AnimatedModel* model = AskedAnimation();
    if (!model) return false;
    UINT index = 0;
    if (set && set[0]) {
        bool found = false;
        for (UINT i = 0; i < model->setCount && !found; ++i) {
            ID3DXAnimationSet* candidate = SetAt(model, i);
            if (!candidate) continue;
            const char* name = candidate->GetName();
            if (name && std::strcmp(name, set) == 0) {
                index = i;
                found = true;
            }
            candidate->Release();
        }
        char* end = nullptr;
        const unsigned long number = std::strtoul(set, &end, 10);
        if (!found && *end == '\0' && number < model->setCount) {
            index = UINT(number);
            found = true;
        }
        if (!found) return false;
    }
    PoseAnimatedModel(model, index, 0.0);
    model->playing = true;
    model->lastClock = animationClock();
    return true;
}

void ForgetAnimation() {
    ViewerState& s = viewer;
    if (s.animatedModel) {
        ReleaseAnimatedModel(s.animatedModel);
        delete s.animatedModel;
    }
    s.animatedModel = nullptr;
    s.animationUnavailable = false;
}

double AnimationClock() {
    return animationClock();
}

void SetAnimationClock(double (*clock)()) {
    animationClock = clock ? clock : SteadyClock;
}
