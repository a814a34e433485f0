// UpdateControls: the keyboard, polled once per frame, and the heading turn by mouse zone.
#include "state/viewer_state.h"
#include "controls/controls.h"
#include "scene/animated_model.h"
#include "scene/camera.h"

#include <windows.h>

#include <cmath>

namespace {

// Letters and top-row digits are read with GetAsyncKeyState (held when negative); Esc, the keypad
// and the page keys with GetKeyState.
bool AsyncHeld(int key) {
    return GetAsyncKeyState(key) < 0;
}
bool Held(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}
// Held now but not at the last step; `wasHeld` remembers for the next.
bool Pressed(int key, bool& wasHeld) {
    const bool held = Held(key);
    const bool pressed = held && !wasHeld;
    wasHeld = held;
    return pressed;
}
bool HeldLowBit(int key) {
    return (GetKeyState(key) & 0x80) != 0;
}

// The sideways directions turn the heading by this literal, not by pi/2.
constexpr double kQuarterTurn = 1.57;

constexpr float kWalkSpeed = 0.04f;
constexpr float kModelSpeed = 0.07f;
constexpr float kModelLift = 0.03f;
constexpr float kSlowTurn = 0.008f;
constexpr float kFastTurn = 0.0081f;
// Heading zones by the mouse's client x: right of the first bound (or left of the second) turns
// slowly, beyond the outer bounds the fast step adds to the slow one.
constexpr int kSlowTurnRightAbove = 580;
constexpr int kSlowTurnLeftBelow = 220;
constexpr int kFastTurnRightAbove = 700;
constexpr int kFastTurnLeftBelow = 100;
constexpr float kAmbientStep = 0.01f;
constexpr float kViewOffsetStep = 0.05f;
const float kYawStep = float(1) / float(30);

// A vector step: widened to double, stored back as the nearest float.
void StepAlong(float& x, float& z, double distance, double angle) {
    x = float(double(x) + distance * std::sin(angle));
    z = float(double(z) + distance * std::cos(angle));
}

void StepAmbient(float& ambient, uint16_t& percent, int downKey, int upKey) {
    if (AsyncHeld(downKey)) {
        percent = uint16_t(percent - 1);
        ambient = ambient - kAmbientStep;
    }
    if (AsyncHeld(upKey)) {
        percent = uint16_t(percent + 1);
        ambient = ambient + kAmbientStep;
    }
    if (ambient > 1.0f) {
        ambient = 1.0f;
        percent = 100;
    }
    if (double(ambient) < 0.05) {
        ambient = 0.05f;
        percent = 1; // 1, not 5: the display jumps when the float reaches its floor
    }
}

void StepFilter(uint16_t& value, int downKey, int upKey, uint16_t floor) {
    if (AsyncHeld(downKey)) value = uint16_t(value - 1);
    if (AsyncHeld(upKey)) value = uint16_t(value + 1);
    if (value > 254) value = 255;
    if (value < floor + 1) value = floor;
}

} // namespace

void UpdateControls() {
    ViewerState& s = viewer;

    if (Held(VK_ESCAPE)) PostQuitMessage(0); // the rest of the step still runs

    s.walkStep = 0.0f;
    s.modelStep = 0.0f;

    if (AsyncHeld('S'))
        s.walkStep = s.walkStep - kWalkSpeed;
    else if (AsyncHeld('W'))
        s.walkStep = s.walkStep + kWalkSpeed;

    if (Held(VK_NUMPAD1))
        s.modelStep = s.modelStep - kModelSpeed;
    else if (Held(VK_NUMPAD9))
        s.modelStep = s.modelStep + kModelSpeed;

    if (Held(VK_NUMPAD5)) {
        s.modelPosition.x = float(double(s.eyePosition.x) + 4.0 * std::sin(double(s.heading)));
        s.modelPosition.z = float(double(s.eyePosition.z) + 4.0 * std::cos(double(s.heading)));
        s.modelPosition.y = 4.0f;
    }

    if (AsyncHeld('D'))
        StepAlong(s.eyePosition.x, s.eyePosition.z, kWalkSpeed, double(s.heading) + kQuarterTurn);
    else if (AsyncHeld('A'))
        StepAlong(s.eyePosition.x, s.eyePosition.z, kWalkSpeed, double(s.heading) - kQuarterTurn);

    if (Held(VK_NUMPAD7))
        StepAlong(s.modelPosition.x, s.modelPosition.z, kModelSpeed,
                  double(s.heading) - kQuarterTurn);
    else if (Held(VK_NUMPAD3))
        StepAlong(s.modelPosition.x, s.modelPosition.z, kModelSpeed,
                  double(s.heading) + kQuarterTurn);

    if (Held(VK_ADD))
        s.modelPosition.y = s.modelPosition.y + kModelLift;
    else if (Held(VK_SUBTRACT))
        s.modelPosition.y = s.modelPosition.y - kModelLift;

    if (Held(VK_DIVIDE))
        s.modelYaw = s.modelYaw - kYawStep;
    else if (Held(VK_MULTIPLY))
        s.modelYaw = s.modelYaw + kYawStep;

    // Heading zones by the last mouse x; beyond the outer bounds both steps apply.
    const int mouseX = s.lastMouseX;
    if (mouseX > kSlowTurnRightAbove)
        s.heading = s.heading + kSlowTurn;
    else if (mouseX < kSlowTurnLeftBelow)
        s.heading = s.heading - kSlowTurn;
    if (mouseX > kFastTurnRightAbove)
        s.heading = s.heading + kFastTurn;
    else if (mouseX < kFastTurnLeftBelow)
        s.heading = s.heading - kFastTurn;

    StepAmbient(s.ambientRed, s.ambientRedPercent, '8', 'I');
    StepAmbient(s.ambientGreen, s.ambientGreenPercent, '9', 'O');
    StepAmbient(s.ambientBlue, s.ambientBluePercent, '0', 'P');

    StepFilter(s.filterAlpha, '7', 'U', 8);
    StepFilter(s.filterRed, '1', '2', 1);
    StepFilter(s.filterGreen, '3', '4', 1);
    StepFilter(s.filterBlue, '5', '6', 1);

    // The page keys count as held on bit 7, and PageDown only when PageUp is not held.
    if (HeldLowBit(VK_PRIOR))
        s.viewOffset.y = s.viewOffset.y - kViewOffsetStep;
    else if (HeldLowBit(VK_NEXT))
        s.viewOffset.y = s.viewOffset.y + kViewOffsetStep;

    StepAlong(s.eyePosition.x, s.eyePosition.z, double(s.walkStep), double(s.heading));
    StepAlong(s.modelPosition.x, s.modelPosition.z, double(s.modelStep), double(s.heading));

    // Space plays and pauses the model's animation, Tab plays its next set; Home fits the view
    // to the model as this step leaves it. Each once per press.
    if (Pressed(VK_SPACE, s.playKeyHeld)) PlayOrPauseAnimation();
    if (Pressed(VK_TAB, s.nextSetKeyHeld)) PlayNextAnimationSet();
    if (Pressed(VK_HOME, s.fitKeyHeld)) FitViewToModel();
}
