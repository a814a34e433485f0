// Font selection with fontconfig and glyph rendering with FreeType, sized as GDI sizes fonts.
#include "d3dx9/font_face.h"
#include "d3dx9/font_config.h"

#include "win32/cp932.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace d3dx9 {

struct FontFace::System {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~System() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

namespace {

struct FontFile {
    std::string path;
    int index = 0;
    std::string family;
};

// The Japanese system Gothic's design: an em of 256 units split 220 above the baseline and 36
// below, with no internal leading, so its cell is its em.
constexpr double kGothicAscentPerEm = 220.0 / 256.0;

// Faces that draw the system Gothic, nearest first. IPAGothic is, like it, a monospaced Gothic
// with half-width Latin; Noto Sans Mono CJK JP has the same advances in em units. Both are sized
// by em so that they fill the Gothic's cell.
const char* const kSystemGothicFaces[] = {"IPAGothic", "Noto Sans Mono CJK JP"};

bool IsSystemGothic(const D3DXFONT_DESCA& desc, const std::string& faceName) {
    return faceName.empty() && desc.CharSet == SHIFTJIS_CHARSET;
}

void AddStyle(FcPattern* pattern, const D3DXFONT_DESCA& desc) {
    const int weight = desc.Weight == FW_DONTCARE ? FW_NORMAL : int(desc.Weight);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, desc.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
}

bool HasFamily(FcPattern* match, const char* family) {
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        if (FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family)) == 0) return true;
    return false;
}

// fontconfig's best match for the pattern (which it takes); when `requiredFamily` is given, only
// a face of that family counts.
bool MatchPattern(FcPattern* pattern, const char* requiredFamily, FontFile& file) {
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    FcChar8* family = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch &&
                 (!requiredFamily || HasFamily(match, requiredFamily));
    if (found) {
        file.path = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &file.index) != FcResultMatch) file.index = 0;
        if (requiredFamily)
            file.family = requiredFamily;
        else if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch)
            file.family = reinterpret_cast<const char*>(family);
    }
    FcPatternDestroy(match);
    return found;
}

// The first installed face of the system Gothic's list.
bool MatchSystemGothic(const D3DXFONT_DESCA& desc, FontFile& file) {
    for (const char* family : kSystemGothicFaces) {
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
        AddStyle(pattern, desc);
        if (MatchPattern(pattern, family, file)) return true;
    }
    return false;
}

// The face fontconfig finds for the description: the named family when it is installed,
// otherwise a sans-serif covering the character set's language (Japanese for SHIFTJIS_CHARSET).
bool MatchFontFile(const D3DXFONT_DESCA& desc, const std::string& faceName, FontFile& file) {
    FcPattern* pattern = FcPatternCreate();
    if (!faceName.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName.c_str()));
    // GDI's FIXED_PITCH (1) in the low bits of PitchAndFamily asks for a monospaced face. So does
    // an unnamed Japanese face: a Japanese system's default Gothic draws Latin letters half a
    // kanji wide, and texts written for it line columns up by byte count.
    const int pitch = desc.PitchAndFamily & 0x3;
    const bool fixedPitch = pitch == 1 || IsSystemGothic(desc, faceName);
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(fixedPitch ? "monospace" : "sans-serif"));
    if (fixedPitch) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    if (desc.CharSet == SHIFTJIS_CHARSET)
        FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    AddStyle(pattern, desc);
    return MatchPattern(pattern, nullptr, file);
}

