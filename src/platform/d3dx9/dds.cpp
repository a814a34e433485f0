// DDS files: header, stored mip levels, DXT1/3/5 block decoding and masked RGB texels.
#include "d3dx9/image.h"

#include "d3dx9/image_cursor.h"

#include <algorithm>

namespace d3dx9 {
namespace {

constexpr uint32_t kDdsdMipMapCount = 0x20000;
constexpr uint32_t kDdpfAlphaPixels = 0x1;
constexpr uint32_t kDdpfFourCC = 0x4;
constexpr uint32_t kDdpfRgb = 0x40;
constexpr uint32_t kDdsCaps2CubeMap = 0x200;
constexpr uint32_t kDdsCaps2Volume = 0x200000;
constexpr size_t kHeaderBytes = 128; // "DDS " and the 124-byte header

struct DdsLayout {
    UINT width = 0, height = 0, levels = 1;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    uint32_t bitCount = 0;            // uncompressed formats
    uint32_t masks[4] = {0, 0, 0, 0}; // red, green, blue, alpha
};

bool IsDxt(D3DFORMAT f) {
    return f == D3DFMT_DXT1 || f == D3DFMT_DXT3 || f == D3DFMT_DXT5;
}

// The uncompressed formats we read, by their bit masks.
D3DFORMAT MaskedFormat(uint32_t bits, const uint32_t m[4]) {
    struct Known {
        D3DFORMAT format;
        uint32_t bits, r, g, b, a;
    };
    static const Known known[] = {
        {D3DFMT_A8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {D3DFMT_X8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0},
        {D3DFMT_R8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},
        {D3DFMT_R5G6B5, 16, 0xF800, 0x7E0, 0x1F, 0},
        {D3DFMT_X1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0},
        {D3DFMT_A1R5G5B5, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
        {D3DFMT_A4R4G4B4, 16, 0xF00, 0xF0, 0xF, 0xF000},
    };
    for (const Known& k : known) {
        if (k.bits == bits && k.r == m[0] && k.g == m[1] && k.b == m[2] && k.a == m[3])
            return k.format;
    }
    return D3DFMT_UNKNOWN;
}

HRESULT ReadLayout(const unsigned char* bytes, size_t size, DdsLayout& layout) {
    ImageCursor c(bytes, size);
    uint32_t headerSize = 0, flags = 0, height = 0, width = 0, mipCount = 0;
    uint32_t pfSize = 0, pfFlags = 0, fourCC = 0, bitCount = 0, caps2 = 0;
    uint32_t masks[4];
    if (!c.Skip(4) || !c.U32Le(headerSize) || headerSize != 124 || !c.U32Le(flags) ||
        !c.U32Le(height) || !c.U32Le(width) || !c.Skip(8) || !c.U32Le(mipCount) || !c.Skip(44) ||
        !c.U32Le(pfSize) || !c.U32Le(pfFlags) || !c.U32Le(fourCC) || !c.U32Le(bitCount) ||
        !c.U32Le(masks[0]) || !c.U32Le(masks[1]) || !c.U32Le(masks[2]) || !c.U32Le(masks[3]) ||
        !c.Skip(4) || !c.U32Le(caps2) || !c.Seek(kHeaderBytes))
        return D3DXERR_INVALIDDATA;
    if (pfSize != 32 || (caps2 & (kDdsCaps2CubeMap | kDdsCaps2Volume)) != 0)
        return D3DXERR_INVALIDDATA;
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide)
        return D3DXERR_INVALIDDATA;
    layout.width = width;
    layout.height = height;

    if (pfFlags & kDdpfFourCC) {
        // Compared as a number first: most FourCCs are no D3DFORMAT value at all.
        if (fourCC != uint32_t{D3DFMT_DXT1} && fourCC != uint32_t{D3DFMT_DXT3} &&
            fourCC != uint32_t{D3DFMT_DXT5})
            return D3DXERR_INVALIDDATA;
        layout.format = static_cast<D3DFORMAT>(fourCC);
    } else if (pfFlags & kDdpfRgb) {
        if (!(pfFlags & kDdpfAlphaPixels)) masks[3] = 0;
        layout.format = MaskedFormat(bitCount, masks);
        if (layout.format == D3DFMT_UNKNOWN) return D3DXERR_INVALIDDATA;
        layout.bitCount = bitCount;
        std::copy(masks, masks + 4, layout.masks);
    } else {
        return D3DXERR_INVALIDDATA;
    }

    UINT fullChain = 1;
    for (UINT w = width, h = height; w > 1 || h > 1;
         w = std::max(1u, w / 2), h = std::max(1u, h / 2))
        ++fullChain;
    layout.levels = (flags & kDdsdMipMapCount) && mipCount > 0 ? std::min(mipCount, fullChain) : 1;
    return D3D_OK;
}

UINT LevelSide(UINT side, UINT level) {
    return std::max(1u, side >> level);
}

// Bytes of one stored level; the sides are at most kMaxImageSide, so this cannot overflow.
uint64_t LevelBytes(const DdsLayout& layout, UINT width, UINT height) {
    if (IsDxt(layout.format)) {
        const uint64_t blocks = uint64_t((width + 3) / 4) * ((height + 3) / 4);
        return blocks * (layout.format == D3DFMT_DXT1 ? 8 : 16);
    }
    return uint64_t(width) * height * (layout.bitCount / 8);
}

uint8_t Expand(uint32_t value, uint32_t bits) {
    if (bits == 0) return 0;
    if (bits >= 8) return uint8_t(value >> (bits - 8));
    // Replicate the high bits into the low ones so the full-scale value maps to 255.
    uint32_t v = value << (8 - bits);
    for (uint32_t shift = bits; shift < 8; shift += bits)
        v |= v >> shift;
    return uint8_t(v);
}

uint32_t MaskedChannel(uint32_t texel, uint32_t mask) {
    if (mask == 0) return 0;
    const uint32_t shift = uint32_t(__builtin_ctz(mask));
    const uint32_t bits = uint32_t(__builtin_popcount(mask));
    return Expand((texel & mask) >> shift, bits);
}

void DecodeMasked(const DdsLayout& layout, const unsigned char* data, ArgbImage& level) {
    const uint32_t bytesPerTexel = layout.bitCount / 8;
    for (size_t i = 0; i < level.texels.size(); ++i) {
        uint32_t texel = 0;
        for (uint32_t b = 0; b < bytesPerTexel; ++b)
            texel |= uint32_t(data[i * bytesPerTexel + b]) << (8 * b);
        const uint32_t a = layout.masks[3] ? MaskedChannel(texel, layout.masks[3]) : 0xFF;
        level.texels[i] = (a << 24) | (MaskedChannel(texel, layout.masks[0]) << 16) |
                          (MaskedChannel(texel, layout.masks[1]) << 8) |
                          MaskedChannel(texel, layout.masks[2]);
    }
}

void DecodeDxtLevel(D3DFORMAT format, const unsigned char* data, ArgbImage& level) {
    const size_t blockBytes = format == D3DFMT_DXT1 ? 8 : 16;
    const UINT blocksWide = (level.width + 3) / 4, blocksHigh = (level.height + 3) / 4;
    uint32_t block[16];
    for (UINT by = 0; by < blocksHigh; ++by) {
        for (UINT bx = 0; bx < blocksWide; ++bx) {
            DecodeDxtBlock(format, data + (size_t(by) * blocksWide + bx) * blockBytes, block);
            for (UINT y = 0; y < 4 && by * 4 + y < level.height; ++y)
                for (UINT x = 0; x < 4 && bx * 4 + x < level.width; ++x)
                    level.texels[size_t(by * 4 + y) * level.width + bx * 4 + x] = block[y * 4 + x];
        }
    }
}

uint32_t Rgb565ToArgb(uint16_t c) {
    return 0xFF000000u | uint32_t(Expand(c >> 11, 5)) << 16 |
           uint32_t(Expand((c >> 5) & 0x3F, 6)) << 8 | Expand(c & 0x1F, 5);
}

// Per channel (2a + b) / 3 and (a + b) / 2, rounded.
uint32_t Mix(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb) {
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * wa + cb * wb + (wa + wb) / 2) / (wa + wb)) << shift;
    }
    return out;
}

} // namespace

