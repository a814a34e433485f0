// The viewer's filter quad over the clear colour: FVF 0x144 strip at (248,136) 404x410 from a
// 112-byte vertex buffer, stage 0 alpha MODULATE, colour TEXTURE x DIFFUSE, SRCALPHA/INVSRCALPHA.
// Variant: TINT (ARGB hex, no texture) or TINT:IMAGE (with the image as texture).
#include "scene.h"

#include <string>

namespace {

struct QuadVertex {
    float x, y, z, rhw;
    DWORD diffuse;
    float u, v;
};
static_assert(sizeof(QuadVertex) == 28);

constexpr DWORD kQuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

} // namespace

int main(int argc, char** argv) {
    scene::Context c = scene::Open(argc, argv);
    const std::string variant = c.variant;
    const size_t colon = variant.find(':');
    const DWORD tint = DWORD(std::strtoul(variant.substr(0, colon).c_str(), nullptr, 16));
    IDirect3DDevice9* device = c.device;

    IDirect3DTexture9* texture = nullptr;
    if (colon != std::string::npos) {
        const std::string image = variant.substr(colon + 1);
        scene::Check(D3DXCreateTextureFromFileExA(device, image.c_str(), D3DX_DEFAULT, D3DX_DEFAULT,
                                                  D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                                  D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr,
                                                  &texture),
                     "D3DXCreateTextureFromFileExA");
    }

    const float x = 248.0f, y = 136.0f, w = 404.0f, h = 410.0f;
    const QuadVertex quad[4] = {{x, y, 0.0f, 1.0f, tint, 0.0f, 0.0f},
                                {x + w, y, 0.0f, 1.0f, tint, 1.0f, 0.0f},
                                {x, y + h, 0.0f, 1.0f, tint, 0.0f, 1.0f},
                                {x + w, y + h, 0.0f, 1.0f, tint, 1.0f, 1.0f}};
    IDirect3DVertexBuffer9* buffer = nullptr;
    scene::Check(
        device->CreateVertexBuffer(sizeof quad, 0, kQuadFvf, D3DPOOL_DEFAULT, &buffer, nullptr),
        "CreateVertexBuffer");
    void* locked = nullptr;
    scene::Check(buffer->Lock(0, sizeof quad, &locked, 0), "Lock");
    std::memcpy(locked, quad, sizeof quad);
    buffer->Unlock();

    scene::Check(device->BeginScene(), "BeginScene");
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, scene::kClearColour, 1.0f, 0);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTexture(0, texture);
    device->SetStreamSource(0, buffer, 0, sizeof(QuadVertex));
    device->SetFVF(kQuadFvf);
    scene::Check(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), "DrawPrimitive");
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    scene::Check(device->EndScene(), "EndScene");
    buffer->Release();
    if (texture) texture->Release();
    scene::SaveAndClose(c);
}
