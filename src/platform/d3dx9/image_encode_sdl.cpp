// PNG and BMP files written with SDL_image and SDL, named by CP932 Windows names.
#include "d3dx9/image_encode.h"
#include "d3dx9/path_resolve.h"

#include <SDL.h>
#include <SDL_image.h>

namespace d3dx9 {

HRESULT WriteImageFile(const char* ansiName, D3DXIMAGE_FILEFORMAT format, const ArgbImage& image,
                       bool alpha) {
    const std::string path = ResolveNewFileName(ansiName);
    if (path.empty()) return D3DERR_INVALIDCALL;
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceWithFormat(0, int(image.width), int(image.height), alpha ? 32 : 24,
                                       alpha ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_RGB24);
    if (!surface) return E_OUTOFMEMORY;
    for (UINT y = 0; y < image.height; ++y) {
        const uint32_t* in = image.texels.data() + size_t(y) * image.width;
        auto* out = static_cast<unsigned char*>(surface->pixels) + ptrdiff_t(y) * surface->pitch;
        for (UINT x = 0; x < image.width; ++x) {
            if (alpha) {
                reinterpret_cast<uint32_t*>(out)[x] = in[x];
            } else {
                out[3 * x] = uint8_t(in[x] >> 16);
                out[3 * x + 1] = uint8_t(in[x] >> 8);
                out[3 * x + 2] = uint8_t(in[x]);
            }
        }
    }
    const int written = format == D3DXIFF_PNG ? IMG_SavePNG(surface, path.c_str())
                                              : SDL_SaveBMP(surface, path.c_str());
    SDL_FreeSurface(surface);
    return written == 0 ? D3D_OK : D3DERR_INVALIDCALL;
}

} // namespace d3dx9
