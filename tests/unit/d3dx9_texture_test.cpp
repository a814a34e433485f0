// Textures from image files: sizes, formats, texels, mip chains, colour keys and bad input.
#include "d3dx9/image.h"
#include "d3dx9/resample.h"
#include "testing/recording_device.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kImages = std::string(XOF_TEST_DATA_DIR) + "/images/";

std::vector<unsigned char> ReadFixture(const std::string& name) {
    std::ifstream in(kImages + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Level {
    D3DSURFACE_DESC desc{};
    std::vector<uint32_t> texels; // 32-bit formats only
};

Level ReadLevel(IDirect3DTexture9* texture, UINT level) {
    Level out;
    EXPECT_EQ(texture->GetLevelDesc(level, &out.desc), D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < out.desc.Height; ++y) {
        const auto* row = static_cast<const uint32_t*>(locked.pBits) + y * (locked.Pitch / 4);
        out.texels.insert(out.texels.end(), row, row + out.desc.Width);
    }
    texture->UnlockRect(level);
    return out;
}

// Channels within `tolerance` of each other (lossy formats).
bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    }
    return true;
}

class TextureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recording_ = xoftest::CreateRecordingDevice();
        device_ = xoftest::AsDevice(recording_);
    }
    void TearDown() override {
        if (texture_) texture_->Release();
        EXPECT_EQ(xoftest::LiveResources(recording_), 0);
        device_->Release();
    }
    // Loads a fixture at its own size, one level, so texels can be compared with the file's.
    HRESULT LoadAsIs(const std::string& name, D3DXIMAGE_INFO* info = nullptr) {
        return D3DXCreateTextureFromFileExA(
            device_, (kImages + name).c_str(), D3DX_FROM_FILE, D3DX_FROM_FILE, 1, 0, D3DFMT_UNKNOWN,
            D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, info, nullptr, &texture_);
    }
    xoftest::RecordingDevice* recording_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DTexture9* texture_ = nullptr;
};

// Red, green / blue, white: every reader must keep rows top to bottom and channels in place.
const std::vector<uint32_t> kQuad = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};

TEST_F(TextureTest, EachFileTypeLoadsWithItsFormatAndTexels) {
    struct Case {
        const char* file;
        D3DXIMAGE_FILEFORMAT type;
        D3DFORMAT fileFormat, textureFormat;
        std::vector<uint32_t> texels;
    };
    const std::vector<Case> cases = {
        {"quad_rgb.png", D3DXIFF_PNG, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, kQuad},
        {"quad_rgba.png",
         D3DXIFF_PNG,
         D3DFMT_A8R8G8B8,
         D3DFMT_A8R8G8B8,
         {0xFFFF0000, 0x8000FF00, 0x000000FF, 0x40FFFFFF}},
        {"quad_24.bmp", D3DXIFF_BMP, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, kQuad},
        {"quad_32.bmp",
         D3DXIFF_BMP,
         D3DFMT_A8R8G8B8,
         D3DFMT_A8R8G8B8,
         {0xFFFF0000, 0x8000FF00, 0x000000FF, 0x40FFFFFF}},
        {"quad_24.tga", D3DXIFF_TGA, D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, kQuad},
        {"quad_32.tga",
         D3DXIFF_TGA,
         D3DFMT_A8R8G8B8,
         D3DFMT_A8R8G8B8,
         {0xFFFF0000, 0x8000FF00, 0x000000FF, 0x40FFFFFF}},
        {"quad_text.ppm", D3DXIFF_PPM, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, kQuad},
        {"quad_binary.ppm", D3DXIFF_PPM, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, kQuad},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        D3DXIMAGE_INFO info{};
        ASSERT_EQ(LoadAsIs(c.file, &info), D3D_OK);
        EXPECT_EQ(info.ImageFileFormat, c.type);
        EXPECT_EQ(info.Format, c.fileFormat);
        EXPECT_EQ(info.Width, 2u);
        EXPECT_EQ(info.Height, 2u);
        const Level level = ReadLevel(texture_, 0);
        EXPECT_EQ(level.desc.Format, c.textureFormat);
        EXPECT_EQ(level.desc.Pool, D3DPOOL_MANAGED);
        EXPECT_EQ(level.texels, c.texels);
        texture_->Release();
        texture_ = nullptr;
    }
}