// Sizes the face for GDI's height: a positive height is the cell (usWinAscent + usWinDescent), a
// negative one the em.
bool SizeAsGdi(FT_Face face, const D3DXFONT_DESCA& desc, FontMetrics& m) {
    double cellAscent = face->ascender, cellDescent = -face->descender;
    if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        cellAscent = os2->usWinAscent;
        cellDescent = os2->usWinDescent;
    }
    const double cellUnits = cellAscent + cellDescent;
    if (cellUnits <= 0) return false;
    const int requested = desc.Height == 0 ? 12 : desc.Height; // GDI's default for 0
    double emPixels, cellPixels;
    if (requested > 0) {
        cellPixels = requested;
        emPixels = requested * face->units_per_EM / cellUnits;
    } else {
        emPixels = -double(requested);
        cellPixels = std::round(emPixels * cellUnits / face->units_per_EM);
    }
    if (emPixels < 1 || emPixels > 1024) return false;
    const FT_F26Dot6 emSize = FT_F26Dot6(std::lround(emPixels * 64));
    const FT_F26Dot6 width = FT_F26Dot6(desc.Width) * 64;
    if (FT_Set_Char_Size(face, width, emSize, 72, 72) != 0) return false;

    m.height = int(cellPixels);
    m.ascent = int(std::lround(cellAscent * emPixels / face->units_per_EM));
    m.descent = m.height - m.ascent;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->xAvgCharWidth > 0)
        m.aveCharWidth = int(std::lround(os2->xAvgCharWidth * emPixels / face->units_per_EM));
    else
        m.aveCharWidth = int(std::lround(emPixels / 2));
    return true;
}

// Sizes the face as the system Gothic at the description's height: its cell is its em, either
// sign of the height gives that em, and a byte of text advances half of it, rounded up (7 px at
// 14, as Windows measures it).
bool SizeAsSystemGothic(FT_Face face, const D3DXFONT_DESCA& desc, FontMetrics& m) {
    const int em = desc.Height == 0 ? 12 : std::abs(desc.Height);
    if (em < 1 || em > 1024) return false;
    const int byteAdvance = desc.Width ? int(desc.Width) : (em + 1) / 2;
    if (FT_Set_Char_Size(face, FT_F26Dot6(2 * byteAdvance) * 64, FT_F26Dot6(em) * 64, 72, 72) != 0)
        return false;
    m.height = em;
    m.ascent = int(std::lround(em * kGothicAscentPerEm));
    m.descent = em - m.ascent;
    m.aveCharWidth = byteAdvance;
    m.byteAdvance = byteAdvance;
    return true;
}

} // namespace

FontFace::~FontFace() = default;

std::unique_ptr<FontFace> FontFace::Open(const D3DXFONT_DESCA& desc) {
    if (!InitFontConfig()) return nullptr;
    std::string faceName;
    const size_t nameLength = strnlen(desc.FaceName, LF_FACESIZE);
    if (nameLength > 0 && !win32::Cp932ToUtf8(std::string_view(desc.FaceName, nameLength), faceName,
                                              win32::InvalidCp932::Refuse))
        faceName.clear();
    const bool systemGothic = IsSystemGothic(desc, faceName);
    FontFile file;
    if (!(systemGothic && MatchSystemGothic(desc, file)) && !MatchFontFile(desc, faceName, file))
        return nullptr;

    std::unique_ptr<FontFace> font(new FontFace);
    font->path_ = file.path;
    font->family_ = file.family;
    font->system_ = std::make_unique<System>();
    if (FT_Init_FreeType(&font->system_->library) != 0) return nullptr;
    if (FT_New_Face(font->system_->library, file.path.c_str(), file.index, &font->system_->face) !=
        0)
        return nullptr;
    FT_Face face = font->system_->face;
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return nullptr;
    const bool sized = systemGothic ? SizeAsSystemGothic(face, desc, font->metrics_)
                                    : SizeAsGdi(face, desc, font->metrics_);
    return sized ? std::move(font) : nullptr;
}

bool FontFace::HasGlyph(char32_t codePoint) const {
    return FT_Get_Char_Index(system_->face, FT_ULong(codePoint)) != 0;
}

bool FontFace::Render(char32_t codePoint, GlyphBitmap& glyph) const {
    FT_Face face = system_->face;
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
