// Decoded images as D3DX's texture loader works on them, and the readers that produce them.
#pragma once

#include <d3dx9.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace d3dx9 {

// Texels as 0xAARRGGBB words, rows top to bottom, no padding.
struct ArgbImage {
    UINT width = 0;
    UINT height = 0;
    std::vector<uint32_t> texels;
};

// An image file decoded: what D3DXGetImageInfo reports, and level 0 with any mip levels the
// file stores (DDS only).
struct DecodedImage {
    D3DXIMAGE_INFO info{};
    std::vector<ArgbImage> levels;
};

// Larger images are refused before decoding: no Direct3D 9 texture is bigger, and a decoder must
// not be asked to allocate for a hostile header.
constexpr UINT kMaxImageSide = 16384;
constexpr uint64_t kMaxImagePixels = uint64_t(8192) * 8192;

// The file type, recognised by content as D3DX does; false when no known type matches.
bool DetectImageFileFormat(const unsigned char* bytes, size_t size, D3DXIMAGE_FILEFORMAT& type);

// Reads the header only: size, format and mip count, with the size checked against what the
// file's bytes could hold. D3DXERR_INVALIDDATA for unknown, truncated or implausible data.
HRESULT ReadImageInfo(const unsigned char* bytes, size_t size, D3DXIMAGE_INFO& info);

// Decodes the whole image (after ReadImageInfo's checks).
HRESULT DecodeImage(const unsigned char* bytes, size_t size, DecodedImage& image);

// The system's decoder for every type but DDS, one implementation per system (SDL_image on
// Linux, WIC on Windows): level 0 as decoded, alpha as the decoder left it.
HRESULT DecodePixels(D3DXIMAGE_FILEFORMAT type, const unsigned char* bytes, size_t size,
                     ArgbImage& level);

// Header and decoder for DDS files, our own reader.
HRESULT ReadDdsInfo(const unsigned char* bytes, size_t size, D3DXIMAGE_INFO& info);
HRESULT DecodeDds(const unsigned char* bytes, size_t size, DecodedImage& image);

// Decodes one 4 x 4 block of a DXT1, DXT3 or DXT5 texture into 16 ARGB texels, row by row.
void DecodeDxtBlock(D3DFORMAT format, const unsigned char* block, uint32_t out[16]);

} // namespace d3dx9
