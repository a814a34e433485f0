// Image files written for D3DXSaveSurfaceToFileA, one implementation per system (libpng and SDL on
// Linux, WIC on Windows).
#pragma once

#include "d3dx9/image.h"

namespace d3dx9 {

// Writes `image` to the file a Windows (ANSI) name names, as a PNG (keeping alpha when `alpha`)
// or a 24-bit BMP. D3DERR_INVALIDCALL when the file cannot be written.
HRESULT WriteImageFile(const char* ansiName, D3DXIMAGE_FILEFORMAT format, const ArgbImage& image,
                       bool alpha);

} // namespace d3dx9
