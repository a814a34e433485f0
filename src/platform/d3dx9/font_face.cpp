// Font selection with fontconfig and glyph rendering with FreeType, sized as GDI sizes fonts.
#include "d3dx9/font_face.h"

#include "win32/cp932.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstring>

namespace d3dx9 {

struct FontFace::FreeType {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeType() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

namespace {

// The face fontconfig finds for the description: the named family when it is installed,
// otherwise a sans-serif covering the character set's language (Japanese for SHIFTJIS_CHARSET).
bool MatchFontFile(const D3DXFONT_DESCA& desc, std::string& path, int& index, std::string& family) {
    if (!FcInit()) return false;
    std::string faceName;
    const size_t nameLength = strnlen(desc.FaceName, LF_FACESIZE);
    if (nameLength > 0 && !win32::Cp932ToUtf8(std::string_view(desc.FaceName, nameLength), faceName,
                                              win32::InvalidCp932::Refuse))
        faceName.clear();

    FcPattern* pattern = FcPatternCreate();
    if (!faceName.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName.c_str()));
    // GDI's FIXED_PITCH (1) in the low bits of PitchAndFamily asks for a monospaced face. So does
    // an unnamed Japanese face at DEFAULT_PITCH: a Japanese system's default Gothic draws Latin
    // letters half a kanji wide, and texts written for it line columns up by byte count.
    const int pitch = desc.PitchAndFamily & 0x3;
    const bool fixedPitch =
        pitch == 1 || (pitch == 0 && faceName.empty() && desc.CharSet == SHIFTJIS_CHARSET);
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(fixedPitch ? "monospace" : "sans-serif"));
    if (fixedPitch) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    if (desc.CharSet == SHIFTJIS_CHARSET)
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    const int weight = desc.Weight == FW_DONTCARE ? FW_NORMAL : int(desc.Weight);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, desc.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    FcChar8* familyName = nullptr;
    int faceIndex = 0;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    if (found) {
        path = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &faceIndex) != FcResultMatch) faceIndex = 0;
        index = faceIndex;
        if (FcPatternGetString(match, FC_FAMILY, 0, &familyName) == FcResultMatch)
            family = reinterpret_cast<const char*>(familyName);
    }
    FcPatternDestroy(match);
    return found;
}

} // namespace

FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const D3DXFONT_DESCA& desc) {
    std::unique_ptr<FontFace> font(new FontFace);
    int index = 0;
    if (!MatchFontFile(desc, font->path_, index, font->family_)) return nullptr;
    font->ft_ = std::make_unique<FreeType>();
    if (FT_Init_FreeType(&font->ft_->library) != 0) return nullptr;
    if (FT_New_Face(font->ft_->library, font->path_.c_str(), index, &font->ft_->face) != 0)
        return nullptr;
    FT_Face face = font->ft_->face;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return nullptr;

    // GDI's cell is usWinAscent + usWinDescent; a positive height is that cell, a negative one
    // the em.
    double cellAscent = face->ascender, cellDescent = -face->descender;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        cellAscent = os2->usWinAscent;
        cellDescent = os2->usWinDescent;
    }
    const double cellUnits = cellAscent + cellDescent;
    if (cellUnits <= 0) return nullptr;
    const int requested = desc.Height == 0 ? 12 : desc.Height; // GDI's default for 0
    double emPixels, cellPixels;
    if (requested > 0) {
        cellPixels = requested;
        emPixels = requested * face->units_per_EM / cellUnits;
    } else {
        emPixels = -double(requested);
        cellPixels = std::round(emPixels * cellUnits / face->units_per_EM);
    }
    if (emPixels < 1 || emPixels > 1024) return nullptr;
    const FT_F26Dot6 emSize = FT_F26Dot6(std::lround(emPixels * 64));
    const FT_UInt widthPixels = desc.Width ? FT_UInt(desc.Width) : 0;
    if (FT_Set_Char_Size(face, widthPixels ? FT_F26Dot6(widthPixels) * 64 : 0, emSize, 72, 72) != 0)
        return nullptr;

    FontMetrics& m = font->metrics_;
    m.height = int(cellPixels);
    m.ascent = int(std::lround(cellAscent * emPixels / face->units_per_EM));
    m.descent = m.height - m.ascent;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->xAvgCharWidth > 0)
        m.aveCharWidth = int(std::lround(os2->xAvgCharWidth * emPixels / face->units_per_EM));
    else
        m.aveCharWidth = int(std::lround(emPixels / 2));
    return font;
}

bool FontFace::HasGlyph(char32_t codePoint) const {
    return FT_Get_Char_Index(ft_->face, FT_ULong(codePoint)) != 0;
}

bool FontFace::Render(char32_t codePoint, GlyphBitmap& glyph) const {
    FT_Face face = ft_->face;
    const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(codePoint));
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) != 0) return false;
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return false;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows > 0) return false;
    glyph.width = int(bitmap.width);
    glyph.height = int(bitmap.rows);
    glyph.left = face->glyph->bitmap_left;
    glyph.top = face->glyph->bitmap_top;
    glyph.advance = int((face->glyph->advance.x + 32) >> 6);
    glyph.coverage.assign(size_t(glyph.width) * glyph.height, 0);
    for (int y = 0; y < glyph.height; ++y) {
        const unsigned char* row = bitmap.buffer + ptrdiff_t(y) * bitmap.pitch;
        std::memcpy(glyph.coverage.data() + size_t(y) * glyph.width, row, size_t(glyph.width));
    }
    return true;
}

} // namespace d3dx9
