// Image file headers: size and format of BMP, JPEG, PNG, TGA and PPM files, checked for
// plausibility before any decoder sees the data.
#include "d3dx9/image.h"

#include "d3dx9/image_cursor.h"

#include <array>
#include <cctype>

namespace d3dx9 {
namespace {

bool SizeIsPlausible(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

HRESULT Done(D3DXIMAGE_INFO& info, UINT width, UINT height, D3DFORMAT format,
             D3DXIMAGE_FILEFORMAT type) {
    if (!SizeIsPlausible(width, height)) return D3DXERR_INVALIDDATA;
    info.Width = width;
    info.Height = height;
    info.Depth = 1;
    info.MipLevels = 1;
    info.Format = format;
    info.ResourceType = D3DRTYPE_TEXTURE;
    info.ImageFileFormat = type;
    return D3D_OK;
}

uint32_t Crc32(const unsigned char* data, size_t size) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// Deflate cannot expand data by more than about 1032 to 1: a PNG whose pixel rows would need
// more than that is lying about its size.
constexpr uint64_t kDeflateMaxRatio = 1032;

HRESULT PngInfo(const unsigned char* bytes, size_t size, D3DXIMAGE_INFO& info) {
    ImageCursor c(bytes, size);
    uint32_t length = 0, type = 0, width = 0, height = 0;
    uint8_t depth = 0, colourType = 0;
    if (!c.Skip(8) || !c.U32Be(length) || !c.U32Be(type) || type != 0x49484452 /* IHDR */ ||
        length != 13 || !c.U32Be(width) || !c.U32Be(height) || !c.U8(depth) || !c.U8(colourType))
        return D3DXERR_INVALIDDATA;
    if (!SizeIsPlausible(width, height)) return D3DXERR_INVALIDDATA;
    const uint64_t channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const uint64_t rowBytes = (uint64_t(width) * channels * depth + 7) / 8 + 1;
    if (rowBytes * height > uint64_t(size) * kDeflateMaxRatio) return D3DXERR_INVALIDDATA;

    // The chunks must be whole, with good checksums, from IHDR through IDAT to IEND: the PNG
    // decoder is never handed a file it could read past the end of. A palette image with a tRNS
    // chunk carries alpha.
    bool transparency = false, imageData = false, end = false;
    if (!c.Seek(8)) return D3DXERR_INVALIDDATA;
    while (!end) {
        const size_t chunkStart = c.Position() + 4;
        if (!c.U32Be(length) || length > 0x7FFFFFFFu || !c.U32Be(type) || !c.Skip(length))
            return D3DXERR_INVALIDDATA;
        uint32_t storedCrc = 0;
        if (!c.U32Be(storedCrc) || Crc32(bytes + chunkStart, size_t(length) + 4) != storedCrc)
            return D3DXERR_INVALIDDATA;
        if (type == 0x74524E53 /* tRNS */) transparency = true;
        if (type == 0x49444154 /* IDAT */) imageData = true;
        end = type == 0x49454E44 /* IEND */;
    }
    if (!imageData) return D3DXERR_INVALIDDATA;
    D3DFORMAT format = D3DFMT_X8R8G8B8;
    switch (colourType) {
    case 0:
        format = depth == 16 ? D3DFMT_L16 : D3DFMT_L8;
        break;
    case 2:
        format = depth == 16 ? D3DFMT_A16B16G16R16 : D3DFMT_X8R8G8B8;
        break;
    case 3:
        format = transparency ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8;
        break;
    case 4:
        format = depth == 16 ? D3DFMT_A16B16G16R16 : D3DFMT_A8L8;
        break;
    case 6:
        format = depth == 16 ? D3DFMT_A16B16G16R16 : D3DFMT_A8R8G8B8;
        break;
    default:
        return D3DXERR_INVALIDDATA;
    }
    return Done(info, width, height, format, D3DXIFF_PNG);
}

HRESULT JpegInfo(const unsigned char* bytes, size_t size, D3DXIMAGE_INFO& info) {
    ImageCursor c(bytes, size);
    if (!c.Skip(2)) return D3DXERR_INVALIDDATA;
    for (;;) {
        uint8_t marker = 0;
        if (!c.U8(marker)) return D3DXERR_INVALIDDATA;
        if (marker != 0xFF) return D3DXERR_INVALIDDATA;
        while (marker == 0xFF)
            if (!c.U8(marker)) return D3DXERR_INVALIDDATA;
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
        if (marker == 0xD9 || marker == 0xDA) return D3DXERR_INVALIDDATA; // no frame header
        uint16_t length = 0;
        if (!c.U16Be(length) || length < 2) return D3DXERR_INVALIDDATA;
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            uint8_t precision = 0, components = 0;
            uint16_t height = 0, width = 0;
            if (!c.U8(precision) || !c.U16Be(height) || !c.U16Be(width) || !c.U8(components))
                return D3DXERR_INVALIDDATA;
            if (components != 1 && components != 3 && components != 4) return D3DXERR_INVALIDDATA;
            return Done(info, width, height, components == 1 ? D3DFMT_L8 : D3DFMT_X8R8G8B8,
                        D3DXIFF_JPG);
        }
        if (!c.Skip(length - 2u)) return D3DXERR_INVALIDDATA;
    }
}

HRESULT BmpInfo(const unsigned char* bytes, size_t size, D3DXIMAGE_INFO& info) {
    ImageCursor c(bytes, size);
    uint32_t headerSize = 0;
    if (!c.Skip(14) || !c.U32Le(headerSize)) return D3DXERR_INVALIDDATA;
    int64_t width = 0, height = 0;
    uint16_t planes = 0, bitCount = 0;
    uint32_t compression = 0;
    if (headerSize == 12) {
        uint16_t w = 0, h = 0;
        if (!c.U16Le(w) || !c.U16Le(h) || !c.U16Le(planes) || !c.U16Le(bitCount))
            return D3DXERR_INVALIDDATA;
        width = w;
        height = h;
    } else if (headerSize >= 40) {
        uint32_t w = 0, h = 0;
        if (!c.U32Le(w) || !c.U32Le(h) || !c.U16Le(planes) || !c.U16Le(bitCount) ||
            !c.U32Le(compression))
            return D3DXERR_INVALIDDATA;
        width = int32_t(w);
        height = int32_t(h);
        if (height < 0) height = -height; // top-down rows
    } else {
        return D3DXERR_INVALIDDATA;
    }
    if (width <= 0 || height <= 0 || !SizeIsPlausible(uint64_t(width), uint64_t(height)))
        return D3DXERR_INVALIDDATA;
    // Uncompressed rows must all be in the file.
    if (compression == 0 || compression == 3) {
        const uint64_t rowBytes = ((uint64_t(width) * bitCount + 31) / 32) * 4;
        if (rowBytes * uint64_t(height) > size) return D3DXERR_INVALIDDATA;
    }
    D3DFORMAT format;
    switch (bitCount) {
    case 1:
    case 4:
    case 8:
        format = D3DFMT_P8;
        break;
    case 16:
        format = D3DFMT_X1R5G5B5;
        break;
    case 24:
        format = D3DFMT_R8G8B8;
        break;
    case 32:
        format = D3DFMT_X8R8G8B8;
        break; // A8R8G8B8 once a texel shows alpha
    default:
        return D3DXERR_INVALIDDATA;
    }
    return Done(info, UINT(width), UINT(height), format, D3DXIFF_BMP);
}

HRESULT TgaInfo(const unsigned char* bytes, size_t size, D3DXIMAGE_INFO& info) {
    ImageCursor c(bytes, size);
    uint8_t idLength = 0, colourMapType = 0, imageType = 0, depth = 0, descriptor = 0;
    uint16_t width = 0, height = 0;
    if (!c.U8(idLength) || !c.U8(colourMapType) || !c.U8(imageType) || !c.Skip(9) ||
        !c.U16Le(width) || !c.U16Le(height) || !c.U8(depth) || !c.U8(descriptor))
        return D3DXERR_INVALIDDATA;
    const bool rle = imageType >= 9;
    const uint64_t pixels = uint64_t(width) * height, pixelBytes = (depth + 7) / 8;
    if (!rle && pixels * pixelBytes > size) return D3DXERR_INVALIDDATA;
    // An RLE packet repeats one pixel at most 128 times: a packet per 128 pixels must fit.
    if (rle && (pixels + 127) / 128 * (1 + pixelBytes) > size) return D3DXERR_INVALIDDATA;
    D3DFORMAT format;
    if (imageType == 1 || imageType == 9)
        format = D3DFMT_P8;
    else if (imageType == 3 || imageType == 11)
        format = D3DFMT_L8;
    else if (depth == 32)
        format = D3DFMT_A8R8G8B8;
    else if (depth == 24)
        format = D3DFMT_R8G8B8;
    else
        format = (descriptor & 0x0F) ? D3DFMT_A1R5G5B5 : D3DFMT_X1R5G5B5;
    return Done(info, width, height, format, D3DXIFF_TGA);
}

// Reads one decimal header field of a PPM file, skipping white space and comments.
bool PpmNumber(ImageCursor& c, uint64_t& value) {
    uint8_t ch = 0;
    for (;;) {
        if (!c.U8(ch)) return false;
        if (ch == '#') {
            while (ch != '\n')
                if (!c.U8(ch)) return false;
        } else if (!std::isspace(ch)) {
            break;
        }
    }
    if (!std::isdigit(ch)) return false;
    value = 0;
    for (;;) {
        value = value * 10 + uint64_t(ch - '0');
        if (value > 0xFFFFFFFFull) return false;
        if (!c.U8(ch)) return true;
        if (!std::isdigit(ch)) return std::isspace(ch) != 0;
    }
}

HRESULT PpmInfo(const unsigned char* bytes, size_t size, D3DXIMAGE_INFO& info) {
    ImageCursor c(bytes, size);
    uint64_t width = 0, height = 0, maxValue = 0;
    if (!c.Skip(2) || !PpmNumber(c, width) || !PpmNumber(c, height) || !PpmNumber(c, maxValue))
        return D3DXERR_INVALIDDATA;
    if (maxValue == 0 || maxValue > 65535 || !SizeIsPlausible(width, height))
        return D3DXERR_INVALIDDATA;
    // Binary samples take one or two bytes each; text samples at least two ("0 ").
    const uint64_t sampleBytes = bytes[1] == '6' ? (maxValue > 255 ? 2 : 1) : 2;
    if (width * height * 3 * sampleBytes > uint64_t(c.Left()) + 1) return D3DXERR_INVALIDDATA;
    return Done(info, UINT(width), UINT(height), D3DFMT_X8R8G8B8, D3DXIFF_PPM);
}

} // namespace

HRESULT ReadImageInfo(const unsigned char* bytes, size_t size, D3DXIMAGE_INFO& info) {
    D3DXIMAGE_FILEFORMAT type;
    if (!DetectImageFileFormat(bytes, size, type)) return D3DXERR_INVALIDDATA;
    switch (type) {
    case D3DXIFF_PNG:
        return PngInfo(bytes, size, info);
    case D3DXIFF_JPG:
        return JpegInfo(bytes, size, info);
    case D3DXIFF_BMP:
        return BmpInfo(bytes, size, info);
    case D3DXIFF_TGA:
        return TgaInfo(bytes, size, info);
    case D3DXIFF_PPM:
        return PpmInfo(bytes, size, info);
    case D3DXIFF_DDS:
        return ReadDdsInfo(bytes, size, info);
    default:
        return D3DXERR_INVALIDDATA;
    }
}

} // namespace d3dx9
