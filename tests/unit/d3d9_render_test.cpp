// Pixels drawn by the GL device, read back through GetBackBuffer, against what Direct3D 9's
// rules give: clear, lighting, pre-transformed quads, blending, culling, textures, depth, Present.
#include "d3d9_test_fixture.h"

#include "d3d9/gl_api.h"
#include "d3d9/present_pacing.h"

#include <d3d9.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>

namespace {

using d3d9test::DeviceTest;
using d3d9test::kHeight;
using d3d9test::kScreenFvf;
using d3d9test::kWidth;
using d3d9test::Near565;
using d3d9test::Rectangle;
using d3d9test::Rgb565;
using d3d9test::ScreenVertex;

constexpr D3DCOLOR kClearColor = 0xFF3CA3B9;

class RenderTest : public DeviceTest {
  protected:
    void ClearTo(D3DCOLOR color) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0),
                  D3D_OK);
    }

    // Draws four screen vertices as a strip from a 112-byte static default-pool buffer, as
    // the viewer's overlay does.
    void DrawStripFromBuffer(const ScreenVertex vertices[4]) {
        IDirect3DVertexBuffer9* buffer = nullptr;
        ASSERT_EQ(device->CreateVertexBuffer(112, 0, kScreenFvf, D3DPOOL_DEFAULT, &buffer, nullptr),
                  D3D_OK);
        void* data = nullptr;
        ASSERT_EQ(buffer->Lock(0, 112, &data, 0), D3D_OK);
        memcpy(data, vertices, 112);
        ASSERT_EQ(buffer->Unlock(), D3D_OK);
        device->SetStreamSource(0, buffer, 0, 28);
        device->SetFVF(kScreenFvf);
        EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        device->SetStreamSource(0, nullptr, 0, 0);
        buffer->Release();
    }

    void DrawStripUp(const ScreenVertex vertices[4]) {
        device->SetFVF(kScreenFvf);
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof(ScreenVertex)),
                  D3D_OK);
    }

    // The states the viewer's overlay sets before drawing.
    void SetOverlayStates() {
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTexture(0, nullptr);
    }
};

TEST_F(RenderTest, ClearColourLandsInRgb565AsTheHardwareRoundsIt) {
    ClearTo(kClearColor);
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    // 60, 163, 185 to 5, 6, 5 bits, rounded to nearest: 7, 40, 22.
    const uint16_t expected = uint16_t((7 << 11) | (40 << 5) | 22);
    EXPECT_EQ(Rgb565(kClearColor), expected);
    EXPECT_EQ(At(pixels, 0, 0), expected);
    EXPECT_EQ(At(pixels, kWidth - 1, kHeight - 1), expected);
    EXPECT_EQ(At(pixels, 450, 345), expected);

    // Rectangles are cleared within the viewport only, and the top row is the first in memory.
    D3DVIEWPORT9 viewport{0, 0, kWidth, 100, 0, 1};
    device->SetViewport(&viewport);
    const D3DRECT rect{10, 50, 20, 200};
    ASSERT_EQ(device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    const std::vector<uint16_t> after = ReadBackBuffer();
    EXPECT_EQ(At(after, 15, 50), 0xF800);
    EXPECT_EQ(At(after, 15, 99), 0xF800);
    EXPECT_EQ(At(after, 15, 100), expected);
    EXPECT_EQ(At(after, 9, 60), expected);
    EXPECT_EQ(At(after, 20, 60), expected);
}

TEST_F(RenderTest, LitTriangleFollowsTheLightingEquation) {
    // The viewer's light: index 2, directional (0, -1, 1), diffuse 0.2, specular 0.3.
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.2f, 0.2f, 0.2f, 0.2f};
    light.Specular = {0.3f, 0.3f, 0.3f, 0.3f};
    light.Ambient = {0.5f, 0.25f, 0.75f, 1.0f};
    light.Direction = {0.0f, -1.0f, 1.0f};
    ASSERT_EQ(device->SetLight(2, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(2, TRUE), D3D_OK);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    // A non-local viewer keeps the half vector the same at every vertex.
    device->SetRenderState(D3DRS_LOCALVIEWER, FALSE);
    D3DMATERIAL9 material{};
    material.Diffuse = material.Ambient = {0.8f, 0.6f, 0.4f, 1.0f};
    material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Power = 10.0f;
    device->SetMaterial(&material);
    ClearTo(0xFF000000);

    // Identity transforms: clip space; a clockwise triangle facing -z (toward the viewer).
    struct LitVertex {
        float x, y, z, nx, ny, nz;
    } triangle[3] = {{-0.5f, -0.5f, 0.5f, 0, 0, -1},
                     {0.0f, 0.5f, 0.5f, 0, 0, -1},
                     {0.5f, -0.5f, 0.5f, 0, 0, -1}};
    device->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(LitVertex)), D3D_OK);
    ASSERT_EQ(device->EndScene(), D3D_OK);

    // L = -normalize(direction) = (0, 0.7071, -0.7071); N.L = 0.7071.
    // H = normalize(L + (0, 0, -1)) = (0, 0.3827, -0.9239); N.H = 0.9239.
    const double nDotL = std::sqrt(0.5);
    const double nDotH = 0.92387953;
    const double specular = 0.3 * std::pow(nDotH, 10.0);
    auto channel = [&](double materialColor, double lightAmbient) {
        return materialColor * (0.0 + lightAmbient) + materialColor * 0.2 * nDotL + specular;
    };
    const uint16_t expected = Rgb565(channel(0.8, 0.5), channel(0.6, 0.25), channel(0.4, 0.75));
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    EXPECT_TRUE(Near565(At(pixels, 450, 400), expected));
    EXPECT_TRUE(Near565(At(pixels, 300, 500), expected)); // any point: the colour is uniform
    EXPECT_EQ(At(pixels, 100, 100), 0x0000);              // outside the triangle

    // Without SPECULARENABLE the highlight goes; without lights only the ambient is left.
    device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    ClearTo(0xFF000000);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(LitVertex));
    EXPECT_TRUE(Near565(At(ReadBackBuffer(), 450, 400),
                        Rgb565(channel(0.8, 0.5) - specular, channel(0.6, 0.25) - specular,
                               channel(0.4, 0.75) - specular)));
}

