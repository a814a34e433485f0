// ID3DXFont: the face chosen for the viewer's HUD font, layout, and text drawn on the OpenGL
// device (pixels read back from the R5G6B5 back buffer), with the device's state left alone.
#include "d3dx9/font_face.h"
#include "d3dx9/text_layout.h"
#include "unit/d3d9_test_fixture.h"
#include "win32/cp932.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_image.h>

#include <cstdlib>
#include <string>

namespace {

// Test texts are written in UTF-8; the code under test takes CP932.
using win32::Utf8ToCp932;

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

const std::string kIdeographicSpace = "\u3000";

// The viewer's three HUD texts, in CP932.
std::string HelpText() {
    const std::string s = kIdeographicSpace;
    return Utf8ToCp932("使用キー\nESCキー " + Repeat(s, 4) + "終了\nテンキー" +
                       std::string(9, ' ') + "1,3,7,9,+,-,*,/" + Repeat(s, 2) +
                       "(物体動作)\nPageUp,PageDown  (視点変化)\nA S D W  (自身移動) \nテンキー" +
                       Repeat(s, 3) + "5" + Repeat(s, 2) + "(物体がセンターに)");
}
std::string KeyLine() {
    const std::string s = kIdeographicSpace;
    return Utf8ToCp932("キーボード:" + s + "1 2" + Repeat(s, 4) + "3 4" + Repeat(s, 4) + "5 6" +
                       Repeat(s, 18) + "7 U" + " " + s + " " + s + s + "8 I" + " " + s + " " +
                       "9 O" + s + "  " + "0 P");
}
std::string ValueLine() {
    const std::string s = kIdeographicSpace;
    return Utf8ToCp932(Repeat(s, 5) + "[赤 %d]" + s + "[緑 %d]" + s + "[青 %d]" + Repeat(s, 14) +
                       " [透明 %d]" + Repeat(s, 2) + "%d " + s + " %d " + s + " %d");
}

D3DXFONT_DESCA HudFontDescription() {
    D3DXFONT_DESCA desc{};
    desc.Height = 14;
    desc.Width = 0;
    desc.Weight = FW_NORMAL;
    desc.MipLevels = 0;
    desc.Italic = FALSE;
    desc.CharSet = SHIFTJIS_CHARSET;
    return desc;
}

// The face that draws the Japanese system Gothic in the tests' font set: IPAGothic, or the
// fallback when a test run leaves IPAGothic out.
std::string ExpectedGothicFace() {
    const char* face = std::getenv("XOF_EXPECTED_GOTHIC_FACE");
    return face ? face : "IPAGothic";
}

TEST(FontFace, TheHudDescriptionGetsTheSystemGothicsMetrics) {
    ASSERT_EQ(HelpText().size(), 163u);
    ASSERT_EQ(KeyLine().size(), 102u);
    ASSERT_EQ(ValueLine().size(), 91u);
    const auto face = d3dx9::FontFace::Open(HudFontDescription());
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->FamilyName(), ExpectedGothicFace());
    // The Windows Gothic at height 14: the cell is the em, 12 above the baseline and 2 below,
    // and a byte of text is 7 px wide.
    EXPECT_EQ(face->Metrics().height, 14);
    EXPECT_EQ(face->Metrics().ascent, 12);
    EXPECT_EQ(face->Metrics().descent, 2);
    EXPECT_EQ(face->Metrics().aveCharWidth, 7);
    EXPECT_EQ(face->Metrics().byteAdvance, 7);
    // Every character of the three texts has a glyph of its own, not the missing-glyph box.
    for (const std::string& text : {HelpText(), KeyLine(), ValueLine()}) {
        std::u32string codePoints;
        ASSERT_TRUE(win32::Cp932ToCodePoints(text, codePoints, win32::InvalidCp932::Refuse));
        for (char32_t c : codePoints) {
            if (c == U'\n') continue;
            EXPECT_TRUE(face->HasGlyph(c)) << "U+" << std::hex << uint32_t(c);
        }
    }
}

