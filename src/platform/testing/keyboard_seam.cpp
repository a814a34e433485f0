// Test seam over the platform's keyboard model.
#include "keyboard_seam.h"

#include "../win32/keyboard_state.h"

namespace xoftest {

void SetKeyDown(int virtualKey, bool down) {
    win32::KeyboardSetPhysical(UINT(virtualKey), down);
    win32::KeyboardApplyMessage(UINT(virtualKey), down);
}

void ReleaseAllKeys() { win32::KeyboardReset(); }

} // namespace xoftest
