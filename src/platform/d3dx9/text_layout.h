// Layout of DrawText's lines: line breaks, tab stops, alignment and the measured rectangle.
#pragma once

#include <d3dx9.h>

#include <functional>
#include <string>
#include <vector>

namespace d3dx9 {

struct PlacedCharacter {
    char32_t codePoint;
    int penX;    // pen position on the line, in pixels
    int lineTop; // top of the character's line
};

struct TextLayout {
    std::vector<PlacedCharacter> characters; // only those that draw something
    int lineCount = 0;
    int width = 0;     // of the widest line
    int height = 0;    // lineCount x line height
    int topOffset = 0; // from rect.top to the first line (DT_VCENTER / DT_BOTTOM)
};

// Lays text out as DrawText does: '\n' starts a new line (not with DT_SINGLELINE), '\r' is
// dropped, a final '\n' adds no line; DT_EXPANDTABS moves to the next multiple of `tabWidth`
// from rect.left; lines are aligned left, centred or right within the rectangle, and the block
// top, centred or bottom. `advance` gives a character's pen advance.
TextLayout LayOutText(const std::u32string& text, DWORD format, const RECT& rect, int lineHeight,
                      int tabWidth, const std::function<int(char32_t)>& advance);

} // namespace d3dx9
