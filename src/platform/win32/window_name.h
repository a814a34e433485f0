// The window system's name of a window, where SDL does not set it in a form clients can read.
#pragma once

#include <SDL.h>

#include <string>

namespace win32 {

// Sets the window's X11 WM_NAME to the title (UTF-8); nothing on other video drivers.
void SetX11WindowName(SDL_Window* window, const std::string& utf8Title);

} // namespace win32