TEST_F(RenderTest, VertexColoursReplaceTheMaterialAndNoLightsLeaveTheAmbient) {
    device->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
    D3DMATERIAL9 material{};
    material.Ambient = {1.0f, 0.5f, 0.0f, 1.0f};
    material.Diffuse = {0.0f, 0.0f, 1.0f, 1.0f};
    device->SetMaterial(&material);
    ClearTo(0xFF000000);
    struct Vertex {
        float x, y, z;
        D3DCOLOR diffuse;
    } triangle[3] = {
        {-1, -1, 0.5f, 0xFF00FF00}, {-1, 1, 0.5f, 0xFF00FF00}, {1, 1, 0.5f, 0xFF00FF00}};
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3D_OK);
    // No normal, no light: ambient material x D3DRS_AMBIENT; alpha from the vertex diffuse.
    const double ambient = 0x40 / 255.0;
    EXPECT_TRUE(Near565(At(ReadBackBuffer(), 100, 100), Rgb565(ambient, 0.5 * ambient, 0.0)));

    // With lighting off the vertex colour passes straight through.
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex));
    EXPECT_EQ(At(ReadBackBuffer(), 100, 100), 0x07E0);
}

// A vertex without a normal is lit with every N.L and N.H taken as zero: under a light the
// emissive and ambient terms stay, whatever else the vertex carries (a colour that only the
// diffuse term would use, texture coordinates that modulate the result).
TEST_F(RenderTest, LitVerticesWithoutNormalsKeepTheAmbientAndEmissiveOfEveryFormat) {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.2f, 0.2f, 0.2f, 0.2f};
    light.Specular = {0.3f, 0.3f, 0.3f, 0.3f};
    light.Ambient = {0.99f, 0.99f, 0.99f, 1.0f};
    light.Direction = {0.0f, -1.0f, 1.0f};
    ASSERT_EQ(device->SetLight(2, &light), D3D_OK);
    ASSERT_EQ(device->LightEnable(2, TRUE), D3D_OK);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    D3DMATERIAL9 material{};
    material.Diffuse = material.Ambient = {1.0f, 0.5f, 0.0f, 1.0f};
    material.Specular = {1.0f, 1.0f, 1.0f, 1.0f};
    material.Emissive = {0.0f, 0.0f, 0.25f, 1.0f};
    device->SetMaterial(&material);

    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(2, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch + x * 4,
                   "\x40\xFF\x80\xFF", 4); // B, G, R, A: (0.5, 1, 0.25)
    texture->UnlockRect(0);

    // Position, then a colour and one coordinate set where the format has them.
    struct Vertex {
        float x, y, z;
        D3DCOLOR diffuse;
        float u, v;
    };
    for (DWORD extras : {DWORD(0), DWORD(D3DFVF_DIFFUSE), DWORD(D3DFVF_TEX1),
                         DWORD(D3DFVF_DIFFUSE | D3DFVF_TEX1)}) {
        for (bool textured : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "FVF 0x" << std::hex << (D3DFVF_XYZ | extras)
                                              << (textured ? " textured" : " untextured"));
            std::vector<float> data;
            const Vertex corners[3] = {{-1, -1, 0.5f, 0xFF00FF00, 0, 0},
                                       {-1, 1, 0.5f, 0xFF00FF00, 0, 1},
                                       {1, 1, 0.5f, 0xFF00FF00, 1, 1}};
            for (const Vertex& c : corners) {
                data.insert(data.end(), {c.x, c.y, c.z});
                if (extras & D3DFVF_DIFFUSE) {
                    float packed;
                    memcpy(&packed, &c.diffuse, 4);
                    data.push_back(packed);
                }
                if (extras & D3DFVF_TEX1) data.insert(data.end(), {c.u, c.v});
            }
            device->SetTexture(0, textured ? texture : nullptr);
            device->SetFVF(D3DFVF_XYZ | extras);
            ClearTo(0xFF000000);
            EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, data.data(),
                                              UINT(data.size() / 3 * sizeof(float))),
                      D3D_OK);
            // Ce + Ca x light ambient = (0.99, 0.495, 0.25); the texture modulates it, and a
            // format without coordinates samples the texel at (0, 0), of the same colour.
            const double r = 0.99, g = 0.495, b = 0.25;
            const uint16_t expected =
                textured ? Rgb565(r * 0.5, g * 1.0, b * 0.25) : Rgb565(r, g, b);
            EXPECT_TRUE(Near565(At(ReadBackBuffer(), 100, 100), expected));
        }
    }
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(RenderTest, ScreenQuadCoversExactlyItsPixels) {
    ClearTo(kClearColor);
    SetOverlayStates();
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    ScreenVertex quad[4];
    Rectangle(quad, 248.0f, 136.0f, 404.0f, 410.0f, 0xFFFF0000);
    DrawStripFromBuffer(quad);
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    const uint16_t clear = Rgb565(kClearColor);
    for (UINT y : {136u, 300u, 545u}) {
        EXPECT_EQ(At(pixels, 247, y), clear) << y;
        EXPECT_EQ(At(pixels, 248, y), 0xF800) << y;
        EXPECT_EQ(At(pixels, 651, y), 0xF800) << y;
        EXPECT_EQ(At(pixels, 652, y), clear) << y;
    }
    for (UINT x : {248u, 450u, 651u}) {
        EXPECT_EQ(At(pixels, x, 135), clear) << x;
        EXPECT_EQ(At(pixels, x, 136), 0xF800) << x;
        EXPECT_EQ(At(pixels, x, 545), 0xF800) << x;
        EXPECT_EQ(At(pixels, x, 546), clear) << x;
    }
    size_t covered = 0;
    for (uint16_t p : pixels)
        covered += p == 0xF800;
    EXPECT_EQ(covered, 404u * 410u);
}

