// The device's resources: creation of buffers, textures and surfaces, their binding
// (SetTexture, SetStreamSource, SetIndices) and the back buffer's surface.
#include "buffers.h"
#include "device.h"
#include "plain_surface.h"
#include "texture.h"
#include "vertex_format.h"

namespace d3d9 {

namespace {

bool ValidPool(D3DPOOL pool) {
    return pool >= D3DPOOL_DEFAULT && pool <= D3DPOOL_SCRATCH;
}

// Direct3D 9 (not 9Ex) shares no resources between devices.
bool ValidSharedHandle(const HANDLE* sharedHandle) {
    return sharedHandle == nullptr;
}

} // namespace

// --- Creation ---

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) {
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (!ValidSharedHandle(sharedHandle)) return D3DERR_INVALIDCALL;
    Texture* created = nullptr;
    const HRESULT hr = Texture::Create(this, width, height, levels, usage, format, pool, &created);
    if (FAILED(hr)) return hr;
    *texture = created;
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** vertexBuffer, HANDLE* sharedHandle) {
    if (!vertexBuffer) return D3DERR_INVALIDCALL;
    *vertexBuffer = nullptr;
    if (length == 0 || !ValidPool(pool) || !ValidSharedHandle(sharedHandle))
        return D3DERR_INVALIDCALL;
    // A buffer with a vertex format must hold at least one vertex.
    if (fvf) {
        const VertexLayout layout = LayoutOf(fvf);
        if (layout.valid && length < layout.size) return D3DERR_INVALIDCALL;
    }
    *vertexBuffer = new VertexBuffer(this, length, usage, fvf, pool);
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** indexBuffer, HANDLE* sharedHandle) {
    if (!indexBuffer) return D3DERR_INVALIDCALL;
    *indexBuffer = nullptr;
    if (length == 0 || !ValidPool(pool) || !ValidSharedHandle(sharedHandle) ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    *indexBuffer = new IndexBuffer(this, length, usage, format, pool);
    return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** surface, HANDLE* sharedHandle) {
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    const FormatInfo* info = TextureFormat(format);
    // Managed plain surfaces do not exist in Direct3D 9.
    if (!info || width == 0 || height == 0 || !ValidPool(pool) || pool == D3DPOOL_MANAGED ||
        !ValidSharedHandle(sharedHandle))
        return D3DERR_INVALIDCALL;
    *surface = new PlainSurface(this, width, height, *info, pool);
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                              IDirect3DSurface9** backBufferSurface) {
    if (!backBufferSurface) return D3DERR_INVALIDCALL;
    *backBufferSurface = nullptr;
    if (swapChain != 0 || backBuffer >= parameters_.BackBufferCount ||
        type != D3DBACKBUFFER_TYPE_MONO)
        return D3DERR_INVALIDCALL;
    // Every back buffer of the chain is the one framebuffer: only the newest frame is kept.
    BackBufferSurface* surface = backBuffer_->Surface();
    surface->AddRef();
    *backBufferSurface = surface;
    return D3D_OK;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget,
                                    IDirect3DSurface9* destSurface) {
    if (!renderTarget || !destSurface || renderTarget != backBuffer_->Surface())
        return D3DERR_INVALIDCALL;
    auto* dest = dynamic_cast<PlainSurface*>(destSurface);
    // The copy goes to a system-memory surface of the target's size and format.
    if (!dest || dest->OwnerDevice() != this || dest->Pool() != D3DPOOL_SYSTEMMEM ||
        dest->Width() != backBuffer_->Width() || dest->Height() != backBuffer_->Height() ||
        dest->Format() != backBuffer_->Format().format)
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    backBuffer_->Read(dest->Memory(), dest->Pitch());
    glBindFramebuffer(GL_FRAMEBUFFER, backBuffer_->Framebuffer());
    return D3D_OK;
}

// --- Bindings ---

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    if (stage >= kStageCount) return D3DERR_INVALIDCALL;
    Texture* bound = nullptr;
    if (texture) {
        bound = dynamic_cast<Texture*>(texture);
        if (!bound || bound->OwnerDevice() != this) return D3DERR_INVALIDCALL;
    }
    if (textures_[stage] == bound) return D3D_OK;
    if (bound) bound->AddBinding();
    if (textures_[stage]) textures_[stage]->ReleaseBinding();
    textures_[stage] = bound;
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    if (!texture || stage >= kStageCount) return D3DERR_INVALIDCALL;
    *texture = textures_[stage];
    if (textures_[stage]) textures_[stage]->AddRef();
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9* streamData,
                                UINT offsetInBytes, UINT stride) {
    if (streamNumber >= 16) return D3DERR_INVALIDCALL;
    VertexBuffer* bound = nullptr;
    if (streamData) {
        bound = dynamic_cast<VertexBuffer*>(streamData);
        if (!bound || bound->OwnerDevice() != this) return D3DERR_INVALIDCALL;
    }
    StreamBinding& stream = streams_[streamNumber];
    if (bound) bound->AddBinding();
    if (stream.buffer) stream.buffer->ReleaseBinding();
    stream = StreamBinding{bound, offsetInBytes, stride};
    return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer9** streamData,
                                UINT* offsetInBytes, UINT* stride) {
    if (streamNumber >= 16 || !streamData || !offsetInBytes || !stride) return D3DERR_INVALIDCALL;
    const StreamBinding& stream = streams_[streamNumber];
    *streamData = stream.buffer;
    if (stream.buffer) stream.buffer->AddRef();
    *offsetInBytes = stream.offset;
    *stride = stream.stride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indexData) {
    IndexBuffer* bound = nullptr;
    if (indexData) {
        bound = dynamic_cast<IndexBuffer*>(indexData);
        if (!bound || bound->OwnerDevice() != this) return D3DERR_INVALIDCALL;
    }
    if (bound) bound->AddBinding();
    if (indices_) indices_->ReleaseBinding();
    indices_ = bound;
    return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** indexData) {
    if (!indexData) return D3DERR_INVALIDCALL;
    *indexData = indices_;
    if (indices_) indices_->AddRef();
    return D3D_OK;
}

} // namespace d3d9
