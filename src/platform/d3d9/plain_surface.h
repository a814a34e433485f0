// Off-screen plain surfaces: memory that LockRect hands out and GetRenderTargetData fills.
#pragma once

#include "format_table.h"
#include "resource.h"

#include <d3d9.h>

#include <vector>

namespace d3d9 {

class PlainSurface final : public IDirect3DSurface9, public ResourceLifetime {
  public:
    PlainSurface(Device* device, UINT width, UINT height, const FormatInfo& format, D3DPOOL pool);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddPublicRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleasePublicRef(); }
    HRESULT STDMETHODCALLTYPE GetDevice(IDirect3DDevice9** device) override {
        return GetDeviceInterface(device);
    }
    DWORD STDMETHODCALLTYPE SetPriority(DWORD) override { return 0; }
    DWORD STDMETHODCALLTYPE GetPriority() override { return 0; }
    void STDMETHODCALLTYPE PreLoad() override {}
    D3DRESOURCETYPE STDMETHODCALLTYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect,
                                       DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override;

    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT Format() const { return format_.format; }
    D3DPOOL Pool() const { return pool_; }
    uint8_t* Memory() { return memory_.data(); }
    UINT Pitch() const { return RowPitch(format_, width_); }

  private:
    UINT width_, height_;
    const FormatInfo& format_;
    D3DPOOL pool_;
    std::vector<uint8_t> memory_;
    bool locked_ = false;
};

} // namespace d3d9
