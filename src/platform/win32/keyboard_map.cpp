// The SDL scancode to Windows key table (a US keyboard's positions, with the Japanese keys).
#include "keyboard_map.h"

#include <SDL.h>

#include <array>

namespace {

struct KeyRow {
    SDL_Scancode scancode;
    BYTE virtualKey;    // for a layout key: the code at this position on a US layout
    BYTE sidedKey;      // 0: same as virtualKey
    BYTE numLockOffKey; // keypad keys: the navigation key when NumLock is off or Shift is held
    BYTE scanCode;
    bool extended;
    bool followsLayout; // letters, digits and punctuation: the layout's symbol decides
};

constexpr KeyRow kKeyRows[] = {
    // Letters and the digit row.
    {SDL_SCANCODE_A, 'A', 0, 0, 0x1E, false, true},
    {SDL_SCANCODE_B, 'B', 0, 0, 0x30, false, true},
    {SDL_SCANCODE_C, 'C', 0, 0, 0x2E, false, true},
    {SDL_SCANCODE_D, 'D', 0, 0, 0x20, false, true},
    {SDL_SCANCODE_E, 'E', 0, 0, 0x12, false, true},
    {SDL_SCANCODE_F, 'F', 0, 0, 0x21, false, true},
    {SDL_SCANCODE_G, 'G', 0, 0, 0x22, false, true},
    {SDL_SCANCODE_H, 'H', 0, 0, 0x23, false, true},
    {SDL_SCANCODE_I, 'I', 0, 0, 0x17, false, true},
    {SDL_SCANCODE_J, 'J', 0, 0, 0x24, false, true},
    {SDL_SCANCODE_K, 'K', 0, 0, 0x25, false, true},
    {SDL_SCANCODE_L, 'L', 0, 0, 0x26, false, true},
    {SDL_SCANCODE_M, 'M', 0, 0, 0x32, false, true},
    {SDL_SCANCODE_N, 'N', 0, 0, 0x31, false, true},
    {SDL_SCANCODE_O, 'O', 0, 0, 0x18, false, true},
    {SDL_SCANCODE_P, 'P', 0, 0, 0x19, false, true},
    {SDL_SCANCODE_Q, 'Q', 0, 0, 0x10, false, true},
    {SDL_SCANCODE_R, 'R', 0, 0, 0x13, false, true},
    {SDL_SCANCODE_S, 'S', 0, 0, 0x1F, false, true},
    {SDL_SCANCODE_T, 'T', 0, 0, 0x14, false, true},
    {SDL_SCANCODE_U, 'U', 0, 0, 0x16, false, true},
    {SDL_SCANCODE_V, 'V', 0, 0, 0x2F, false, true},
    {SDL_SCANCODE_W, 'W', 0, 0, 0x11, false, true},
    {SDL_SCANCODE_X, 'X', 0, 0, 0x2D, false, true},
    {SDL_SCANCODE_Y, 'Y', 0, 0, 0x15, false, true},
    {SDL_SCANCODE_Z, 'Z', 0, 0, 0x2C, false, true},
    {SDL_SCANCODE_1, '1', 0, 0, 0x02, false, true},
    {SDL_SCANCODE_2, '2', 0, 0, 0x03, false, true},
    {SDL_SCANCODE_3, '3', 0, 0, 0x04, false, true},
    {SDL_SCANCODE_4, '4', 0, 0, 0x05, false, true},
    {SDL_SCANCODE_5, '5', 0, 0, 0x06, false, true},
    {SDL_SCANCODE_6, '6', 0, 0, 0x07, false, true},
    {SDL_SCANCODE_7, '7', 0, 0, 0x08, false, true},
    {SDL_SCANCODE_8, '8', 0, 0, 0x09, false, true},
    {SDL_SCANCODE_9, '9', 0, 0, 0x0A, false, true},
    {SDL_SCANCODE_0, '0', 0, 0, 0x0B, false, true},
    // Punctuation.
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0, 0, 0x0C, false, true},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0, 0, 0x0D, false, true},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0, 0, 0x1A, false, true},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0, 0, 0x1B, false, true},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0, 0, 0x2B, false, true},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5, 0, 0, 0x2B, false, true},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0, 0, 0x27, false, true},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0, 0, 0x28, false, true},
    {SDL_SCANCODE_GRAVE, VK_OEM_3, 0, 0, 0x29, false, true},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0, 0, 0x33, false, true},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0, 0, 0x34, false, true},
    {SDL_SCANCODE_SLASH, VK_OEM_2, 0, 0, 0x35, false, true},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102, 0, 0, 0x56, false, true},
    {SDL_SCANCODE_INTERNATIONAL1, VK_OEM_102, 0, 0, 0x73, false, true}, // ろ
    {SDL_SCANCODE_INTERNATIONAL3, VK_OEM_5, 0, 0, 0x7D, false, true},   // ￥
    {SDL_SCANCODE_INTERNATIONAL4, VK_CONVERT, 0, 0, 0x79, false, false},
    {SDL_SCANCODE_INTERNATIONAL5, VK_NONCONVERT, 0, 0, 0x7B, false, false},
    // Editing and control keys.
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0, 0, 0x01, false, false},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0, 0, 0x0E, false, false},
    {SDL_SCANCODE_TAB, VK_TAB, 0, 0, 0x0F, false, false},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0, 0, 0x1C, false, false},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0, 0, 0x39, false, false},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0, 0, 0x3A, false, false},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT, VK_LSHIFT, 0, 0x2A, false, false},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT, VK_RSHIFT, 0, 0x36, false, false},
    {SDL_SCANCODE_LCTRL, VK_CONTROL, VK_LCONTROL, 0, 0x1D, false, false},
    {SDL_SCANCODE_RCTRL, VK_CONTROL, VK_RCONTROL, 0, 0x1D, true, false},
    {SDL_SCANCODE_LALT, VK_MENU, VK_LMENU, 0, 0x38, false, false},
    {SDL_SCANCODE_RALT, VK_MENU, VK_RMENU, 0, 0x38, true, false},
    {SDL_SCANCODE_LGUI, VK_LWIN, 0, 0, 0x5B, true, false},
    {SDL_SCANCODE_RGUI, VK_RWIN, 0, 0, 0x5C, true, false},
    {SDL_SCANCODE_APPLICATION, VK_APPS, 0, 0, 0x5D, true, false},
    {SDL_SCANCODE_F1, VK_F1, 0, 0, 0x3B, false, false},
    {SDL_SCANCODE_F2, VK_F2, 0, 0, 0x3C, false, false},
    {SDL_SCANCODE_F3, VK_F3, 0, 0, 0x3D, false, false},
    {SDL_SCANCODE_F4, VK_F4, 0, 0, 0x3E, false, false},
    {SDL_SCANCODE_F5, VK_F5, 0, 0, 0x3F, false, false},
    {SDL_SCANCODE_F6, VK_F6, 0, 0, 0x40, false, false},
    {SDL_SCANCODE_F7, VK_F7, 0, 0, 0x41, false, false},
    {SDL_SCANCODE_F8, VK_F8, 0, 0, 0x42, false, false},
    {SDL_SCANCODE_F9, VK_F9, 0, 0, 0x43, false, false},
    {SDL_SCANCODE_F10, VK_F10, 0, 0, 0x44, false, false},
    {SDL_SCANCODE_F11, VK_F11, 0, 0, 0x57, false, false},
    {SDL_SCANCODE_F12, VK_F12, 0, 0, 0x58, false, false},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT, 0, 0, 0x37, true, false},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0, 0, 0x46, false, false},
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0, 0, 0x45, false, false},
    // The navigation block: extended, which tells it apart from the keypad's same codes.
    {SDL_SCANCODE_INSERT, VK_INSERT, 0, 0, 0x52, true, false},
    {SDL_SCANCODE_DELETE, VK_DELETE, 0, 0, 0x53, true, false},
    {SDL_SCANCODE_HOME, VK_HOME, 0, 0, 0x47, true, false},
    {SDL_SCANCODE_END, VK_END, 0, 0, 0x4F, true, false},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0, 0, 0x49, true, false},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0, 0, 0x51, true, false},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0, 0, 0x4B, true, false},
    {SDL_SCANCODE_UP, VK_UP, 0, 0, 0x48, true, false},
    {SDL_SCANCODE_RIGHT, VK_RIGHT, 0, 0, 0x4D, true, false},
    {SDL_SCANCODE_DOWN, VK_DOWN, 0, 0, 0x50, true, false},
    // The keypad.
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0, 0, 0x45, true, false},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0, 0, 0x35, true, false},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0, 0, 0x37, false, false},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0, 0, 0x4A, false, false},
    {SDL_SCANCODE_KP_PLUS, VK_ADD, 0, 0, 0x4E, false, false},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0, 0, 0x1C, true, false},
    {SDL_SCANCODE_KP_COMMA, VK_SEPARATOR, 0, 0, 0x7E, false, false},
    {SDL_SCANCODE_KP_7, VK_NUMPAD7, 0, VK_HOME, 0x47, false, false},
    {SDL_SCANCODE_KP_8, VK_NUMPAD8, 0, VK_UP, 0x48, false, false},
    {SDL_SCANCODE_KP_9, VK_NUMPAD9, 0, VK_PRIOR, 0x49, false, false},
    {SDL_SCANCODE_KP_4, VK_NUMPAD4, 0, VK_LEFT, 0x4B, false, false},
    {SDL_SCANCODE_KP_5, VK_NUMPAD5, 0, VK_CLEAR, 0x4C, false, false},
    {SDL_SCANCODE_KP_6, VK_NUMPAD6, 0, VK_RIGHT, 0x4D, false, false},
    {SDL_SCANCODE_KP_1, VK_NUMPAD1, 0, VK_END, 0x4F, false, false},
    {SDL_SCANCODE_KP_2, VK_NUMPAD2, 0, VK_DOWN, 0x50, false, false},
    {SDL_SCANCODE_KP_3, VK_NUMPAD3, 0, VK_NEXT, 0x51, false, false},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0, 0, VK_INSERT, 0x52, false, false},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0, VK_DELETE, 0x53, false, false},
};

