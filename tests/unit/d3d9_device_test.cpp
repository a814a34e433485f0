// The Direct3D object and the device's contract: creation, references, state and the error
// codes of bad calls.
#include "d3d9_test_fixture.h"

#include <d3d9.h>

#include <gtest/gtest.h>

namespace {

using d3d9test::DeviceTest;
using d3d9test::kHeight;
using d3d9test::kWidth;
using d3d9test::ViewerParameters;

TEST(Direct3DCreate, RefusesAnotherSdkVersionAndReportsOneAdapter) {
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    EXPECT_EQ(d3d->GetAdapterCount(), 1u);
    D3DDISPLAYMODE mode{};
    EXPECT_EQ(d3d->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(1, &mode), D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->GetAdapterDisplayMode(0, nullptr), D3DERR_INVALIDCALL);

    D3DCAPS9 caps{};
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_GE(caps.MaxTextureWidth, 2048u);
    EXPECT_EQ(caps.MaxActiveLights, 8u);
    EXPECT_EQ(caps.MaxTextureBlendStages, 8u);
    EXPECT_EQ(d3d->GetDeviceCaps(0, D3DDEVTYPE_SW, &caps), D3DERR_NOTAVAILABLE);

    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE,
                                     D3DFMT_DXT1),
              D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL,
                                     D3DRTYPE_SURFACE, D3DFMT_D16),
              D3D_OK);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE,
                                     D3DFMT_A2B10G10R10),
              D3DERR_NOTAVAILABLE);

    IDirect3D9* same = nullptr;
    EXPECT_EQ(d3d->QueryInterface(IID_IDirect3D9, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same, d3d);
    void* other = nullptr;
    EXPECT_EQ(d3d->QueryInterface(IID_IDirect3DDevice9, &other), E_NOINTERFACE);
    EXPECT_EQ(same->Release(), 1u);
    EXPECT_EQ(d3d->Release(), 0u);
}

class CreateDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = win32::CreateHiddenGlWindow(320, 240);
        ASSERT_NE(window, nullptr);
        d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(d3d->Release(), 0u);
        DestroyWindow(window);
    }
    HRESULT Create(D3DDEVTYPE type, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* p,
                   IDirect3DDevice9** out) {
        return d3d->CreateDevice(0, type, focus, flags, p, out);
    }
    HWND window = nullptr;
    IDirect3D9* d3d = nullptr;
};

