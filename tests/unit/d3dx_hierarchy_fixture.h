// A test allocator for D3DXLoadMeshHierarchyFromX, written as Wine's D3DX tests write theirs
// (names copied, mesh containers holding their own copies and references), that counts what
// is alive so that every test can check nothing leaked; and a frame tree walk for checks.
#pragma once

#include <d3dx9.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace xoftest {

class CountingAllocator final : public ID3DXAllocateHierarchy {
  public:
    int frames = 0, containers = 0;
    int create_frame_calls = 0;
    int fail_frame_at = -1; // CreateFrame fails on this call (0-based), if set

    HRESULT STDMETHODCALLTYPE CreateFrame(LPCSTR name, LPD3DXFRAME* out) override {
        if (create_frame_calls++ == fail_frame_at) return E_OUTOFMEMORY;
        auto* f = static_cast<D3DXFRAME*>(std::calloc(1, sizeof(D3DXFRAME)));
        if (name) f->Name = Copy(name);
        ++frames;
        *out = f;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* data,
                                                  const D3DXMATERIAL* materials,
                                                  const D3DXEFFECTINSTANCE*, DWORD count,
                                                  const DWORD* adjacency, ID3DXSkinInfo* skin,
                                                  LPD3DXMESHCONTAINER* out) override {
        auto* c = static_cast<D3DXMESHCONTAINER*>(std::calloc(1, sizeof(D3DXMESHCONTAINER)));
        if (name) c->Name = Copy(name);
        c->MeshData = *data;
        if (data->pMesh) data->pMesh->AddRef();
        c->NumMaterials = count;
        if (count && materials) {
            c->pMaterials = static_cast<D3DXMATERIAL*>(std::calloc(count, sizeof(D3DXMATERIAL)));
            for (DWORD i = 0; i < count; ++i) {
                c->pMaterials[i].MatD3D = materials[i].MatD3D;
                if (materials[i].pTextureFilename)
                    c->pMaterials[i].pTextureFilename = Copy(materials[i].pTextureFilename);
            }
        }
        if (adjacency && data->pMesh) {
            const DWORD faces = data->pMesh->GetNumFaces();
            c->pAdjacency = static_cast<DWORD*>(std::calloc(faces * 3 + 1, sizeof(DWORD)));
            std::memcpy(c->pAdjacency, adjacency, faces * 3 * sizeof(DWORD));
        }
        c->pSkinInfo = skin;
        if (skin) skin->AddRef();
        ++containers;
        *out = c;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DestroyFrame(LPD3DXFRAME f) override {
        std::free(f->Name);
        std::free(f);
        --frames;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE DestroyMeshContainer(LPD3DXMESHCONTAINER c) override {
        std::free(c->Name);
        if (c->MeshData.pMesh) c->MeshData.pMesh->Release();
        for (DWORD i = 0; c->pMaterials && i < c->NumMaterials; ++i)
            std::free(c->pMaterials[i].pTextureFilename);
        std::free(c->pMaterials);
        std::free(c->pAdjacency);
        if (c->pSkinInfo) c->pSkinInfo->Release();
        std::free(c);
        --containers;
        return D3D_OK;
    }

  private:
    static char* Copy(const char* s) {
        char* out = static_cast<char*>(std::malloc(std::strlen(s) + 1));
        std::strcpy(out, s);
        return out;
    }
};

// Every frame of the tree under (and beside) `root`, depth first, parents before children.
inline std::vector<const D3DXFRAME*> AllFrames(const D3DXFRAME* root) {
    std::vector<const D3DXFRAME*> out, pending{root};
    while (!pending.empty()) {
        const D3DXFRAME* f = pending.back();
        pending.pop_back();
        if (!f) continue;
        out.push_back(f);
        pending.push_back(f->pFrameSibling);
        pending.push_back(f->pFrameFirstChild);
    }
    return out;
}

inline std::vector<const D3DXFRAME*> Children(const D3DXFRAME* f) {
    std::vector<const D3DXFRAME*> out;
    for (const D3DXFRAME* c = f->pFrameFirstChild; c; c = c->pFrameSibling)
        out.push_back(c);
    return out;
}

} // namespace xoftest
