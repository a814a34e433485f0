// The tables of Direct3D 9 formats: texture, back buffer and depth formats with their GL forms.
#include "format_table.h"

#include <algorithm>
#include <iterator>

namespace d3d9 {

namespace {

// Formats without alpha (or without luminance) read the missing channel as 1, as Direct3D does.
#define SWIZZLE(r, g, b, a)                                                                        \
    { r, g, b, a }

const FormatInfo kTextureFormats[] = {
    {D3DFMT_A8R8G8B8, 4, BlockCompression::None, 0, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
     SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
    {D3DFMT_X8R8G8B8, 4, BlockCompression::None, 0, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
     SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ONE)},
    {D3DFMT_R5G6B5, 2, BlockCompression::None, 0, GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
     SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ONE)},
    {D3DFMT_X1R5G5B5, 2, BlockCompression::None, 0, GL_RGB5_A1, GL_BGRA,
     GL_UNSIGNED_SHORT_1_5_5_5_REV, SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ONE)},
    {D3DFMT_A1R5G5B5, 2, BlockCompression::None, 0, GL_RGB5_A1, GL_BGRA,
     GL_UNSIGNED_SHORT_1_5_5_5_REV, SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
    {D3DFMT_A4R4G4B4, 2, BlockCompression::None, 0, GL_RGBA4, GL_BGRA,
     GL_UNSIGNED_SHORT_4_4_4_4_REV, SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
    {D3DFMT_X4R4G4B4, 2, BlockCompression::None, 0, GL_RGBA4, GL_BGRA,
     GL_UNSIGNED_SHORT_4_4_4_4_REV, SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ONE)},
    {D3DFMT_L8, 1, BlockCompression::None, 0, GL_R8, GL_RED, GL_UNSIGNED_BYTE,
     SWIZZLE(GL_RED, GL_RED, GL_RED, GL_ONE)},
    // A8L8 is a 16-bit word with luminance in the low byte: in memory L, then A.
    {D3DFMT_A8L8, 2, BlockCompression::None, 0, GL_RG8, GL_RG, GL_UNSIGNED_BYTE,
     SWIZZLE(GL_RED, GL_RED, GL_RED, GL_GREEN)},
    // An alpha-only texture reads black in its colour channels.
    {D3DFMT_A8, 1, BlockCompression::None, 0, GL_R8, GL_RED, GL_UNSIGNED_BYTE,
     SWIZZLE(GL_ZERO, GL_ZERO, GL_ZERO, GL_RED)},
    {D3DFMT_DXT1, 0, BlockCompression::Dxt1, 8, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0,
     SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
    {D3DFMT_DXT3, 0, BlockCompression::Dxt3, 16, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0,
     SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
    {D3DFMT_DXT5, 0, BlockCompression::Dxt5, 16, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0,
     SWIZZLE(GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA)},
};

#undef SWIZZLE

const RenderTargetFormat kBackBufferFormats[] = {
    {D3DFMT_R5G6B5, 2, GL_RGB565, GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {5, 6, 5, 0}},
    {D3DFMT_X8R8G8B8, 4, GL_RGB8, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {8, 8, 8, 0}},
    {D3DFMT_A8R8G8B8, 4, GL_RGBA8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {8, 8, 8, 8}},
    {D3DFMT_X1R5G5B5, 2, GL_RGB5, GL_RGB8, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {5, 5, 5, 0}},
    {D3DFMT_A1R5G5B5,
     2,
     GL_RGB5_A1,
     GL_RGBA8,
     GL_BGRA,
     GL_UNSIGNED_SHORT_1_5_5_5_REV,
     {5, 5, 5, 1}},
};

const DepthFormat kDepthFormats[] = {
    {D3DFMT_D16, GL_DEPTH_COMPONENT16, false},
    {D3DFMT_D24X8, GL_DEPTH_COMPONENT24, false},
    {D3DFMT_D24S8, GL_DEPTH24_STENCIL8, true},
};

template <typename Entry, size_t N> const Entry* Find(const Entry (&table)[N], D3DFORMAT format) {
    auto it = std::find_if(std::begin(table), std::end(table),
                           [format](const Entry& e) { return e.format == format; });
    return it == std::end(table) ? nullptr : it;
}

} // namespace

const FormatInfo* TextureFormat(D3DFORMAT format) {
    return Find(kTextureFormats, format);
}

const RenderTargetFormat* BackBufferFormat(D3DFORMAT format) {
    return Find(kBackBufferFormats, format);
}

const DepthFormat* DepthStencilFormat(D3DFORMAT format) {
    return Find(kDepthFormats, format);
}

UINT RowPitch(const FormatInfo& info, UINT width) {
    if (info.blocks != BlockCompression::None)
        return std::max(1u, (width + 3) / 4) * info.blockBytes;
    return width * info.bytesPerPixel;
}

UINT LevelBytes(const FormatInfo& info, UINT width, UINT height) {
    UINT rows = info.blocks != BlockCompression::None ? std::max(1u, (height + 3) / 4) : height;
    return RowPitch(info, width) * rows;
}

} // namespace d3d9
