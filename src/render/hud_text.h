// The HUD: key help, key legend and live values, drawn with the HUD font.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

int32_t DrawHudText(int32_t x, int32_t y, const char* text, uint32_t colour);

// Formats and draws the three blocks in one reused buffer, and under them, while the model's
// animation is shown, its line.
void DrawHudTexts();

// "NAME 1.25 / 3.00 s": the set on the track, its position and its period (an unnamed set by its
// number, "#1"), in at most `size` bytes.
struct AnimationShown;
void FormatAnimationLine(const AnimationShown& shown, char* buffer, size_t size);

// The three texts in code page 932, as drawn.
extern const char kHelpText[];
extern const char kKeyLineText[];
extern const char kValueLineFormat[];