TEST_F(TextureTest, DefaultSizesRoundUpToPowersOfTwoWithAFullMipChain) {
    ASSERT_EQ(D3DXCreateTextureFromFileA(device_, (kImages + "flat_3x5.png").c_str(), &texture_),
              D3D_OK);
    EXPECT_EQ(texture_->GetLevelCount(), 4u); // 4x8, 2x4, 1x2, 1x1
    for (UINT i = 0; i < 4; ++i) {
        const Level level = ReadLevel(texture_, i);
        EXPECT_EQ(level.desc.Width, std::max(1u, 4u >> i));
        EXPECT_EQ(level.desc.Height, 8u >> i);
        EXPECT_EQ(level.desc.Format, D3DFMT_X8R8G8B8);
        // A flat image stays flat through resampling and every mip level.
        for (uint32_t t : level.texels)
            EXPECT_EQ(t, 0xFF336699u) << "level " << i;
    }
}

TEST_F(TextureTest, EachMipLevelIsTheRoundedBoxMeanOfTheLevelAbove) {
    ASSERT_EQ(D3DXCreateTextureFromFileA(device_, (kImages + "quad_rgba.png").c_str(), &texture_),
              D3D_OK);
    ASSERT_EQ(texture_->GetLevelCount(), 2u);
    // Per channel: alpha (255 + 128 + 0 + 64) / 4 = 111.75 -> 112; red, green and blue
    // 510 / 4 = 127.5, a half, rounded up to 128.
    EXPECT_EQ(ReadLevel(texture_, 1).texels, std::vector<uint32_t>{0x70808080u});
}

TEST_F(TextureTest, TheFilterTextureCallMakesAManagedX8R8G8B8TextureFromAJpeg) {
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, (kImages + "flat_16x16.jpg").c_str(),
                                           D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                           D3DX_DEFAULT, 0, &info, nullptr, &texture_),
              D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
    EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(texture_->GetLevelCount(), 5u);
    const Level level = ReadLevel(texture_, 0);
    EXPECT_EQ(level.desc.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(level.desc.Pool, D3DPOOL_MANAGED);
    for (uint32_t t : level.texels) {
        EXPECT_EQ(t >> 24, 0xFFu); // alpha reads 1
        EXPECT_TRUE(Near(t, 0xFFC86432, 3)) << std::hex << t;
    }
}

TEST_F(TextureTest, AColourKeyMakesMatchingTexelsTransparentBlackAndAddsAlpha) {
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, (kImages + "keyed_4x4.png").c_str(),
                                           D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                                           D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_DEFAULT,
                                           0xFFFF00FF, nullptr, nullptr, &texture_),
              D3D_OK);
    const Level level = ReadLevel(texture_, 0);
    EXPECT_EQ(level.desc.Format, D3DFMT_A8R8G8B8);
    for (UINT i = 0; i < 16; ++i) {
        const bool keyed = i == 1 * 4 + 1 || i == 3 * 4 + 2;
        EXPECT_EQ(level.texels[i], keyed ? 0u : 0xFF0A141Eu) << i;
    }
    texture_->Release();
    texture_ = nullptr;

    // A key of 0 means none; a key without the opaque alpha matches nothing in an opaque image.
    for (D3DCOLOR key : {0u, 0x00FF00FFu}) {
        ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, (kImages + "keyed_4x4.png").c_str(),
                                               D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
                                               D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_DEFAULT, key,
                                               nullptr, nullptr, &texture_),
                  D3D_OK);
        const Level unkeyed = ReadLevel(texture_, 0);
        EXPECT_EQ(unkeyed.texels[5], 0xFFFF00FFu);
        texture_->Release();
        texture_ = nullptr;
    }
}

