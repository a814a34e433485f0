// Mouse messages with Windows' packing, and ShowCursor's display counter.
#include "mouse.h"

#include "message_queue.h"
#include "window.h"

#include <SDL.h>

namespace {

int cursorDisplayCount = 0; // shown while >= 0; a system with a mouse starts at 0

struct ButtonMessages {
    int sdlButton;
    UINT down, up, doubleClick;
    WPARAM xButton; // HIWORD(wParam) of the X button messages
};
constexpr ButtonMessages kButtons[] = {
    {SDL_BUTTON_LEFT, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, 0},
    {SDL_BUTTON_RIGHT, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK, 0},
    {SDL_BUTTON_MIDDLE, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK, 0},
    {SDL_BUTTON_X1, WM_XBUTTONDOWN, WM_XBUTTONUP, WM_XBUTTONDBLCLK, XBUTTON1},
    {SDL_BUTTON_X2, WM_XBUTTONDOWN, WM_XBUTTONUP, WM_XBUTTONDBLCLK, XBUTTON2},
};

void Queue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{window, message, wParam, lParam, GetTickCount(), {0, 0}};
    win32::QueueInputMessage(m);
}

} // namespace

namespace win32 {

LPARAM PackPoint(int x, int y) {
    return LPARAM((DWORD(y) & 0xFFFF) << 16 | (DWORD(x) & 0xFFFF));
}

WPARAM MouseKeyFlags(uint32_t sdlButtons) {
    WPARAM flags = 0;
    if (sdlButtons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
    if (sdlButtons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
    if (sdlButtons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
    if (sdlButtons & SDL_BUTTON_X1MASK) flags |= MK_XBUTTON1;
    if (sdlButtons & SDL_BUTTON_X2MASK) flags |= MK_XBUTTON2;
    if (GetAsyncKeyState(VK_SHIFT) < 0) flags |= MK_SHIFT;
    if (GetAsyncKeyState(VK_CONTROL) < 0) flags |= MK_CONTROL;
    return flags;
}

void ReportMouseMove(HWND window, int x, int y, uint32_t sdlButtons) {
    Queue(window, WM_MOUSEMOVE, MouseKeyFlags(sdlButtons), PackPoint(x, y));
}

// Every second click of a series is a double click, for classes with CS_DBLCLKS.
void ReportMouseButton(HWND window, int sdlButton, bool down, int clicks, int x, int y,
                       uint32_t sdlButtons) {
    for (const ButtonMessages& b : kButtons) {
        if (b.sdlButton != sdlButton) continue;
        UINT message = down ? b.down : b.up;
        if (down && clicks >= 2 && clicks % 2 == 0 && (ClassStyleOf(window) & CS_DBLCLKS))
            message = b.doubleClick;
        WPARAM wParam = MouseKeyFlags(sdlButtons) | (b.xButton << 16);
        Queue(window, message, wParam, PackPoint(x, y));
        return;
    }
}

void ReportMouseWheel(HWND window, int notches, uint32_t sdlButtons, int screenX, int screenY) {
    WPARAM wParam = MAKEWPARAM(MouseKeyFlags(sdlButtons), notches * WHEEL_DELTA);
    Queue(window, WM_MOUSEWHEEL, wParam, PackPoint(screenX, screenY));
}

} // namespace win32

int WINAPI ShowCursor(BOOL show) {
    cursorDisplayCount += show ? 1 : -1;
    if (SDL_WasInit(SDL_INIT_VIDEO))
        SDL_ShowCursor(cursorDisplayCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorDisplayCount;
}
