// Font selection and glyph rendering by GDI itself: the font GDI maps the description to (an
// unnamed SHIFTJIS_CHARSET face is the system's Gothic), its TEXTMETRIC and GRAY8 outlines.
#include "d3dx9/font_face.h"

#include <windows.h>

#include <cstring>

namespace d3dx9 {

struct FontFace::System {
    HDC dc = nullptr;
    HFONT font = nullptr;
    HGDIOBJ previousFont = nullptr;
    ~System() {
        if (dc) {
            if (previousFont) SelectObject(dc, previousFont);
            DeleteDC(dc);
        }
        if (font) DeleteObject(font);
    }
};

namespace {

// The LOGFONT D3DX's own font creation passes to GDI for a description.
LOGFONTA LogFontOf(const D3DXFONT_DESCA& desc) {
    LOGFONTA font{};
    font.lfHeight = desc.Height;
    font.lfWidth = LONG(desc.Width);
    font.lfWeight = LONG(desc.Weight);
    font.lfItalic = desc.Italic ? TRUE : FALSE;
    font.lfCharSet = desc.CharSet;
    font.lfOutPrecision = desc.OutputPrecision;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = desc.Quality;
    font.lfPitchAndFamily = desc.PitchAndFamily;
    std::memcpy(font.lfFaceName, desc.FaceName, LF_FACESIZE);
    font.lfFaceName[LF_FACESIZE - 1] = '\0';
    return font;
}

// GRAY8 outlines have 65 levels of coverage (0..64).
unsigned char CoverageOfLevel(BYTE level) {
    return static_cast<unsigned char>((unsigned(level > 64 ? 64 : level) * 255 + 32) / 64);
}

} // namespace

FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const D3DXFONT_DESCA& desc) {
    std::unique_ptr<FontFace> face(new FontFace);
    face->system_ = std::make_unique<System>();
    System& gdi = *face->system_;
    const LOGFONTA logFont = LogFontOf(desc);
    gdi.font = CreateFontIndirectA(&logFont);
    gdi.dc = CreateCompatibleDC(nullptr);
    if (!gdi.font || !gdi.dc) return nullptr;
    gdi.previousFont = SelectObject(gdi.dc, gdi.font);

    TEXTMETRICA tm{};
    if (!GetTextMetricsA(gdi.dc, &tm)) return nullptr;
    face->metrics_.height = tm.tmHeight;
    face->metrics_.ascent = tm.tmAscent;
    face->metrics_.descent = tm.tmDescent;
    face->metrics_.aveCharWidth = tm.tmAveCharWidth;
    char name[LF_FACESIZE] = {};
    if (GetTextFaceA(gdi.dc, LF_FACESIZE, name) > 0) face->family_ = name;
    return face;
}

bool FontFace::HasGlyph(char32_t codePoint) const {
    if (codePoint > 0xFFFF) return false;
    const WCHAR character = WCHAR(codePoint);
    WORD index = 0xFFFF;
    return GetGlyphIndicesW(system_->dc, &character, 1, &index, GGI_MARK_NONEXISTING_GLYPHS) == 1 &&
           index != 0xFFFF;
}

bool FontFace::Render(char32_t codePoint, GlyphBitmap& glyph) const {
    if (codePoint > 0xFFFF) return false; // outside what GetGlyphOutlineW takes by character
    const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS gm{};
    const UINT character = UINT(codePoint);
    const DWORD size =
        GetGlyphOutlineW(system_->dc, character, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity);
    if (size == GDI_ERROR) return false;
    glyph.advance = gm.gmCellIncX;
    glyph.left = gm.gmptGlyphOrigin.x;
    glyph.top = gm.gmptGlyphOrigin.y;
    glyph.width = glyph.height = 0;
    glyph.coverage.clear();
    if (size == 0) return true; // a blank: an advance and nothing to draw

    std::vector<BYTE> levels(size);
    if (GetGlyphOutlineW(system_->dc, character, GGO_GRAY8_BITMAP, &gm, size, levels.data(),
                         &identity) == GDI_ERROR)
        return false;
    const int width = int(gm.gmBlackBoxX), height = int(gm.gmBlackBoxY);
    const size_t pitch = (size_t(width) + 3) & ~size_t(3); // rows are DWORD-aligned
    if (pitch * size_t(height) > levels.size()) return false;
    glyph.width = width;
    glyph.height = height;
    glyph.coverage.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            glyph.coverage[size_t(y) * width + x] = CoverageOfLevel(levels[y * pitch + x]);
    return true;
}

} // namespace d3dx9
