// Mouse messages and the cursor's display count.
#pragma once

#include <windows.h>

#include <cstdint>

namespace win32 {

// A client point as Windows packs it: each coordinate's low 16 bits, x low and y high, so -1
// reads as 0xFFFF through LOWORD and as -1 through GET_X_LPARAM.
LPARAM PackPoint(int x, int y);

// MK_* flags for SDL's button mask (SDL_BUTTON_LMASK...) and the physical Shift and Ctrl keys.
WPARAM MouseKeyFlags(uint32_t sdlButtons);

// Queue the message for the window as input. Coordinates are client coordinates; `sdlButtons`
// is the button mask after the event.
void ReportMouseMove(HWND window, int x, int y, uint32_t sdlButtons);
void ReportMouseButton(HWND window, int sdlButton, bool down, int clicks, int x, int y,
                       uint32_t sdlButtons);
// The wheel's lParam holds the cursor's screen position, as on Windows.
void ReportMouseWheel(HWND window, int notches, uint32_t sdlButtons, int screenX, int screenY);

} // namespace win32
