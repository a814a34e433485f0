// The frame hierarchy functions: D3DXFrameDestroy, D3DXFrameFind, D3DXFrameAppendChild,
// D3DXFrameNumNamedMatrices, D3DXFrameRegisterNamedMatrices, D3DXFrameCalculateBoundingSphere.
// A hierarchy may be as deep as a program makes it, so none of them recurses: destruction turns
// the tree as it goes, the walks keep their own stack.
#include <d3dx9.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Calls `visit(frame)` on `root`, its siblings and all their descendants, depth first, each frame
// before its children and its children before its next sibling.
template <class Frame, class Visit> void WalkFrames(Frame* root, Visit visit) {
    std::vector<Frame*> pending{root};
    while (!pending.empty()) {
        Frame* frame = pending.back();
        pending.pop_back();
        if (!visit(frame)) return;
        if (frame->pFrameSibling) pending.push_back(frame->pFrameSibling);
        if (frame->pFrameFirstChild) pending.push_back(frame->pFrameFirstChild);
    }
}

bool SameName(const char* a, const char* b) {
    if (!a || !b) return a == b;
    return std::strcmp(a, b) == 0;
}

} // namespace

// Seen as a binary tree (first child on the left, next sibling on the right), each left link is
// turned into a right one until a frame has no children; then it goes, and its right link is
// what is left to destroy. Every frame is still destroyed when the allocator reports a failure,
// and the first failure is returned.
HRESULT WINAPI D3DXFrameDestroy(LPD3DXFRAME frameRoot, LPD3DXALLOCATEHIERARCHY alloc) {
    if (!frameRoot || !alloc) return D3DERR_INVALIDCALL;
    HRESULT result = D3D_OK;
    D3DXFRAME* frame = frameRoot;
    while (frame) {
        if (D3DXFRAME* child = frame->pFrameFirstChild) {
            frame->pFrameFirstChild = child->pFrameSibling;
            child->pFrameSibling = frame;
            frame = child;
            continue;
        }
        D3DXFRAME* next = frame->pFrameSibling;
        for (D3DXMESHCONTAINER* c = frame->pMeshContainer; c;) {
            D3DXMESHCONTAINER* after = c->pNextMeshContainer;
            const HRESULT hr = alloc->DestroyMeshContainer(c);
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
            c = after;
        }
        frame->pMeshContainer = nullptr;
        frame->pFrameSibling = nullptr;
        const HRESULT hr = alloc->DestroyFrame(frame);
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        frame = next;
    }
    return result;
}

// The first frame with that name, a null name finding a frame without one.
LPD3DXFRAME WINAPI D3DXFrameFind(const D3DXFRAME* frameRoot, LPCSTR name) {
    if (!frameRoot) return nullptr;
    const D3DXFRAME* found = nullptr;
    try {
        WalkFrames(frameRoot, [&](const D3DXFRAME* f) {
            if (SameName(f->Name, name)) found = f;
            return found == nullptr;
        });
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return const_cast<D3DXFRAME*>(found);
}

// The child goes last among the parent's children, with whatever siblings it already had.
HRESULT WINAPI D3DXFrameAppendChild(LPD3DXFRAME frameParent, const D3DXFRAME* frameChild) {
    if (!frameParent || !frameChild) return D3DERR_INVALIDCALL;
    D3DXFRAME** slot = &frameParent->pFrameFirstChild;
    while (*slot)
        slot = &(*slot)->pFrameSibling;
    *slot = const_cast<D3DXFRAME*>(frameChild);
    return D3D_OK;
}

UINT WINAPI D3DXFrameNumNamedMatrices(const D3DXFRAME* frameRoot) {
    if (!frameRoot) return 0;
    UINT count = 0;
    try {
        WalkFrames(frameRoot, [&](const D3DXFRAME* f) {
            if (f->Name) ++count;
            return true;
        });
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return count;
}

// Each named frame's TransformationMatrix becomes the output of that name; a name registered
// before (by an earlier frame or by the program) keeps its first matrix.
HRESULT WINAPI D3DXFrameRegisterNamedMatrices(LPD3DXFRAME frameRoot,
                                              LPD3DXANIMATIONCONTROLLER animController) {
    if (!frameRoot || !animController) return D3DERR_INVALIDCALL;
    HRESULT result = D3D_OK;
    try {
        WalkFrames(frameRoot, [&](D3DXFRAME* f) {
            if (!f->Name) return true;
            const HRESULT hr = animController->RegisterAnimationOutput(
                f->Name, &f->TransformationMatrix, nullptr, nullptr, nullptr);
            if (hr == E_OUTOFMEMORY) result = hr;
            return SUCCEEDED(result);
        });
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return result;
}

// The sphere around every vertex of every mesh container, each placed by its frame's world
// matrix (its own TransformationMatrix after its parents'): centred on their mean, reaching the
// farthest.
HRESULT WINAPI D3DXFrameCalculateBoundingSphere(const D3DXFRAME* frameRoot,
                                                LPD3DXVECTOR3 objectCenter, FLOAT* objectRadius) {
    if (!frameRoot || !objectCenter || !objectRadius) return D3DERR_INVALIDCALL;
    struct Placed {
        const D3DXFRAME* frame;
        D3DXMATRIX parent_world;
    };
    std::vector<D3DXVECTOR3> points;
    try {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        std::vector<Placed> pending{{frameRoot, identity}};
        while (!pending.empty()) {
            const Placed p = pending.back();
            pending.pop_back();
            D3DXMATRIX world;
            D3DXMatrixMultiply(&world, &p.frame->TransformationMatrix, &p.parent_world);
            for (const D3DXMESHCONTAINER* c = p.frame->pMeshContainer; c;
                 c = c->pNextMeshContainer) {
                if (c->MeshData.Type != D3DXMESHTYPE_MESH || !c->MeshData.pMesh) continue;
                ID3DXMesh* mesh = c->MeshData.pMesh;
                const DWORD count = mesh->GetNumVertices(), stride = mesh->GetNumBytesPerVertex();
                void* data = nullptr;
                if (count == 0 || stride < 12 || FAILED(mesh->LockVertexBuffer(0, &data)) || !data)
                    continue;
                for (DWORD v = 0; v < count; ++v) {
                    D3DXVECTOR3 position;
                    std::memcpy(&position, static_cast<const char*>(data) + size_t{v} * stride, 12);
                    D3DXVec3TransformCoord(&position, &position, &world);
                    points.push_back(position);
                }
                mesh->UnlockVertexBuffer();
            }
            if (p.frame->pFrameSibling) pending.push_back({p.frame->pFrameSibling, p.parent_world});
            if (p.frame->pFrameFirstChild) pending.push_back({p.frame->pFrameFirstChild, world});
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    D3DXVECTOR3 center(0.0f, 0.0f, 0.0f);
    float radius = 0.0f;
    if (!points.empty()) {
        double sum[3] = {0.0, 0.0, 0.0};
        for (const D3DXVECTOR3& p : points) {
            sum[0] += p.x;
            sum[1] += p.y;
            sum[2] += p.z;
        }
        const double n = static_cast<double>(points.size());
        center = D3DXVECTOR3(static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
                             static_cast<float>(sum[2] / n));
        for (const D3DXVECTOR3& p : points) {
            const D3DXVECTOR3 d(p.x - center.x, p.y - center.y, p.z - center.z);
            radius = std::max(radius, D3DXVec3Length(&d));
        }
    }
    *objectCenter = center;
    *objectRadius = radius;
    return D3D_OK;
}