const KeyRow* RowOfScancode(int scancode) {
    static const auto index = [] {
        std::array<const KeyRow*, SDL_NUM_SCANCODES> rows{};
        for (const KeyRow& row : kKeyRows)
            if (!rows[row.scancode]) rows[row.scancode] = &row;
        return rows;
    }();
    return scancode >= 0 && scancode < SDL_NUM_SCANCODES ? index[scancode] : nullptr;
}

// The virtual key a layout symbol names: letters and digits only.
BYTE KeyOfSymbol(int keycode) {
    if (keycode >= 'a' && keycode <= 'z') return BYTE(keycode - 'a' + 'A');
    if (keycode >= '0' && keycode <= '9') return BYTE(keycode);
    return 0;
}

win32::KeyStroke StrokeOf(const KeyRow& row, BYTE virtualKey) {
    BYTE sided = row.sidedKey ? row.sidedKey : virtualKey;
    return win32::KeyStroke{virtualKey, sided, row.scanCode, row.extended};
}

} // namespace

namespace win32 {

KeyStroke MapSdlKey(int sdlScancode, int sdlKeycode, unsigned sdlMod) {
    const KeyRow* row = RowOfScancode(sdlScancode);
    if (!row) {
        BYTE fromSymbol = KeyOfSymbol(sdlKeycode);
        return KeyStroke{fromSymbol, fromSymbol, 0, false};
    }
    if (row->followsLayout) {
        BYTE fromSymbol = KeyOfSymbol(sdlKeycode);
        return StrokeOf(*row, fromSymbol ? fromSymbol : row->virtualKey);
    }
    if (row->numLockOffKey) {
        bool digits = (sdlMod & KMOD_NUM) && !(sdlMod & KMOD_SHIFT);
        return StrokeOf(*row, digits ? row->virtualKey : row->numLockOffKey);
    }
    return StrokeOf(*row, row->virtualKey);
}

KeyStroke KeyStrokeOf(UINT virtualKey) {
    for (const KeyRow& row : kKeyRows)
        if (row.virtualKey == virtualKey || row.sidedKey == virtualKey)
            return StrokeOf(row, row.virtualKey);
    for (const KeyRow& row : kKeyRows) // a navigation key typed on the keypad
        if (row.numLockOffKey == virtualKey) return StrokeOf(row, row.numLockOffKey);
    return KeyStroke{BYTE(virtualKey), BYTE(virtualKey), 0, false};
}

} // namespace win32
