// The keyboard model behind GetKeyState and GetAsyncKeyState.
#pragma once

#include <windows.h>

namespace win32 {

// The physical state, read by GetAsyncKeyState: changes as soon as the key moves.
void KeyboardSetPhysical(UINT virtualKey, bool down);

// The thread's state, read by GetKeyState: changes when a key message is retrieved from the
// queue. A press flips the key's toggle bit, as on Windows.
void KeyboardApplyMessage(UINT virtualKey, bool down);

// A left or right modifier (VK_LSHIFT, VK_RCONTROL, ...) given to either function also sets the
// key for both sides (VK_SHIFT, VK_CONTROL, VK_MENU), which is down while either side is.

// Every key up and untoggled.
void KeyboardReset();

} // namespace win32