TEST_F(RenderTest, OverlayBlendsItsVertexAlphaOverTheClearColourWithoutATexture) {
    ClearTo(kClearColor);
    SetOverlayStates();
    ScreenVertex quad[4];
    Rectangle(quad, 248.0f, 136.0f, 404.0f, 410.0f, 0x12FAFAFA);
    // The buffer is rewritten every frame: twice here, the second upload must win.
    ScreenVertex stale[4];
    Rectangle(stale, 0.0f, 0.0f, 10.0f, 10.0f, 0xFF000000);
    DrawStripFromBuffer(stale);
    ClearTo(kClearColor);
    DrawStripFromBuffer(quad);
    // The stage's colour operation reads a missing texture: the stage is skipped, so colour and
    // alpha are the vertex's. Blend: src x a + dst x (1 - a), a = 18/255, dst as stored in 565.
    const double a = 18.0 / 255.0, source = 250.0 / 255.0;
    const d3d9test::Rgb dst = d3d9test::Channels(Rgb565(kClearColor));
    const uint16_t expected = Rgb565(source * a + dst.r * (1 - a), source * a + dst.g * (1 - a),
                                     source * a + dst.b * (1 - a));
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    EXPECT_TRUE(Near565(At(pixels, 450, 340), expected));
    EXPECT_TRUE(Near565(At(pixels, 248, 136), expected));
    EXPECT_EQ(At(pixels, 5, 5), Rgb565(kClearColor));
}

// The channels of an RGB565 pixel as levels.
struct Levels {
    int r, g, b;
};
Levels LevelsOf(uint16_t p) {
    return Levels{(p >> 11) & 31, (p >> 5) & 63, p & 31};
}

// Direct3D stores a colour into R5G6B5 rounded to the nearest level, not truncated.
TEST_F(RenderTest, FlatVertexColourIsRoundedToTheNearest565Level) {
    ClearTo(0xFF000000);
    ScreenVertex quad[4];
    Rectangle(quad, 0.0f, 0.0f, 100.0f, 100.0f, 0xFFE0C020);
    DrawStripUp(quad);
    Rectangle(quad, 200.0f, 0.0f, 100.0f, 100.0f, 0xFFF0E020);
    DrawStripUp(quad);
    // A blend of source ONE and destination ZERO stores the source as it is.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    Rectangle(quad, 400.0f, 0.0f, 100.0f, 100.0f, 0xFFE0C020);
    DrawStripUp(quad);
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    // 224, 192, 32: 27.23, 47.44, 3.89 levels, so 27, 47, 4 (truncated: 28, 48, 4).
    for (UINT x : {0u, 50u, 99u, 400u, 450u}) {
        const Levels e = LevelsOf(At(pixels, x, 50));
        EXPECT_EQ(e.r, 27) << x;
        EXPECT_EQ(e.g, 47) << x;
        EXPECT_EQ(e.b, 4) << x;
        EXPECT_EQ(At(pixels, x, 50), Rgb565(0xFFE0C020)) << x;
    }
    // 240, 224: 29.18 and 55.34 levels (truncated: 30 and 56).
    const Levels f = LevelsOf(At(pixels, 250, 50));
    EXPECT_EQ(f.r, 29);
    EXPECT_EQ(f.g, 55);
    EXPECT_EQ(f.b, 4);
}

