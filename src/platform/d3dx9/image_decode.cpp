// DecodeImage: the header checked first, DDS by our own reader, every other type by the system's
// decoder (DecodePixels), then the alpha rules of the file's format.
#include "d3dx9/image.h"

namespace d3dx9 {
namespace {

// Formats whose texels carry no alpha: their alpha reads as 1 whatever the decoder left.
bool FormatHasAlpha(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8L8:
    case D3DFMT_A16B16G16R16:
        return true;
    default:
        return false;
    }
}

// A 32-bit BMP has alpha when its fourth bytes are not all zero (decoders read all-zero ones as
// opaque); every other format without alpha reads as opaque whatever the decoder left.
void ApplyAlphaRules(D3DXIMAGE_INFO& info, ArgbImage& level) {
    const bool bmp32 = info.ImageFileFormat == D3DXIFF_BMP && info.Format == D3DFMT_X8R8G8B8;
    const bool keepAlpha = FormatHasAlpha(info.Format) || bmp32;
    bool anyAlpha = false;
    for (uint32_t& texel : level.texels) {
        if (!keepAlpha) texel |= 0xFF000000u;
        anyAlpha |= (texel >> 24) != 0xFF;
    }
    if (bmp32 && anyAlpha) info.Format = D3DFMT_A8R8G8B8;
}

} // namespace

HRESULT DecodeImage(const unsigned char* bytes, size_t size, DecodedImage& image) {
    image = {};
    D3DXIMAGE_INFO info;
    if (const HRESULT hr = ReadImageInfo(bytes, size, info); FAILED(hr)) return hr;
    if (info.ImageFileFormat == D3DXIFF_DDS) return DecodeDds(bytes, size, image);
    if (size > size_t(INT32_MAX)) return D3DXERR_INVALIDDATA;

    ArgbImage level;
    if (const HRESULT hr = DecodePixels(info.ImageFileFormat, bytes, size, level); FAILED(hr))
        return hr;
    if (level.width != info.Width || level.height != info.Height ||
        level.texels.size() != size_t(level.width) * level.height)
        return D3DXERR_INVALIDDATA;
    ApplyAlphaRules(info, level);
    image.info = info;
    image.levels.push_back(std::move(level));
    return D3D_OK;
}

} // namespace d3dx9
