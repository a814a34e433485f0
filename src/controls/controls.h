// The per-frame keyboard step and the mouse-move handler.
#pragma once

#include <windows.h>

// Polls the keys once and steps the viewer's state: walking, the heading zones of the last
// mouse x, the model's placement, the light's ambient values and the filter tint.
void UpdateControls();

// Raises or lowers the look height by the vertical motion since the previous message and
// records the position. x and y are the message's low and high words, zero-extended.
void OnMouseMove(WPARAM wParam, UINT x, UINT y);
