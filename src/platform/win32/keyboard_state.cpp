// GetKeyState and GetAsyncKeyState over a 256-entry key table per view of the keyboard.
#include "keyboard_state.h"

#include <cstring>

namespace {

constexpr BYTE kDown = 0x80;
constexpr BYTE kToggled = 0x01;

// The keyboard's two views, 256 virtual keys each with the down (0x80) and toggle (0x01) bits.
struct KeyboardViews {
    BYTE threadKeys[256];   // as of the last key message retrieved
    BYTE physicalKeys[256]; // as the hardware has them now
};
KeyboardViews keyboard;

void Set(BYTE* keys, UINT virtualKey, bool down) {
    BYTE& key = keys[virtualKey];
    if (down && !(key & kDown)) key ^= kToggled; // auto-repeat does not toggle
    key = down ? BYTE(key | kDown) : BYTE(key & ~kDown);
}

// The left and right keys of Shift, Ctrl and Alt, and the key that stands for either.
struct SidedPair {
    UINT left, right, either;
};
constexpr SidedPair kSidedPairs[] = {
    {VK_LSHIFT, VK_RSHIFT, VK_SHIFT},
    {VK_LCONTROL, VK_RCONTROL, VK_CONTROL},
    {VK_LMENU, VK_RMENU, VK_MENU},
};

// Sets a key; a left or right modifier also sets the key for either side, which is down while
// one of the two is.
void SetKey(BYTE* keys, UINT virtualKey, bool down) {
    if (virtualKey > 0xFF) return;
    Set(keys, virtualKey, down);
    for (const SidedPair& pair : kSidedPairs) {
        if (virtualKey != pair.left && virtualKey != pair.right) continue;
        bool either = (keys[pair.left] & kDown) || (keys[pair.right] & kDown);
        Set(keys, pair.either, either);
    }
}

} // namespace

namespace win32 {

void KeyboardSetPhysical(UINT virtualKey, bool down) {
    SetKey(keyboard.physicalKeys, virtualKey, down);
}

void KeyboardApplyMessage(UINT virtualKey, bool down) {
    SetKey(keyboard.threadKeys, virtualKey, down);
}

void KeyboardReset() {
    std::memset(keyboard.threadKeys, 0, sizeof keyboard.threadKeys);
    std::memset(keyboard.physicalKeys, 0, sizeof keyboard.physicalKeys);
}

} // namespace win32

// The state byte masked to down and toggle, sign-extended from 8 bits: a key down reads as
// 0xFF80, so tests of 0x8000, of 0x80 and of a negative value all see it.
SHORT WINAPI GetKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 0xFF) return 0;
    return SHORT(int8_t(keyboard.threadKeys[virtualKey] & (kDown | kToggled)));
}

// Only bit 15: the "pressed since the last call" bit is unreliable on Windows and not kept.
SHORT WINAPI GetAsyncKeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 0xFF) return 0;
    return SHORT(uint16_t((keyboard.physicalKeys[virtualKey] & kDown) << 8));
}
