// The X11 WM_NAME of a window, set as UTF8_STRING so that X clients decode it in any locale.
#include "window_name.h"

#include <SDL_syswm.h>

namespace {

// libX11 as SDL loaded it: the platform does not link X11 itself, and runs without it.
using XInternAtomFunction = Atom (*)(Display*, const char*, Bool);
using XChangePropertyFunction = int (*)(Display*, ::Window, Atom, Atom, int, int,
                                        const unsigned char*, int);
using XFlushFunction = int (*)(Display*);

struct Xlib {
    XInternAtomFunction internAtom = nullptr;
    XChangePropertyFunction changeProperty = nullptr;
    XFlushFunction flush = nullptr;
};

const Xlib* LoadXlib() {
    static const Xlib xlib = [] {
        Xlib loaded;
        if (void* library = SDL_LoadObject("libX11.so.6")) {
            loaded.internAtom =
                reinterpret_cast<XInternAtomFunction>(SDL_LoadFunction(library, "XInternAtom"));
            loaded.changeProperty = reinterpret_cast<XChangePropertyFunction>(
                SDL_LoadFunction(library, "XChangeProperty"));
            loaded.flush = reinterpret_cast<XFlushFunction>(SDL_LoadFunction(library, "XFlush"));
        }
        return loaded;
    }();
    return xlib.internAtom && xlib.changeProperty && xlib.flush ? &xlib : nullptr;
}

} // namespace

namespace win32 {

// SDL sets _NET_WM_NAME as UTF-8 but WM_NAME as a STRING (Latin-1) holding the title's bytes in
// the locale's encoding: UTF-8 bytes read as Latin-1, or nothing in the C locale. Window managers,
// xprop and xdotool that read WM_NAME then show or match garbage.
void SetX11WindowName(SDL_Window* window, const std::string& utf8Title) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    const Xlib* xlib = LoadXlib();
    if (!xlib) return;
    Display* display = info.info.x11.display;
    const Atom wmName = xlib->internAtom(display, "WM_NAME", False);
    const Atom utf8String = xlib->internAtom(display, "UTF8_STRING", False);
    xlib->changeProperty(display, info.info.x11.window, wmName, utf8String, 8, PropModeReplace,
                         reinterpret_cast<const unsigned char*>(utf8Title.data()),
                         int(utf8Title.size()));
    xlib->flush(display);
}

} // namespace win32
