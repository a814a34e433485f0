// Which Windows key an SDL key event is: virtual-key code, scan code and extended flag.
#pragma once

#include <windows.h>

namespace win32 {

struct KeyStroke {
    BYTE virtualKey; // what key messages carry (VK_SHIFT for either Shift); 0 for an unknown key
    BYTE sidedKey;   // whose key state changes (VK_LSHIFT / VK_RSHIFT); else virtualKey
    BYTE scanCode;   // set 1, as in bits 16-23 of a key message's lParam
    bool extended;   // bit 24
};

// Letters and top-row digits follow the layout (the SDL keycode), falling back to the key's
// position; the keypad follows NumLock and Shift as Windows does; everything else goes by
// position. `sdlMod` is the event's SDL_Keymod.
KeyStroke MapSdlKey(int sdlScancode, int sdlKeycode, unsigned sdlMod);

// The key that produces a virtual-key code on a US keyboard (for keys injected by code).
KeyStroke KeyStrokeOf(UINT virtualKey);

} // namespace win32
