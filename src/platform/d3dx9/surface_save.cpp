// D3DXSaveSurfaceToFileA for PNG and BMP: a surface read through LockRect and written by the
// system's encoder (image_encode.h).
#include "d3dx9/image_encode.h"

#include <d3dx9.h>

namespace d3dx9 {
namespace {

// One texel of the formats screenshots and textures come in, as 0xAARRGGBB.
bool ReadTexel(D3DFORMAT format, const unsigned char* p, uint32_t& argb) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
        argb = uint32_t(p[0]) | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
        return true;
    case D3DFMT_X8R8G8B8:
        argb = 0xFF000000u | p[0] | p[1] << 8 | p[2] << 16;
        return true;
    case D3DFMT_R5G6B5: {
        const uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
        const uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        argb = 0xFF000000u | ((r << 3) | (r >> 2)) << 16 | ((g << 2) | (g >> 4)) << 8 |
               ((b << 3) | (b >> 2));
        return true;
    }
    default:
        return false;
    }
}

UINT TexelBytes(D3DFORMAT format) {
    return format == D3DFMT_R5G6B5                                    ? 2
           : (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) ? 4
                                                                      : 0;
}

// A system-memory copy of a render target, for surfaces that cannot be locked themselves (a
// back buffer created without D3DPRESENTFLAG_LOCKABLE_BACKBUFFER); null when there is none.
IDirect3DSurface9* ReadableCopy(IDirect3DSurface9* surface, const D3DSURFACE_DESC& desc) {
    IDirect3DDevice9* device = nullptr;
    if (FAILED(surface->GetDevice(&device)) || !device) return nullptr;
    IDirect3DSurface9* copy = nullptr;
    if (FAILED(device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format,
                                                   D3DPOOL_SYSTEMMEM, &copy, nullptr)))
        copy = nullptr;
    if (copy && FAILED(device->GetRenderTargetData(surface, copy))) {
        copy->Release();
        copy = nullptr;
    }
    device->Release();
    return copy;
}

} // namespace
} // namespace d3dx9

using namespace d3dx9;

HRESULT WINAPI D3DXSaveSurfaceToFileA(LPCSTR destFile, D3DXIMAGE_FILEFORMAT destFormat,
                                      LPDIRECT3DSURFACE9 srcSurface, const PALETTEENTRY*,
                                      const RECT* srcRect) {
    if (!destFile || !srcSurface) return D3DERR_INVALIDCALL;
    if (destFormat != D3DXIFF_PNG && destFormat != D3DXIFF_BMP) return D3DERR_INVALIDCALL;
    D3DSURFACE_DESC desc{};
    if (FAILED(srcSurface->GetDesc(&desc))) return D3DERR_INVALIDCALL;
    const UINT texelBytes = TexelBytes(desc.Format);
    if (texelBytes == 0) return D3DERR_INVALIDCALL;
    RECT area = {0, 0, LONG(desc.Width), LONG(desc.Height)};
    if (srcRect) {
        if (srcRect->left < 0 || srcRect->top < 0 || srcRect->right > area.right ||
            srcRect->bottom > area.bottom || srcRect->left >= srcRect->right ||
            srcRect->top >= srcRect->bottom)
            return D3DERR_INVALIDCALL;
        area = *srcRect;
    }
    const int width = int(area.right - area.left), height = int(area.bottom - area.top);
    // PNG keeps an alpha channel when the surface has one; BMP and opaque formats are RGB.
    const bool alpha = desc.Format == D3DFMT_A8R8G8B8 && destFormat == D3DXIFF_PNG;
    ArgbImage image;
    image.width = UINT(width);
    image.height = UINT(height);
    image.texels.resize(size_t(width) * height);

    D3DLOCKED_RECT locked{};
    IDirect3DSurface9* copy = nullptr;
    if (FAILED(srcSurface->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
        copy = ReadableCopy(srcSurface, desc);
        if (!copy || FAILED(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) {
            if (copy) copy->Release();
            return D3DERR_INVALIDCALL;
        }
        srcSurface = copy;
    }
    for (int y = 0; y < height; ++y) {
        const auto* in = static_cast<const unsigned char*>(locked.pBits) +
                         ptrdiff_t(area.top + y) * locked.Pitch + size_t(area.left) * texelBytes;
        uint32_t* out = image.texels.data() + size_t(y) * width;
        for (int x = 0; x < width; ++x)
            ReadTexel(desc.Format, in + size_t(x) * texelBytes, out[x]);
    }
    srcSurface->UnlockRect();
    if (copy) copy->Release();

    return WriteImageFile(destFile, destFormat, image, alpha);
}
