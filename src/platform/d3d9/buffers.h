// Vertex and index buffers: a system-memory copy that Lock hands out, uploaded to a GL buffer
// before the next draw that reads it.
#pragma once

#include "gl_api.h"
#include "resource.h"

#include <d3d9.h>

#include <vector>

namespace d3d9 {

// What both buffer kinds share: the memory, the lock and the upload.
// How many GL buffers the device layer has deleted: a binding made before a deletion may name
// a buffer the GL has since unbound.
extern uint64_t deletedGlBuffers;

// The smallest and largest in a run of 16- or 32-bit indices (0 and 0 for none).
void IndexRange(const uint8_t* indices, UINT count, UINT indexSize, UINT* lowest, UINT* highest);

class BufferStorage {
  public:
    BufferStorage(UINT length) : memory_(length) {}
    ~BufferStorage();

    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT Unlock();
    bool Locked() const { return lockCount_ > 0; }
    UINT Length() const { return UINT(memory_.size()); }
    const uint8_t* Memory() const { return memory_.data(); }
    // The GL buffer with the current contents (uploads what changed); the context is current.
    GLuint Upload(GLenum target);
    // The smallest and largest of all the buffer's 16- or 32-bit indices, worked out once per
    // change of the contents.
    void IndexBounds(UINT indexSize, UINT* lowest, UINT* highest);

  private:
    std::vector<uint8_t> memory_;
    GLuint buffer_ = 0;
    bool boundsKnown_ = false;
    UINT boundsIndexSize_ = 0, lowestIndex_ = 0, highestIndex_ = 0;
    UINT lockCount_ = 0;
    UINT dirtyBegin_ = 0;
    UINT dirtyEnd_ = 0;
};

class VertexBuffer final : public IDirect3DVertexBuffer9, public ResourceLifetime {
  public:
    VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~VertexBuffer() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddPublicRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleasePublicRef(); }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
        return GetDeviceInterface(device);
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
    DWORD STDMETHODCALLTYPE GetPriority() override { return priority_; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT STDMETHODCALLTYPE Lock(UINT offsetToLock, UINT sizeToLock, void** data,
                                   DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    BufferStorage& Storage() { return storage_; }

  private:
    BufferStorage storage_;
    D3DVERTEXBUFFER_DESC desc_;
    DWORD priority_ = 0;
};

class IndexBuffer final : public IDirect3DIndexBuffer9, public ResourceLifetime {
  public:
    IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
    ~IndexBuffer() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddPublicRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleasePublicRef(); }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
        return GetDeviceInterface(device);
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD priority) override;
    DWORD STDMETHODCALLTYPE GetPriority() override { return priority_; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT STDMETHODCALLTYPE Lock(UINT offsetToLock, UINT sizeToLock, void** data,
                                   DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    HRESULT STDMETHODCALLTYPE GetDesc(D3DINDEXBUFFER_DESC* desc) override;

    BufferStorage& Storage() { return storage_; }
    UINT IndexSize() const { return desc_.Format == D3DFMT_INDEX32 ? 4 : 2; }

  private:
    BufferStorage storage_;
    D3DINDEXBUFFER_DESC desc_;
    DWORD priority_ = 0;
};

} // namespace d3d9
