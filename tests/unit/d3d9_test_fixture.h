// A window and a device as the viewer makes them (900 x 690, R5G6B5 back buffer, D16 depth),
// and reading the back buffer as RGB565 pixels.
#pragma once

#include "win32/window.h"

#include <d3d9.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace d3d9test {

constexpr UINT kWidth = 900;
constexpr UINT kHeight = 690;

inline D3DPRESENT_PARAMETERS ViewerParameters(HWND window) {
    D3DPRESENT_PARAMETERS p{};
    p.BackBufferWidth = kWidth;
    p.BackBufferHeight = kHeight;
    p.BackBufferFormat = D3DFMT_R5G6B5;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    p.hDeviceWindow = window;
    p.Windowed = TRUE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    return p;
}

// An 8-bit channel as the hardware stores it in n bits: rounded to the nearest level.
inline uint16_t Quantize(double value01, int bits) {
    const double levels = (1 << bits) - 1;
    const double clamped = value01 < 0 ? 0 : value01 > 1 ? 1 : value01;
    return uint16_t(std::lround(clamped * levels));
}

inline uint16_t Rgb565(double r, double g, double b) {
    return uint16_t((Quantize(r, 5) << 11) | (Quantize(g, 6) << 5) | Quantize(b, 5));
}

inline uint16_t Rgb565(D3DCOLOR c) {
    return Rgb565(((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0);
}

// The channels of an RGB565 pixel as 0..1 values.
struct Rgb {
    double r, g, b;
};
inline Rgb Channels(uint16_t p) {
    return Rgb{((p >> 11) & 31) / 31.0, ((p >> 5) & 63) / 63.0, (p & 31) / 31.0};
}

// Whether each channel of a pixel is within one step of the expected value.
inline ::testing::AssertionResult Near565(uint16_t actual, uint16_t expected) {
    const int dr = int((actual >> 11) & 31) - int((expected >> 11) & 31);
    const int dg = int((actual >> 5) & 63) - int((expected >> 5) & 63);
    const int db = int(actual & 31) - int(expected & 31);
    if (std::abs(dr) <= 1 && std::abs(dg) <= 1 && std::abs(db) <= 1)
        return ::testing::AssertionSuccess();
    char text[96];
    snprintf(text, sizeof text, "pixel 0x%04X, expected 0x%04X (within one step)", actual,
             expected);
    return ::testing::AssertionFailure() << text;
}

class DeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = win32::CreateHiddenGlWindow(int(kWidth), int(kHeight));
        ASSERT_NE(window, nullptr);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS p = ViewerParameters(window);
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device),
                  D3D_OK);
    }

    void TearDown() override {
        // Nothing may hold the device or the Direct3D object once the test is done.
        if (device) {
            EXPECT_EQ(device->Release(), 0u);
        }
        if (d3d) {
            EXPECT_EQ(d3d->Release(), 0u);
        }
        if (window) DestroyWindow(window);
    }

    // The back buffer through GetBackBuffer and LockRect, top row first.
    std::vector<uint16_t> ReadBackBuffer() {
        std::vector<uint16_t> pixels;
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
        if (!surface) return pixels;
        D3DLOCKED_RECT locked{};
        EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(locked.Pitch, INT(kWidth * 2));
        pixels.resize(size_t(kWidth) * kHeight);
        for (UINT y = 0; y < kHeight; ++y)
            memcpy(&pixels[size_t(y) * kWidth],
                   static_cast<const uint8_t*>(locked.pBits) + size_t(y) * locked.Pitch,
                   kWidth * 2);
        surface->UnlockRect();
        surface->Release();
        return pixels;
    }

    static uint16_t At(const std::vector<uint16_t>& pixels, UINT x, UINT y) {
        return pixels[size_t(y) * kWidth + x];
    }

    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
};

// Pre-transformed vertex of FVF 0x144 (XYZRHW | DIFFUSE | TEX1).
struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
static_assert(sizeof(ScreenVertex) == 28);
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// A rectangle as a clockwise strip: top left, top right, bottom left, bottom right.
inline void Rectangle(ScreenVertex out[4], float x, float y, float w, float h, D3DCOLOR color,
                      float z = 0.0f) {
    out[0] = {x, y, z, 1.0f, color, 0.0f, 0.0f};
    out[1] = {x + w, y, z, 1.0f, color, 1.0f, 0.0f};
    out[2] = {x, y + h, z, 1.0f, color, 0.0f, 1.0f};
    out[3] = {x + w, y + h, z, 1.0f, color, 1.0f, 1.0f};
}

} // namespace d3d9test