TEST(FontFace, TheSystemGothicsGridFollowsTheHeight) {
    // Heights as Windows measures its Gothic: ascent, descent and a byte's advance.
    const struct {
        INT height;
        int ascent, descent, byteAdvance;
    } sizes[] = {{12, 10, 2, 6}, {13, 11, 2, 7}, {15, 13, 2, 8}, {16, 14, 2, 8}, {-14, 12, 2, 7}};
    for (const auto& size : sizes) {
        D3DXFONT_DESCA desc = HudFontDescription();
        desc.Height = size.height;
        const auto face = d3dx9::FontFace::Open(desc);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->Metrics().height, std::abs(size.height)) << size.height;
        EXPECT_EQ(face->Metrics().ascent, size.ascent) << size.height;
        EXPECT_EQ(face->Metrics().descent, size.descent) << size.height;
        EXPECT_EQ(face->Metrics().byteAdvance, size.byteAdvance) << size.height;
    }
    // The pitch asked for does not change the system Gothic.
    D3DXFONT_DESCA desc = HudFontDescription();
    desc.PitchAndFamily = 1; // FIXED_PITCH
    const auto face = d3dx9::FontFace::Open(desc);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->FamilyName(), ExpectedGothicFace());
}

TEST(FontFace, NamedFacesAndOtherCharacterSetsKeepGdisSizing) {
    D3DXFONT_DESCA desc = HudFontDescription();
    std::snprintf(desc.FaceName, LF_FACESIZE, "Noto Serif CJK JP");
    auto face = d3dx9::FontFace::Open(desc);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->FamilyName(), "Noto Serif CJK JP");
    EXPECT_EQ(face->Metrics().byteAdvance, 0); // its own advances

    desc.Weight = FW_BOLD;
    face = d3dx9::FontFace::Open(desc);
    ASSERT_NE(face, nullptr);
    EXPECT_NE(face->FilePath().find("Bold"), std::string::npos) << face->FilePath();

    desc = HudFontDescription();
    desc.CharSet = DEFAULT_CHARSET;
    desc.PitchAndFamily = 1; // FIXED_PITCH
    face = d3dx9::FontFace::Open(desc);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->Metrics().height, 14);
    EXPECT_EQ(face->Metrics().byteAdvance, 0);

    // A negative height is the em: a named face's cell is taller than it.
    desc = HudFontDescription();
    std::snprintf(desc.FaceName, LF_FACESIZE, "Noto Sans CJK JP");
    desc.Height = -14;
    face = d3dx9::FontFace::Open(desc);
    ASSERT_NE(face, nullptr);
    EXPECT_GT(face->Metrics().height, 14);
}

TEST(FontFace, Cp932DecodingKeepsBackslashesAndMarksBadBytes) {
    std::u32string text;
    using win32::InvalidCp932;
    EXPECT_TRUE(win32::Cp932ToCodePoints("a\\\x81\x60\x83\x5C", text, InvalidCp932::Refuse));
    EXPECT_EQ(text, U"a\\\uFF5E\u30BD");
    const std::string_view bad("a\x80"
                               "b\x81\x20"
                               "c\x81",
                               7);
    EXPECT_FALSE(win32::Cp932ToCodePoints(bad, text, InvalidCp932::Refuse));
    EXPECT_TRUE(text.empty());
    // A lead byte and the byte after it are one character, replaced whole.
    EXPECT_TRUE(win32::Cp932ToCodePoints(bad, text, InvalidCp932::Replace));
    EXPECT_EQ(text, U"a\u30FBb\u30FBc\u30FB");
}

// Layout, with every character 5 pixels wide.
d3dx9::TextLayout LayOut(const std::u32string& text, DWORD format, RECT rect = {10, 20, 10, 20}) {
    return d3dx9::LayOutText(text, format, rect, 14, 40, [](char32_t) { return 5; });
}

