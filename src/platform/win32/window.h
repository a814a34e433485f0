// Windows (HWND) over SDL windows: the part other platform libraries rely on.
#pragma once

#include <windows.h>

struct SDL_Window;

namespace win32 {

// Starts SDL's video subsystem once; later calls only report whether it is running. False when
// no video driver can start.
bool EnsureVideo();

// The SDL window behind a window handle; null for a handle that is not a live window.
SDL_Window* SdlWindowOf(HWND window);

// The client area's size in pixels, as GetClientRect gives it. False for an invalid handle.
bool ClientSize(HWND window, int* width, int* height);

// A hidden window with an OpenGL-capable SDL window of the given client size, for a device that
// is created without a window of its own. Destroyed with DestroyWindow. Null on failure.
HWND CreateHiddenGlWindow(int width, int height);

} // namespace win32
