// OnMouseMove: vertical motion tilts the look height; the position feeds the heading zones.
#include "state/viewer_state.h"
#include "controls/controls.h"

namespace {

constexpr float kLookPerPixel = 0.004f;

} // namespace

void OnMouseMove(WPARAM, UINT x, UINT y) {
    ViewerState& s = viewer;
    // Each word is a signed 16-bit coordinate: above or left of the client area is negative.
    const int newY = int16_t(uint16_t(y & 0xFFFF));
    const int lastY = s.lastMouseY;
    if (lastY > newY)
        s.lookHeight = s.lookHeight + float(float(lastY - newY) * kLookPerPixel);
    else if (lastY < newY)
        s.lookHeight = s.lookHeight - float(float(newY - lastY) * kLookPerPixel);
    s.lastMouseX = int16_t(uint16_t(x & 0xFFFF));
    s.lastMouseY = int16_t(newY);
}