TEST(TextLayout, LineFeedsStartLinesOneLineHeightLower) {
    const auto layout = LayOut(U"ab\ncd\r\n\ne\n", DT_NOCLIP);
    EXPECT_EQ(layout.lineCount, 4); // "ab", "cd", "", "e"; the last line feed adds none
    EXPECT_EQ(layout.height, 56);
    ASSERT_EQ(layout.characters.size(), 5u);
    EXPECT_EQ(layout.characters[0].penX, 10);
    EXPECT_EQ(layout.characters[1].penX, 15);
    EXPECT_EQ(layout.characters[2].penX, 10);
    EXPECT_EQ(layout.characters[2].lineTop, 34);
    EXPECT_EQ(layout.characters[4].lineTop, 62);
    EXPECT_EQ(LayOut(U"ab\ncd", DT_NOCLIP | DT_SINGLELINE).lineCount, 1);
}

TEST(TextLayout, TabsAndAlignment) {
    const auto tabs = LayOut(U"a\tb\t\tc", DT_EXPANDTABS);
    EXPECT_EQ(tabs.characters[1].penX, 10 + 40);
    EXPECT_EQ(tabs.characters[2].penX, 10 + 120);
    EXPECT_EQ(LayOut(U"a\tb", 0).characters[1].penX, 15); // no expansion: the tab draws nothing
    const RECT box = {0, 0, 100, 70};
    const auto centred = LayOut(U"abcd", DT_CENTER | DT_VCENTER | DT_SINGLELINE, box);
    EXPECT_EQ(centred.characters[0].penX, 40);
    EXPECT_EQ(centred.characters[0].lineTop, 28);
    const auto right = LayOut(U"abcd\nab", DT_RIGHT | DT_BOTTOM, box);
    EXPECT_EQ(right.characters[0].penX, 80);
    EXPECT_EQ(right.characters[4].penX, 90);
    EXPECT_EQ(right.characters[4].lineTop, 56);
    EXPECT_EQ(right.topOffset, 42);
}

// Drawing on the OpenGL device.
constexpr D3DCOLOR kClear = 0xFF3CA3B9;
constexpr D3DCOLOR kHudColour = 0xFFC8C8C8;

class FontDrawTest : public d3d9test::DeviceTest {
  protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (HasFatalFailure()) return;
        const D3DXFONT_DESCA desc = HudFontDescription();
        ASSERT_EQ(D3DXCreateFontIndirectA(device, &desc, &font), D3D_OK);
    }
    void TearDown() override {
        if (font) {
            EXPECT_EQ(font->Release(), 0u);
        }
        DeviceTest::TearDown();
    }
    // Clears, draws `text` at (x, y) and returns the back buffer.
    std::vector<uint16_t> Draw(const std::string& text, int x, int y, INT* height = nullptr,
                               DWORD format = DT_NOCLIP | DT_EXPANDTABS) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0);
        device->BeginScene();
        RECT rect = {x, y, 0, 0};
        const INT h = font->DrawTextA(nullptr, text.c_str(), -1, &rect, format, kHudColour);
        if (height) *height = h;
        device->EndScene();
        return ReadBackBuffer();
    }
    ID3DXFont* font = nullptr;
};

// The box of pixels that differ from the clear colour.
RECT InkBox(const std::vector<uint16_t>& pixels) {
    const uint16_t background = d3d9test::Rgb565(kClear);
    RECT box = {LONG(d3d9test::kWidth), LONG(d3d9test::kHeight), 0, 0};
    for (UINT y = 0; y < d3d9test::kHeight; ++y) {
        for (UINT x = 0; x < d3d9test::kWidth; ++x) {
            if (pixels[size_t(y) * d3d9test::kWidth + x] == background) continue;
            box.left = std::min(box.left, LONG(x));
            box.top = std::min(box.top, LONG(y));
            box.right = std::max(box.right, LONG(x + 1));
            box.bottom = std::max(box.bottom, LONG(y + 1));
        }
    }
    return box;
}

