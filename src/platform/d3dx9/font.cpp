// ID3DXFont and D3DXCreateFontIndirectA: text decoded by the font's character set and drawn
// with the system's rasteriser through a glyph atlas, on any IDirect3DDevice9.
#include "d3dx9/font_face.h"
#include "d3dx9/glyph_atlas.h"
#include "d3dx9/sdk_interfaces.h"
#include "d3dx9/text_decode.h"
#include "d3dx9/text_draw.h"
#include "d3dx9/text_layout.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace d3dx9 {
namespace {

class Font final : public FontInterface {
  public:
    Font(IDirect3DDevice9* device, const D3DXFONT_DESCA& desc, std::unique_ptr<FontFace> face)
        : device_(device), desc_(desc), face_(std::move(face)),
          atlas_(std::make_unique<GlyphAtlas>(device, *face_)) {
        device_->AddRef();
    }
    ~Font() {
        atlas_.reset(); // its textures go before the device reference
        device_->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ID3DXFont) {
            AddRef();
            *object = static_cast<ID3DXFont*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE9* device) override {
        if (!device) return D3DERR_INVALIDCALL;
        device_->AddRef();
        *device = device_;
        return D3D_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDescA(D3DXFONT_DESCA* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = desc_;
        return D3D_OK;
    }
    // The atlas lives in the managed pool, which survives a device reset.
    HRESULT STDMETHODCALLTYPE OnLostDevice() override { return D3D_OK; }
    HRESULT STDMETHODCALLTYPE OnResetDevice() override { return D3D_OK; }

    INT STDMETHODCALLTYPE DrawTextA(LPD3DXSPRITE, LPCSTR string, INT count, LPRECT rect,
                                    DWORD format, D3DCOLOR colour) override;

  private:
    // A text laid out before: its glyph quads and DrawText's result, for the same bytes, format
    // and rectangle. The atlas only grows, so the quads' pages stay valid.
    struct LaidOut {
        std::string text;
        DWORD format;
        RECT rect;
        std::vector<GlyphQuad> quads;
        INT result;
    };
    const LaidOut& LayOut(std::string_view text, DWORD format, const RECT& box);

    static constexpr size_t kRememberedTexts = 16;
    std::vector<LaidOut> laidOut_;          // the most recently used last
    std::vector<IDirect3DTexture9*> pages_; // the atlas's pages; it only adds pages

    std::atomic<ULONG> references_{1};
    IDirect3DDevice9* device_;
    D3DXFONT_DESCA desc_;
    std::unique_ptr<FontFace> face_;
    std::unique_ptr<GlyphAtlas> atlas_;
};

// The part of a glyph's pixel rectangle inside `clip`, with its texel origin moved to match;
// false when nothing is left.
bool ClipQuad(GlyphQuad& q, const RECT& clip) {
    const int left = std::max(q.left, int(clip.left)), top = std::max(q.top, int(clip.top));
    const int right = std::min(q.left + q.width, int(clip.right));
    const int bottom = std::min(q.top + q.height, int(clip.bottom));
    if (right <= left || bottom <= top) return false;
    q.texelX += left - q.left;
    q.texelY += top - q.top;
    q.left = left;
    q.top = top;
    q.width = right - left;
    q.height = bottom - top;
    return true;
}

const Font::LaidOut& Font::LayOut(std::string_view string, DWORD format, const RECT& box) {
    for (size_t i = laidOut_.size(); i-- > 0;) {
        const LaidOut& l = laidOut_[i];
        if (l.format == format && l.text == string && l.rect.left == box.left &&
            l.rect.top == box.top && l.rect.right == box.right && l.rect.bottom == box.bottom) {
            if (i + 1 != laidOut_.size())
                std::rotate(laidOut_.begin() + ptrdiff_t(i), laidOut_.begin() + ptrdiff_t(i) + 1,
                            laidOut_.end());
            return laidOut_.back();
        }
    }
    // A text that changes every frame (a clock) replaces the least recently used one, whose
    // buffers it takes over, so drawing it allocates only for the layout itself.
    if (laidOut_.size() == kRememberedTexts)
        std::rotate(laidOut_.begin(), laidOut_.begin() + 1, laidOut_.end());
    else
        laidOut_.emplace_back();
    LaidOut& l = laidOut_.back();
    l.text.assign(string);
    l.format = format;
    l.rect = box;
    l.quads.clear();
    l.result = 0;

    const std::u32string text = DecodeText(string, desc_.CharSet);
    const FontMetrics& metrics = face_->Metrics();
    const auto advance = [&](char32_t c) {
        if (metrics.byteAdvance) return metrics.byteAdvance * EncodedByteCount(c, desc_.CharSet);
        const AtlasGlyph* glyph = atlas_->Find(c);
        return glyph ? glyph->advance : 0;
    };
    const TextLayout layout =
        LayOutText(text, format, box, metrics.height, 8 * metrics.aveCharWidth, advance);
    l.result = layout.topOffset + layout.height;
    if (format & DT_CALCRECT) {
        // The measured rectangle, kept in the quads' place: left, top, width, height.
        int left = box.left;
        if (format & DT_RIGHT)
            left = box.right - layout.width;
        else if (format & DT_CENTER)
            left += (box.right - box.left - layout.width) / 2;
        l.quads.push_back(
            {0, left, int(box.top) + layout.topOffset, layout.width, layout.height, 0, 0});
    } else {
        l.quads.reserve(layout.characters.size());
        for (const PlacedCharacter& placed : layout.characters) {
            const AtlasGlyph* glyph = atlas_->Find(placed.codePoint);
            if (!glyph || glyph->page < 0) continue;
            GlyphQuad quad{glyph->page,
                           placed.penX + glyph->left,
                           placed.lineTop + metrics.ascent - glyph->top,
                           glyph->width,
                           glyph->height,
                           glyph->x,
                           glyph->y};
            if (!(format & DT_NOCLIP) && !ClipQuad(quad, box)) continue;
            l.quads.push_back(quad);
        }
    }
    return l;
}

INT Font::DrawTextA(LPD3DXSPRITE, LPCSTR string, INT count, LPRECT rect, DWORD format,
                    D3DCOLOR colour) {
    if (!string || count == 0) return 0;
    const size_t length = count < 0 ? std::strlen(string) : size_t(count);
    const RECT box = rect ? *rect : RECT{0, 0, 0, 0};
    const LaidOut& l = LayOut(std::string_view(string, length), format, box);

    if (format & DT_CALCRECT) {
        if (rect) {
            const GlyphQuad& measured = l.quads.front();
            rect->left = measured.left;
            rect->right = measured.left + measured.width;
            rect->top = measured.top;
            rect->bottom = measured.top + measured.height;
        }
        return l.result;
    }

    for (size_t i = pages_.size(); i < atlas_->PageCount(); ++i)
        pages_.push_back(atlas_->Page(int(i)));
    if (FAILED(DrawGlyphQuads(device_, pages_, GlyphAtlas::kPageSize, l.quads, colour))) return 0;
    return l.result;
}

} // namespace
} // namespace d3dx9

HRESULT WINAPI D3DXCreateFontIndirectA(LPDIRECT3DDEVICE9 device, const D3DXFONT_DESCA* desc,
                                       LPD3DXFONT* font) {
    if (font) *font = nullptr;
    if (!device || !desc || !font) return D3DERR_INVALIDCALL;
    std::unique_ptr<d3dx9::FontFace> face = d3dx9::FontFace::Open(*desc);
    if (!face) return D3DXERR_INVALIDDATA;
    *font = new d3dx9::Font(device, *desc, std::move(face));
    return D3D_OK;
}