TEST_F(CreateDeviceTest, AcceptsTheViewersThreeAttempts) {
    const struct {
        D3DDEVTYPE type;
        DWORD flags;
    } attempts[] = {{D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING},
                    {D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
                    {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING}};
    for (const auto& attempt : attempts) {
        D3DPRESENT_PARAMETERS p = ViewerParameters(window);
        IDirect3DDevice9* device = nullptr;
        ASSERT_EQ(Create(attempt.type, window, attempt.flags, &p, &device), D3D_OK);
        // The back buffer keeps its size whatever the window's client area is.
        IDirect3DSurface9* backBuffer = nullptr;
        ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
        D3DSURFACE_DESC desc{};
        EXPECT_EQ(backBuffer->GetDesc(&desc), D3D_OK);
        EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
        EXPECT_EQ(desc.Width, kWidth);
        EXPECT_EQ(desc.Height, kHeight);
        backBuffer->Release();
        D3DCAPS9 caps{};
        EXPECT_EQ(device->GetDeviceCaps(&caps), D3D_OK);
        EXPECT_EQ(caps.DeviceType, attempt.type);
        EXPECT_EQ(device->Release(), 0u);
    }
}

TEST_F(CreateDeviceTest, WindowedDefaultsComeFromTheWindowAndTheDesktop) {
    D3DPRESENT_PARAMETERS p{};
    p.Windowed = TRUE;
    p.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice9* device = nullptr;
    // No device window: the focus window is used.
    ASSERT_EQ(Create(D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p, &device),
              D3D_OK);
    EXPECT_EQ(p.BackBufferWidth, 320u);
    EXPECT_EQ(p.BackBufferHeight, 240u);
    EXPECT_EQ(p.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(p.BackBufferCount, 1u);
    D3DVIEWPORT9 viewport{};
    EXPECT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, 320u);
    EXPECT_EQ(viewport.Height, 240u);
    // Without a depth buffer, depth testing starts off and the depth cannot be cleared.
    DWORD zenable = 1;
    EXPECT_EQ(device->GetRenderState(D3DRS_ZENABLE, &zenable), D3D_OK);
    EXPECT_EQ(zenable, DWORD(D3DZB_FALSE));
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(CreateDeviceTest, RefusesBadArguments) {
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
    D3DPRESENT_PARAMETERS p = ViewerParameters(window);
    const DWORD hw = D3DCREATE_HARDWARE_VERTEXPROCESSING;
    EXPECT_EQ(Create(D3DDEVTYPE_HAL, window, hw, nullptr, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(Create(D3DDEVTYPE_HAL, window, hw, &p, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(Create(D3DDEVTYPE_SW, window, hw, &p, &device), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(Create(D3DDEVTYPE_NULLREF, window, hw, &p, &device), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(Create(D3DDEVTYPE_HAL, window, 0, &p, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(Create(D3DDEVTYPE_HAL, window,
                     D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p,
                     &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(d3d->CreateDevice(1, D3DDEVTYPE_HAL, window, hw, &p, &device), D3DERR_INVALIDCALL);

    D3DPRESENT_PARAMETERS noWindow = p;
    noWindow.hDeviceWindow = nullptr;
    EXPECT_EQ(Create(D3DDEVTYPE_HAL, nullptr, hw, &noWindow, &device), D3DERR_INVALIDCALL);
    D3DPRESENT_PARAMETERS badFormat = p;
    badFormat.BackBufferFormat = D3DFMT_A8;
    EXPECT_EQ(Create(D3DDEVTYPE_HAL, window, hw, &badFormat, &device), D3DERR_INVALIDCALL);
    D3DPRESENT_PARAMETERS badDepth = p;
    badDepth.AutoDepthStencilFormat = D3DFMT_X8R8G8B8;
    EXPECT_EQ(Create(D3DDEVTYPE_HAL, window, hw, &badDepth, &device), D3DERR_INVALIDCALL);
    D3DPRESENT_PARAMETERS badInterval = p;
    badInterval.PresentationInterval = D3DPRESENT_INTERVAL_TWO; // not for a window
    EXPECT_EQ(Create(D3DDEVTYPE_HAL, window, hw, &badInterval, &device), D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
}

TEST_F(CreateDeviceTest, EveryBackBufferAndDepthFormatCanBeMade) {
    for (D3DFORMAT color :
         {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5}) {
        for (D3DFORMAT depth : {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8}) {
            D3DPRESENT_PARAMETERS p = ViewerParameters(window);
            p.BackBufferFormat = color;
            p.AutoDepthStencilFormat = depth;
            IDirect3DDevice9* device = nullptr;
            ASSERT_EQ(
                Create(D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
                D3D_OK)
                << color << " " << depth;
            EXPECT_EQ(
                device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0),
                D3D_OK);
            // Only D24S8 has a stencil buffer to clear.
            EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0),
                      depth == D3DFMT_D24S8 ? D3D_OK : D3DERR_INVALIDCALL);
            EXPECT_EQ(device->Release(), 0u);
        }
    }
}

TEST_F(DeviceTest, HoldsItsDirect3DAndResourcesHoldTheDevice) {
    IDirect3D9* parent = nullptr;
    EXPECT_EQ(device->GetDirect3D(&parent), D3D_OK);
    EXPECT_EQ(parent, d3d);
    EXPECT_EQ(parent->Release(), 2u); // the test's reference and the device's

    IDirect3DVertexBuffer9* buffer = nullptr;
    ASSERT_EQ(
        device->CreateVertexBuffer(112, 0, d3d9test::kScreenFvf, D3DPOOL_DEFAULT, &buffer, nullptr),
        D3D_OK);
    EXPECT_EQ(device->AddRef(), 3u); // the test's, the buffer's, this one
    EXPECT_EQ(device->Release(), 2u);
    IDirect3DDevice9* owner = nullptr;
    EXPECT_EQ(buffer->GetDevice(&owner), D3D_OK);
    EXPECT_EQ(owner, device);
    owner->Release();

    // A bound buffer outlives its last public reference; GetStreamSource hands out a new one.
    EXPECT_EQ(device->SetStreamSource(0, buffer, 0, 28), D3D_OK);
    EXPECT_EQ(buffer->Release(), 0u);
    IDirect3DVertexBuffer9* bound = nullptr;
    UINT offset = 1, stride = 0;
    EXPECT_EQ(device->GetStreamSource(0, &bound, &offset, &stride), D3D_OK);
    EXPECT_EQ(bound, buffer);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(stride, 28u);
    D3DVERTEXBUFFER_DESC desc{};
    EXPECT_EQ(bound->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Size, 112u);
    EXPECT_EQ(desc.FVF, d3d9test::kScreenFvf);
    EXPECT_EQ(bound->Release(), 0u);

    // A texture surface shares its texture's references.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 4u);
    IDirect3DSurface9* level = nullptr;
    EXPECT_EQ(texture->GetSurfaceLevel(3, &level), D3D_OK);
    EXPECT_EQ(texture->Release(), 1u);
    D3DSURFACE_DESC levelDesc{};
    EXPECT_EQ(level->GetDesc(&levelDesc), D3D_OK);
    EXPECT_EQ(levelDesc.Width, 1u);
    EXPECT_EQ(device->SetTexture(0, texture), D3D_OK);
    EXPECT_EQ(level->Release(), 0u);
    IDirect3DBaseTexture9* boundTexture = nullptr;
    EXPECT_EQ(device->GetTexture(0, &boundTexture), D3D_OK);
    EXPECT_EQ(boundTexture, static_cast<IDirect3DBaseTexture9*>(texture));
    EXPECT_EQ(boundTexture->Release(), 0u);
    // The device still holds the buffer and the texture; releasing it frees them (LSan checks).
}

TEST_F(DeviceTest, StartsWithDirect3DsDefaults) {
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } defaults[] = {{D3DRS_ZENABLE, D3DZB_TRUE},
                    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
                    {D3DRS_CULLMODE, D3DCULL_CCW},
                    {D3DRS_LIGHTING, TRUE},
                    {D3DRS_SPECULARENABLE, FALSE},
                    {D3DRS_LOCALVIEWER, TRUE},
                    {D3DRS_COLORVERTEX, TRUE},
                    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
                    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
                    {D3DRS_AMBIENT, 0},
                    {D3DRS_SRCBLEND, D3DBLEND_ONE},
                    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
                    {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},
                    {D3DRS_COLORWRITEENABLE, 0xF},
                    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS}};
    for (const auto& d : defaults) {
        DWORD value = 0xDEADBEEF;
        EXPECT_EQ(device->GetRenderState(d.state, &value), D3D_OK);
        EXPECT_EQ(value, d.value) << "render state " << d.state;
    }
    DWORD value = 0;
    device->GetTextureStageState(0, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, DWORD(D3DTOP_MODULATE));
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &value);
    EXPECT_EQ(value, DWORD(D3DTOP_SELECTARG1));
    device->GetTextureStageState(1, D3DTSS_COLOROP, &value);
    EXPECT_EQ(value, DWORD(D3DTOP_DISABLE));
    device->GetTextureStageState(3, D3DTSS_TEXCOORDINDEX, &value);
    EXPECT_EQ(value, 3u);
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
    EXPECT_EQ(value, DWORD(D3DTEXF_POINT));
    device->GetSamplerState(0, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ(value, DWORD(D3DTADDRESS_WRAP));

    D3DMATRIX m{};
    EXPECT_EQ(device->GetTransform(D3DTS_PROJECTION, &m), D3D_OK);
    EXPECT_EQ(m._11, 1.0f);
    EXPECT_EQ(m._44, 1.0f);
    EXPECT_EQ(m._12, 0.0f);
    D3DVIEWPORT9 viewport{};
    EXPECT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(viewport.Width, kWidth);
    EXPECT_EQ(viewport.Height, kHeight);
    EXPECT_EQ(viewport.MinZ, 0.0f);
    EXPECT_EQ(viewport.MaxZ, 1.0f);
    D3DMATERIAL9 material{};
    material.Power = 5;
    EXPECT_EQ(device->GetMaterial(&material), D3D_OK);
    EXPECT_EQ(material.Power, 0.0f);
}

TEST_F(DeviceTest, KeepsWhatIsSet) {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.2f, 0.2f, 0.2f, 0.2f};
    light.Direction = {0, -1, 1};
    EXPECT_EQ(device->SetLight(2, &light), D3D_OK);
    EXPECT_EQ(device->LightEnable(2, TRUE), D3D_OK);
    D3DLIGHT9 back{};
    EXPECT_EQ(device->GetLight(2, &back), D3D_OK);
    EXPECT_EQ(back.Direction.z, 1.0f);
    BOOL enabled = FALSE;
    EXPECT_EQ(device->GetLightEnable(2, &enabled), D3D_OK);
    EXPECT_NE(enabled, FALSE);
    EXPECT_EQ(device->GetLight(0, &back), D3DERR_INVALIDCALL); // never set

    // Enabling a light that was never set gives the default white directional light.
    EXPECT_EQ(device->LightEnable(5, TRUE), D3D_OK);
    EXPECT_EQ(device->GetLight(5, &back), D3D_OK);
    EXPECT_EQ(back.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(back.Diffuse.r, 1.0f);
    EXPECT_EQ(back.Direction.z, 1.0f);

    D3DMATRIX view{};
    view._11 = 2;
    EXPECT_EQ(device->SetTransform(D3DTS_VIEW, &view), D3D_OK);
    D3DMATRIX got{};
    EXPECT_EQ(device->GetTransform(D3DTS_VIEW, &got), D3D_OK);
    EXPECT_EQ(got._11, 2.0f);

    D3DVIEWPORT9 viewport{10, 20, 100, 200, 0.25f, 0.75f};
    EXPECT_EQ(device->SetViewport(&viewport), D3D_OK);
    D3DVIEWPORT9 gotViewport{};
    device->GetViewport(&gotViewport);
    EXPECT_EQ(gotViewport.Y, 20u);
    EXPECT_EQ(gotViewport.MaxZ, 0.75f);

    EXPECT_EQ(device->SetFVF(d3d9test::kScreenFvf), D3D_OK);
    DWORD fvf = 0;
    EXPECT_EQ(device->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, d3d9test::kScreenFvf);
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    EXPECT_GT(device->GetAvailableTextureMem(), 0u);
}

TEST_F(DeviceTest, BadCallsGetDirect3DsErrorCodes) {
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);

    EXPECT_EQ(device->SetLight(0, nullptr), D3DERR_INVALIDCALL);
    D3DLIGHT9 badLight{};
    EXPECT_EQ(device->SetLight(0, &badLight), D3DERR_INVALIDCALL); // type 0
    EXPECT_EQ(device->SetMaterial(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderState(D3DRS_LIGHTING, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTexture(8, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_DISABLE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetSamplerState(8, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR), D3DERR_INVALIDCALL);
    D3DVIEWPORT9 outside{800, 0, 200, 100, 0, 1};
    EXPECT_EQ(device->SetViewport(&outside), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetBackBuffer(0, 1, D3DBACKBUFFER_TYPE_MONO, nullptr), D3DERR_INVALIDCALL);

    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(
        device->CreateTexture(16, 16, 1, 0, D3DFMT_A2B10G10R10, D3DPOOL_MANAGED, &texture, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device->CreateTexture(0, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device->CreateTexture(16, 16, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3DERR_INVALIDCALL); // a 16 x 16 chain has five levels
    EXPECT_EQ(
        device->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, nullptr, nullptr),
        D3DERR_INVALIDCALL);
    ASSERT_EQ(
        device->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
        D3D_OK);
    D3DLOCKED_RECT locked{};
    EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    RECT outsideRect{0, 0, 17, 4};
    EXPECT_EQ(texture->LockRect(0, &locked, &outsideRect, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(locked.Pitch, 64);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL); // already locked
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    texture->Release();
    // A default-pool texture is lockable only when dynamic.
    ASSERT_EQ(
        device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
        D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);
    texture->Release();

    IDirect3DVertexBuffer9* buffer = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(
        device->CreateVertexBuffer(20, 0, d3d9test::kScreenFvf, D3DPOOL_DEFAULT, &buffer, nullptr),
        D3DERR_INVALIDCALL); // less than one 28-byte vertex
    ASSERT_EQ(
        device->CreateVertexBuffer(112, 0, d3d9test::kScreenFvf, D3DPOOL_DEFAULT, &buffer, nullptr),
        D3D_OK);
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(100, 16, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(113, 0, &data, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(0, 0, nullptr, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Lock(84, 28, &data, 0), D3D_OK);
    // Drawing from a locked buffer is refused.
    device->SetStreamSource(0, buffer, 0, 28);
    device->SetFVF(d3d9test::kScreenFvf);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    // Past the end of the buffer, an unknown primitive type, no vertex format.
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPRIMITIVETYPE(9), 0, 1), D3DERR_INVALIDCALL);
    device->SetFVF(0);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3DERR_INVALIDCALL);
    buffer->Release();

    IDirect3DIndexBuffer9* indices = nullptr;
    EXPECT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_R5G6B5, D3DPOOL_DEFAULT, &indices, nullptr),
              D3DERR_INVALIDCALL);
    device->SetFVF(d3d9test::kScreenFvf);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1),
              D3DERR_INVALIDCALL); // nothing bound
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, 28), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, 0, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(DeviceTest, ResetMakesANewBackBufferAndRestoresTheDefaults) {
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DPRESENT_PARAMETERS p = ViewerParameters(window);
    p.BackBufferWidth = 400;
    p.BackBufferHeight = 300;
    ASSERT_EQ(device->Reset(&p), D3D_OK);
    DWORD lighting = 0;
    device->GetRenderState(D3DRS_LIGHTING, &lighting);
    EXPECT_EQ(lighting, DWORD(TRUE));
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    EXPECT_EQ(viewport.Width, 400u);
    EXPECT_EQ(viewport.Height, 300u);
}

} // namespace
