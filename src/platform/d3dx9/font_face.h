// The typeface behind an ID3DXFont: chosen with fontconfig as GDI would choose it for a
// D3DXFONT_DESCA, opened with FreeType and sized the way Windows sizes a font height. An unnamed
// SHIFTJIS_CHARSET face is the Japanese system Gothic: its metrics are that font's, drawn with the
// nearest installed face.
#pragma once

#include <d3dx9.h>

#include <memory>
#include <string>
#include <vector>

namespace d3dx9 {

// Text metrics in whole pixels, as GDI's TEXTMETRIC reports them.
struct FontMetrics {
    int height = 0; // tmHeight: ascent + descent, the line pitch
    int ascent = 0; // baseline below the line's top
    int descent = 0;
    int aveCharWidth = 0; // tmAveCharWidth
    // Nonzero for the Japanese system Gothic: every character advances by its CP932 byte count
    // times this, whatever the drawing face's own advances.
    int byteAdvance = 0;
};

// A rendered glyph: 8-bit coverage, `pitch` bytes per row.
struct GlyphBitmap {
    int width = 0, height = 0;
    int left = 0;    // from the pen position to the bitmap's left edge
    int top = 0;     // from the baseline up to the bitmap's top row
    int advance = 0; // pen advance in whole pixels
    std::vector<unsigned char> coverage;
};

class FontFace {
  public:
    // Null when no installed font can serve the description.
    static std::unique_ptr<FontFace> Open(const D3DXFONT_DESCA& desc);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    const FontMetrics& Metrics() const { return metrics_; }
    const std::string& FamilyName() const { return family_; }
    const std::string& FilePath() const { return path_; }
    // Whether the face has a glyph of its own for the code point (not the missing-glyph box).
    bool HasGlyph(char32_t codePoint) const;
    // Renders the code point's glyph, anti-aliased; false if FreeType cannot.
    bool Render(char32_t codePoint, GlyphBitmap& glyph) const;

  private:
    FontFace() = default;
    struct FreeType;
    std::unique_ptr<FreeType> ft_;
    FontMetrics metrics_;
    std::string family_;
    std::string path_;
};

} // namespace d3dx9
