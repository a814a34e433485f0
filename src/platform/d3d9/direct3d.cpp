// Direct3DCreate9 and IDirect3D9: adapter queries, format checks, capabilities, device creation.
#include "direct3d.h"

#include "device.h"
#include "format_table.h"
#include "gl_warm_up.h"
#include "win32/window.h"

#include <SDL.h>

#include <cstring>

namespace d3d9 {

namespace {

bool ValidDeviceType(D3DDEVTYPE type) {
    return type >= D3DDEVTYPE_HAL && type <= D3DDEVTYPE_NULLREF;
}

// Types the GL device serves: the reference rasteriser is the same GL device.
bool SupportedDeviceType(D3DDEVTYPE type) {
    return type == D3DDEVTYPE_HAL || type == D3DDEVTYPE_REF;
}

} // namespace

D3DDISPLAYMODE DesktopMode() {
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) mode = SDL_DisplayMode{0, 1024, 768, 60, nullptr};
    return D3DDISPLAYMODE{UINT(mode.w), UINT(mode.h),
                          UINT(mode.refresh_rate > 0 ? mode.refresh_rate : 60), D3DFMT_X8R8G8B8};
}

void FillCaps(D3DCAPS9& caps, D3DDEVTYPE type, const GlLimits& limits) {
    memset(&caps, 0, sizeof caps);
    caps.DeviceType = type;
    caps.AdapterOrdinal = 0;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps.PrimitiveMiscCaps = 0x00000002 | 0x00000010 | 0x00000020 | 0x00000040 | 0x00000080;
    caps.ZCmpCaps = caps.AlphaCmpCaps = 0xFF; // every D3DCMP function
    caps.SrcBlendCaps = caps.DestBlendCaps = 0x3FFF;
    caps.ShadeCaps =
        0x00000008 | 0x00000200 | 0x00004000 | 0x00080000; // Gouraud colour, specular, alpha, fog
    caps.TextureCaps =
        D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_NONPOW2CONDITIONAL | 0x4 /* ALPHA */;
    caps.TextureFilterCaps = 0x00000100 | D3DPTFILTERCAPS_MINFLINEAR | 0x00010000 |
                             D3DPTFILTERCAPS_MIPFLINEAR | 0x01000000 | D3DPTFILTERCAPS_MAGFLINEAR;
    caps.TextureAddressCaps = 0x1F; // wrap, mirror, clamp, border, mirror once
    caps.MaxTextureWidth = caps.MaxTextureHeight = DWORD(limits.maxTextureSize);
    caps.MaxTextureRepeat = 8192;
    caps.MaxTextureAspectRatio = DWORD(limits.maxTextureSize);
    caps.MaxAnisotropy = DWORD(limits.maxAnisotropy);
    caps.MaxVertexW = 1e10f;
    caps.GuardBandLeft = caps.GuardBandTop = -32768.0f;
    caps.GuardBandRight = caps.GuardBandBottom = 32768.0f;
    caps.FVFCaps = 8; // texture coordinate sets
    caps.TextureOpCaps = 0x03FFFFFF;
    caps.MaxTextureBlendStages = kStageCount;
    caps.MaxSimultaneousTextures = kStageCount;
    caps.VertexProcessingCaps = 0x00000001 | 0x00000008 | 0x00000010 |
                                0x00000020; // texgen, material source, directional and local viewer
    caps.MaxActiveLights = kMaxActiveLights;
    caps.MaxPointSize = 1.0f;
    caps.MaxPrimitiveCount = 0xFFFFFF;
    caps.MaxVertexIndex = 0xFFFFFF;
    caps.MaxStreams = 16;
    caps.MaxStreamStride = 508;
    caps.DevCaps =
        0x00010000 | 0x00080000 | 0x00000200; // HW T&L, draw from buffers, textures in video memory
}

HRESULT Direct3D::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3D9) {
        AddRef();
        *object = static_cast<IDirect3D9*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Direct3D::Release() {
    const ULONG left = --refs_;
    if (left == 0) {
        delete this;
        FinishGlWarmUp();
    }
    return left;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
    *mode = DesktopMode();
    return D3D_OK;
}

HRESULT Direct3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                    DWORD usage, D3DRESOURCETYPE resourceType,
                                    D3DFORMAT checkFormat) {
    if (adapter != 0 || !ValidDeviceType(deviceType)) return D3DERR_INVALIDCALL;
    if (!SupportedDeviceType(deviceType)) return D3DERR_NOTAVAILABLE;
    // The display runs in 32-bit colour; 16-bit display modes are not offered either.
    if (adapterFormat != D3DFMT_X8R8G8B8 && adapterFormat != D3DFMT_R5G6B5 &&
        adapterFormat != D3DFMT_X1R5G5B5)
        return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_DEPTHSTENCIL)
        return resourceType == D3DRTYPE_SURFACE && DepthStencilFormat(checkFormat)
                   ? D3D_OK
                   : D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_RENDERTARGET)
        return resourceType == D3DRTYPE_SURFACE && BackBufferFormat(checkFormat)
                   ? D3D_OK
                   : D3DERR_NOTAVAILABLE;
    switch (resourceType) {
    case D3DRTYPE_TEXTURE:
    case D3DRTYPE_SURFACE:
        return TextureFormat(checkFormat) ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_VERTEXBUFFER:
        return checkFormat == D3DFMT_VERTEXDATA ? D3D_OK : D3DERR_NOTAVAILABLE;
    case D3DRTYPE_INDEXBUFFER:
        return checkFormat == D3DFMT_INDEX16 || checkFormat == D3DFMT_INDEX32 ? D3D_OK
                                                                              : D3DERR_NOTAVAILABLE;
    default:
        return D3DERR_NOTAVAILABLE;
    }
}

HRESULT Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) {
    if (adapter != 0 || !caps || !ValidDeviceType(deviceType)) return D3DERR_INVALIDCALL;
    if (!SupportedDeviceType(deviceType)) return D3DERR_NOTAVAILABLE;
    FillCaps(*caps, deviceType, limits_);
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                               DWORD behaviorFlags, D3DPRESENT_PARAMETERS* presentationParameters,
                               IDirect3DDevice9** returnedDevice) {
    if (!returnedDevice) return D3DERR_INVALIDCALL;
    *returnedDevice = nullptr;
    if (adapter != 0 || !presentationParameters || !ValidDeviceType(deviceType))
        return D3DERR_INVALIDCALL;
    if (!SupportedDeviceType(deviceType)) return D3DERR_NOTAVAILABLE;
    return Device::Create(this, deviceType, focusWindow, behaviorFlags, presentationParameters,
                          returnedDevice);
}

} // namespace d3d9

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion) {
    // The debug runtime's flag in the top bit asks for the same interface.
    if ((sdkVersion & 0x7FFFFFFF) != D3D_SDK_VERSION) return nullptr;
    if (!win32::EnsureVideo()) return nullptr;
    const d3d9::GlLimits* limits = d3d9::ProcessGlLimits();
    if (!limits) return nullptr;
    return new d3d9::Direct3D(*limits);
}