TEST_F(TextureTest, ExplicitSizeFormatAndPoolAreHonoured) {
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, (kImages + "quad_rgb.png").c_str(), 8, 4, 2, 0,
                                           D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, D3DX_FILTER_POINT,
                                           D3DX_DEFAULT, 0, nullptr, nullptr, &texture_),
              D3D_OK);
    EXPECT_EQ(texture_->GetLevelCount(), 2u);
    D3DSURFACE_DESC desc{};
    texture_->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 8u);
    EXPECT_EQ(desc.Height, 4u);
    EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
    EXPECT_EQ(desc.Pool, D3DPOOL_SYSTEMMEM);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture_->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* row0 = static_cast<const uint16_t*>(locked.pBits);
    const auto* row3 = reinterpret_cast<const uint16_t*>(static_cast<const char*>(locked.pBits) +
                                                         3 * locked.Pitch);
    // Point sampling: each source texel covers a 4 x 2 block.
    EXPECT_EQ(row0[0], 0xF800);
    EXPECT_EQ(row0[3], 0xF800);
    EXPECT_EQ(row0[4], 0x07E0);
    EXPECT_EQ(row3[0], 0x001F);
    EXPECT_EQ(row3[7], 0xFFFF);
    texture_->UnlockRect(0);
}

// A DDS file made here: `levels` DXT1 levels, each a grid of copies of one block.
std::vector<unsigned char> MakeDds(UINT width, UINT height, const char* fourCC, UINT levels,
                                   const std::vector<unsigned char>& block) {
    std::vector<unsigned char> f(128, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            f[at + i] = uint8_t(v >> (8 * i));
    };
    std::copy_n("DDS ", 4, f.begin());
    put(4, 124);
    put(8, 0x1007 | (levels > 1 ? 0x20000 : 0));
    put(12, height);
    put(16, width);
    put(28, levels);
    put(76, 32);
    put(80, 0x4);
    std::copy_n(fourCC, 4, f.begin() + 84);
    for (UINT i = 0; i < levels; ++i) {
        const UINT w = std::max(1u, width >> i), h = std::max(1u, height >> i);
        for (UINT b = 0; b < ((w + 3) / 4) * ((h + 3) / 4); ++b)
            f.insert(f.end(), block.begin(), block.end());
    }
    return f;
}

TEST_F(TextureTest, DxtBlocksDecode) {
    // DXT1 four-colour mode: c0 = red (0xF800) > c1 = blue (0x001F); rows use indices 0, 1, 2, 3.
    const unsigned char fourColour[8] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x55, 0xAA, 0xFF};
    uint32_t out[16];
    d3dx9::DecodeDxtBlock(D3DFMT_DXT1, fourColour, out);
    EXPECT_EQ(out[0], 0xFFFF0000u);
    EXPECT_EQ(out[4], 0xFF0000FFu);
    EXPECT_EQ(out[8], 0xFFAA0055u);  // 2/3 red + 1/3 blue
    EXPECT_EQ(out[12], 0xFF5500AAu); // 1/3 red + 2/3 blue
    // Three-colour mode (c0 <= c1): index 2 is the mean, index 3 transparent black.
    const unsigned char threeColour[8] = {0x1F, 0x00, 0x00, 0xF8, 0x00, 0x00, 0xAA, 0xFF};
    d3dx9::DecodeDxtBlock(D3DFMT_DXT1, threeColour, out);
    EXPECT_EQ(out[0], 0xFF0000FFu);
    EXPECT_EQ(out[8], 0xFF800080u);
    EXPECT_EQ(out[12], 0u);
    // DXT3: explicit 4-bit alpha, texel 0 = 0x0, texel 1 = 0xF; colours always four-colour.
    unsigned char dxt3[16] = {0xF0, 0, 0, 0, 0, 0, 0, 0, 0x1F, 0x00, 0x00, 0xF8, 0, 0, 0, 0};
    d3dx9::DecodeDxtBlock(D3DFMT_DXT3, dxt3, out);
    EXPECT_EQ(out[0], 0x000000FFu);
    EXPECT_EQ(out[1], 0xFF0000FFu);
    // DXT5: alpha 255 .. 0 interpolated in eighths; index 1 (=a1 = 0) for texel 0, 2 for texel 1.
    unsigned char dxt5[16] = {255, 0, 0x11, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
    d3dx9::DecodeDxtBlock(D3DFMT_DXT5, dxt5, out);
    EXPECT_EQ(out[0] >> 24, 0u);
    EXPECT_EQ(out[1] >> 24, 219u); // (6 * 255 + 0) / 7
    EXPECT_EQ(out[0] & 0xFFFFFF, 0xFF0000u);
}

