// Texel packing for the uncompressed texture formats D3DX creates from image files.
#include "d3dx9/texture_texels.h"

#include <cstring>

namespace d3dx9 {
namespace {

uint32_t Reduce(uint32_t channel8, uint32_t bits) {
    const uint32_t max = (1u << bits) - 1;
    return (channel8 * max + 127) / 255;
}

uint32_t Luminance(uint32_t argb) {
    const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return (r * 2126 + g * 7152 + b * 722 + 5000) / 10000;
}

uint64_t PackTexel(D3DFORMAT format, uint32_t argb) {
    const uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (format) {
    case D3DFMT_A8R8G8B8:
        return argb;
    case D3DFMT_X8R8G8B8:
        return argb | 0xFF000000u;
    case D3DFMT_R8G8B8:
        return argb & 0xFFFFFFu;
    case D3DFMT_R5G6B5:
        return Reduce(r, 5) << 11 | Reduce(g, 6) << 5 | Reduce(b, 5);
    case D3DFMT_X1R5G5B5:
        return 0x8000u | Reduce(r, 5) << 10 | Reduce(g, 5) << 5 | Reduce(b, 5);
    case D3DFMT_A1R5G5B5:
        return (a >= 128 ? 0x8000u : 0u) | Reduce(r, 5) << 10 | Reduce(g, 5) << 5 | Reduce(b, 5);
    case D3DFMT_A4R4G4B4:
        return Reduce(a, 4) << 12 | Reduce(r, 4) << 8 | Reduce(g, 4) << 4 | Reduce(b, 4);
    case D3DFMT_X4R4G4B4:
        return 0xF000u | Reduce(r, 4) << 8 | Reduce(g, 4) << 4 | Reduce(b, 4);
    case D3DFMT_A8:
        return a;
    case D3DFMT_L8:
        return Luminance(argb);
    case D3DFMT_A8L8:
        return a << 8 | Luminance(argb);
    case D3DFMT_A16B16G16R16:
        return uint64_t(a * 257) << 48 | uint64_t(b * 257) << 32 | uint64_t(g * 257) << 16 |
               uint64_t(r * 257);
    default:
        return 0;
    }
}

} // namespace

UINT WritableTexelBytes(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return 4;
    case D3DFMT_R8G8B8:
        return 3;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8:
        return 2;
    case D3DFMT_A8:
    case D3DFMT_L8:
        return 1;
    case D3DFMT_A16B16G16R16:
        return 8;
    default:
        return 0;
    }
}

bool FormatHasAlphaChannel(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8:
    case D3DFMT_A8L8:
    case D3DFMT_A16B16G16R16:
    case D3DFMT_DXT1:
    case D3DFMT_DXT3:
    case D3DFMT_DXT5:
        return true;
    default:
        return false;
    }
}

void WriteTexels(D3DFORMAT format, const ArgbImage& image, void* bits, INT pitch) {
    // The 32-bit ARGB formats hold the texels as they are: whole rows at a time.
    if (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) {
        const uint32_t alpha = format == D3DFMT_X8R8G8B8 ? 0xFF000000u : 0u;
        for (UINT y = 0; y < image.height; ++y) {
            auto* row = static_cast<unsigned char*>(bits) + ptrdiff_t(y) * pitch;
            const uint32_t* in = image.texels.data() + size_t(y) * image.width;
            for (UINT x = 0; x < image.width; ++x) {
                const uint32_t texel = in[x] | alpha;
                memcpy(row + size_t(x) * 4, &texel, 4); // little-endian: B, G, R, A
            }
        }
        return;
    }
    const UINT bytes = WritableTexelBytes(format);
    for (UINT y = 0; y < image.height; ++y) {
        auto* row = static_cast<unsigned char*>(bits) + ptrdiff_t(y) * pitch;
        for (UINT x = 0; x < image.width; ++x) {
            const uint64_t packed = PackTexel(format, image.texels[size_t(y) * image.width + x]);
            // Little-endian memory order, as Direct3D lays texels out.
            for (UINT i = 0; i < bytes; ++i)
                row[size_t(x) * bytes + i] = uint8_t(packed >> (8 * i));
        }
    }
}

} // namespace d3dx9
