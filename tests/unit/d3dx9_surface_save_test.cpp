// Surfaces written to PNG and BMP files: every texel format and area read back by another decoder.
#include "d3d9_test_fixture.h"

#include <SDL.h>
#include <SDL_image.h>
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr UINT kSide = 37; // odd, so rows of 3-byte pixels are not word-aligned

// A texel that differs in every channel from its neighbours, alpha included.
uint32_t Pattern(UINT x, UINT y) {
    return (x * 7 + y * 3) << 24 | (x * 13) << 16 | (y * 11) << 8 | ((x ^ y) * 5 & 255);
}

// What a texel of `format` holding Pattern reads back as: 565 widened as the saver widens it.
uint32_t Expected(D3DFORMAT format, UINT x, UINT y, bool keepsAlpha) {
    uint32_t argb = Pattern(x, y);
    if (format == D3DFMT_R5G6B5) {
        const uint32_t r = (argb >> 19) & 31, g = (argb >> 10) & 63, b = (argb >> 3) & 31;
        argb = ((r << 3) | (r >> 2)) << 16 | ((g << 2) | (g >> 4)) << 8 | ((b << 3) | (b >> 2));
    }
    return keepsAlpha ? argb : (argb | 0xFF000000u);
}

void Fill(IDirect3DSurface9* surface, D3DFORMAT format) {
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < kSide; ++y) {
        auto* row = static_cast<uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch;
        for (UINT x = 0; x < kSide; ++x) {
            const uint32_t argb = Pattern(x, y);
            if (format == D3DFMT_R5G6B5) {
                const uint16_t v =
                    uint16_t((argb >> 19 & 31) << 11 | (argb >> 10 & 63) << 5 | (argb >> 3 & 31));
                memcpy(row + 2 * x, &v, 2);
            } else {
                memcpy(row + 4 * x, &argb, 4);
            }
        }
    }
    surface->UnlockRect();
}

// The file's pixels as 0xAARRGGBB, decoded by SDL_image (not our own reader).
std::vector<uint32_t> Decode(const std::string& path, int* width, int* height) {
    std::vector<uint32_t> argb;
    SDL_Surface* loaded = IMG_Load(path.c_str());
    if (!loaded) return argb;
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    if (!converted) return argb;
    *width = converted->w;
    *height = converted->h;
    for (int y = 0; y < converted->h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(
            static_cast<const uint8_t*>(converted->pixels) + ptrdiff_t(y) * converted->pitch);
        argb.insert(argb.end(), row, row + converted->w);
    }
    SDL_FreeSurface(converted);
    return argb;
}

class SurfaceSaveTest : public d3d9test::DeviceTest {};

TEST_F(SurfaceSaveTest, EveryFormatAndAreaReadsBackAsItsTexels) {
    const RECT part = {5, 3, 36, 20};
    for (const D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
        IDirect3DSurface9* surface = nullptr;
        ASSERT_EQ(device->CreateOffscreenPlainSurface(kSide, kSide, format, D3DPOOL_SYSTEMMEM,
                                                      &surface, nullptr),
                  D3D_OK);
        Fill(surface, format);
        for (const D3DXIMAGE_FILEFORMAT type : {D3DXIFF_PNG, D3DXIFF_BMP}) {
            for (const RECT* area : {static_cast<const RECT*>(nullptr), &part}) {
                SCOPED_TRACE(testing::Message() << "format " << format << ", file type " << type
                                                << (area ? ", part" : ", whole"));
                const std::string path =
                    testing::TempDir() + (type == D3DXIFF_PNG ? "saved.png" : "saved.bmp");
                ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), type, surface, nullptr, area),
                          D3D_OK);
                const RECT r = area ? *area : RECT{0, 0, LONG(kSide), LONG(kSide)};
                int width = 0, height = 0;
                const std::vector<uint32_t> pixels = Decode(path, &width, &height);
                ASSERT_EQ(width, r.right - r.left);
                ASSERT_EQ(height, r.bottom - r.top);
                const bool keepsAlpha = format == D3DFMT_A8R8G8B8 && type == D3DXIFF_PNG;
                int wrong = 0;
                for (int y = 0; y < height; ++y)
                    for (int x = 0; x < width; ++x)
                        wrong += pixels[size_t(y) * width + x] !=
                                 Expected(format, UINT(r.left + x), UINT(r.top + y), keepsAlpha);
                EXPECT_EQ(wrong, 0);
                std::remove(path.c_str());
            }
        }
        surface->Release();
    }
}

TEST_F(SurfaceSaveTest, AFileThatCannotBeWrittenIsAnErrorAndLeavesNothing) {
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(kSide, kSide, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                  &surface, nullptr),
              D3D_OK);
    const std::string missingFolder = testing::TempDir() + "no-such-folder/saved.png";
    EXPECT_EQ(D3DXSaveSurfaceToFileA(missingFolder.c_str(), D3DXIFF_PNG, surface, nullptr, nullptr),
              D3DERR_INVALIDCALL);
    // /dev/full takes the open and refuses the bytes, as a full disk does.
    if (FILE* full = std::fopen("/dev/full", "wb")) {
        std::fclose(full);
        EXPECT_EQ(D3DXSaveSurfaceToFileA("/dev/full", D3DXIFF_PNG, surface, nullptr, nullptr),
                  D3DERR_INVALIDCALL);
    }
    surface->Release();
}

} // namespace
