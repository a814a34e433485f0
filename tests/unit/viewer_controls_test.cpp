// The per-frame keyboard step and the mouse handler, driven through the platform's key seam.
#include "state/viewer_state.h"
#include "controls/controls.h"
#include "testing/keyboard_seam.h"
#include "testing/message_seam.h"
#include "win32/keyboard_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

class Controls : public ::testing::Test {
  protected:
    void SetUp() override {
        viewer = ViewerState{};
        viewer.lastMouseX = 400; // the dead zone, so the heading holds still
        xoftest::ReleaseAllKeys();
        xoftest::ResetMessageQueue();
    }
    void TearDown() override { xoftest::ReleaseAllKeys(); }

    static void Frame(std::initializer_list<int> keys, int frames = 1) {
        for (int key : keys)
            xoftest::SetKeyDown(key, true);
        for (int i = 0; i < frames; ++i)
            UpdateControls();
        for (int key : keys)
            xoftest::SetKeyDown(key, false);
    }
};

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

TEST(ViewerStateDefaults, MatchTheFirstFrame) {
    ViewerState s;
    EXPECT_EQ(s.backBufferWidth, 900);
    EXPECT_EQ(s.backBufferHeight, 690);
    EXPECT_EQ(s.filterAlpha, 18);
    EXPECT_EQ(s.filterRed, 250);
    EXPECT_EQ(s.ambientRed, 0.99f);
    EXPECT_EQ(s.ambientBluePercent, 99);
    EXPECT_EQ(s.lastMouseX, 0);
    EXPECT_EQ(s.lastMouseY, 390);
    EXPECT_EQ(s.eyePosition.z, -10.0f);
    EXPECT_EQ(s.modelPosition.y, 4.0f);
    EXPECT_EQ(s.viewOffset.y, 2.0f);
    EXPECT_EQ(s.viewOffset.z, 14.0f);
    EXPECT_EQ(s.droppedPath[0], 0);
    static_assert(sizeof(Vector3) == 12);
    static_assert(sizeof(ViewerState::droppedPath) == 260);
    static_assert(sizeof(ViewerState::modelPath) == 256);
}

TEST_F(Controls, NoKeyInTheDeadZoneChangesNothingButTheSteps) {
    const ViewerState before = viewer;
    viewer.walkStep = 5.0f;
    Frame({});
    EXPECT_EQ(viewer.walkStep, 0.0f);
    EXPECT_EQ(viewer.modelStep, 0.0f);
    EXPECT_EQ(0, std::memcmp(&viewer.eyePosition, &before.eyePosition, sizeof(Vector3)));
    EXPECT_EQ(0, std::memcmp(&viewer.modelPosition, &before.modelPosition, sizeof(Vector3)));
    EXPECT_EQ(viewer.heading, 0.0f);
    EXPECT_FALSE(xoftest::QuitPosted());
}

TEST_F(Controls, PairsHeldTogether) {
    Frame({'S', 'W'}); // else: S wins, walk backwards
    EXPECT_EQ(viewer.walkStep, -0.04f);
    EXPECT_EQ(viewer.eyePosition.z, float(-10.0 + double(-0.04f)));

    viewer = ViewerState{};
    viewer.lastMouseX = 400;
    Frame({'D', 'A'}); // else: D wins, move right (+x at heading 0)
    EXPECT_GT(viewer.eyePosition.x, 0.039f);

    viewer = ViewerState{};
    viewer.lastMouseX = 400;
    Frame({VK_NUMPAD1, VK_NUMPAD9});
    EXPECT_EQ(viewer.modelStep, -0.07f);
    Frame({VK_NUMPAD7, VK_NUMPAD3}); // keypad 7 wins: left
    EXPECT_LT(viewer.modelPosition.x, -0.069f);
    Frame({VK_ADD, VK_SUBTRACT});
    EXPECT_EQ(viewer.modelPosition.y, 4.0f + 0.03f);
    Frame({VK_DIVIDE, VK_MULTIPLY});
    EXPECT_EQ(viewer.modelYaw, -0.033333335f);

    const ViewerState before = viewer;
    Frame({'7', 'U', '1', '2', '3', '4', '5', '6'}); // both: each pair cancels
    EXPECT_EQ(viewer.filterAlpha, before.filterAlpha);
    EXPECT_EQ(viewer.filterRed, before.filterRed);
    EXPECT_EQ(viewer.filterGreen, before.filterGreen);
    EXPECT_EQ(viewer.filterBlue, before.filterBlue);

    Frame({'8', 'I'});
    EXPECT_EQ(viewer.ambientRedPercent, 99);
    EXPECT_EQ(viewer.ambientRed, (0.99f - 0.01f) + 0.01f);
}