TEST_F(FontDrawTest, TextIsDrawnInItsColourBlendedOverTheBackground) {
    // A solid square: its inside is pure text colour, its edges lie between the two colours.
    INT height = 0;
    auto pixels = Draw(Utf8ToCp932("■"), 100, 200, &height);
    EXPECT_EQ(height, 14);
    const RECT box = InkBox(pixels);
    ASSERT_LT(box.left, box.right);
    EXPECT_GE(box.left, 100);
    EXPECT_GE(box.top, 200);
    EXPECT_LE(box.bottom, 214);
    const UINT cx = UINT(box.left + box.right) / 2, cy = UINT(box.top + box.bottom) / 2;
    EXPECT_TRUE(d3d9test::Near565(At(pixels, cx, cy), d3d9test::Rgb565(kHudColour)));

    // The HUD's help text: every inked pixel is a mix of background and text colour, some are
    // the text colour itself, and all of them lie in the six lines from (50, 517).
    pixels = Draw(HelpText(), 50, 517, &height);
    EXPECT_EQ(height, 6 * 14);
    const RECT help = InkBox(pixels);
    EXPECT_GE(help.left, 50);
    EXPECT_GE(help.top, 517);
    EXPECT_LE(help.bottom, 517 + 6 * 14);
    const auto bg = d3d9test::Channels(d3d9test::Rgb565(kClear));
    const auto fg = d3d9test::Channels(d3d9test::Rgb565(kHudColour));
    int full = 0;
    for (UINT y = UINT(help.top); y < UINT(help.bottom); ++y) {
        for (UINT x = UINT(help.left); x < UINT(help.right); ++x) {
            const auto c = d3d9test::Channels(At(pixels, x, y));
            // One blend factor, taken from red (the channel with the widest range), explains
            // all three channels.
            const double t = (c.r - bg.r) / (fg.r - bg.r);
            EXPECT_NEAR(c.g, bg.g + t * (fg.g - bg.g), 1.5 / 63) << x << "," << y;
            EXPECT_NEAR(c.b, bg.b + t * (fg.b - bg.b), 1.5 / 31) << x << "," << y;
            full += d3d9test::Near565(At(pixels, x, y), d3d9test::Rgb565(kHudColour)) ? 1 : 0;
        }
    }
    // 50 of them with the blend rounded to the nearest 565 level, as Direct3D stores it.
    EXPECT_GT(full, 40);
}

TEST_F(FontDrawTest, ALineFeedPutsTheNextLineOneLineHeightLower) {
    INT height = 0;
    const auto pixels = Draw(Utf8ToCp932("使\n使"), 300, 100, &height);
    EXPECT_EQ(height, 28);
    int inked = 0;
    for (UINT y = 100; y < 114; ++y) {
        for (UINT x = 295; x < 320; ++x) {
            EXPECT_EQ(At(pixels, x, y), At(pixels, x, y + 14)) << x << "," << y;
            inked += At(pixels, x, y) != d3d9test::Rgb565(kClear);
        }
    }
    EXPECT_GT(inked, 20);
}

// A HUD value changes every frame, so the font lays out more texts than it remembers: each text
// drawn again, laid out anew in the place of one long or short, gives the pixels it first gave.
TEST_F(FontDrawTest, TextsBeyondTheRememberedOnesDrawAsWhenFirstLaidOut) {
    std::vector<std::string> texts;
    for (int i = 0; i < 34; ++i)
        texts.push_back(i % 2 ? std::string(size_t(i), 'W')
                              : std::to_string(i) + Utf8ToCp932("秒"));
    std::vector<std::vector<uint16_t>> first;
    for (const std::string& text : texts)
        first.push_back(Draw(text, 10, 10));
    for (size_t i = texts.size(); i-- > 0;)
        EXPECT_EQ(Draw(texts[i], 10, 10), first[i]) << texts[i];
}