TEST_F(TextureTest, DdsFilesKeepTheirStoredMipLevels) {
    // Level 0 red, the stored level 1 green: a generated level 1 would be red too.
    const std::vector<unsigned char> red = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
    const std::vector<unsigned char> green = {0xE0, 0x07, 0xE0, 0x07, 0, 0, 0, 0};
    std::vector<unsigned char> file = MakeDds(8, 8, "DXT1", 1, red);
    file[8 + 2] |= 0x02; // DDSD_MIPMAPCOUNT
    file[28] = 2;
    file.insert(file.end(), green.begin(), green.end());
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, file.data(), UINT(file.size()),
                                                  D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                  D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                  D3DX_DEFAULT, 0, &info, nullptr, &texture_),
              D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_DDS);
    EXPECT_EQ(info.Format, D3DFMT_DXT1);
    EXPECT_EQ(info.MipLevels, 2u);
    EXPECT_EQ(texture_->GetLevelCount(), 4u);
    EXPECT_EQ(ReadLevel(texture_, 0).texels[0], 0xFFFF0000u);
    EXPECT_EQ(ReadLevel(texture_, 1).texels[0], 0xFF00FF00u);
    EXPECT_EQ(ReadLevel(texture_, 3).texels[0], 0xFF00FF00u); // made from level 1
}

TEST_F(TextureTest, UncompressedDdsFormatsDecode) {
    // A 1x1 R5G6B5 file and a 1x1 A8R8G8B8 one.
    auto make = [](uint32_t bits, uint32_t flags, std::vector<uint32_t> masks,
                   std::vector<unsigned char> texel) {
        std::vector<unsigned char> f = MakeDds(1, 1, "\0\0\0\0", 0, {});
        auto put = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i)
                f[at + i] = uint8_t(v >> (8 * i));
        };
        put(80, flags);
        put(88, bits);
        for (int i = 0; i < 4; ++i)
            put(92 + 4 * i, masks[i]);
        f.insert(f.end(), texel.begin(), texel.end());
        return f;
    };
    const auto r565 = make(16, 0x40, {0xF800, 0x7E0, 0x1F, 0}, {0x1F, 0xF8}); // 0xF81F magenta
    const auto argb = make(32, 0x41, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {1, 2, 3, 0x80});
    d3dx9::DecodedImage image;
    ASSERT_EQ(d3dx9::DecodeImage(r565.data(), r565.size(), image), D3D_OK);
    EXPECT_EQ(image.info.Format, D3DFMT_R5G6B5);
    EXPECT_EQ(image.levels[0].texels[0], 0xFFFF00FFu);
    ASSERT_EQ(d3dx9::DecodeImage(argb.data(), argb.size(), image), D3D_OK);
    EXPECT_EQ(image.info.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(image.levels[0].texels[0], 0x80030201u);
}

