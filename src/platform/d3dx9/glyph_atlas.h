// Glyph atlas textures: rendered glyphs packed into A8R8G8B8 textures on demand.
#pragma once

#include "d3dx9/font_face.h"

#include <d3d9.h>

#include <unordered_map>
#include <vector>

namespace d3dx9 {

// Where a glyph sits: texture `page`, texel rectangle (x, y, width, height), and how it is
// placed relative to the pen on the baseline.
struct AtlasGlyph {
    int page = -1; // -1: nothing to draw (a space), only the advance
    int x = 0, y = 0, width = 0, height = 0;
    int left = 0, top = 0, advance = 0;
};

class GlyphAtlas {
  public:
    static constexpr UINT kPageSize = 256;

    GlyphAtlas(IDirect3DDevice9* device, const FontFace& face) : device_(device), face_(face) {}
    ~GlyphAtlas();
    GlyphAtlas(const GlyphAtlas&) = delete;
    GlyphAtlas& operator=(const GlyphAtlas&) = delete;

    // The glyph of a code point, rendered and stored on first use; null when it cannot be made.
    const AtlasGlyph* Find(char32_t codePoint);
    IDirect3DTexture9* Page(int page) const { return pages_[size_t(page)]; }
    size_t PageCount() const { return pages_.size(); }

  private:
    bool Place(int width, int height, int& page, int& x, int& y);
    bool Store(const GlyphBitmap& bitmap, AtlasGlyph& glyph);

    IDirect3DDevice9* device_;
    const FontFace& face_;
    std::vector<IDirect3DTexture9*> pages_; // owned references
    std::unordered_map<char32_t, AtlasGlyph> glyphs_;
    int shelfX_ = 0, shelfY_ = 0, shelfHeight_ = 0; // packing position on the last page
};

} // namespace d3dx9
