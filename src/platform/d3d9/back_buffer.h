// The back buffer: a framebuffer object of the presentation size and format, and the
// IDirect3DSurface9 that GetBackBuffer hands out for it.
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
    const DepthFormat* Depth() const { return depth_; }
    GLuint Framebuffer() const { return framebuffer_; }
    BackBufferSurface* Surface() { return &surface_; }

    // Whole back buffer in Direct3D's memory layout: top row first, rows of pitch bytes.
    void Read(uint8_t* pixels, UINT pitch);
    void Write(const uint8_t* pixels, UINT pitch);

  private:
    void Destroy();

    BackBufferSurface surface_;
    UINT width_ = 0;
    UINT height_ = 0;
    const RenderTargetFormat* color_ = nullptr;
    const DepthFormat* depth_ = nullptr;
    GLuint framebuffer_ = 0;
    GLuint colorTexture_ = 0;
    GLuint depthRenderbuffer_ = 0;
};

} // namespace d3d9
