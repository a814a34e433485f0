// Off-screen plain surfaces in system memory.
#include "plain_surface.h"

namespace d3d9 {

PlainSurface::PlainSurface(Device* device, UINT width, UINT height, const FormatInfo& format,
                           D3DPOOL pool)
    : ResourceLifetime(device), width_(width), height_(height), format_(format), pool_(pool),
      memory_(LevelBytes(format, width, height)) {}

HRESULT PlainSurface::QueryInterface(REFIID riid, void** object) {
    return QueryResourceInterface<IDirect3DSurface9>(this, riid, object, {&IID_IDirect3DSurface9});
}

HRESULT PlainSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = D3DSURFACE_DESC{format_.format, D3DRTYPE_SURFACE, 0, pool_, D3DMULTISAMPLE_NONE, 0,
                            width_,         height_};
    return D3D_OK;
}

HRESULT PlainSurface::LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD) {
    if (!lockedRect || locked_) return D3DERR_INVALIDCALL;
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || UINT(rect->right) > width_ || UINT(rect->bottom) > height_)
            return D3DERR_INVALIDCALL;
        if (format_.blocks != BlockCompression::None) {
            if ((rect->left | rect->top) & 3) return D3DERR_INVALIDCALL;
            offset = size_t(rect->top / 4) * Pitch() + size_t(rect->left / 4) * format_.blockBytes;
        } else {
            offset = size_t(rect->top) * Pitch() + size_t(rect->left) * format_.bytesPerPixel;
        }
    }
    locked_ = true;
    lockedRect->Pitch = INT(Pitch());
    lockedRect->pBits = memory_.data() + offset;
    return D3D_OK;
}

HRESULT PlainSurface::UnlockRect() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    return D3D_OK;
}

} // namespace d3d9