TEST_F(RenderTest, ClearStoresTheRoundedColourForDrawsToBlendOver) {
    ClearTo(kClearColor);
    const uint16_t clear = At(ReadBackBuffer(), 100, 100);
    EXPECT_EQ(clear, 0x3D16);
    const Levels l = LevelsOf(clear);
    EXPECT_EQ(l.r, 7);
    EXPECT_EQ(l.g, 40);
    EXPECT_EQ(l.b, 22);
}

// The viewer's filter quad: every pixel is the blend of the vertex colour over the stored
// (565) clear colour, rounded to the nearest level.
TEST_F(RenderTest, FilterQuadBlendIsRoundedToTheNearestLevelAtEveryPixel) {
    ClearTo(kClearColor);
    SetOverlayStates();
    ScreenVertex quad[4];
    Rectangle(quad, 248.0f, 136.0f, 404.0f, 410.0f, 0x12FAFAFA);
    DrawStripFromBuffer(quad);
    const double a = 0x12 / 255.0, source = 0xFA / 255.0;
    const Levels dst = LevelsOf(Rgb565(kClearColor));
    auto blend = [&](int level, int max) {
        return int(std::lround(max * (a * source + (1 - a) * (double(level) / max))));
    };
    const uint16_t expected =
        uint16_t(blend(dst.r, 31) << 11 | blend(dst.g, 63) << 5 | blend(dst.b, 31));
    EXPECT_EQ(LevelsOf(expected).r, 9);
    EXPECT_EQ(LevelsOf(expected).g, 42);
    EXPECT_EQ(LevelsOf(expected).b, 23);
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    size_t wrong = 0, outside = 0;
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            const bool inside = x >= 248 && x < 652 && y >= 136 && y < 546;
            const uint16_t p = At(pixels, x, y);
            if (inside && p != expected) ++wrong;
            if (!inside && p != Rgb565(kClearColor)) ++outside;
        }
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(outside, 0u);
}

// R5G6B5 has no alpha: DESTALPHA reads 1 whatever alpha the clear colour or a draw carried.
TEST_F(RenderTest, DestinationAlphaOfATargetWithoutAlphaReadsOne) {
    ClearTo(0x00000000);
    ScreenVertex quad[4];
    Rectangle(quad, 0.0f, 0.0f, 100.0f, 100.0f, 0x00000000);
    DrawStripUp(quad); // alpha 0 written with blending off
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVDESTALPHA);
    Rectangle(quad, 0.0f, 0.0f, 200.0f, 100.0f, 0x40FF0000);
    DrawStripUp(quad);
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 50, 50), 0xF800);
    EXPECT_EQ(At(pixels, 150, 50), 0xF800);
}

// What is written through LockRect reads back unchanged, and blends as stored.
TEST_F(RenderTest, BackBufferWrittenThroughLockRectReadsBackAsWritten) {
    ClearTo(0xFF000000);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
    D3DLOCKED_RECT locked{};
    ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(locked.pBits) +
                                                size_t(y) * locked.Pitch);
        for (UINT x = 0; x < kWidth; ++x)
            row[x] = uint16_t(x * 73 + y * 1031);
    }
    ASSERT_EQ(surface->UnlockRect(), D3D_OK);
    surface->Release();
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    size_t wrong = 0;
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x)
            wrong += At(pixels, x, y) != uint16_t(x * 73 + y * 1031);
    EXPECT_EQ(wrong, 0u);

    // GetRenderTargetData copies the same pixels.
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM,
                                                  &copy, nullptr),
              D3D_OK);
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
    ASSERT_EQ(device->GetRenderTargetData(surface, copy), D3D_OK);
    surface->Release();
    ASSERT_EQ(copy->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    uint16_t corner;
    memcpy(&corner,
           static_cast<uint8_t*>(locked.pBits) + size_t(kHeight - 1) * locked.Pitch +
               size_t(kWidth - 1) * 2,
           2);
    EXPECT_EQ(corner, uint16_t((kWidth - 1) * 73 + (kHeight - 1) * 1031));
    copy->UnlockRect();
    copy->Release();
}

// X1R5G5B5 rounds the same way into 5-bit green; its unused bit reads 1.
TEST_F(RenderTest, X1R5G5B5TargetRoundsToTheNearestLevelToo) {
    D3DPRESENT_PARAMETERS p = d3d9test::ViewerParameters(window);
    p.BackBufferFormat = D3DFMT_X1R5G5B5;
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kClearColor, 1.0f, 0), D3D_OK);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    ScreenVertex quad[4];
    Rectangle(quad, 0.0f, 0.0f, 100.0f, 100.0f, 0xFFE0C020);
    DrawStripUp(quad);
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    // 224, 192, 32 in 5 bits: 27, 23, 4. The clear: 60, 163, 185 to 7, 20, 22.
    EXPECT_EQ(At(pixels, 50, 50), uint16_t(0x8000 | 27 << 10 | 23 << 5 | 4));
    EXPECT_EQ(At(pixels, 150, 50), uint16_t(0x8000 | 7 << 10 | 20 << 5 | 22));
}

