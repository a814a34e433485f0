// Test seam: hold and release keys without a window or an input device.
#pragma once

namespace xoftest {

// Sets a key as if its key message had been retrieved and the key were physically down (or up),
// so GetKeyState and GetAsyncKeyState both report it.
void SetKeyDown(int virtualKey, bool down);

// Every key up and untoggled.
void ReleaseAllKeys();

// A key goes down or up as if the keyboard had reported it: GetAsyncKeyState changes at once;
// WM_KEYDOWN / WM_KEYUP (with the key's scan code and Windows' lParam bits) is queued as input
// for the focus window, and GetKeyState changes when PeekMessageA retrieves it.
void PressKey(int virtualKey);
void ReleaseKey(int virtualKey);

} // namespace xoftest
