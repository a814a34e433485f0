// The bits GetKeyState and GetAsyncKeyState return, as Windows returns them.
#include "testing/keyboard_seam.h"
#include "win32/keyboard_state.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

TEST(KeyState, DownSetsBitFifteenFromBothCalls) {
    xoftest::ReleaseAllKeys();
    xoftest::SetKeyDown(VK_PRIOR, true);
    EXPECT_EQ(uint16_t(GetKeyState(VK_PRIOR)), 0xFF81); // down, toggled by this press
    EXPECT_NE(GetKeyState(VK_PRIOR) & 0x80, 0);
    EXPECT_LT(GetKeyState(VK_PRIOR), 0);
    EXPECT_EQ(uint16_t(GetAsyncKeyState(VK_PRIOR)), 0x8000);
    EXPECT_EQ(GetAsyncKeyState(VK_PRIOR) & 0x80, 0);

    xoftest::SetKeyDown(VK_PRIOR, false);
    EXPECT_EQ(GetKeyState(VK_PRIOR), 1); // up, still toggled
    EXPECT_EQ(GetAsyncKeyState(VK_PRIOR), 0);
    xoftest::SetKeyDown(VK_PRIOR, true);
    EXPECT_EQ(uint16_t(GetKeyState(VK_PRIOR)), 0xFF80); // second press clears the toggle
}

TEST(KeyState, RepeatDoesNotToggleAndTheTwoViewsAreSeparate) {
    xoftest::ReleaseAllKeys();
    win32::KeyboardApplyMessage('A', true);
    win32::KeyboardApplyMessage('A', true); // auto-repeat
    EXPECT_EQ(uint16_t(GetKeyState('A')), 0xFF81);
    EXPECT_EQ(GetAsyncKeyState('A'), 0); // no physical change reported yet

    win32::KeyboardSetPhysical('B', true);
    EXPECT_EQ(GetKeyState('B'), 0); // not retrieved as a message yet
    EXPECT_LT(GetAsyncKeyState('B'), 0);
    EXPECT_EQ(GetKeyState(-1), 0);
    EXPECT_EQ(GetAsyncKeyState(256), 0);
    xoftest::ReleaseAllKeys();
}

} // namespace