TEST_F(FontDrawTest, ReturnValuesAndMeasuring) {
    RECT rect = {20, 6, 0, 0};
    EXPECT_EQ(font->DrawTextA(nullptr, nullptr, -1, &rect, DT_NOCLIP, kHudColour), 0);
    EXPECT_EQ(font->DrawTextA(nullptr, "abc", 0, &rect, DT_NOCLIP, kHudColour), 0);
    EXPECT_EQ(font->DrawTextA(nullptr, "a\nb\nc", -1, &rect, DT_NOCLIP, kHudColour), 42);
    EXPECT_EQ(font->DrawTextA(nullptr, "a\nb\nc", 3, &rect, DT_NOCLIP, kHudColour), 28);
    const std::string key = KeyLine();
    RECT measured = {20, 6, 0, 0};
    EXPECT_EQ(
        font->DrawTextA(nullptr, key.c_str(), -1, &measured, DT_NOCLIP | DT_CALCRECT, kHudColour),
        14);
    EXPECT_EQ(measured.left, 20);
    EXPECT_EQ(measured.top, 6);
    EXPECT_EQ(measured.bottom, 20);
    EXPECT_EQ(measured.right, 20 + 102 * 7); // 7 px a byte, as on a Japanese Windows
    // Measuring draws nothing.
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kClear, 1.0f, 0);
    font->DrawTextA(nullptr, key.c_str(), -1, &measured, DT_CALCRECT, kHudColour);
    EXPECT_EQ(InkBox(ReadBackBuffer()).right, 0);
    // The key line lies within what was measured.
    const RECT ink = InkBox(Draw(key, 20, 6));
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.right, measured.right + 1);
    EXPECT_LE(ink.bottom, 20);
}

// The HUD texts line their columns up by byte count: on the system Gothic's grid each line's
// ink ends where its bytes do, and kanji fill the 14 px line.
TEST_F(FontDrawTest, HudLinesInkTheGothicsGrid) {
    // The key line: 102 bytes from x 20, ending with "P".
    RECT ink = InkBox(Draw(KeyLine(), 20, 6));
    EXPECT_GE(ink.left, 20);
    EXPECT_GT(ink.right, 734 - 7);
    EXPECT_LE(ink.right, 734);
    // Help line 3: 46 bytes from x 50, ending with ')' inside its last cell.
    const std::string help = HelpText();
    const size_t start = help.find('\n', help.find('\n') + 1) + 1;
    const std::string line3 = help.substr(start, help.find('\n', start) - start);
    ASSERT_EQ(line3.size(), 46u);
    RECT measured = {50, 100, 0, 0};
    font->DrawTextA(nullptr, line3.c_str(), -1, &measured, DT_CALCRECT, kHudColour);
    EXPECT_EQ(measured.right, 372);
    ink = InkBox(Draw(line3, 50, 100));
    EXPECT_GT(ink.right, 372 - 7);
    EXPECT_LE(ink.right, 372);
    // A kanji stands 13 to 14 px tall within its line, a full-width one 14 px apart.
    ink = InkBox(Draw(Utf8ToCp932("動"), 300, 100));
    EXPECT_GE(ink.bottom - ink.top, 13);
    EXPECT_LE(ink.bottom - ink.top, 14);
    EXPECT_GE(ink.top, 100);
    EXPECT_LE(ink.bottom, 114);
    const RECT two = InkBox(Draw(Utf8ToCp932("動動"), 300, 100));
    EXPECT_EQ(two.right - ink.right, 14);
}