void DecodeDxtBlock(D3DFORMAT format, const unsigned char* block, uint32_t out[16]) {
    const unsigned char* colourBlock = format == D3DFMT_DXT1 ? block : block + 8;
    const uint16_t c0 = uint16_t(colourBlock[0] | colourBlock[1] << 8);
    const uint16_t c1 = uint16_t(colourBlock[2] | colourBlock[3] << 8);
    uint32_t palette[4];
    palette[0] = Rgb565ToArgb(c0);
    palette[1] = Rgb565ToArgb(c1);
    // Only DXT1 has the three-colour mode with transparent black; DXT3/5 always use four colours.
    if (c0 > c1 || format != D3DFMT_DXT1) {
        palette[2] = Mix(palette[0], palette[1], 2, 1);
        palette[3] = Mix(palette[0], palette[1], 1, 2);
    } else {
        palette[2] = Mix(palette[0], palette[1], 1, 1);
        palette[3] = 0;
    }
    const uint32_t indices = uint32_t(colourBlock[4]) | uint32_t(colourBlock[5]) << 8 |
                             uint32_t(colourBlock[6]) << 16 | uint32_t(colourBlock[7]) << 24;
    for (int i = 0; i < 16; ++i)
        out[i] = palette[(indices >> (2 * i)) & 3];

    if (format == D3DFMT_DXT3) {
        for (int i = 0; i < 16; ++i) {
            const uint32_t a4 = (block[i / 2] >> ((i & 1) * 4)) & 0xF;
            out[i] = (out[i] & 0xFFFFFFu) | (a4 * 17) << 24;
        }
    } else if (format == D3DFMT_DXT5) {
        const uint32_t a0 = block[0], a1 = block[1];
        uint32_t alpha[8] = {a0, a1};
        if (a0 > a1) {
            for (uint32_t k = 1; k < 7; ++k)
                alpha[k + 1] = ((7 - k) * a0 + k * a1 + 3) / 7;
        } else {
            for (uint32_t k = 1; k < 5; ++k)
                alpha[k + 1] = ((5 - k) * a0 + k * a1 + 2) / 5;
            alpha[6] = 0;
            alpha[7] = 255;
        }
        uint64_t bits = 0;
        for (int b = 0; b < 6; ++b)
            bits |= uint64_t(block[2 + b]) << (8 * b);
        for (int i = 0; i < 16; ++i)
            out[i] = (out[i] & 0xFFFFFFu) | alpha[(bits >> (3 * i)) & 7] << 24;
    }
}

