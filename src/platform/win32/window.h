// Windows (HWND) over SDL windows: the handle table, creation and destruction.
#pragma once

#include <windows.h>

#include <vector>

struct SDL_Window;

namespace win32 {

// --- For the other platform libraries (the Direct3D device draws into these windows) ---

// Starts SDL's video subsystem once; later calls only report whether it is running. False when
// no video driver can start.
bool EnsureVideo();

// The SDL window behind a window handle; null for a handle that is not a live window. Every SDL
// window made here has SDL_WINDOW_OPENGL. It stays valid until DestroyWindow has sent
// WM_NCDESTROY.
SDL_Window* SdlWindowOf(HWND window);

// The client area's size in pixels, as GetClientRect gives it. False for an invalid handle.
bool ClientSize(HWND window, int* width, int* height);

// A hidden window with an OpenGL-capable SDL window of the given client size, for a device that
// is created without a window of its own. Destroyed with DestroyWindow. Null on failure.
HWND CreateHiddenGlWindow(int width, int height);

// --- For the rest of this library ---

// The window whose SDL window has this SDL window id; null if none.
HWND WindowFromSdlId(unsigned sdlWindowId);

// The window that gets keyboard input: the last one shown or focused.
HWND FocusWindow();
void SetFocusWindow(HWND window);

UINT ClassStyleOf(HWND window);
DWORD ExStyleOf(HWND window);
void SetExStyle(HWND window, DWORD exStyle);

// Records a client size reported by the window system; true when it differs from the last one,
// which is when the window gets a WM_SIZE.
bool UpdateClientSize(HWND window, int width, int height);

// Every live window, in creation order.
std::vector<HWND> LiveWindows();

} // namespace win32
