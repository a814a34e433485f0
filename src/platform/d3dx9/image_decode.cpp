// Decoding of BMP, JPEG, PNG, TGA and PPM files through SDL_image into ARGB texels.
#include "d3dx9/image.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstring>

namespace d3dx9 {
namespace {

// The SDL_image decoder of the type our own detection found, and no other: left to itself,
// SDL_image takes a file for whatever type it first recognises anywhere in its opening bytes
// (a JPEG header followed by "<svg" went to its SVG parser, which leaks on bad input).
SDL_Surface* DecodeAs(D3DXIMAGE_FILEFORMAT type, SDL_RWops* rw) {
    switch (type) {
    case D3DXIFF_BMP:
        return IMG_LoadBMP_RW(rw);
    case D3DXIFF_JPG:
        return IMG_LoadJPG_RW(rw);
    case D3DXIFF_PNG:
        return IMG_LoadPNG_RW(rw);
    case D3DXIFF_TGA:
        return IMG_LoadTGA_RW(rw);
    case D3DXIFF_PPM:
        return IMG_LoadPNM_RW(rw);
    default:
        return nullptr;
    }
}

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

} // namespace

HRESULT DecodeImage(const unsigned char* bytes, size_t size, DecodedImage& image) {
    image = {};
    D3DXIMAGE_INFO info;
    if (const HRESULT hr = ReadImageInfo(bytes, size, info); FAILED(hr)) return hr;
    if (info.ImageFileFormat == D3DXIFF_DDS) return DecodeDds(bytes, size, image);
    if (size > size_t(INT32_MAX)) return D3DXERR_INVALIDDATA;

    SDL_RWops* rw = SDL_RWFromConstMem(bytes, int(size));
    if (!rw) return E_OUTOFMEMORY;
    SDL_Surface* decoded = DecodeAs(info.ImageFileFormat, rw);
    SDL_RWclose(rw);
    if (!decoded) return D3DXERR_INVALIDDATA;
    // ARGB8888 is the 32-bit word 0xAARRGGBB, the layout ArgbImage keeps.
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    if (!argb) return E_OUTOFMEMORY;
    if (UINT(argb->w) != info.Width || UINT(argb->h) != info.Height) {
        SDL_FreeSurface(argb);
        return D3DXERR_INVALIDDATA;
    }

    ArgbImage level;
    level.width = info.Width;
    level.height = info.Height;
    level.texels.resize(size_t(level.width) * level.height);
    // A 32-bit BMP has alpha when its fourth bytes are not all zero (SDL reads all-zero ones as
    // opaque); every other format without alpha reads as opaque whatever the decoder left.
    const bool bmp32 = info.ImageFileFormat == D3DXIFF_BMP && info.Format == D3DFMT_X8R8G8B8;
    const bool keepAlpha = FormatHasAlpha(info.Format) || bmp32;
    bool anyAlpha = false;
    for (UINT y = 0; y < level.height; ++y) {
        const auto* row = static_cast<const unsigned char*>(argb->pixels) + size_t(y) * argb->pitch;
        uint32_t* out = level.texels.data() + size_t(y) * level.width;
        std::memcpy(out, row, size_t(level.width) * 4);
        for (UINT x = 0; x < level.width; ++x) {
            if (!keepAlpha) out[x] |= 0xFF000000u;
            anyAlpha |= (out[x] >> 24) != 0xFF;
        }
    }
    SDL_FreeSurface(argb);
    if (bmp32 && anyAlpha) info.Format = D3DFMT_A8R8G8B8;
    image.info = info;
    image.levels.push_back(std::move(level));
    return D3D_OK;
}

} // namespace d3dx9
