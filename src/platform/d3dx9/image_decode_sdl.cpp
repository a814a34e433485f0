// The pixels of BMP, JPEG, PNG, TGA and PPM files, decoded by SDL_image.
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

} // namespace

HRESULT DecodePixels(D3DXIMAGE_FILEFORMAT type, const unsigned char* bytes, size_t size,
                     ArgbImage& level) {
    SDL_RWops* rw = SDL_RWFromConstMem(bytes, int(size));
    if (!rw) return E_OUTOFMEMORY;
    SDL_Surface* decoded = DecodeAs(type, rw);
    SDL_RWclose(rw);
    if (!decoded) return D3DXERR_INVALIDDATA;
    // ARGB8888 is the 32-bit word 0xAARRGGBB, the layout ArgbImage keeps. Plain pixels are
    // converted straight into the level; a palette or a colour key (which SDL turns into
    // alpha) goes through SDL's surface conversion.
    level.width = UINT(decoded->w);
    level.height = UINT(decoded->h);
    level.texels.resize(size_t(level.width) * level.height);
    const Uint32 decodedFormat = decoded->format->format;
    if (!SDL_ISPIXELFORMAT_INDEXED(decodedFormat) && !SDL_HasColorKey(decoded) &&
        SDL_ConvertPixels(decoded->w, decoded->h, decodedFormat, decoded->pixels, decoded->pitch,
                          SDL_PIXELFORMAT_ARGB8888, level.texels.data(), decoded->w * 4) == 0) {
        SDL_FreeSurface(decoded);
        return D3D_OK;
    }
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    if (!argb) return E_OUTOFMEMORY;
    for (UINT y = 0; y < level.height; ++y)
        std::memcpy(level.texels.data() + size_t(y) * level.width,
                    static_cast<const unsigned char*>(argb->pixels) + size_t(y) * argb->pitch,
                    size_t(level.width) * 4);
    SDL_FreeSurface(argb);
    return D3D_OK;
}

} // namespace d3dx9