TEST_F(RenderTest, CounterClockwiseStripIsCulledByDefault) {
    ClearTo(kClearColor);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    ScreenVertex quad[4];
    Rectangle(quad, 100.0f, 100.0f, 200.0f, 200.0f, 0xFF0000FF);
    const ScreenVertex reversed[4] = {quad[0], quad[2], quad[1], quad[3]};
    DrawStripUp(reversed);
    EXPECT_EQ(At(ReadBackBuffer(), 200, 200), Rgb565(kClearColor));

    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW); // now the clockwise one goes
    DrawStripUp(quad);
    EXPECT_EQ(At(ReadBackBuffer(), 200, 200), Rgb565(kClearColor));
    DrawStripUp(reversed);
    EXPECT_EQ(At(ReadBackBuffer(), 200, 200), 0x001F);
}

TEST_F(RenderTest, UntexturedStagePassesTheVertexColourAndSpecularIsAddedAfter) {
    ClearTo(kClearColor);
    ScreenVertex quad[4];
    Rectangle(quad, 0.0f, 0.0f, 100.0f, 100.0f, 0xFF336699);
    DrawStripUp(quad); // default stages, nothing bound
    EXPECT_EQ(At(ReadBackBuffer(), 50, 50), Rgb565(0xFF336699));

    // TFACTOR through SELECTARG1, then the vertex specular added when SPECULARENABLE.
    struct SpecularVertex {
        float x, y, z, rhw;
        D3DCOLOR diffuse, specular;
    } v[4] = {{0, 0, 0, 1, 0xFFFFFFFF, 0xFF000040},
              {100, 0, 0, 1, 0xFFFFFFFF, 0xFF000040},
              {0, 100, 0, 1, 0xFFFFFFFF, 0xFF000040},
              {100, 100, 0, 1, 0xFFFFFFFF, 0xFF000040}};
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF800000);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]), D3D_OK);
    EXPECT_TRUE(Near565(At(ReadBackBuffer(), 50, 50), Rgb565(0x80 / 255.0, 0.0, 0x40 / 255.0)));

    // A second stage adds the complement of the vertex diffuse to the current colour.
    device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_DIFFUSE | D3DTA_COMPLEMENT);
    device->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    v[0].diffuse = v[1].diffuse = v[2].diffuse = v[3].diffuse = 0xFFFFFF00; // complement: blue
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof v[0]);
    EXPECT_TRUE(Near565(At(ReadBackBuffer(), 50, 50), Rgb565(0x80 / 255.0, 0.0, 1.0)));
}

// One 4 x 4 texture per format, drawn 50 pixels a texel over white with alpha blending, so a
// texel shows rgb x a + (1 - a).
struct FormatCase {
    const char* name;
    D3DFORMAT format;
    std::function<void(uint8_t* bits, INT pitch)> fill;
    // Expected texel colours (r, g, b, a in 0..1) at the four corner texels.
    double corners[4][4];
};

void Put16(uint8_t* row, int x, uint16_t v) {
    memcpy(row + x * 2, &v, 2);
}
void Put32(uint8_t* row, int x, uint32_t v) {
    memcpy(row + x * 4, &v, 4);
}

// Fills a 4 x 4 texture of 16- or 32-bit texels with the value for each quadrant.
std::function<void(uint8_t*, INT)> Quadrants(int bytes, uint32_t q0, uint32_t q1, uint32_t q2,
                                             uint32_t q3) {
    return [=](uint8_t* bits, INT pitch) {
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                const uint32_t v = y < 2 ? (x < 2 ? q0 : q1) : (x < 2 ? q2 : q3);
                uint8_t* row = bits + y * pitch;
                if (bytes == 4)
                    Put32(row, x, v);
                else if (bytes == 2)
                    Put16(row, x, uint16_t(v));
                else
                    row[x] = uint8_t(v);
            }
        }
    };
}

// Texel index bits of a 4 x 4 block: 2 bits a texel, quadrant values as given.
uint32_t BlockIndices(uint32_t q0, uint32_t q1, uint32_t q2, uint32_t q3, int bitsPerTexel) {
    uint32_t bits = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint32_t v = y < 2 ? (x < 2 ? q0 : q1) : (x < 2 ? q2 : q3);
            bits |= v << (bitsPerTexel * (y * 4 + x));
        }
    return bits;
}