TEST_F(Controls, HeadingZonesAtTheirBoundaries) {
    struct Case {
        int16_t x;
        float expected;
    };
    const Case cases[] = {
        {580, 0.0f},
        {581, 0.008f},
        {700, 0.008f},
        {701, 0.008f + 0.0081f},
        {220, 0.0f},
        {219, -0.008f},
        {100, -0.008f},
        {99, -0.008f - 0.0081f},
        {-5, -0.008f - 0.0081f},
    };
    for (const Case& c : cases) {
        viewer.heading = 0.0f;
        viewer.lastMouseX = c.x;
        Frame({});
        EXPECT_EQ(viewer.heading, c.expected) << "x = " << c.x;
    }
}

TEST_F(Controls, HeadingFallsFromTheFirstFrameUntilTheMouseMoves) {
    viewer = ViewerState{}; // lastMouseX 0
    Frame({});
    EXPECT_EQ(viewer.heading, -0.008f - 0.0081f);
}

TEST_F(Controls, AmbientClampsAtBothEnds) {
    // From the defaults, 8 lowers the float and the percent together until the floor.
    for (int frame = 0; frame < 94; ++frame)
        Frame({'8'});
    EXPECT_EQ(viewer.ambientRedPercent, 5);
    EXPECT_GE(double(viewer.ambientRed), 0.05);
    Frame({'8'});
    EXPECT_EQ(viewer.ambientRed, 0.05f);
    EXPECT_EQ(viewer.ambientRedPercent, 1); // 1, not 5
    Frame({'I'});
    EXPECT_EQ(viewer.ambientRedPercent, 2);
    EXPECT_EQ(viewer.ambientRed, 0.05f + 0.01f);

    viewer.ambientGreen = 1.0f;
    viewer.ambientGreenPercent = 100;
    Frame({'O'});
    EXPECT_EQ(viewer.ambientGreen, 1.0f);
    EXPECT_EQ(viewer.ambientGreenPercent, 100);

    viewer.ambientBlue = 0.995f;
    viewer.ambientBluePercent = 77;
    Frame({'P'});
    EXPECT_EQ(viewer.ambientBlue, 1.0f);
    EXPECT_EQ(viewer.ambientBluePercent, 100);
}

TEST_F(Controls, FilterValuesStayInRange) {
    viewer.filterRed = 1;
    Frame({'1'});
    EXPECT_EQ(viewer.filterRed, 1);
    viewer.filterRed = 255;
    Frame({'2'});
    EXPECT_EQ(viewer.filterRed, 255);
    viewer.filterAlpha = 8;
    Frame({'7'});
    EXPECT_EQ(viewer.filterAlpha, 8);
    viewer.filterAlpha = 255;
    Frame({'U'});
    EXPECT_EQ(viewer.filterAlpha, 255);
    viewer.filterGreen = 2;
    Frame({'3'});
    EXPECT_EQ(viewer.filterGreen, 1);
    Frame({'6'}, 10);
    EXPECT_EQ(viewer.filterBlue, 255);
}

TEST_F(Controls, KeypadFiveCentresTheModelAheadOfTheEye) {
    Frame({VK_NUMPAD5, 'W'});
    // Placed 4 ahead of the eye before the walk; the eye then steps 0.04 forward.
    EXPECT_EQ(viewer.modelPosition.x, 0.0f);
    EXPECT_EQ(viewer.modelPosition.y, 4.0f);
    EXPECT_EQ(viewer.modelPosition.z, -6.0f);
    EXPECT_NEAR(viewer.modelPosition.z - viewer.eyePosition.z, 3.96f, 1e-6f);

    viewer = ViewerState{};
    viewer.lastMouseX = 400;
    Frame({VK_NUMPAD5, VK_NUMPAD9});
    EXPECT_NEAR(viewer.modelPosition.z - viewer.eyePosition.z, 4.07f, 1e-6f);

    viewer = ViewerState{};
    viewer.lastMouseX = 400;
    Frame({VK_NUMPAD5, VK_NUMPAD3});
    EXPECT_EQ(viewer.modelPosition.z, float(-6.0 + double(0.07f) * std::cos(1.57)));
    EXPECT_EQ(viewer.modelPosition.x, float(double(0.07f) * std::sin(1.57)));
}

