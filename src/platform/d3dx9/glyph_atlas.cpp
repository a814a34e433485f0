// Shelf-packed glyph textures, created with CreateTexture and filled through LockRect.
#include "d3dx9/glyph_atlas.h"

#include <cstring>

namespace d3dx9 {
namespace {

// Empty texels between glyphs, so linear sampling of one never reads its neighbour.
constexpr int kPadding = 1;

} // namespace

GlyphAtlas::~GlyphAtlas() {
    for (IDirect3DTexture9* page : pages_)
        page->Release();
}

bool GlyphAtlas::Place(int width, int height, int& page, int& x, int& y) {
    const int size = int(kPageSize);
    if (width + kPadding > size || height + kPadding > size) return false;
    if (!pages_.empty() && shelfX_ + width + kPadding > size) { // next shelf
        shelfY_ += shelfHeight_;
        shelfX_ = 0;
        shelfHeight_ = 0;
    }
    if (pages_.empty() || shelfY_ + height + kPadding > size) {
        IDirect3DTexture9* texture = nullptr;
        if (FAILED(device_->CreateTexture(kPageSize, kPageSize, 1, 0, D3DFMT_A8R8G8B8,
                                          D3DPOOL_MANAGED, &texture, nullptr)) ||
            !texture)
            return false;
        // Start transparent: the padding must read as nothing.
        D3DLOCKED_RECT locked{};
        if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
            texture->Release();
            return false;
        }
        for (UINT row = 0; row < kPageSize; ++row)
            std::memset(static_cast<unsigned char*>(locked.pBits) + ptrdiff_t(row) * locked.Pitch,
                        0, kPageSize * 4);
        texture->UnlockRect(0);
        pages_.push_back(texture);
        shelfX_ = shelfY_ = shelfHeight_ = 0;
    }
    page = int(pages_.size()) - 1;
    x = shelfX_ + kPadding;
    y = shelfY_ + kPadding;
    shelfX_ += width + kPadding;
    shelfHeight_ = std::max(shelfHeight_, height + kPadding);
    return true;
}

bool GlyphAtlas::Store(const GlyphBitmap& bitmap, AtlasGlyph& glyph) {
    if (!Place(bitmap.width, bitmap.height, glyph.page, glyph.x, glyph.y)) return false;
    IDirect3DTexture9* texture = pages_[size_t(glyph.page)];
    D3DLOCKED_RECT locked{};
    if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) return false;
    // White texels whose alpha is the coverage: the vertex colour tints them.
    for (int row = 0; row < bitmap.height; ++row) {
        auto* out = reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(locked.pBits) +
                                                ptrdiff_t(glyph.y + row) * locked.Pitch) +
                    glyph.x;
        const unsigned char* in = bitmap.coverage.data() + size_t(row) * bitmap.width;
        for (int col = 0; col < bitmap.width; ++col)
            out[col] = uint32_t(in[col]) << 24 | 0xFFFFFFu;
    }
    texture->UnlockRect(0);
    glyph.width = bitmap.width;
    glyph.height = bitmap.height;
    return true;
}

const AtlasGlyph* GlyphAtlas::Find(char32_t codePoint) {
    if (const auto found = glyphs_.find(codePoint); found != glyphs_.end()) return &found->second;
    GlyphBitmap bitmap;
    if (!face_.Render(codePoint, bitmap)) return nullptr;
    AtlasGlyph glyph;
    glyph.left = bitmap.left;
    glyph.top = bitmap.top;
    glyph.advance = bitmap.advance;
    if (bitmap.width > 0 && bitmap.height > 0 && !Store(bitmap, glyph)) return nullptr;
    return &glyphs_.emplace(codePoint, glyph).first->second;
}

} // namespace d3dx9