TEST_F(RenderTest, TextureFormatsSampleAsDirect3DReadsThem) {
    const double h = 16.0 / 31.0; // DXT1's three-colour midpoint of 31 and 0, as 5 bits
    const FormatCase cases[] = {
        {"A8R8G8B8",
         D3DFMT_A8R8G8B8,
         Quadrants(4, 0xFFFF0000, 0xFF00FF00, 0x800000FF, 0x00FFFF00),
         {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 128 / 255.0}, {1, 1, 0, 0}}},
        // The unused byte is ignored: alpha reads 1.
        {"X8R8G8B8",
         D3DFMT_X8R8G8B8,
         Quadrants(4, 0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFF00),
         {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 0, 1}}},
        {"R5G6B5",
         D3DFMT_R5G6B5,
         Quadrants(2, 0xF800, 0x07E0, 0x001F, 0xFFE0),
         {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 0, 1}}},
        {"X1R5G5B5",
         D3DFMT_X1R5G5B5,
         Quadrants(2, 0x7C00, 0x03E0, 0x001F, 0x7FE0),
         {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 0, 1}}},
        {"A1R5G5B5",
         D3DFMT_A1R5G5B5,
         Quadrants(2, 0xFC00, 0x83E0, 0x801F, 0x7FE0),
         {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 0, 0}}},
        {"A4R4G4B4",
         D3DFMT_A4R4G4B4,
         Quadrants(2, 0xFF00, 0xF0F0, 0x800F, 0x0FF0),
         {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 8 / 15.0}, {1, 1, 0, 0}}},
        {"L8",
         D3DFMT_L8,
         Quadrants(1, 0xFF, 0x00, 0x80, 0x40),
         {{1, 1, 1, 1},
          {0, 0, 0, 1},
          {128 / 255.0, 128 / 255.0, 128 / 255.0, 1},
          {64 / 255.0, 64 / 255.0, 64 / 255.0, 1}}},
        // Luminance in the low byte, alpha in the high byte.
        {"A8L8",
         D3DFMT_A8L8,
         Quadrants(2, 0xFFFF, 0xFF00, 0x0000, 0x80FF),
         {{1, 1, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 0}, {1, 1, 1, 128 / 255.0}}},
        // Alpha only: black with that alpha.
        {"A8",
         D3DFMT_A8,
         Quadrants(1, 0xFF, 0x00, 0x80, 0xFF),
         {{0, 0, 0, 1}, {0, 0, 0, 0}, {0, 0, 0, 128 / 255.0}, {0, 0, 0, 1}}},
        // c0 (blue) <= c1 (red): three colours and transparent black.
        {"DXT1",
         D3DFMT_DXT1,
         [](uint8_t* bits, INT) {
             const uint16_t c0 = 0x001F, c1 = 0xF800;
             const uint32_t indices = BlockIndices(1, 0, 2, 3, 2);
             memcpy(bits, &c0, 2);
             memcpy(bits + 2, &c1, 2);
             memcpy(bits + 4, &indices, 4);
         },
         {{1, 0, 0, 1}, {0, 0, 1, 1}, {h, 0, h, 1}, {0, 0, 0, 0}}},
        // Explicit 4-bit alpha, then a four-colour block (red, blue).
        {"DXT3",
         D3DFMT_DXT3,
         [](uint8_t* bits, INT) {
             const uint64_t alpha = 0xF0F0F0F000FF00FFull; // rows: F,F,0,0 / F,F,0,0 / ...
             (void)alpha;
             uint8_t alphas[8];
             for (int y = 0; y < 4; ++y) {
                 // quadrant alpha nibbles: 15, 0 (top) and 8, 15 (bottom)
                 const uint8_t left = y < 2 ? 15 : 8, right = y < 2 ? 0 : 15;
                 alphas[y * 2] = uint8_t(left | (left << 4));
                 alphas[y * 2 + 1] = uint8_t(right | (right << 4));
             }
             memcpy(bits, alphas, 8);
             const uint16_t c0 = 0xF800, c1 = 0x001F;
             const uint32_t indices = BlockIndices(0, 1, 0, 1, 2);
             memcpy(bits + 8, &c0, 2);
             memcpy(bits + 10, &c1, 2);
             memcpy(bits + 12, &indices, 4);
         },
         {{1, 0, 0, 1}, {0, 0, 1, 0}, {1, 0, 0, 8 / 15.0}, {0, 0, 1, 1}}},
        // Interpolated alpha with endpoints 255 and 0 (indices 0 and 1 only).
        {"DXT5",
         D3DFMT_DXT5,
         [](uint8_t* bits, INT) {
             bits[0] = 255;
             bits[1] = 0;
             uint64_t alphaIndices = 0;
             for (int y = 0; y < 4; ++y)
                 for (int x = 0; x < 4; ++x)
                     alphaIndices |= uint64_t((x < 2) == (y < 2) ? 0 : 1) << (3 * (y * 4 + x));
             memcpy(bits + 2, &alphaIndices, 6);
             const uint16_t c0 = 0x07E0, c1 = 0x001F;
             const uint32_t indices = BlockIndices(0, 0, 1, 1, 2);
             memcpy(bits + 8, &c0, 2);
             memcpy(bits + 10, &c1, 2);
             memcpy(bits + 12, &indices, 4);
         },
         {{0, 1, 0, 1}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 1, 1}}},
    };

    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, c.format, D3DPOOL_MANAGED, &texture, nullptr),
                  D3D_OK);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        c.fill(static_cast<uint8_t*>(locked.pBits), locked.Pitch);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        ClearTo(0xFFFFFFFF);
        device->SetTexture(0, texture);
        ScreenVertex quad[4];
        Rectangle(quad, 0.0f, 0.0f, 200.0f, 200.0f, 0xFFFFFFFF);
        DrawStripUp(quad);
        device->SetTexture(0, nullptr);
        texture->Release();
        const std::vector<uint16_t> pixels = ReadBackBuffer();
        const UINT sample[4][2] = {{25, 25}, {175, 25}, {25, 175}, {175, 175}};
        for (int corner = 0; corner < 4; ++corner) {
            const double* t = c.corners[corner];
            const uint16_t expected =
                Rgb565(t[0] * t[3] + 1 - t[3], t[1] * t[3] + 1 - t[3], t[2] * t[3] + 1 - t[3]);
            EXPECT_TRUE(Near565(At(pixels, sample[corner][0], sample[corner][1]), expected))
                << "corner " << corner;
        }
    }
}

