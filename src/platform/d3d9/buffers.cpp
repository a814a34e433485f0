// Vertex and index buffers over a system-memory copy and a GL buffer object.
#include "buffers.h"

#include "device.h"

#include <algorithm>
#include <cstring>

namespace d3d9 {

uint64_t deletedGlBuffers = 0;

void IndexRange(const uint8_t* indices, UINT count, UINT indexSize, UINT* lowest, UINT* highest) {
    UINT lo = ~0u, hi = 0;
    if (indexSize == 2) {
        for (UINT n = 0; n < count; ++n) {
            uint16_t v;
            memcpy(&v, indices + size_t(n) * 2, 2);
            lo = std::min(lo, UINT(v));
            hi = std::max(hi, UINT(v));
        }
    } else {
        for (UINT n = 0; n < count; ++n) {
            UINT v;
            memcpy(&v, indices + size_t(n) * 4, 4);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
    *lowest = count ? lo : 0;
    *highest = hi;
}

// --- BufferStorage ---

BufferStorage::~BufferStorage() {
    if (buffer_) {
        glDeleteBuffers(1, &buffer_);
        ++deletedGlBuffers;
    }
}

void BufferStorage::IndexBounds(UINT indexSize, UINT* lowest, UINT* highest) {
    if (!boundsKnown_ || boundsIndexSize_ != indexSize) {
        IndexRange(memory_.data(), UINT(memory_.size() / indexSize), indexSize, &lowestIndex_,
                   &highestIndex_);
        boundsKnown_ = true;
        boundsIndexSize_ = indexSize;
    }
    *lowest = lowestIndex_;
    *highest = highestIndex_;
}

HRESULT BufferStorage::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    if (!data) return D3DERR_INVALIDCALL;
    const UINT length = Length();
    // Offset and size 0 lock the whole buffer; a range past the end is refused.
    if (offset > length || size > length - offset) {
        *data = nullptr;
        return D3DERR_INVALIDCALL;
    }
    if (size == 0) size = length - offset;
    // The copy keeps its contents whatever the flags say, so DISCARD and NOOVERWRITE only
    // promise what is already true; READONLY spares the upload.
    if (!(flags & D3DLOCK_READONLY) && size > 0) {
        boundsKnown_ = false;
        if (dirtyBegin_ == dirtyEnd_) {
            dirtyBegin_ = offset;
            dirtyEnd_ = offset + size;
        } else {
            dirtyBegin_ = std::min(dirtyBegin_, offset);
            dirtyEnd_ = std::max(dirtyEnd_, offset + size);
        }
    }
    ++lockCount_;
    *data = memory_.data() + offset;
    return D3D_OK;
}

HRESULT BufferStorage::Unlock() {
    // Unlocking an unlocked buffer is harmless in Direct3D 9.
    if (lockCount_ > 0) --lockCount_;
    return D3D_OK;
}

GLuint BufferStorage::Upload(GLenum target) {
    if (!buffer_) {
        glGenBuffers(1, &buffer_);
        glBindBuffer(target, buffer_);
        glBufferData(target, GLsizeiptr(memory_.size()), memory_.data(), GL_DYNAMIC_DRAW);
        dirtyBegin_ = dirtyEnd_ = 0;
        return buffer_;
    }
    glBindBuffer(target, buffer_);
    if (dirtyBegin_ == dirtyEnd_) return buffer_;
    if (dirtyBegin_ == 0 && dirtyEnd_ == memory_.size()) {
        // A whole rewrite gets fresh storage, so the GL never waits for draws still reading
        // the old contents (the per-frame rewrite of a small buffer stays cheap).
        glBufferData(target, GLsizeiptr(memory_.size()), memory_.data(), GL_DYNAMIC_DRAW);
    } else {
        glBufferSubData(target, GLintptr(dirtyBegin_), GLsizeiptr(dirtyEnd_ - dirtyBegin_),
                        memory_.data() + dirtyBegin_);
    }
    dirtyBegin_ = dirtyEnd_ = 0;
    return buffer_;
}

// --- VertexBuffer ---

VertexBuffer::VertexBuffer(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : ResourceLifetime(device),
      storage_(length), desc_{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf} {}

VertexBuffer::~VertexBuffer() {
    OwnerDevice()->MakeCurrent();
}

HRESULT VertexBuffer::QueryInterface(REFIID riid, void** object) {
    return QueryResourceInterface<IDirect3DVertexBuffer9>(this, riid, object,
                                                          {&IID_IDirect3DVertexBuffer9});
}

DWORD VertexBuffer::SetPriority(DWORD priority) {
    DWORD old = priority_;
    priority_ = priority;
    return old;
}

HRESULT VertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) {
    return storage_.Lock(offsetToLock, sizeToLock, data, flags);
}

HRESULT VertexBuffer::Unlock() {
    return storage_.Unlock();
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

// --- IndexBuffer ---

IndexBuffer::IndexBuffer(Device* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : ResourceLifetime(device),
      storage_(length), desc_{format, D3DRTYPE_INDEXBUFFER, usage, pool, length} {}

IndexBuffer::~IndexBuffer() {
    OwnerDevice()->MakeCurrent();
}

HRESULT IndexBuffer::QueryInterface(REFIID riid, void** object) {
    return QueryResourceInterface<IDirect3DIndexBuffer9>(this, riid, object,
                                                         {&IID_IDirect3DIndexBuffer9});
}

DWORD IndexBuffer::SetPriority(DWORD priority) {
    DWORD old = priority_;
    priority_ = priority;
    return old;
}

HRESULT IndexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, void** data, DWORD flags) {
    return storage_.Lock(offsetToLock, sizeToLock, data, flags);
}

HRESULT IndexBuffer::Unlock() {
    return storage_.Unlock();
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

} // namespace d3d9
