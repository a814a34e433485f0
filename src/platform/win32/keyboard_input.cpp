// Key messages with Windows' lParam bits, the thread key state on retrieval, and the characters
// TranslateMessage posts.
#include "keyboard_input.h"

#include "keyboard_state.h"
#include "message_queue.h"

namespace {

constexpr LPARAM kExtended = 1 << 24;
constexpr LPARAM kAltContext = 1 << 29;
constexpr LPARAM kWasDown = 1 << 30;
constexpr LPARAM kReleasing = LPARAM(1u << 31);

bool PhysicallyDown(UINT virtualKey) {
    return GetAsyncKeyState(int(virtualKey)) < 0;
}

// Alt makes system key messages, unless Ctrl is also down (AltGr); F10 is always one.
UINT MessageFor(const win32::KeyStroke& key, bool down) {
    bool system = key.virtualKey == VK_MENU || key.virtualKey == VK_F10 ||
                  (PhysicallyDown(VK_MENU) && !PhysicallyDown(VK_CONTROL));
    if (down) return system ? WM_SYSKEYDOWN : WM_KEYDOWN;
    return system ? WM_SYSKEYUP : WM_KEYUP;
}

// The US layout's characters for the punctuation keys, unshifted and shifted.
struct PunctuationKey {
    UINT virtualKey;
    char plain, shifted;
};
constexpr PunctuationKey kPunctuation[] = {
    {VK_OEM_1, ';', ':'},     {VK_OEM_PLUS, '=', '+'},   {VK_OEM_COMMA, ',', '<'},
    {VK_OEM_MINUS, '-', '_'}, {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
    {VK_OEM_3, '`', '~'},     {VK_OEM_4, '[', '{'},      {VK_OEM_5, '\\', '|'},
    {VK_OEM_6, ']', '}'},     {VK_OEM_7, '\'', '"'},     {VK_SPACE, ' ', ' '},
    {VK_MULTIPLY, '*', '*'},  {VK_ADD, '+', '+'},        {VK_SUBTRACT, '-', '-'},
    {VK_DIVIDE, '/', '/'},    {VK_DECIMAL, '.', '.'},    {VK_RETURN, '\r', '\r'},
    {VK_BACK, '\b', '\b'},    {VK_TAB, '\t', '\t'},      {VK_ESCAPE, 0x1B, 0x1B},
};
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

} // namespace

namespace win32 {

// lParam: repeat count 1 (each SDL event is one message), scan code, extended, Alt context,
// previous state (down before this event), transition (1 when released).
void ReportKey(HWND window, const KeyStroke& key, bool down) {
    if (!key.virtualKey) return;
    bool wasDown = PhysicallyDown(key.sidedKey);
    KeyboardSetPhysical(key.sidedKey, down);
    LPARAM lParam = 1 | (LPARAM(key.scanCode) << 16);
    if (key.extended) lParam |= kExtended;
    if (PhysicallyDown(VK_MENU)) lParam |= kAltContext;
    if (wasDown || !down) lParam |= kWasDown;
    if (!down) lParam |= kReleasing;
    MSG message{window, MessageFor(key, down), key.virtualKey, lParam, GetTickCount(), {0, 0}};
    QueueInputMessage(message);
}

// The message names VK_SHIFT, VK_CONTROL or VK_MENU; the scan code and extended bit tell which
// side, as Windows records both.
void KeyMessageRetrieved(const MSG& message) {
    if (message.message != WM_KEYDOWN && message.message != WM_KEYUP &&
        message.message != WM_SYSKEYDOWN && message.message != WM_SYSKEYUP)
        return;
    UINT key = UINT(message.wParam);
    bool extended = message.lParam & kExtended;
    if (key == VK_SHIFT) key = ((message.lParam >> 16) & 0xFF) == 0x36 ? VK_RSHIFT : VK_LSHIFT;
    if (key == VK_CONTROL) key = extended ? VK_RCONTROL : VK_LCONTROL;
    if (key == VK_MENU) key = extended ? VK_RMENU : VK_LMENU;
    KeyboardApplyMessage(key, !(message.lParam & kReleasing));
}

int CharacterOfKey(UINT virtualKey) {
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool control = GetKeyState(VK_CONTROL) < 0;
    bool capsLock = GetKeyState(VK_CAPITAL) & 1;
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        if (control) return int(virtualKey - 'A' + 1);
        return int(shift != capsLock ? virtualKey : virtualKey - 'A' + 'a');
    }
    if (control) return -1;
    if (virtualKey >= '0' && virtualKey <= '9')
        return shift ? kShiftedDigits[virtualKey - '0'] : int(virtualKey);
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
        return int('0' + virtualKey - VK_NUMPAD0);
    for (const PunctuationKey& p : kPunctuation)
        if (p.virtualKey == virtualKey) return shift ? p.shifted : p.plain;
    return -1;
}

} // namespace win32
