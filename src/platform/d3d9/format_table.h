// Direct3D 9 surface formats: their memory layout and the OpenGL format each is stored in.
#pragma once

#include "gl_api.h"

#include <d3d9.h>

#include <cstdint>

namespace d3d9 {

enum class BlockCompression { None, Dxt1, Dxt3, Dxt5 };

struct FormatInfo {
    D3DFORMAT format;
    UINT bytesPerPixel;      // 0 for block-compressed formats
    BlockCompression blocks; // 4 x 4 blocks of blockBytes each when not None
    UINT blockBytes;
    GLenum internalFormat; // for compressed formats: the S3TC format
    GLenum pixelFormat;    // upload format and type of uncompressed data, as laid out in memory
    GLenum pixelType;
    GLint swizzle[4]; // what the sampler returns for r, g, b, a
};

// The texture format's description; null for a format textures cannot have.
const FormatInfo* TextureFormat(D3DFORMAT format);

// Bytes of one row of pixels (or of 4 x 4 blocks) and of a whole level of the given size.
UINT RowPitch(const FormatInfo& info, UINT width);
UINT LevelBytes(const FormatInfo& info, UINT width, UINT height);

// Back buffer (render target) formats and depth formats the device can create.
struct RenderTargetFormat {
    D3DFORMAT format;
    UINT bytesPerPixel;
    GLenum internalFormat;
    GLenum fallbackFormat; // where the exact format cannot be rendered to
    GLenum pixelFormat;    // read back in the D3D memory layout
    GLenum pixelType;
    uint8_t bits[4]; // red, green, blue, alpha bits; no alpha channel: 0

    bool HasAlpha() const { return bits[3] != 0; }
    // Channels of fewer than 8 bits: stored in a 16-bit target with Direct3D's rounding
    // emulated (see back_buffer.h).
    bool Narrow() const { return bits[0] < 8 || bits[1] < 8 || bits[2] < 8; }
};
const RenderTargetFormat* BackBufferFormat(D3DFORMAT format);

struct DepthFormat {
    D3DFORMAT format;
    GLenum internalFormat;
    bool hasStencil;
};
const DepthFormat* DepthStencilFormat(D3DFORMAT format);

} // namespace d3d9
