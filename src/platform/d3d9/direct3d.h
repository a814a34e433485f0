// IDirect3D9: the one adapter (the GL display), its modes, formats and capabilities.
#pragma once

#include "gl_context.h"

#include <d3d9.h>

namespace d3d9 {

class Direct3D final : public IDirect3D9 {
  public:
    explicit Direct3D(const GlLimits& limits) : limits_(limits) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;

    UINT STDMETHODCALLTYPE GetAdapterCount() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType,
                                                D3DFORMAT adapterFormat, DWORD usage,
                                                D3DRESOURCETYPE resourceType,
                                                D3DFORMAT checkFormat) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType,
                                            D3DCAPS9* caps) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                           DWORD behaviorFlags,
                                           D3DPRESENT_PARAMETERS* presentationParameters,
                                           IDirect3DDevice9** returnedDevice) override;

  private:
    ~Direct3D() = default;
    ULONG refs_ = 1;
    GlLimits limits_;
};

// The desktop's display mode (always reported as D3DFMT_X8R8G8B8).
D3DDISPLAYMODE DesktopMode();

// The capabilities of a device of this type on a GL with these limits.
void FillCaps(D3DCAPS9& caps, D3DDEVTYPE type, const GlLimits& limits);

} // namespace d3d9
