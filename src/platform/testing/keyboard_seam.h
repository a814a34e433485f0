// Test seam: hold and release keys without a window or an input device.
#pragma once

namespace xoftest {

// Sets a key as if its key message had been retrieved and the key were physically down (or up),
// so GetKeyState and GetAsyncKeyState both report it.
void SetKeyDown(int virtualKey, bool down);

// Every key up and untoggled.
void ReleaseAllKeys();

} // namespace xoftest