TEST_F(TextureTest, CaseAndBackslashLookupsFindTheFile) {
    const std::string name = std::string(XOF_TEST_DATA_DIR) + "\\IMAGES\\Quad_RGB.PNG";
    ASSERT_EQ(D3DXCreateTextureFromFileA(device_, name.c_str(), &texture_), D3D_OK);
    D3DXIMAGE_INFO info{};
    EXPECT_EQ(D3DXGetImageInfoFromFileA(name.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Width, 2u);
}

TEST_F(TextureTest, BadInputGivesAnErrorAndNoTexture) {
    const std::vector<unsigned char> png = ReadFixture("quad_rgb.png");
    std::vector<unsigned char> corrupt = png;
    for (size_t i = 40; i < corrupt.size(); ++i)
        corrupt[i] ^= 0x5A;
    const std::vector<std::vector<unsigned char>> bad = {
        {png.begin(), png.begin() + 60},                             // truncated in the image data
        {png.begin(), png.begin() + 20},                             // truncated in the header
        corrupt,                                                     // damaged image data
        std::vector<unsigned char>(100, 0x42),                       // no known type
        MakeDds(8, 8, "DXT1", 1, {}),                                // DDS without its blocks
        MakeDds(8, 8, "DXT2", 1, std::vector<unsigned char>(16, 0)), // unsupported DDS
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        texture_ = reinterpret_cast<IDirect3DTexture9*>(0x1);
        EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device_, bad[i].data(), UINT(bad[i].size()),
                                                    &texture_),
                  D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture_, nullptr);
    }
    texture_ = reinterpret_cast<IDirect3DTexture9*>(0x1);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device_, (kImages + "missing.png").c_str(), &texture_),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture_, nullptr);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device_, kImages.c_str(), &texture_),
              D3DXERR_INVALIDDATA); // a directory
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, (kImages + "quad_rgb.png").c_str(), &texture_),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device_, nullptr, &texture_), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileExA(device_, (kImages + "quad_rgb.png").c_str(),
                                           D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, 0x77, D3DX_DEFAULT, 0,
                                           nullptr, nullptr, &texture_),
              D3DERR_INVALIDCALL); // not a filter
    EXPECT_EQ(texture_, nullptr);
}

TEST_F(TextureTest, EveryTruncationOfEveryFileFailsCleanly) {
    for (const char* name :
         {"quad_rgb.png", "quad_rgba.png", "quad_24.bmp", "quad_32.bmp", "quad_24.tga",
          "quad_32.tga", "quad_text.ppm", "quad_binary.ppm", "flat_16x16.jpg"}) {
        const std::vector<unsigned char> file = ReadFixture(name);
        ASSERT_FALSE(file.empty()) << name;
        for (size_t length = 1; length < file.size(); ++length) {
            const HRESULT hr =
                D3DXCreateTextureFromFileInMemory(device_, file.data(), UINT(length), &texture_);
            // Some formats decode a cut file (JPEG pads it, and a cut PPM text can still
            // parse); the rest fail with no texture.
            if (FAILED(hr)) {
                EXPECT_EQ(hr, D3DXERR_INVALIDDATA) << name << " cut at " << length;
                EXPECT_EQ(texture_, nullptr);
            } else if (texture_) {
                texture_->Release();
                texture_ = nullptr;
            }
        }
    }
}

// A PNG whose compressed image data stops short, in chunks whose checksums are right.
std::vector<unsigned char> PngWithShortImageData() {
    std::vector<unsigned char> png = ReadFixture("quad_rgb.png");
    // Find IDAT and cut its data to 4 bytes, fixing the length and the checksum.
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length =
            uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
        if (std::string(png.begin() + at + 4, png.begin() + at + 8) == "IDAT") {
            png.erase(png.begin() + at + 12, png.begin() + at + 8 + length);
            png[at] = png[at + 1] = png[at + 2] = 0;
            png[at + 3] = 4;
            uint32_t crc = 0xFFFFFFFFu;
            for (size_t i = at + 4; i < at + 12; ++i) {
                crc ^= png[i];
                for (int k = 0; k < 8; ++k)
                    crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
            }
            crc ^= 0xFFFFFFFFu;
            for (int i = 0; i < 4; ++i)
                png[at + 12 + i] = uint8_t(crc >> (24 - 8 * i));
            return png;
        }
        at += 12 + length;
    }
    ADD_FAILURE() << "no IDAT";
    return png;
}

TEST_F(TextureTest, APngWithShortImageDataFailsCleanly) {
    const std::vector<unsigned char> png = PngWithShortImageData();
    EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device_, png.data(), UINT(png.size()), &texture_),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(texture_, nullptr);
}

