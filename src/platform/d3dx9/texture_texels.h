// Conversion of ARGB texels into the memory layout of Direct3D texture formats.
#pragma once

#include "d3dx9/image.h"

namespace d3dx9 {

// Bytes per texel of the formats WriteTexels writes; 0 for any other format.
UINT WritableTexelBytes(D3DFORMAT format);

// Whether the format stores alpha.
bool FormatHasAlphaChannel(D3DFORMAT format);

// Writes `image` into locked texture memory of `format` (one of the writable ones), row by row
// at `pitch` bytes apart. Channels are rounded to the nearest value of fewer bits.
void WriteTexels(D3DFORMAT format, const ArgbImage& image, void* bits, INT pitch);

} // namespace d3dx9
