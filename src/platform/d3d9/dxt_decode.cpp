// S3TC block decoding: the colour block shared by DXT1/3/5 and the two alpha encodings.
#include "dxt_decode.h"

#include <cstring>

namespace d3d9 {

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

Rgba Expand565(uint16_t c) {
    const uint8_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return Rgba{uint8_t((r << 3) | (r >> 2)), uint8_t((g << 2) | (g >> 4)),
                uint8_t((b << 3) | (b >> 2)), 255};
}

uint16_t Read16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

// The four colours of a colour block; DXT1's three-colour mode when c0 <= c1 and allowed.
void ColorPalette(const uint8_t* block, bool allowThreeColor, Rgba palette[4]) {
    const uint16_t c0 = Read16(block), c1 = Read16(block + 2);
    palette[0] = Expand565(c0);
    palette[1] = Expand565(c1);
    const Rgba& a = palette[0];
    const Rgba& b = palette[1];
    if (c0 > c1 || !allowThreeColor) {
        palette[2] = Rgba{uint8_t((2 * a.r + b.r) / 3), uint8_t((2 * a.g + b.g) / 3),
                          uint8_t((2 * a.b + b.b) / 3), 255};
        palette[3] = Rgba{uint8_t((a.r + 2 * b.r) / 3), uint8_t((a.g + 2 * b.g) / 3),
                          uint8_t((a.b + 2 * b.b) / 3), 255};
    } else {
        palette[2] =
            Rgba{uint8_t((a.r + b.r) / 2), uint8_t((a.g + b.g) / 2), uint8_t((a.b + b.b) / 2), 255};
        palette[3] = Rgba{0, 0, 0, 0};
    }
}

void DecodeColorBlock(const uint8_t* block, bool allowThreeColor, Rgba out[16]) {
    Rgba palette[4];
    ColorPalette(block, allowThreeColor, palette);
    const uint32_t indices = uint32_t(block[4]) | (uint32_t(block[5]) << 8) |
                             (uint32_t(block[6]) << 16) | (uint32_t(block[7]) << 24);
    for (int i = 0; i < 16; ++i)
        out[i] = palette[(indices >> (2 * i)) & 3];
}

void DecodeExplicitAlpha(const uint8_t* block, Rgba out[16]) {
    for (int i = 0; i < 16; ++i) {
        const uint8_t nibble = (block[i / 2] >> ((i & 1) * 4)) & 15;
        out[i].a = uint8_t(nibble * 17);
    }
}

void DecodeInterpolatedAlpha(const uint8_t* block, Rgba out[16]) {
    const int a0 = block[0], a1 = block[1];
    int alpha[8] = {a0, a1};
    if (a0 > a1) {
        for (int i = 2; i < 8; ++i)
            alpha[i] = ((8 - i) * a0 + (i - 1) * a1) / 7;
    } else {
        for (int i = 2; i < 6; ++i)
            alpha[i] = ((6 - i) * a0 + (i - 1) * a1) / 5;
        alpha[6] = 0;
        alpha[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i)
        bits |= uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i)
        out[i].a = uint8_t(alpha[(bits >> (3 * i)) & 7]);
}

} // namespace

void DecodeBlocks(BlockCompression kind, const uint8_t* blocks, UINT width, UINT height,
                  uint8_t* rgba) {
    const UINT blockBytes = kind == BlockCompression::Dxt1 ? 8 : 16;
    const UINT blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    for (UINT by = 0; by < blocksHigh; ++by) {
        for (UINT bx = 0; bx < blocksWide; ++bx) {
            const uint8_t* block = blocks + (size_t(by) * blocksWide + bx) * blockBytes;
            Rgba texels[16];
            if (kind == BlockCompression::Dxt1) {
                DecodeColorBlock(block, true, texels);
            } else {
                DecodeColorBlock(block + 8, false, texels);
                if (kind == BlockCompression::Dxt3)
                    DecodeExplicitAlpha(block, texels);
                else
                    DecodeInterpolatedAlpha(block, texels);
            }
            for (UINT y = 0; y < 4; ++y) {
                for (UINT x = 0; x < 4; ++x) {
                    const UINT px = bx * 4 + x, py = by * 4 + y;
                    if (px >= width || py >= height) continue;
                    memcpy(rgba + (size_t(py) * width + px) * 4, &texels[y * 4 + x], 4);
                }
            }
        }
    }
}

} // namespace d3d9