HRESULT ReadDdsInfo(const unsigned char* bytes, size_t size, D3DXIMAGE_INFO& info) {
    DdsLayout layout;
    if (const HRESULT hr = ReadLayout(bytes, size, layout); FAILED(hr)) return hr;
    // Level 0 must be in the file before anyone allocates for it.
    if (LevelBytes(layout, layout.width, layout.height) > size - kHeaderBytes)
        return D3DXERR_INVALIDDATA;
    info.Width = layout.width;
    info.Height = layout.height;
    info.Depth = 1;
    info.MipLevels = layout.levels;
    info.Format = layout.format;
    info.ResourceType = D3DRTYPE_TEXTURE;
    info.ImageFileFormat = D3DXIFF_DDS;
    return D3D_OK;
}

HRESULT DecodeDds(const unsigned char* bytes, size_t size, DecodedImage& image) {
    image = {};
    DdsLayout layout;
    if (const HRESULT hr = ReadLayout(bytes, size, layout); FAILED(hr)) return hr;
    ImageCursor c(bytes, size);
    c.Seek(kHeaderBytes);
    for (UINT i = 0; i < layout.levels; ++i) {
        ArgbImage level;
        level.width = LevelSide(layout.width, i);
        level.height = LevelSide(layout.height, i);
        const uint64_t levelBytes = LevelBytes(layout, level.width, level.height);
        if (levelBytes > c.Left()) return D3DXERR_INVALIDDATA;
        level.texels.resize(size_t(level.width) * level.height);
        if (IsDxt(layout.format))
            DecodeDxtLevel(layout.format, c.Here(), level);
        else
            DecodeMasked(layout, c.Here(), level);
        c.Skip(size_t(levelBytes));
        image.levels.push_back(std::move(level));
    }
    ReadDdsInfo(bytes, size, image.info);
    return D3D_OK;
}

} // namespace d3dx9
