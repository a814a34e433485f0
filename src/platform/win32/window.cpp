// Windows over SDL windows: creation, destruction and the handle table.
#include "window.h"

#include <SDL.h>

namespace win32 {

bool EnsureVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

SDL_Window* SdlWindowOf(HWND) {
    return nullptr;
}

bool ClientSize(HWND, int*, int*) {
    return false;
}

HWND CreateHiddenGlWindow(int, int) {
    return nullptr;
}

} // namespace win32
