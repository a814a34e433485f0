// DXT1, DXT3 and DXT5 blocks decoded to RGBA bytes, for a GL without S3TC.
#pragma once

#include "format_table.h"

#include <cstdint>

namespace d3d9 {

// Decodes a level of width x height texels stored as 4 x 4 blocks into rgba (4 bytes a texel,
// rows of width texels, top row first).
void DecodeBlocks(BlockCompression kind, const uint8_t* blocks, UINT width, UINT height,
                  uint8_t* rgba);

} // namespace d3d9
