// D3DXLoadMeshHierarchyFromXA and D3DXLoadMeshHierarchyFromXInMemory: the document's frames
// through the program's ID3DXAllocateHierarchy, each Mesh a mesh container under its frame, and
// an animation controller when the file has animation sets. The frame tree is walked with a
// stack of its own, so a deep hierarchy takes no call stack.
#include "d3dx9/animation_read.h"
#include "d3dx9/model_file.h"
#include "d3dx9/mesh_container.h"
#include "xfile/document.h"

#include <d3dx9.h>

#include <new>
#include <string>
#include <vector>

namespace d3dx9 {

namespace {

using xfile::Node;
using xfile::Template;

// References can place one frame or mesh several times; the objects visited may be this many
// times the document's (plus slack for small files), more is a file built to exhaust memory.
constexpr uint64_t kVisitFactor = 4;
constexpr uint64_t kVisitSlack = uint64_t{1} << 16;
// The controller the loader makes, as D3DX makes it: two tracks, room for 30 events.
constexpr UINT kLoaderTracks = 2;
constexpr UINT kLoaderEvents = 30;

class HierarchyBuilder {
  public:
    HierarchyBuilder(const xfile::Document& doc, DWORD options, IDirect3DDevice9* device,
                     ID3DXAllocateHierarchy* alloc)
        : doc_(doc), options_(options), device_(device), alloc_(alloc),
          visits_left_(kVisitFactor * doc.nodes().size() + kVisitSlack) {}

    // The top-level frames in file order (a top-level Mesh in a frame of its own), chained as
    // siblings from `*first`; on failure what was made stays chained there for the caller.
    HRESULT Run(D3DXFRAME** first) {
        D3DXFRAME** next = first;
        for (const Node& n : doc_.top_level()) {
            if (n.type == Template::Mesh) {
                D3DXFRAME* frame = nullptr;
                if (HRESULT hr = NewFrame(nullptr, &frame); FAILED(hr)) return hr;
                *next = frame;
                next = &frame->pFrameSibling;
                D3DXMESHCONTAINER** slot = &frame->pMeshContainer;
                if (HRESULT hr = AddMeshContainer(n, &slot); FAILED(hr)) return hr;
            } else if (n.type == Template::Frame) {
                if (HRESULT hr = BuildFrameTree(n, next); FAILED(hr)) return hr;
                next = &(*next)->pFrameSibling;
            }
        }
        return D3D_OK;
    }

  private:
    // A frame being filled: its node's children still to read and where the next child frame
    // and mesh container go.
    struct Open {
        xfile::Document::Children::iterator next;
        xfile::Document::Children::iterator end;
        D3DXFRAME* frame;
        D3DXFRAME** next_child;
        D3DXMESHCONTAINER** next_container;
    };

    HRESULT NewFrame(const char* name, D3DXFRAME** out) {
        *out = nullptr;
        if (FAILED(alloc_->CreateFrame(name, out)) || !*out) {
            *out = nullptr;
            return E_FAIL;
        }
        D3DXFRAME* f = *out;
        D3DXMatrixIdentity(&f->TransformationMatrix);
        f->pMeshContainer = nullptr;
        f->pFrameSibling = nullptr;
        f->pFrameFirstChild = nullptr;
        return D3D_OK;
    }

    HRESULT OpenFrame(const Node& node, D3DXFRAME** slot, std::vector<Open>& open) {
        const std::string name(doc_.name(node));
        D3DXFRAME* frame = nullptr;
        if (HRESULT hr = NewFrame(name.c_str(), &frame); FAILED(hr)) return hr;
        *slot = frame;
        const auto children = doc_.children(node);
        open.push_back({children.begin(), children.end(), frame, &frame->pFrameFirstChild,
                        &frame->pMeshContainer});
        return D3D_OK;
    }

