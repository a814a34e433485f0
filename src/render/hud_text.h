// The HUD: key help, key legend and live values, drawn with the HUD font.
#pragma once

#include <windows.h>

#include <cstdint>

int32_t DrawHudText(int32_t x, int32_t y, const char* text, uint32_t colour);

// Formats and draws the three blocks in one reused buffer.
void DrawHudTexts();

// The three texts in code page 932, as drawn.
extern const char kHelpText[];
extern const char kKeyLineText[];
extern const char kValueLineFormat[];
