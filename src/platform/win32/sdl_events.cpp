// SDL events as Windows messages: keys, mouse, window events and file drops.
#include "sdl_events.h"

#include "drag_drop.h"
#include "keyboard_input.h"
#include "keyboard_map.h"
#include "mouse.h"
#include "window.h"

#include <SDL.h>

#include <array>
#include <string>
#include <vector>

namespace {

struct PendingDrop {
    unsigned sdlWindowId = 0;
    bool open = false;
    std::vector<std::string> paths;
};

// What the translation of SDL events remembers from one event to the next.
struct EventState {
    // The key each scancode produced when pressed, so its release names the same key even if
    // NumLock or Shift changed in between.
    std::array<win32::KeyStroke, SDL_NUM_SCANCODES> pressedKeys{};
    uint32_t mouseButtons = 0; // SDL button mask as the events have reported it
    PendingDrop pendingDrop;   // files of a drop whose SDL_DROPCOMPLETE has not come yet
};
EventState events;

HWND KeyboardTarget(unsigned sdlWindowId) {
    HWND window = win32::WindowFromSdlId(sdlWindowId);
    return window ? window : win32::FocusWindow();
}

void OnKey(const SDL_KeyboardEvent& e) {
    bool down = e.state == SDL_PRESSED;
    int scancode = e.keysym.scancode;
    win32::KeyStroke key = win32::MapSdlKey(scancode, e.keysym.sym, e.keysym.mod);
    if (scancode > 0 && scancode < SDL_NUM_SCANCODES) {
        win32::KeyStroke& pressed = events.pressedKeys[scancode];
        if (down && !e.repeat)
            pressed = key; // a fresh press maps anew, whatever was missed
        else if (pressed.virtualKey)
            key = pressed;
        if (!down) pressed = win32::KeyStroke{};
    }
    win32::ReportKey(KeyboardTarget(e.windowID), key, down);
}

void OnWindowEvent(const SDL_WindowEvent& e) {
    HWND window = win32::WindowFromSdlId(e.windowID);
    if (!window) return;
    switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
        SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        if (win32::UpdateClientSize(window, e.data1, e.data2))
            SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(e.data1, e.data2));
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        if (win32::UpdateClientSize(window, 0, 0)) SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0);
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        win32::SetFocusWindow(window);
        break;
    default:
        break;
    }
}

void OnDrop(const SDL_DropEvent& e) {
    switch (e.type) {
    case SDL_DROPBEGIN:
        events.pendingDrop = PendingDrop{e.windowID, true, {}};
        break;
    case SDL_DROPFILE:
        if (!events.pendingDrop.open) events.pendingDrop = PendingDrop{e.windowID, true, {}};
        if (e.file) events.pendingDrop.paths.emplace_back(e.file);
        break;
    case SDL_DROPCOMPLETE: {
        HWND window = win32::WindowFromSdlId(events.pendingDrop.sdlWindowId);
        if (!window) window = win32::WindowFromSdlId(e.windowID);
        POINT at{0, 0};
        int x = 0, y = 0;
        if (SDL_GetMouseFocus() == win32::SdlWindowOf(window)) {
            SDL_GetMouseState(&x, &y);
            at = POINT{x, y};
        }
        win32::PostFileDrop(window, events.pendingDrop.paths, at);
        events.pendingDrop = PendingDrop{};
        break;
    }
    default:
        break;
    }
    if (e.file) SDL_free(e.file);
}

} // namespace

namespace win32 {

void TranslateSdlEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT: // a signal or the session ending: every window is asked to close
        for (HWND window : LiveWindows())
            SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case SDL_WINDOWEVENT:
        OnWindowEvent(event.window);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        OnKey(event.key);
        break;
    case SDL_MOUSEMOTION:
        events.mouseButtons = event.motion.state;
        if (HWND window = WindowFromSdlId(event.motion.windowID))
            ReportMouseMove(window, event.motion.x, event.motion.y, events.mouseButtons);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const SDL_MouseButtonEvent& b = event.button;
        bool down = b.state == SDL_PRESSED;
        uint32_t mask = SDL_BUTTON(b.button);
        events.mouseButtons = down ? (events.mouseButtons | mask) : (events.mouseButtons & ~mask);
        if (HWND window = WindowFromSdlId(b.windowID))
            ReportMouseButton(window, b.button, down, b.clicks, b.x, b.y, events.mouseButtons);
        break;
    }
    case SDL_MOUSEWHEEL: {
        const SDL_MouseWheelEvent& w = event.wheel;
        HWND window = FocusWindow() ? FocusWindow() : WindowFromSdlId(w.windowID);
        int notches = w.direction == SDL_MOUSEWHEEL_FLIPPED ? -w.y : w.y;
        int screenX = 0, screenY = 0;
        SDL_GetGlobalMouseState(&screenX, &screenY);
        if (window && notches)
            ReportMouseWheel(window, notches, events.mouseButtons, screenX, screenY);
        break;
    }
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE:
        OnDrop(event.drop);
        break;
    default:
        break;
    }
}

void PumpSdlEvents() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        TranslateSdlEvent(event);
}

} // namespace win32
