// What every conformance scene shares: a window, a device made like the viewer's (900x690,
// R5G6B5 back buffer, D16 depth, HAL with hardware then software vertex processing), and the
// back buffer written to a PNG. Only the platform headers: the same source builds for Windows.
#pragma once

#include <d3d9.h>
#include <d3dx9.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace scene {

constexpr UINT kWidth = 900;
constexpr UINT kHeight = 690;
constexpr D3DCOLOR kClearColour = 0xFF3CA3B9;

struct Context {
    HWND window = nullptr;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    const char* out = nullptr;
    const char* variant = "";
};

[[noreturn]] inline void Fail(const char* what, HRESULT result = 0) {
    std::fprintf(stderr, "scene: %s (0x%08lX)\n", what, static_cast<unsigned long>(result));
    std::exit(1);
}

inline LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

inline Context CreateWindowAndDevice() {
    Context c;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "xofview-conformance";
    if (!RegisterClassExA(&windowClass)) Fail("RegisterClassExA");
    c.window = CreateWindowExA(0, "xofview-conformance", "conformance",
                               WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE, 0, 0, 920, 740,
                               nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!c.window) Fail("CreateWindowExA");

    c.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!c.direct3D) Fail("Direct3DCreate9");
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = kWidth;
    parameters.BackBufferHeight = kHeight;
    parameters.BackBufferFormat = D3DFMT_R5G6B5;
    parameters.BackBufferCount = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = c.window;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    const DWORD behaviours[] = {D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING};
    HRESULT result = E_FAIL;
    for (DWORD behaviour : behaviours) {
        result = c.direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, c.window, behaviour,
                                          &parameters, &c.device);
        if (result == D3D_OK) break;
    }
    if (result != D3D_OK) Fail("CreateDevice", result);
    return c;
}

// argv: OUT.png [VARIANT]
inline Context Open(int argc, char** argv) {
    if (argc < 2) Fail("usage: SCENE OUT.png [VARIANT]");
    Context c = CreateWindowAndDevice();
    c.out = argv[1];
    if (argc > 2) c.variant = argv[2];
    return c;
}

inline bool Is(const Context& c, const char* variant) {
    return std::strcmp(c.variant, variant) == 0;
}

[[noreturn]] inline void UnknownVariant(const Context& c) {
    std::fprintf(stderr, "scene: unknown variant '%s'\n", c.variant);
    std::exit(2);
}

// Writes the back buffer, presents once, releases everything and exits 0.
[[noreturn]] inline void SaveAndClose(Context& c) {
    IDirect3DSurface9* surface = nullptr;
    HRESULT result = c.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface);
    if (result != D3D_OK) Fail("GetBackBuffer", result);
    result = D3DXSaveSurfaceToFileA(c.out, D3DXIFF_PNG, surface, nullptr, nullptr);
    if (result != D3D_OK) Fail("D3DXSaveSurfaceToFileA", result);
    surface->Release();
    c.device->Present(nullptr, nullptr, nullptr, nullptr);
    c.device->Release();
    c.direct3D->Release();
    DestroyWindow(c.window);
    std::exit(0);
}

inline void Check(HRESULT result, const char* what) {
    if (result != D3D_OK) Fail(what, result);
}

} // namespace scene
