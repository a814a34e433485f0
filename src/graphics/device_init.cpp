// Graphics start-up: Direct3D with its three device attempts, the HUD font, the input object.
#include "graphics/graphics.h"
#include "scene/filter_quad.h"
#include "scene/mesh_model.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <dinput.h>
#include <objbase.h>
#include <windows.h>

#include <cstdio>

namespace {

// "フィルター画像.jpg" in code page 932.
const char kFilterImageFile[] = "\x83t\x83\x42\x83\x8B\x83^\x81[\x89\xE6\x91\x9C.jpg";

struct DeviceAttempt {
    D3DDEVTYPE type;
    DWORD behaviour;
};

// Hardware vertex processing first, then software, then the reference device.
const DeviceAttempt kDeviceAttempts[] = {
    {D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
    {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
};

void ReportStartupFailure(const char* what) {
    std::fprintf(stderr, "xofview: %s\n", what);
    std::fflush(stderr);
}

} // namespace

BOOL OpenDevice(HWND window, int width, int height) {
    viewer.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!viewer.direct3D) {
        ReportStartupFailure("Direct3D 9 is not available (no display?)");
        ExitProcess(1);
    }

    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = UINT(width);
    parameters.BackBufferHeight = UINT(height);
    parameters.BackBufferFormat = D3DFMT_R5G6B5;
    parameters.BackBufferCount = 1;
    parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    parameters.MultiSampleQuality = 0;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    parameters.Flags = 0;
    parameters.FullScreen_RefreshRateInHz = 0;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_ONE;

    for (const DeviceAttempt& attempt : kDeviceAttempts) {
        if (viewer.direct3D->CreateDevice(D3DADAPTER_DEFAULT, attempt.type, window,
                                          attempt.behaviour, &parameters, &viewer.device) == 0)
            return TRUE;
    }
    ReportStartupFailure("no Direct3D 9 device could be created (HAL or reference)");
    return FALSE;
}

BOOL CreateHudFont() {
    D3DXFONT_DESCA description = {};
    description.Height = 14;
    description.Width = 0;
    description.Weight = FW_NORMAL;
    description.MipLevels = 0;
    description.Italic = FALSE;
    description.CharSet = SHIFTJIS_CHARSET;
    description.OutputPrecision = OUT_DEFAULT_PRECIS;
    description.Quality = DEFAULT_QUALITY;
    description.PitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    description.FaceName[0] = '\0';
    if (D3DXCreateFontIndirect(viewer.device, &description, &viewer.hudFont) == 0) return TRUE;
    ReportStartupFailure("the HUD font could not be created (no Japanese font installed?)");
    return FALSE;
}

BOOL CreateInputObject() {
    if (DirectInput8Create(GetModuleHandleA(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8A,
                           reinterpret_cast<void**>(&viewer.directInput), nullptr) == 0)
        return TRUE;
    ReportStartupFailure("the DirectInput object could not be created");
    return FALSE;
}

BOOL InitDirectX(HWND window, int width, int height) {
    CoInitialize(nullptr);
    if (!OpenDevice(window, width, height)) return FALSE;
    if (!CreateHudFont()) return FALSE;
    if (!CreateInputObject()) return FALSE;
    return TRUE;
}

double InitGraphics() {
    if (!InitDirectX(viewer.windowHandle, viewer.backBufferWidth, viewer.backBufferHeight))
        return 0.0;
    ShowCursor(TRUE);
    ApplyLight();

    viewer.filterQuad = new FilterQuad{};
    CreateFilterQuad(viewer.filterQuad);
    LoadFilterTexture(viewer.filterQuad, kFilterImageFile, 0); // a missing image is no failure

    viewer.model = new MeshModel{};
    LoadMeshModel(viewer.model, viewer.modelPath);
    return 1.0;
}
