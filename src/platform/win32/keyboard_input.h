// Key messages: what a key press puts in the queue, and what retrieving it changes.
#pragma once

#include "keyboard_map.h"

#include <windows.h>

namespace win32 {

// A key went down or up on the device: the physical state (GetAsyncKeyState) changes now, and
// WM_KEYDOWN / WM_KEYUP (WM_SYS* with Alt) is queued for the window as input.
void ReportKey(HWND window, const KeyStroke& key, bool down);

// A key message was taken from the input queue: the thread's state (GetKeyState) follows it.
void KeyMessageRetrieved(const MSG& message);

// The character TranslateMessage makes of a key with the thread's current Shift, Ctrl and
// CapsLock state (US layout); -1 when the key makes none.
int CharacterOfKey(UINT virtualKey);

} // namespace win32
