// RunViewer: start-up, the message loop whose idle branch draws one frame, and shutdown.
#include "app/viewer.h"
#include "state/viewer_state.h"
#include "controls/controls.h"
#include "graphics/graphics.h"
#include "render/frame.h"
#include "scene/animated_model.h"
#include "scene/camera.h"
#include "scene/console_text.h"
#include "scene/filter_quad.h"
#include "scene/mesh_model.h"

#include <d3d9.h>
#include <d3dx9.h>
#include <dinput.h>
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char kWindowClass[] = "NORMAL0";
const char kWindowTitle[] = "\x83r\x83\x85\x81[\x83\x41"; // "ビューア" in code page 932
const char kModelFile[] = "op.x";
// A mouse x in the middle of the heading zones, where the view does not turn.
const int16_t kStillMouseX = 400;

void RegisterWindowClass() {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconA(nullptr, IDI_WINLOGO);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = viewer.backgroundBrush;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExA(&windowClass);
}

} // namespace

void StartViewer(const char* modelFile, bool fitView, const char* animationSet) {
    viewer = ViewerState{};
    viewer.backgroundBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    RegisterWindowClass();
    // The handle comes back through WM_CREATE, inside this call.
    CreateWindowExA(WS_EX_ACCEPTFILES, kWindowClass, kWindowTitle,
                    WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, CW_USEDEFAULT,
                    CW_USEDEFAULT, 810, 600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    std::strncpy(viewer.modelPath, modelFile, sizeof viewer.modelPath - 1);
    std::memcpy(viewer.shownModelPath, viewer.modelPath, sizeof viewer.modelPath);
    if (InitGraphics() == 0.0) {
        // InitGraphics has said what failed; a start-up that shows nothing is not a success.
        ExitProcess(1);
    }
    if (animationSet && !PlayAnimationSet(animationSet) && viewer.animatedModel) {
        std::fprintf(stderr, "xofview: model \"%s\" has no animation set \"%s\"\n",
                     ConsoleText(viewer.shownModelPath).c_str(), ConsoleText(animationSet).c_str());
        std::fflush(stderr);
    }
    if (fitView) FitViewAsOpened();
}

void FitViewAsOpened() {
    FitViewToModel();
    viewer.lastMouseX = kStillMouseX;
}

bool RunLoopPass() {
    if (PeekMessageA(&viewer.message, nullptr, 0, 0, PM_REMOVE)) {
        if (viewer.message.message == WM_QUIT) return false;
        TranslateMessage(&viewer.message);
        DispatchMessageA(&viewer.message);
        return true;
    }
    UpdateControls();
    DrawFrame();
    return true;
}

void ShutdownViewer() {
    ForgetAnimation();
    if (viewer.model) ReleaseMeshModel(viewer.model);
    delete viewer.model;
    viewer.model = nullptr;
    if (viewer.filterQuad) ReleaseFilterQuad(viewer.filterQuad);
    delete viewer.filterQuad;
    viewer.filterQuad = nullptr;
    // The DirectX objects go last, input object first and Direct3D last.
    if (viewer.directInput) viewer.directInput->Release();
    if (viewer.hudFont) viewer.hudFont->Release();
    if (viewer.device) viewer.device->Release();
    if (viewer.direct3D) viewer.direct3D->Release();
    viewer.directInput = nullptr;
    viewer.hudFont = nullptr;
    viewer.device = nullptr;
    viewer.direct3D = nullptr;
    CoUninitialize();
}

void RunViewer() {
    RunViewer(kModelFile, false);
}

void RunViewer(const char* modelFile, bool fitView, const char* animationSet) {
    StartViewer(modelFile ? modelFile : kModelFile, fitView, animationSet);
    while (RunLoopPass()) {
    }
    ShutdownViewer();
    ExitProcess(UINT(viewer.message.wParam));
}