TEST_F(RenderTest, MipLevelsAreLockedOneByOneAndOnlyTheTopIsReadWithoutMipFiltering) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(8, 8, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    ASSERT_EQ(texture->GetLevelCount(), 4u);
    for (UINT level = 0; level < 4; ++level) {
        D3DSURFACE_DESC desc{};
        texture->GetLevelDesc(level, &desc);
        EXPECT_EQ(desc.Width, 8u >> level);
        D3DLOCKED_RECT locked{};
        ASSERT_EQ(texture->LockRect(level, &locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                Put32(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, int(x),
                      level == 0 ? 0x00FF0000 : 0x0000FF00);
        texture->UnlockRect(level);
    }
    ClearTo(0xFF000000);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    ScreenVertex quad[4];
    Rectangle(quad, 0.0f, 0.0f, 2.0f, 2.0f, 0xFFFFFFFF); // minified 4 times
    DrawStripUp(quad);
    EXPECT_EQ(At(ReadBackBuffer(), 0, 0), 0xF800);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    DrawStripUp(quad);
    EXPECT_EQ(At(ReadBackBuffer(), 0, 0), 0x07E0);
    device->SetTexture(0, nullptr);
    texture->Release();
}

TEST_F(RenderTest, DepthTestKeepsTheNearerSurface) {
    ClearTo(0xFF000000);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    ScreenVertex quad[4];
    Rectangle(quad, 100.0f, 100.0f, 200.0f, 200.0f, 0xFFFF0000, 0.5f);
    DrawStripUp(quad);
    Rectangle(quad, 150.0f, 150.0f, 200.0f, 200.0f, 0xFF00FF00, 0.7f); // behind: hidden
    DrawStripUp(quad);
    Rectangle(quad, 50.0f, 50.0f, 100.0f, 100.0f, 0xFF0000FF, 0.5f); // equal: LESSEQUAL passes
    DrawStripUp(quad);
    std::vector<uint16_t> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 200, 200), 0xF800);
    EXPECT_EQ(At(pixels, 320, 320), 0x07E0); // outside the red quad
    EXPECT_EQ(At(pixels, 120, 120), 0x001F);

    // Without depth writes a later, farther quad is still tested against the old depth.
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER);
    Rectangle(quad, 100.0f, 100.0f, 200.0f, 200.0f, 0xFFFFFFFF, 0.6f);
    DrawStripUp(quad);
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 200, 200), 0xFFFF);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_NEVER);
    Rectangle(quad, 0.0f, 0.0f, 10.0f, 10.0f, 0xFF00FF00, 0.9f);
    DrawStripUp(quad);
    EXPECT_EQ(At(ReadBackBuffer(), 5, 5), 0x07E0);
}

TEST_F(RenderTest, IndexedDrawsFromSixteenAndThirtyTwoBitIndexBuffers) {
    ClearTo(0xFF000000);
    IDirect3DVertexBuffer9* vertices = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(8 * 28, D3DUSAGE_WRITEONLY, kScreenFvf, D3DPOOL_MANAGED,
                                         &vertices, nullptr),
              D3D_OK);
    ScreenVertex* v = nullptr;
    ASSERT_EQ(vertices->Lock(0, 0, reinterpret_cast<void**>(&v), 0), D3D_OK);
    Rectangle(v, 0.0f, 0.0f, 100.0f, 100.0f, 0xFFFF0000);
    Rectangle(v + 4, 200.0f, 0.0f, 100.0f, 100.0f, 0xFF0000FF);
    vertices->Unlock();
    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        IDirect3DIndexBuffer9* indices = nullptr;
        const UINT size = format == D3DFMT_INDEX16 ? 2 : 4;
        ASSERT_EQ(
            device->CreateIndexBuffer(6 * size, 0, format, D3DPOOL_MANAGED, &indices, nullptr),
            D3D_OK);
        uint8_t* data = nullptr;
        ASSERT_EQ(indices->Lock(0, 0, reinterpret_cast<void**>(&data), 0), D3D_OK);
        const uint32_t list[6] = {0, 1, 2, 2, 1, 3};
        for (int i = 0; i < 6; ++i)
            memcpy(data + i * size, &list[i], size);
        indices->Unlock();
        device->SetIndices(indices);
        device->SetStreamSource(0, vertices, 0, 28);
        device->SetFVF(kScreenFvf);
        // The second rectangle through the base vertex index.
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 5, 0, 4, 0, 2),
                  D3DERR_INVALIDCALL); // index 3 + 5 is past the buffer
        device->SetIndices(nullptr);
        indices->Release();
    }
    device->SetStreamSource(0, nullptr, 0, 0);
    vertices->Release();
    std::vector<uint16_t> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 250, 50), 0x001F);
    EXPECT_EQ(At(pixels, 50, 50), 0x0000);

    const uint16_t fan[6] = {0, 1, 2, 2, 1, 3};
    ScreenVertex quad[4];
    Rectangle(quad, 0.0f, 0.0f, 100.0f, 100.0f, 0xFF00FF00);
    EXPECT_EQ(
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, fan, D3DFMT_INDEX16, quad, 28),
        D3D_OK);
    EXPECT_EQ(
        device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 2, fan, D3DFMT_INDEX16, quad, 28),
        D3DERR_INVALIDCALL); // index 3 beyond the 3 vertices given
    EXPECT_EQ(At(ReadBackBuffer(), 50, 50), 0x07E0);
}

