// The pixels of BMP, JPEG and PNG files decoded by WIC, which every Windows has; TGA and PPM,
// which WIC does not read, by stb_image.
#include "d3dx9/image.h"
#include "d3dx9/wic_session.h"

#include <cstring>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_NO_STDIO
#define STBI_ONLY_TGA
#define STBI_ONLY_PNM
#define STBI_MAX_DIMENSIONS 16384
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace d3dx9 {
namespace {

// The WIC decoder of the type our own detection found, and no other.
const GUID* ContainerOf(D3DXIMAGE_FILEFORMAT type) {
    switch (type) {
    case D3DXIFF_BMP:
        return &GUID_ContainerFormatBmp;
    case D3DXIFF_JPG:
        return &GUID_ContainerFormatJpeg;
    case D3DXIFF_PNG:
        return &GUID_ContainerFormatPng;
    default:
        return nullptr;
    }
}

// 32-bit BGRA (and BGR, whose fourth byte a 32-bit BMP keeps) in memory is the word 0xAARRGGBB.
HRESULT CopyArgb(IWICBitmapSource* source, ArgbImage& level) {
    UINT width = 0, height = 0;
    if (FAILED(source->GetSize(&width, &height))) return D3DXERR_INVALIDDATA;
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide ||
        uint64_t(width) * height > kMaxImagePixels)
        return D3DXERR_INVALIDDATA;
    level.width = width;
    level.height = height;
    level.texels.resize(size_t(width) * height);
    const UINT stride = width * 4;
    if (FAILED(source->CopyPixels(nullptr, stride, UINT(level.texels.size() * 4),
                                  reinterpret_cast<BYTE*>(level.texels.data()))))
        return D3DXERR_INVALIDDATA;
    return D3D_OK;
}

// A 32-bit BMP's fourth bytes as the file has them, read as opaque when they are all zero (the
// usual "unused" byte), as SDL_image reads them on Linux.
HRESULT CopyBmp32(IWICBitmapSource* source, ArgbImage& level) {
    if (const HRESULT hr = CopyArgb(source, level); FAILED(hr)) return hr;
    bool anyAlpha = false;
    for (uint32_t texel : level.texels)
        anyAlpha |= (texel >> 24) != 0;
    if (!anyAlpha)
        for (uint32_t& texel : level.texels)
            texel |= 0xFF000000u;
    return D3D_OK;
}

HRESULT DecodeWithWic(const GUID& container, const unsigned char* bytes, size_t size,
                      ArgbImage& level) {
    WicSession wic;
    IWICImagingFactory* factory = wic.Factory();
    if (!factory) return D3DXERR_INVALIDDATA;
    ComPointer<IWICStream> stream;
    ComPointer<IWICBitmapDecoder> decoder;
    ComPointer<IWICBitmapFrameDecode> frame;
    if (FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), DWORD(size))) ||
        FAILED(factory->CreateDecoder(container, nullptr, &decoder)) ||
        FAILED(decoder->Initialize(stream.p, WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, &frame)))
        return D3DXERR_INVALIDDATA;
    WICPixelFormatGUID format{};
    if (FAILED(frame->GetPixelFormat(&format))) return D3DXERR_INVALIDDATA;
    if (format == GUID_WICPixelFormat32bppBGRA) return CopyArgb(frame.p, level);
    if (format == GUID_WICPixelFormat32bppBGR) return CopyBmp32(frame.p, level);
    ComPointer<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom)))
        return D3DXERR_INVALIDDATA;
    return CopyArgb(converter.p, level);
}

HRESULT DecodeWithStb(const unsigned char* bytes, size_t size, ArgbImage& level) {
    int width = 0, height = 0, channels = 0;
    stbi_uc* rgba = stbi_load_from_memory(bytes, int(size), &width, &height, &channels, 4);
    if (!rgba) return D3DXERR_INVALIDDATA;
    level.width = UINT(width);
    level.height = UINT(height);
    level.texels.resize(size_t(width) * height);
    for (size_t i = 0; i < level.texels.size(); ++i) {
        const stbi_uc* p = rgba + 4 * i;
        level.texels[i] = uint32_t(p[3]) << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    }
    stbi_image_free(rgba);
    return D3D_OK;
}

} // namespace

HRESULT DecodePixels(D3DXIMAGE_FILEFORMAT type, const unsigned char* bytes, size_t size,
                     ArgbImage& level) {
    if (const GUID* container = ContainerOf(type))
        return DecodeWithWic(*container, bytes, size, level);
    if (type == D3DXIFF_TGA || type == D3DXIFF_PPM) return DecodeWithStb(bytes, size, level);
    return D3DXERR_INVALIDDATA;
}

} // namespace d3dx9