    // Depth first in file order, as the file nests them.
    HRESULT BuildFrameTree(const Node& root, D3DXFRAME** slot) {
        std::vector<Open> open;
        if (HRESULT hr = OpenFrame(root, slot, open); FAILED(hr)) return hr;
        while (!open.empty()) {
            Open& top = open.back();
            if (top.next == top.end) {
                open.pop_back();
                continue;
            }
            const Node& child = *top.next;
            ++top.next;
            if (visits_left_ == 0) return E_OUTOFMEMORY;
            --visits_left_;
            const Node* c = doc_.resolve(child);
            if (!c) continue;
            switch (c->type) {
            case Template::FrameTransformMatrix: {
                // The last matrix of a frame is its matrix.
                const auto v = doc_.numbers(*c);
                if (v.size() != 16) return E_FAIL;
                v.CopyReals(0, 16, &top.frame->TransformationMatrix._11);
                break;
            }
            case Template::Mesh:
                if (HRESULT hr = AddMeshContainer(*c, &top.next_container); FAILED(hr)) return hr;
                break;
            case Template::Frame: {
                D3DXFRAME** at = top.next_child;
                if (HRESULT hr = OpenFrame(*c, at, open); FAILED(hr)) return hr;
                // `top` may have moved with the vector; the new frame's parent is just below it.
                open[open.size() - 2].next_child = &(*at)->pFrameSibling;
                break;
            }
            default:
                break;
            }
        }
        return D3D_OK;
    }

    HRESULT AddMeshContainer(const Node& mesh, D3DXMESHCONTAINER*** slot) {
        MeshContainerParts parts;
        const HRESULT built = BuildMeshContainerParts(doc_, mesh, options_, device_, &parts);
        if (FAILED(built)) return built;
        if (built == S_FALSE || !parts.mesh) return D3D_OK; // a mesh D3DX skips
        D3DXMESHDATA data;
        data.Type = D3DXMESHTYPE_MESH;
        data.pMesh = parts.mesh;
        const std::string name(doc_.name(mesh));
        D3DXMESHCONTAINER* container = nullptr;
        const auto pointer = [](ID3DXBuffer* b) { return b ? b->GetBufferPointer() : nullptr; };
        const HRESULT hr = alloc_->CreateMeshContainer(
            name.c_str(), &data, static_cast<const D3DXMATERIAL*>(pointer(parts.materials)),
            static_cast<const D3DXEFFECTINSTANCE*>(pointer(parts.effect_instances)),
            parts.material_count, static_cast<const DWORD*>(pointer(parts.adjacency)),
            parts.skin_info, &container);
        if (FAILED(hr)) return hr;
        if (!container) return D3D_OK;
        container->pNextMeshContainer = nullptr;
        **slot = container;
        *slot = &container->pNextMeshContainer;
        return D3D_OK;
    }

