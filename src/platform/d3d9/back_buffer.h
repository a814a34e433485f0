// The back buffer: a framebuffer object of the presentation size and format, and the
// IDirect3DSurface9 that GetBackBuffer hands out for it.
//
// Formats of fewer than 8 bits a channel (R5G6B5, X1R5G5B5, A1R5G5B5) are kept in a 16-bit
// GL_RGBA16 target, and Direct3D's store, which rounds each channel to the nearest level of the
// format, is emulated there (GL implementations such as llvmpipe truncate into 5 and 6 bits
// instead, which leaves channels one level off):
// - Clear stores the colour already rounded to the format's levels;
// - a draw without blending rounds its colour in the fragment shader (ShaderKey::storeBits);
// - a blended draw blends its exact colour over the stored, already rounded destination, and
//   reading the target back rounds the 16-bit result to the format, as Direct3D rounds the
//   blend unit's result. A blend over an earlier blend (text over a translucent quad) reads a
//   destination that was never rounded, so there the result can be one level off;
// - a format without alpha has its alpha kept at 1 (cleared to 1, never written), so the
//   DESTALPHA factors read 1 as they do in Direct3D.
#pragma once

#include "format_table.h"
#include "gl_api.h"

#include <d3d9.h>

#include <vector>

namespace d3d9 {

class Device;
class BackBuffer;

// The back buffer as a surface. Its references are the device's, as a swap chain's are.
class BackBufferSurface final : public IDirect3DSurface9 {
  public:
    BackBufferSurface(Device* device, BackBuffer* owner) : device_(device), owner_(owner) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override;
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
    DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect,
                                       DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;

  private:
    Device* device_;
    BackBuffer* owner_;
    std::vector<uint8_t> pixels_;
    bool locked_ = false;
    bool readOnly_ = false;
};

class BackBuffer {
  public:
    BackBuffer(Device* device) : surface_(device, this) {}
    ~BackBuffer();
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;

    // Makes the framebuffer; false if the GL cannot render to any form of the formats.
    bool Create(UINT width, UINT height, const RenderTargetFormat& color, const DepthFormat* depth);

    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    const RenderTargetFormat& Format() const { return *color_; }
    // Whether the store of a narrow format is emulated in a 16-bit target (see above).
    bool RoundsOnStore() const { return roundsOnStore_; }
    const DepthFormat* Depth() const { return depth_; }
    GLuint Framebuffer() const { return framebuffer_; }
    GLuint ColorTexture() const { return colorTexture_; }
    BackBufferSurface* Surface() { return &surface_; }

    // Whole back buffer in Direct3D's memory layout: top row first, rows of pitch bytes.
    void Read(uint8_t* pixels, UINT pitch);
    void Write(const uint8_t* pixels, UINT pitch);

  private:
    void Destroy();
    bool CreateColor(GLenum internal, GLenum pixelFormat, GLenum pixelType);

    BackBufferSurface surface_;
    UINT width_ = 0;
    UINT height_ = 0;
    const RenderTargetFormat* color_ = nullptr;
    const DepthFormat* depth_ = nullptr;
    GLuint framebuffer_ = 0;
    GLuint colorTexture_ = 0;
    GLuint depthRenderbuffer_ = 0;
    bool roundsOnStore_ = false;
    std::vector<uint16_t> wide_;        // the 16-bit target's pixels on their way to or from memory
    std::vector<uint8_t> bottomUp_;     // GL's rows, bottom row first
    std::vector<uint8_t> narrowLevels_; // per channel, each 16-bit value's level, once read
};

} // namespace d3d9