TEST_F(FontDrawTest, WithoutNoClipTheRectangleClips) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, kClear, 1.0f, 0);
    device->BeginScene();
    RECT empty = {20, 6, 20, 6};
    font->DrawTextA(nullptr, HelpText().c_str(), -1, &empty, 0, kHudColour);
    RECT half = {20, 100, 45, 107};
    font->DrawTextA(nullptr, Utf8ToCp932("■■■■").c_str(), -1, &half, 0, kHudColour);
    device->EndScene();
    const RECT ink = InkBox(ReadBackBuffer());
    EXPECT_GE(ink.left, 20);
    EXPECT_LE(ink.left, 22); // the square's side bearing
    EXPECT_GT(ink.top, 100); // the square starts below the cell's top
    EXPECT_EQ(ink.right, 45);
    EXPECT_EQ(ink.bottom, 107);
}

TEST_F(FontDrawTest, DrawingLeavesTheDeviceStateAsItWas) {
    // A state unlike the defaults, as a frame in the middle of drawing a scene could have.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * 28, 0, 0x144, D3DPOOL_MANAGED, &buffer, nullptr),
              D3D_OK);
    device->SetTexture(0, texture);
    device->SetStreamSource(0, buffer, 0, 28);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);

    struct Snapshot {
        std::vector<DWORD> values;
        IDirect3DBaseTexture9* texture = nullptr;
        IDirect3DVertexBuffer9* stream = nullptr;
        UINT offset = 0, stride = 0;
        DWORD fvf = 0;
        D3DMATRIX transforms[3];
    };
    const auto take = [&] {
        Snapshot s;
        for (DWORD rs :
             {7,  8,  9,   14,  15,  16,  19,  20,  22,  23,  24,  25,  26,  27,  28,  29,
              48, 52, 136, 137, 139, 141, 145, 152, 168, 171, 174, 194, 206, 207, 208, 209}) {
            DWORD v = 0;
            device->GetRenderState(D3DRENDERSTATETYPE(rs), &v);
            s.values.push_back(v);
        }
        for (DWORD stage : {0, 1})
            for (DWORD t : {1, 2, 3, 4, 5, 6, 11, 24, 26, 27, 28}) {
                DWORD v = 0;
                device->GetTextureStageState(stage, D3DTEXTURESTAGESTATETYPE(t), &v);
                s.values.push_back(v);
            }
        for (DWORD t = 1; t <= 11; ++t) {
            DWORD v = 0;
            device->GetSamplerState(0, D3DSAMPLERSTATETYPE(t), &v);
            s.values.push_back(v);
        }
        device->GetTexture(0, &s.texture);
        device->GetStreamSource(0, &s.stream, &s.offset, &s.stride);
        device->GetFVF(&s.fvf);
        device->GetTransform(D3DTS_WORLD, &s.transforms[0]);
        device->GetTransform(D3DTS_VIEW, &s.transforms[1]);
        device->GetTransform(D3DTS_PROJECTION, &s.transforms[2]);
        if (s.texture) s.texture->Release();
        if (s.stream) s.stream->Release();
        return s;
    };
    const Snapshot before = take();
    device->BeginScene();
    RECT rect = {20, 6, 0, 0};
    EXPECT_EQ(font->DrawTextA(nullptr, KeyLine().c_str(), -1, &rect, DT_NOCLIP | DT_EXPANDTABS,
                              kHudColour),
              14);
    device->EndScene();
    const Snapshot after = take();
    EXPECT_EQ(after.values, before.values);
    EXPECT_EQ(after.texture, static_cast<IDirect3DBaseTexture9*>(texture));
    EXPECT_EQ(after.stream, buffer);
    EXPECT_EQ(after.offset, before.offset);
    EXPECT_EQ(after.stride, 28u);
    EXPECT_EQ(after.fvf, DWORD(D3DFVF_XYZ | D3DFVF_NORMAL));
    EXPECT_EQ(std::memcmp(after.transforms, before.transforms, sizeof before.transforms), 0);
    device->SetTexture(0, nullptr);
    device->SetStreamSource(0, nullptr, 0, 0);
    texture->Release();
    buffer->Release();
}