    const xfile::Document& doc_;
    DWORD options_;
    IDirect3DDevice9* device_;
    ID3DXAllocateHierarchy* alloc_;
    uint64_t visits_left_;
};

// The controller for `root`: an output per named frame, every set, the first on track 0.
HRESULT MakeController(D3DXFRAME* root, const AnimationSets& sets, ID3DXAnimationController** out) {
    const UINT outputs = D3DXFrameNumNamedMatrices(root);
    ID3DXAnimationController* controller = nullptr;
    HRESULT hr =
        D3DXCreateAnimationController(outputs ? outputs : 1, static_cast<UINT>(sets.sets.size()),
                                      kLoaderTracks, kLoaderEvents, &controller);
    if (FAILED(hr)) return hr;
    hr = D3DXFrameRegisterNamedMatrices(root, controller);
    for (KeyframedAnimationSet* set : sets.sets)
        if (SUCCEEDED(hr)) hr = controller->RegisterAnimationSet(AsInterface(set));
    if (SUCCEEDED(hr)) hr = controller->SetTrackAnimationSet(0, AsInterface(sets.sets[0]));
    if (FAILED(hr)) {
        controller->Release();
        return hr;
    }
    *out = controller;
    return D3D_OK;
}

HRESULT LoadHierarchy(std::span<const uint8_t> bytes, xfile::LargeVector<unsigned char>* file,
                      DWORD options, IDirect3DDevice9* device, ID3DXAllocateHierarchy* alloc,
                      D3DXFRAME** frame_hierarchy, ID3DXAnimationController** controller) {
    xfile::Document doc;
    const HRESULT parsed =
        FromParseStatus(file ? xfile::Parse(*file, doc) : xfile::Parse(bytes, doc));
    if (FAILED(parsed)) return parsed;

    AnimationSets sets;
    if (controller)
        if (HRESULT hr = ReadAnimationSets(doc, &sets); FAILED(hr)) return hr;

    D3DXFRAME* first = nullptr;
    HRESULT hr = HierarchyBuilder(doc, options, device, alloc).Run(&first);
    D3DXFRAME* root = first;
    if (SUCCEEDED(hr) && !first) hr = E_FAIL;
    // Several top-level frames hang under one made for them, unnamed and unmoved.
    if (SUCCEEDED(hr) && first->pFrameSibling) {
        root = nullptr;
        if (FAILED(alloc->CreateFrame(nullptr, &root)) || !root) {
            root = first;
            hr = E_FAIL;
        } else {
            D3DXMatrixIdentity(&root->TransformationMatrix);
            root->pMeshContainer = nullptr;
            root->pFrameSibling = nullptr;
            root->pFrameFirstChild = first;
        }
    }
    ID3DXAnimationController* made = nullptr;
    if (SUCCEEDED(hr) && controller && !sets.sets.empty()) hr = MakeController(root, sets, &made);
    if (FAILED(hr)) {
        if (root) D3DXFrameDestroy(root, alloc);
        return hr;
    }
    *frame_hierarchy = root;
    if (controller) *controller = made;
    return D3D_OK;
}

HRESULT Guarded(const auto& load) {
    try {
        return load();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace
} // namespace d3dx9

// A program's ID3DXLoadUserData is not called: the loader hands it no ID3DXFileData objects.
HRESULT WINAPI D3DXLoadMeshHierarchyFromXInMemory(LPCVOID memory, DWORD sizeOfMemory,
                                                  DWORD meshOptions, LPDIRECT3DDEVICE9 device,
                                                  LPD3DXALLOCATEHIERARCHY alloc, LPD3DXLOADUSERDATA,
                                                  LPD3DXFRAME* frameHierarchy,
                                                  LPD3DXANIMATIONCONTROLLER* animController) {
    if (!memory || !sizeOfMemory || !device || !alloc || !frameHierarchy) return D3DERR_INVALIDCALL;
    if (animController) *animController = nullptr;
    return d3dx9::Guarded([&]() -> HRESULT {
        return d3dx9::LoadHierarchy({static_cast<const uint8_t*>(memory), sizeOfMemory}, nullptr,
                                    meshOptions, device, alloc, frameHierarchy, animController);
    });
}

HRESULT WINAPI D3DXLoadMeshHierarchyFromXA(LPCSTR filename, DWORD meshOptions,
                                           LPDIRECT3DDEVICE9 device, LPD3DXALLOCATEHIERARCHY alloc,
                                           LPD3DXLOADUSERDATA, LPD3DXFRAME* frameHierarchy,
                                           LPD3DXANIMATIONCONTROLLER* animController) {
    if (!filename || !device || !alloc || !frameHierarchy) return D3DERR_INVALIDCALL;
    if (animController) *animController = nullptr;
    return d3dx9::Guarded([&]() -> HRESULT {
        xfile::LargeVector<unsigned char> bytes;
        if (HRESULT hr = d3dx9::ReadModelFile(filename, bytes); FAILED(hr)) return hr;
        return d3dx9::LoadHierarchy({bytes.data(), bytes.size()}, &bytes, meshOptions, device,
                                    alloc, frameHierarchy, animController);
    });
}