TEST_F(Controls, SidewaysUsesTheHeadingBeforeTheTurnAndTheWalkTheHeadingAfter) {
    viewer.lastMouseX = 800;
    Frame({'D', 'W'});
    const double turned = double(0.0f + 0.008f + 0.0081f);
    EXPECT_EQ(viewer.eyePosition.x, float(float(0.0 + double(0.04f) * std::sin(1.57)) +
                                          double(0.04f) * std::sin(turned)));
}

TEST_F(Controls, EscPostsQuitAndTheOtherKeysStillAct) {
    Frame({VK_ESCAPE, '2', 'W'});
    int code = -1;
    EXPECT_TRUE(xoftest::QuitPosted(&code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(viewer.filterRed, 251);
    EXPECT_EQ(viewer.walkStep, 0.04f);
}

TEST_F(Controls, PageKeysStepTheViewOffset) {
    Frame({VK_PRIOR});
    EXPECT_EQ(viewer.viewOffset.y, 2.0f - 0.05f);
    Frame({VK_PRIOR, VK_NEXT}); // PageUp wins
    EXPECT_EQ(viewer.viewOffset.y, (2.0f - 0.05f) - 0.05f);
    Frame({VK_NEXT}, 2);
    EXPECT_EQ(viewer.viewOffset.x, 0.0f);
    EXPECT_EQ(viewer.viewOffset.z, 14.0f);
    EXPECT_NEAR(viewer.viewOffset.y, 2.0f, 1e-6f);
}

TEST_F(Controls, KeypadKeysUseTheMessageStateAndLettersThePhysicalState) {
    // A keypad key down only physically, a letter down only in the retrieved messages: neither
    // counts, since each is read through the other call.
    win32::KeyboardSetPhysical(VK_NUMPAD9, true);
    win32::KeyboardApplyMessage('W', true);
    UpdateControls();
    EXPECT_EQ(viewer.modelStep, 0.0f);
    EXPECT_EQ(viewer.walkStep, 0.0f);
    win32::KeyboardApplyMessage(VK_NUMPAD9, true);
    win32::KeyboardSetPhysical('W', true);
    UpdateControls();
    EXPECT_EQ(viewer.modelStep, 0.07f);
    EXPECT_EQ(viewer.walkStep, 0.04f);
}

TEST_F(Controls, MouseMovesTheLookHeightBySignedWords) {
    viewer.lastMouseY = 300;
    OnMouseMove(0, 10, 250);
    EXPECT_EQ(viewer.lookHeight, 4.2f);
    OnMouseMove(MK_LBUTTON, 10, 300);
    EXPECT_EQ(Bits(viewer.lookHeight), Bits(4.0f) - 1); // 4.0 - 2^-22, not 4.0
    EXPECT_EQ(viewer.lastMouseX, 10);

    viewer = ViewerState{};
    OnMouseMove(0, 0, 140);
    EXPECT_EQ(viewer.lookHeight, 5.0f);

    viewer = ViewerState{};
    viewer.lastMouseY = 0;
    OnMouseMove(0, 0xFFFF, 0xFFFF); // one pixel above and left of the client area
    EXPECT_EQ(viewer.lastMouseY, -1);
    EXPECT_EQ(viewer.lastMouseX, -1);
    EXPECT_EQ(viewer.lookHeight, 4.0f + 0.004f);

    const float height = viewer.lookHeight;
    OnMouseMove(0, 500, 0xFFFF); // horizontal only
    EXPECT_EQ(viewer.lookHeight, height);
    EXPECT_EQ(viewer.lastMouseX, 500);
}

} // namespace
