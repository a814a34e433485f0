// Windows over SDL windows: creation with Windows' frame metrics, messages sent during creation
// and destruction, DefWindowProcA, and the handle table.
#include "window.h"

#include "cp932.h"
#include "handle_table.h"
#include "message_queue.h"
#include "window_class.h"
#include "start_up_tasks.h"
#include "window_name.h"

#include <SDL.h>

#include <string>

namespace {

struct Window {
    SDL_Window* sdl;
    WNDPROC procedure;
    UINT classStyle;
    DWORD style;
    DWORD exStyle;
    int clientWidth;
    int clientHeight;
    bool destroying;
};

struct WindowRegistry {
    win32::HandleTable<Window> windows{0x00010010, 2};
    HWND focusWindow = nullptr; // gets keyboard input: the last window shown or focused
};
WindowRegistry registry;

Window* Find(HWND window) {
    return registry.windows.Find(window);
}

// Windows 10's non-client metrics at 96 DPI (border 1, padded border 4, caption 22 plus its
// 1-pixel line), applied as AdjustWindowRectEx applies them.
constexpr int kBorderWidth = 1;
constexpr int kPaddedBorderWidth = 4;
constexpr int kCaptionHeight = 22;
constexpr int kSmallCaptionHeight = 22;

// What CW_USEDEFAULT sizes come to: a plain size that fits any screen.
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

struct Frame {
    int left, top, right, bottom;
};

Frame FrameOf(DWORD style, DWORD exStyle) {
    RECT r{0, 0, 0, 0};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    return Frame{-r.left, -r.top, r.right, r.bottom};
}

Uint32 SdlFlagsFor(DWORD style) {
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN; // shown after WM_CREATE, as Windows does
    if (style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    if ((style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
    return flags;
}

HWND CreateWindowRecord(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y,
                        int width, int height, WNDPROC procedure, UINT classStyle,
                        HINSTANCE instance, LPVOID param) {
    win32::StartStartUpTasks(); // a windowed program: its set-up overlaps the window system's
    if (!win32::EnsureVideo()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (width == CW_USEDEFAULT) width = kDefaultWidth;
    if (height == CW_USEDEFAULT) height = kDefaultHeight;
    Frame frame = FrameOf(style, exStyle);
    int clientWidth = width - frame.left - frame.right;
    int clientHeight = height - frame.top - frame.bottom;
    if (clientWidth < 1) clientWidth = 1;
    if (clientHeight < 1) clientHeight = 1;
    int sdlX = x == CW_USEDEFAULT ? int(SDL_WINDOWPOS_UNDEFINED) : x + frame.left;
    int sdlY = x == CW_USEDEFAULT ? int(SDL_WINDOWPOS_UNDEFINED) : y + frame.top;
    std::string utf8Title = win32::Cp932ToUtf8(title ? title : "");
    SDL_Window* sdl = SDL_CreateWindow(utf8Title.c_str(), sdlX, sdlY, clientWidth, clientHeight,
                                       SdlFlagsFor(style));
    if (!sdl) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    win32::SetX11WindowName(sdl, utf8Title);
    HWND handle = registry.windows.Add<HWND>(
        Window{sdl, procedure, classStyle, style, exStyle, clientWidth, clientHeight, false});
    if (exStyle & WS_EX_ACCEPTFILES) SDL_EventState(SDL_DROPFILE, SDL_ENABLE);

    int outerX = 0, outerY = 0;
    SDL_GetWindowPosition(sdl, &outerX, &outerY);
    outerX -= frame.left;
    outerY -= frame.top;
    CREATESTRUCTA create{param,  instance, nullptr,     nullptr, height,    width,
                         outerY, outerX,   LONG(style), title,   className, exStyle};
    LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (!SendMessageA(handle, WM_NCCREATE, 0, createParam) ||
        SendMessageA(handle, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (!IsWindow(handle)) return nullptr; // destroyed by its own creation messages
    SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(clientWidth, clientHeight));
    SendMessageA(handle, WM_MOVE, 0, MAKELPARAM(outerX + frame.left, outerY + frame.top));
    if ((style & WS_VISIBLE) && IsWindow(handle)) {
        SendMessageA(handle, WM_SHOWWINDOW, TRUE, 0);
        SDL_ShowWindow(sdl);
        registry.focusWindow = handle;
    }
    return IsWindow(handle) ? handle : nullptr;
}

} // namespace

namespace win32 {

bool EnsureVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // A window's close button is WM_CLOSE for that window, not the end of the program.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // The click that activates a window reaches it, as with Windows' default WM_MOUSEACTIVATE.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    // Keys are read as key messages only; an input method would swallow them.
    SDL_StopTextInput();
    // Drops are reported only once a window accepts files (WS_EX_ACCEPTFILES).
    SDL_EventState(SDL_DROPFILE, SDL_DISABLE);
    SDL_EventState(SDL_DROPTEXT, SDL_DISABLE);
    return true;
}

SDL_Window* SdlWindowOf(HWND window) {
    Window* w = Find(window);
    return w ? w->sdl : nullptr;
}

bool ClientSize(HWND window, int* width, int* height) {
    Window* w = Find(window);
    if (!w) return false;
    int cw = 0, ch = 0;
    SDL_GetWindowSize(w->sdl, &cw, &ch);
    if (width) *width = cw;
    if (height) *height = ch;
    return true;
}

HWND CreateHiddenGlWindow(int width, int height) {
    DWORD style = WS_POPUP;
    return CreateWindowRecord(0, "", "", style, CW_USEDEFAULT, 0, width, height, DefWindowProcA, 0,
                              nullptr, nullptr);
}

HWND WindowFromSdlId(unsigned sdlWindowId) {
    for (auto& [handle, w] : registry.windows)
        if (SDL_GetWindowID(w.sdl) == sdlWindowId) return reinterpret_cast<HWND>(handle);
    return nullptr;
}

HWND FocusWindow() {
    return Find(registry.focusWindow) ? registry.focusWindow : nullptr;
}

void SetFocusWindow(HWND window) {
    registry.focusWindow = window;
}

UINT ClassStyleOf(HWND window) {
    Window* w = Find(window);
    return w ? w->classStyle : 0;
}

DWORD ExStyleOf(HWND window) {
    Window* w = Find(window);
    return w ? w->exStyle : 0;
}

void SetExStyle(HWND window, DWORD exStyle) {
    if (Window* w = Find(window)) w->exStyle = exStyle;
    if (exStyle & WS_EX_ACCEPTFILES) SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
}

bool UpdateClientSize(HWND window, int width, int height) {
    Window* w = Find(window);
    if (!w || (w->clientWidth == width && w->clientHeight == height)) return false;
    w->clientWidth = width;
    w->clientHeight = height;
    return true;
}

std::vector<HWND> LiveWindows() {
    std::vector<HWND> live;
    for (auto& [handle, w] : registry.windows)
        if (!w.destroying) live.push_back(reinterpret_cast<HWND>(handle));
    return live;
}

} // namespace win32

// Wine's formula with Windows 10's metrics: a resizable captioned frame is 8 pixels on the
// sides and bottom and 31 on top.
BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (!rect) return FALSE;
    int adjust = 0;
    if (style & (WS_THICKFRAME | WS_DLGFRAME)) adjust = 2;
    if (style & WS_THICKFRAME) adjust += kBorderWidth + kPaddedBorderWidth;
    if (style & (WS_BORDER | WS_DLGFRAME)) adjust += 1;
    rect->left -= adjust;
    rect->top -= adjust;
    rect->right += adjust;
    rect->bottom += adjust;
    if ((style & WS_CAPTION) == WS_CAPTION)
        rect->top -= ((exStyle & WS_EX_TOOLWINDOW) ? kSmallCaptionHeight : kCaptionHeight) + 1;
    if (menu) rect->top -= 20;
    if (exStyle & WS_EX_CLIENTEDGE) {
        rect->left -= 2;
        rect->top -= 2;
        rect->right += 2;
        rect->bottom += 2;
    }
    return TRUE;
}

// Child windows and menus are not supported: parent and menu are ignored.
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND, HMENU, HINSTANCE instance,
                            LPVOID param) {
    const win32::WindowClass* c = win32::FindWindowClass(className);
    if (!c) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    return CreateWindowRecord(exStyle, className, windowName, style, x, y, width, height,
                              c->procedure, c->style, instance, param);
}

// WM_DESTROY and WM_NCDESTROY are sent before the handle and its SDL window go away; messages
// still queued for the window are dropped.
BOOL WINAPI DestroyWindow(HWND window) {
    Window* w = Find(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->destroying) return TRUE;
    w->destroying = true;
    SDL_HideWindow(w->sdl);
    SendMessageA(window, WM_DESTROY, 0, 0);
    SendMessageA(window, WM_NCDESTROY, 0, 0);
    win32::RemoveWindowMessages(window);
    w = Find(window);
    SDL_Window* sdl = w->sdl;
    registry.windows.Remove(window);
    if (registry.focusWindow == window) registry.focusWindow = nullptr;
    SDL_DestroyWindow(sdl);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
    return Find(window) ? TRUE : FALSE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    int width = 0, height = 0;
    if (!rect || !win32::ClientSize(window, &width, &height)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{0, 0, width, height};
    return TRUE;
}

// Calls the window procedure directly: every window belongs to this one thread.
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return w->procedure(window, message, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_SYSKEYDOWN: // Alt+F4
        if (wParam == VK_F4 && (HIWORD(lParam) & 0x2000))
            PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    default:
        return 0;
    }
}
