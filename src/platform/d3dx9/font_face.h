// The typeface behind an ID3DXFont, chosen as GDI chooses one for a D3DXFONT_DESCA and sized as
// Windows sizes a font height, and its glyphs. One implementation per system: FreeType and
// fontconfig on Linux (font_face_freetype.cpp), where an unnamed SHIFTJIS_CHARSET face takes the
// Japanese system Gothic's metrics drawn with the nearest installed face; GDI itself on Windows
// (font_face_gdi.cpp).
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
    const std::string& FilePath() const { return path_; } // empty where the system hides it
    // Whether the face has a glyph of its own for the code point (not the missing-glyph box).
    bool HasGlyph(char32_t codePoint) const;
    // Renders the code point's glyph, anti-aliased; false if the rasteriser cannot.
    bool Render(char32_t codePoint, GlyphBitmap& glyph) const;

  private:
    FontFace() = default;
    struct System; // the rasteriser's own objects
    std::unique_ptr<System> system_;
    FontMetrics metrics_;
    std::string family_;
    std::string path_;
};

} // namespace d3dx9