TEST_F(RenderTest, AlphaTestDiscardsBelowTheReference) {
    ClearTo(0xFF000000);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device->SetRenderState(D3DRS_ALPHAREF, 0x80);
    ScreenVertex quad[4];
    Rectangle(quad, 0.0f, 0.0f, 50.0f, 50.0f, 0x7FFFFFFF);
    DrawStripUp(quad);
    Rectangle(quad, 100.0f, 0.0f, 50.0f, 50.0f, 0x80FFFFFF);
    DrawStripUp(quad);
    const std::vector<uint16_t> pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, 25, 25), 0x0000);
    EXPECT_EQ(At(pixels, 125, 25), 0xFFFF);
}

TEST(PresentTest, StretchesTheBackBufferOverAWindowOfAnotherSize) {
    HWND window = win32::CreateHiddenGlWindow(300, 230);
    ASSERT_NE(window, nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS p = d3d9test::ViewerParameters(window);
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                                &device),
              D3D_OK);
    // Left half red, right half blue, a green band over the top 30 rows.
    const D3DRECT left{0, 0, 450, 690}, right{450, 0, 900, 690}, top{0, 0, 900, 30};
    device->Clear(1, &left, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    device->Clear(1, &right, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    device->Clear(1, &top, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    // The window's default framebuffer, read by GL (rows from the bottom).
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    uint8_t pixels[230][300][4];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 300, 230, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    auto at = [&](int x, int yFromTop) { return pixels[229 - yFromTop][x]; };
    EXPECT_GT(at(50, 115)[0], 240);
    EXPECT_LT(at(50, 115)[2], 15);
    EXPECT_GT(at(250, 115)[2], 240);
    EXPECT_LT(at(250, 115)[0], 15);
    EXPECT_GT(at(150, 3)[1], 240); // 30 of 690 rows is 10 of 230
    EXPECT_LT(at(150, 20)[1], 15);
    // Linear filtering blends across the red-blue edge at x = 150.
    const uint8_t* edge = at(149, 115);
    EXPECT_GT(int(edge[0]) + int(edge[2]), 200);

    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(d3d->Release(), 0u);
    DestroyWindow(window);
}

// A same-size Present shows every stored level of a 565 back buffer as the nearest 8-bit value:
// bands of all 32 red and blue and 64 green levels, under alphas the draws leave behind.
TEST_F(RenderTest, PresentShowsEveryStoredLevelExactly) {
    for (int band = 0; band < 64; ++band) {
        const LONG x = band * 14;
        const D3DRECT r{x, 0, x + 14, 690};
        const int level5 = band / 2, level6 = band;
        const D3DCOLOR colour =
            D3DCOLOR_ARGB(band * 4, level5 * 255 / 31, level6 * 255 / 63, (31 - level5) * 255 / 31);
        device->Clear(1, &r, D3DCLEAR_TARGET, colour, 1.0f, 0);
    }
    const std::vector<uint16_t> stored = ReadBackBuffer();
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    std::vector<uint8_t> shown(size_t(kWidth) * kHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, GLsizei(kWidth), GLsizei(kHeight), GL_RGBA, GL_UNSIGNED_BYTE, shown.data());
    auto nearest = [](int level, int max) { return (level * 255 + max / 2) / max; };
    int wrong = 0;
    for (int band = 0; band < 64; ++band) {
        for (int y : {0, 345, 689}) {
            const int x = band * 14 + 7;
            const uint16_t p = At(stored, x, y);
            const uint8_t* q = &shown[(size_t(kHeight - 1 - y) * kWidth + x) * 4];
            const int expected[4] = {nearest(p >> 11, 31), nearest((p >> 5) & 63, 63),
                                     nearest(p & 31, 31), 255};
            for (int c = 0; c < 4; ++c)
                if (q[c] != expected[c] && ++wrong <= 8)
                    ADD_FAILURE() << "band " << band << " row " << y << " channel " << c
                                  << ": shown " << int(q[c]) << ", stored level gives "
                                  << expected[c];
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(RenderTest, PresentKeepsToSixtyFramesASecondWhereTheDriverDoesNotWait) {
    ASSERT_TRUE(d3d9::PresentPacing());
    ClearTo(kClearColor);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 0; frame < 6; ++frame)
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // Six refreshes of a 60 Hz display, less a little for the first tick's phase.
    EXPECT_GE(elapsed, std::chrono::milliseconds(6 * 16 - 17));

    // A benchmark may switch the pacing off; the next device call picks that up.
    d3d9::SetPresentPacing(false);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    d3d9::SetPresentPacing(true);
}

} // namespace
