// Recognition of image file types by content, in D3DX's order of signatures.
#include "d3dx9/image.h"

#include <cstring>

namespace d3dx9 {
namespace {

bool StartsWith(const unsigned char* bytes, size_t size, const char* signature, size_t length) {
    return size >= length && std::memcmp(bytes, signature, length) == 0;
}

// A TGA file has no signature: its 18-byte header is only checked for sane values.
bool LooksLikeTga(const unsigned char* b, size_t size) {
    if (size < 18) return false;
    const unsigned colourMapType = b[1], imageType = b[2], depth = b[16];
    if (colourMapType > 1) return false;
    switch (imageType) {
    case 1:
    case 9:
        return colourMapType == 1 && depth == 8;
    case 2:
    case 10:
        return depth == 15 || depth == 16 || depth == 24 || depth == 32;
    case 3:
    case 11:
        return depth == 8;
    default:
        return false;
    }
}

} // namespace

bool DetectImageFileFormat(const unsigned char* bytes, size_t size, D3DXIMAGE_FILEFORMAT& type) {
    if (!bytes) return false;
    if (StartsWith(bytes, size, "BM", 2))
        type = D3DXIFF_BMP;
    else if (StartsWith(bytes, size, "\xFF\xD8", 2))
        type = D3DXIFF_JPG;
    else if (StartsWith(bytes, size, "\x89PNG\r\n\x1A\n", 8))
        type = D3DXIFF_PNG;
    else if (StartsWith(bytes, size, "DDS ", 4))
        type = D3DXIFF_DDS;
    else if (StartsWith(bytes, size, "P3", 2) || StartsWith(bytes, size, "P6", 2))
        type = D3DXIFF_PPM;
    else if (LooksLikeTga(bytes, size))
        type = D3DXIFF_TGA;
    else
        return false;
    return true;
}

} // namespace d3dx9