TEST_F(TextureTest, AHugeImageHeaderIsRefusedBeforeDecoding) {
    // A PNG whose header claims 60000 x 60000 pixels in a file of a few dozen bytes.
    std::vector<unsigned char> png = ReadFixture("quad_rgb.png");
    const unsigned char side[4] = {0x00, 0x00, 0xEA, 0x60};
    std::copy_n(side, 4, png.begin() + 16);
    std::copy_n(side, 4, png.begin() + 20);
    // The same lie at a size a texture could have, 8192 x 8192, still needs more data than
    // deflate can expand the file into.
    std::vector<unsigned char> png8k = ReadFixture("quad_rgb.png");
    const unsigned char side8k[4] = {0x00, 0x00, 0x20, 0x00};
    std::copy_n(side8k, 4, png8k.begin() + 16);
    std::copy_n(side8k, 4, png8k.begin() + 20);
    const auto start = std::chrono::steady_clock::now();
    for (const auto* file : {&png, &png8k}) {
        D3DXIMAGE_INFO info{};
        EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(file->data(), UINT(file->size()), &info),
                  D3DXERR_INVALIDDATA);
        EXPECT_EQ(
            D3DXCreateTextureFromFileInMemory(device_, file->data(), UINT(file->size()), &texture_),
            D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture_, nullptr);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_TRUE(xoftest::Calls(recording_).empty() ||
                xoftest::Calls(recording_).back().find("CreateTexture") == std::string::npos);
}

TEST_F(TextureTest, ImageInfoComesFromTheHeader) {
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA((kImages + "flat_3x5.png").c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Width, 3u);
    EXPECT_EQ(info.Height, 5u);
    EXPECT_EQ(info.Depth, 1u);
    EXPECT_EQ(info.MipLevels, 1u);
    EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(info.ResourceType, D3DRTYPE_TEXTURE);
    EXPECT_EQ(D3DXGetImageInfoFromFileA((kImages + "nothing.png").c_str(), &info),
              D3DXERR_INVALIDDATA);
}

// Resampling, on its own.
d3dx9::ArgbImage Row(std::vector<uint32_t> texels) {
    return {UINT(texels.size()), 1, std::move(texels)};
}

TEST(Resample, FiltersWeighTheRightTexels) {
    const auto ramp = Row({0xFF000000, 0xFF404040, 0xFF808080, 0xFFC0C0C0});
    // Halving: the box averages pairs; the triangle's tent, two source texels to each side,
    // weighs 1:3:3:1 (the edge clamped).
    EXPECT_EQ(d3dx9::Resample(ramp, 2, 1, D3DX_FILTER_BOX).texels,
              (std::vector<uint32_t>{0xFF202020, 0xFFA0A0A0}));
    EXPECT_EQ(d3dx9::Resample(ramp, 2, 1, D3DX_FILTER_TRIANGLE).texels,
              (std::vector<uint32_t>{0xFF282828, 0xFF989898}));
    EXPECT_EQ(d3dx9::Resample(ramp, 2, 1, D3DX_FILTER_POINT).texels,
              (std::vector<uint32_t>{0xFF404040, 0xFFC0C0C0}));
    // Doubling with a tent: each new texel lies a quarter of the way between two old ones.
    const auto two = Row({0xFF000000, 0xFF808080});
    EXPECT_EQ(d3dx9::Resample(two, 4, 1, D3DX_FILTER_TRIANGLE).texels,
              (std::vector<uint32_t>{0xFF000000, 0xFF202020, 0xFF606060, 0xFF808080}));
    // Alpha is filtered like the colours, not premultiplied.
    const auto alpha = Row({0x00FF0000, 0xFFFF0000});
    EXPECT_EQ(d3dx9::Resample(alpha, 1, 1, D3DX_FILTER_BOX).texels[0], 0x80FF0000u);
    // NONE copies without scaling.
    EXPECT_EQ(d3dx9::Resample(two, 3, 1, D3DX_FILTER_NONE).texels,
              (std::vector<uint32_t>{0xFF000000, 0xFF808080, 0}));
}

TEST(Resample, OnlyKnownFiltersAreValid) {
    EXPECT_TRUE(d3dx9::IsValidFilter(D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER));
    EXPECT_TRUE(d3dx9::IsValidFilter(D3DX_FILTER_BOX | D3DX_FILTER_MIRROR));
    EXPECT_FALSE(d3dx9::IsValidFilter(0));
    EXPECT_FALSE(d3dx9::IsValidFilter(6));
    EXPECT_FALSE(d3dx9::IsValidFilter(D3DX_FILTER_BOX | 0x100));
}

} // namespace