TEST_F(FontDrawTest, TheFontHoldsItsDeviceAndDescription) {
    IDirect3DDevice9* held = nullptr;
    ASSERT_EQ(font->GetDevice(&held), D3D_OK);
    EXPECT_EQ(held, device);
    held->Release();
    D3DXFONT_DESCA desc{};
    ASSERT_EQ(font->GetDescA(&desc), D3D_OK);
    EXPECT_EQ(desc.Height, 14);
    EXPECT_EQ(desc.CharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(font->OnLostDevice(), D3D_OK);
    EXPECT_EQ(font->OnResetDevice(), D3D_OK);
    ID3DXFont* same = nullptr;
    ASSERT_EQ(font->QueryInterface(IID_ID3DXFont, reinterpret_cast<void**>(&same)), D3D_OK);
    EXPECT_EQ(same, font);
    EXPECT_EQ(same->Release(), 1u);
}

// The heading and the key line as the project drew them once, kept as a reference image
// (tests/data/font/hud_reference.png; XOF_WRITE_FONT_REFERENCE=1 writes it anew).
TEST_F(FontDrawTest, TheHeadingAndKeyLineMatchTheReferenceImage) {
    const std::string text = Utf8ToCp932("使用キー\n") + KeyLine();
    Draw(text, 4, 4);
    const RECT area = {0, 0, 640, 40};
    const std::string reference = std::string(XOF_TEST_DATA_DIR) + "/font/hud_reference.png";
    IDirect3DSurface9* backBuffer = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    if (std::getenv("XOF_WRITE_FONT_REFERENCE")) {
        EXPECT_EQ(
            D3DXSaveSurfaceToFileA(reference.c_str(), D3DXIFF_PNG, backBuffer, nullptr, &area),
            D3D_OK);
    }
    const std::string drawnPath = ::testing::TempDir() + "hud_drawn.png";
    ASSERT_EQ(D3DXSaveSurfaceToFileA(drawnPath.c_str(), D3DXIFF_PNG, backBuffer, nullptr, &area),
              D3D_OK);
    // The same area as a BMP file, as the screenshot tool may write it.
    const std::string bmpPath = ::testing::TempDir() + "hud_drawn.bmp";
    ASSERT_EQ(D3DXSaveSurfaceToFileA(bmpPath.c_str(), D3DXIFF_BMP, backBuffer, nullptr, &area),
              D3D_OK);
    backBuffer->Release();
    SDL_Surface* bmp = SDL_LoadBMP(bmpPath.c_str());
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(bmp->w, 640);
    EXPECT_EQ(bmp->h, 40);
    SDL_FreeSurface(bmp);

    SDL_Surface* expected = IMG_Load(reference.c_str());
    SDL_Surface* drawn = IMG_Load(drawnPath.c_str());
    ASSERT_NE(expected, nullptr) << reference;
    ASSERT_NE(drawn, nullptr);
    SDL_Surface* a = SDL_ConvertSurfaceFormat(expected, SDL_PIXELFORMAT_RGB24, 0);
    SDL_Surface* b = SDL_ConvertSurfaceFormat(drawn, SDL_PIXELFORMAT_RGB24, 0);
    ASSERT_EQ(a->w, 640);
    ASSERT_EQ(a->h, 40);
    ASSERT_EQ(b->w, a->w);
    ASSERT_EQ(b->h, a->h);
    // Allow small differences in anti-aliasing between FreeType builds, not different text.
    int differing = 0;
    for (int y = 0; y < a->h; ++y) {
        const auto* ra = static_cast<const unsigned char*>(a->pixels) + y * a->pitch;
        const auto* rb = static_cast<const unsigned char*>(b->pixels) + y * b->pitch;
        for (int i = 0; i < a->w * 3; ++i)
            differing += std::abs(ra[i] - rb[i]) > 24 ? 1 : 0;
    }
    EXPECT_LT(differing, a->w * a->h * 3 / 200);
    SDL_FreeSurface(a);
    SDL_FreeSurface(b);
    SDL_FreeSurface(expected);
    SDL_FreeSurface(drawn);
}

} // namespace
