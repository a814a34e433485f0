// MainWindowProc: the window handle, closing, mouse motion and dropped files.
#include "app/viewer.h"
#include "state/viewer_state.h"
#include "controls/controls.h"
#include "scene/mesh_model.h"

#include <shellapi.h>
#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        viewer.windowHandle = window;
        return 0;
    case WM_DESTROY:
        DeleteObject(viewer.backgroundBrush);
        PostQuitMessage(0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(wParam, UINT(lParam & 0xFFFF), UINT((lParam >> 16) & 0xFFFF));
        return 0;
    case WM_LBUTTONDOWN:
        return 0; // swallowed: clicks do nothing
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
