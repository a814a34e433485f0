// DrawText's line breaking, tab expansion and alignment, on code points and pixel advances.
#include "d3dx9/text_layout.h"

#include <algorithm>

namespace d3dx9 {

TextLayout LayOutText(const std::u32string& text, DWORD format, const RECT& rect, int lineHeight,
                      int tabWidth, const std::function<int(char32_t)>& advance) {
    // Split into lines of drawable characters with their offsets from the line's start.
    struct Line {
        std::vector<std::pair<char32_t, int>> characters;
        int width = 0;
    };
    std::vector<Line> lines(1);
    lines.front().characters.reserve(text.size()); // most texts are one line
    const bool singleLine = (format & DT_SINGLELINE) != 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        Line& line = lines.back();
        if (c == U'\r') continue;
        if (c == U'\n') {
            if (!singleLine && i + 1 < text.size()) lines.emplace_back();
            continue;
        }
        if (c == U'\t' && (format & DT_EXPANDTABS) && tabWidth > 0) {
            line.width = (line.width / tabWidth + 1) * tabWidth;
            continue;
        }
        if (c < 0x20) continue; // other control characters draw nothing
        line.characters.emplace_back(c, line.width);
        line.width += advance(c);
    }

    TextLayout layout;
    layout.characters.reserve(text.size());
    layout.lineCount = int(lines.size());
    layout.height = layout.lineCount * lineHeight;
    for (const Line& line : lines)
        layout.width = std::max(layout.width, line.width);
    const int boxHeight = int(rect.bottom - rect.top);
    if (format & DT_BOTTOM)
        layout.topOffset = boxHeight - layout.height;
    else if (format & DT_VCENTER)
        layout.topOffset = (boxHeight - layout.height) / 2;

    const int boxWidth = int(rect.right - rect.left);
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        int x = int(rect.left);
        if (format & DT_RIGHT)
            x += boxWidth - line.width;
        else if (format & DT_CENTER)
            x += (boxWidth - line.width) / 2;
        const int top = int(rect.top) + layout.topOffset + int(i) * lineHeight;
        for (const auto& [c, offset] : line.characters)
            layout.characters.push_back({c, x + offset, top});
    }
    return layout;
}

} // namespace d3dx9
