// Resampling of ARGB images with D3DX's filters, and mip levels made from their parents.
#pragma once

#include "d3dx9/image.h"

namespace d3dx9 {

// `filter`'s low byte is one of D3DX_FILTER_NONE, POINT, LINEAR, TRIANGLE or BOX; the higher
// bits (mirror, dither, sRGB) do not change the result here.
// NONE copies without scaling (cropped, the rest transparent black); POINT takes the nearest
// texel; LINEAR interpolates the four nearest; TRIANGLE weighs texels by a tent as wide as the
// scale (so a reduction averages every source texel it covers); BOX averages the source area
// under each texel.
ArgbImage Resample(const ArgbImage& source, UINT width, UINT height, DWORD filter);

// True when `filter` names one of the five filters and no unknown flag.
bool IsValidFilter(DWORD filter);

} // namespace d3dx9
