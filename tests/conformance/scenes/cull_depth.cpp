// Culling and depth: unlit coloured triangles in perspective, drawn in an order that only the
// depth test puts right, one of them wound counter-clockwise on screen.
// Variants: ccw (the default CULLMODE), none, cw, zfunc (ZFUNC GREATER after a far clear).
#include "geometry.h"

namespace {

struct ColourVertex {
    float x, y, z;
    DWORD colour;
};

} // namespace

int main(int argc, char** argv) {
    scene::Context c = scene::Open(argc, argv);
    IDirect3DDevice9* device = c.device;

    DWORD cull = D3DCULL_CCW;
    float clearZ = 1.0f;
    DWORD zfunc = D3DCMP_LESSEQUAL;
    if (scene::Is(c, "ccw")) {
    } else if (scene::Is(c, "none")) {
        cull = D3DCULL_NONE;
    } else if (scene::Is(c, "cw")) {
        cull = D3DCULL_CW;
    } else if (scene::Is(c, "zfunc")) {
        clearZ = 0.0f;
        zfunc = D3DCMP_GREATER;
    } else {
        scene::UnknownVariant(c);
    }

    // Clockwise on screen (front), near to far: red at z 0, green at z 1, blue at z 2; the last
    // one, yellow, counter-clockwise (back).
    const ColourVertex triangles[] = {
        {-1.2f, 1.0f, 0.0f, 0xFFE03020},  {0.8f, 0.2f, 0.0f, 0xFFE03020},
        {-1.0f, -1.2f, 0.0f, 0xFFE03020}, {-0.6f, 1.4f, 1.0f, 0xFF20C040},
        {1.6f, 0.6f, 1.0f, 0xFF20C040},   {0.0f, -1.0f, 1.0f, 0xFF20C040},
        {-2.0f, 0.2f, 2.0f, 0xFF2040E0},  {1.0f, 1.8f, 2.0f, 0xFF2040E0},
        {1.2f, -1.6f, 2.0f, 0xFF2040E0},  {0.2f, -0.4f, 0.5f, 0xFFF0E020},
        {1.4f, -1.4f, -0.3f, 0xFFF0E020}, {1.6f, 0.4f, 0.5f, 0xFFF0E020},
    };

    scene::Check(device->BeginScene(), "BeginScene");
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, scene::kClearColour, clearZ, 0);
    scene::ViewerCamera(device, D3DXVECTOR3(0.0f, 0.0f, -3.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, cull);
    device->SetRenderState(D3DRS_ZFUNC, zfunc);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    // Near first, then far: a wrong depth test lets the far ones cover the near ones.
    scene::Check(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 4, triangles, sizeof(ColourVertex)),
                 "DrawPrimitiveUP");
    scene::Check(device->EndScene(), "EndScene");
    scene::SaveAndClose(c);
}
