// Test seam over the platform's keyboard model and key messages.
#include "keyboard_seam.h"

#include "../win32/keyboard_input.h"
#include "../win32/keyboard_state.h"
#include "../win32/window.h"

namespace xoftest {

void SetKeyDown(int virtualKey, bool down) {
    win32::KeyboardSetPhysical(UINT(virtualKey), down);
    win32::KeyboardApplyMessage(UINT(virtualKey), down);
}

void ReleaseAllKeys() {
    win32::KeyboardReset();
}

void PressKey(int virtualKey) {
    win32::ReportKey(win32::FocusWindow(), win32::KeyStrokeOf(UINT(virtualKey)), true);
}

void ReleaseKey(int virtualKey) {
    win32::ReportKey(win32::FocusWindow(), win32::KeyStrokeOf(UINT(virtualKey)), false);
}

} // namespace xoftest
