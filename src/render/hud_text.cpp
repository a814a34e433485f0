// The HUD texts and DrawHudText.
#include "render/hud_text.h"
#include "scene/animated_model.h"
#include "state/viewer_state.h"

#include <d3dx9.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

// Code page 932 bytes. "\x81@" is the ideographic space; line 5 of the help ends in a space.
const char kHelpText[] =
    "\x8Eg\x97p\x83L\x81[\n"                            // 使用キー
    "ESC\x83L\x81[ \x81@\x81@\x81@\x81@\x8FI\x97\xB9\n" // ESCキー 終了
    "\x83"
    "e\x83\x93\x83L\x81[         1,3,7,9,+,-,*,/\x81@\x81@" // テンキー ...
    "(\x95\xA8\x91\xCC\x93\xAE\x8D\xEC)\n"                  // (物体動作)
    "PageUp,PageDown  (\x8E\x8B\x93_\x95\xCF\x89\xBB)\n"    // (視点変化)
    "A S D W  (\x8E\xA9\x90g\x88\xDA\x93\xAE) \n"           // (自身移動)
    "\x83"
    "e\x83\x93\x83L\x81[\x81@\x81@\x81@"
    "5\x81@\x81@"                                                // テンキー 5
    "(\x95\xA8\x91\xCC\x82\xAA\x83Z\x83\x93\x83^\x81[\x82\xC9)"; // (物体がセンターに)

const char kKeyLineText[] =
    "\x83L\x81[\x83{\x81[\x83h:\x81@"
    "1 2\x81@\x81@\x81@\x81@"
    "3 4\x81@\x81@\x81@\x81@"
    "5 6\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@"
    "7 U \x81@ \x81@\x81@"
    "8 I \x81@ "
    "9 O\x81@  "
    "0 P";

const char kValueLineFormat[] =
    "\x81@\x81@\x81@\x81@\x81@[\x90\xD4 %d]\x81@[\x97\xCE %d]\x81@[\x90\xC2 %d]"
    "\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@\x81@ "
    "[\x93\xA7\x96\xBE %d]\x81@\x81@%d \x81@ %d \x81@ %d";

namespace {

constexpr uint32_t kHudColour = 0xFFC8C8C8;
constexpr DWORD kHudFormat = DT_NOCLIP | DT_EXPANDTABS;

} // namespace

int32_t DrawHudText(int32_t x, int32_t y, const char* text, uint32_t colour) {
    RECT rect = {x, y, 0, 0}; // with DT_NOCLIP only the corner counts
    return viewer.hudFont->DrawTextA(nullptr, text, -1, &rect, kHudFormat, colour);
}

void DrawHudTexts() {
    const ViewerState& s = viewer;
    char buffer[256];
    std::memset(buffer, 0, sizeof buffer);

    wsprintfA(buffer, kHelpText);
    const int32_t helpTop = int32_t(float(double(s.backBufferHeight * 3) / 4.0));
    DrawHudText(50, helpTop, buffer, kHudColour);

    // The key line takes the same arguments as the value line; it has no conversions.
    const int red = s.filterRed, green = s.filterGreen, blue = s.filterBlue, alpha = s.filterAlpha,
              ambientRed = s.ambientRedPercent, ambientGreen = s.ambientGreenPercent,
              ambientBlue = s.ambientBluePercent;
    wsprintfA(buffer, kKeyLineText, red, green, blue, alpha, ambientRed, ambientGreen, ambientBlue);
    DrawHudText(20, 6, buffer, kHudColour);

    wsprintfA(buffer, kValueLineFormat, red, green, blue, alpha, ambientRed, ambientGreen,
              ambientBlue);
    DrawHudText(20, 24, buffer, kHudColour);

    if (s.animatedModel) {
        FormatAnimationLine(ShownAnimation(s.animatedModel), buffer, sizeof buffer);
        DrawHudText(20, 42, buffer, kHudColour);
    }
}

void FormatAnimationLine(const AnimationShown& shown, char* buffer, size_t size) {
    // A long name is cut whole characters at a time, so that a code page 932 pair stays whole.
    const size_t longestName = size - 32;
    size_t length = 0;
    for (size_t i = 0; shown.name[i] && i < longestName;) {
        const size_t step = IsDBCSLeadByte(BYTE(shown.name[i])) && shown.name[i + 1] ? 2 : 1;
        if (i + step > longestName) break;
        i += step;
        length = i;
    }
    if (length == 0)
        std::snprintf(buffer, size, "#%u %.2f / %.2f s", shown.index, shown.position, shown.period);
    else
        std::snprintf(buffer, size, "%.*s %.2f / %.2f s", int(length), shown.name, shown.position,
                      shown.period);
}
