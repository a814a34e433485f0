// PNG files written with libpng and BMP files with SDL, named by CP932 Windows names.
#include "d3dx9/image_encode.h"
#include "d3dx9/path_resolve.h"

#include <SDL.h>
#include <png.h>
#include <sys/stat.h>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

namespace d3dx9 {
namespace {

// Rendered frames are flat colours and smooth shading: rows unfiltered at a fast deflate level
// come out within a few percent of libpng's defaults (every filter tried on every row, level 6)
// in a fifth of the time, which is most of a one-shot thumbnail's save.
constexpr int kPngDeflateLevel = 3;

// libpng reports errors by longjmp from here; the caller's setjmp turns that into false.
[[noreturn]] void PngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// Writes `rows` (packed RGB or RGBA bytes, `height` rows of `stride`) to `file`. No C++ object
// lives in this frame, so the longjmp of an error skips no destructor.
bool WritePngRows(FILE* file, UINT width, UINT height, bool alpha, const unsigned char* rows,
                  size_t stride) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, kPngDeflateLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (UINT y = 0; y < height; ++y)
        png_write_row(png, rows + y * stride);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// The texels as RGB or RGBA bytes, rows `stride` apart.
void PackRows(const ArgbImage& image, bool alpha, unsigned char* out, size_t stride) {
    const int channels = alpha ? 4 : 3;
    for (UINT y = 0; y < image.height; ++y, out += stride) {
        const uint32_t* in = image.texels.data() + size_t(y) * image.width;
        for (UINT x = 0; x < image.width; ++x) {
            unsigned char* pixel = out + size_t(x) * channels;
            pixel[0] = uint8_t(in[x] >> 16);
            pixel[1] = uint8_t(in[x] >> 8);
            pixel[2] = uint8_t(in[x]);
            if (alpha) pixel[3] = uint8_t(in[x] >> 24);
        }
    }
}

HRESULT WritePng(const std::string& path, const ArgbImage& image, bool alpha) {
    const size_t stride = size_t(image.width) * (alpha ? 4 : 3);
    std::vector<unsigned char> rows(stride * image.height);
    PackRows(image, alpha, rows.data(), stride);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return D3DERR_INVALIDCALL;
    const bool written = WritePngRows(file, image.width, image.height, alpha, rows.data(), stride);
    // A file cut short by a full disk is not left behind looking like an image (a device such
    // as /dev/full is not a file to remove).
    if (std::fclose(file) != 0 || !written) {
        struct stat status {};
        if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) std::remove(path.c_str());
        return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT WriteBmp(const std::string& path, const ArgbImage& image) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, int(image.width), int(image.height),
                                                          24, SDL_PIXELFORMAT_RGB24);
    if (!surface) return E_OUTOFMEMORY;
    PackRows(image, false, static_cast<unsigned char*>(surface->pixels), size_t(surface->pitch));
    const int written = SDL_SaveBMP(surface, path.c_str());
    SDL_FreeSurface(surface);
    return written == 0 ? D3D_OK : D3DERR_INVALIDCALL;
}

} // namespace

HRESULT WriteImageFile(const char* ansiName, D3DXIMAGE_FILEFORMAT format, const ArgbImage& image,
                       bool alpha) {
    const std::string path = ResolveNewFileName(ansiName);
    if (path.empty()) return D3DERR_INVALIDCALL;
    return format == D3DXIFF_PNG ? WritePng(path, image, alpha) : WriteBmp(path, image);
}

} // namespace d3dx9
