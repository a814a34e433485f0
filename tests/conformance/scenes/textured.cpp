// Textured subsets as the viewer draws a model: a lit plane with a texture made from an image
// file (D3DXCreateTextureFromFileA) beside an untextured one, materials with ambient = diffuse.
// Variant: the image file name, or "none" for two untextured subsets.
#include "geometry.h"

int main(int argc, char** argv) {
    scene::Context c = scene::Open(argc, argv);
    IDirect3DDevice9* device = c.device;

    IDirect3DTexture9* texture = nullptr;
    if (!scene::Is(c, "none"))
        scene::Check(D3DXCreateTextureFromFileA(device, c.variant, &texture),
                     "D3DXCreateTextureFromFileA");

    const scene::Shape plane =
        scene::Plane(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, 2.0f, 2.0f, 4);
    scene::Buffers buffers = scene::Upload(device, plane);
    const D3DMATERIAL9 textured = scene::Material(1.0f, 1.0f, 1.0f, 1.0f, 0.0f, 5.0f);
    const D3DMATERIAL9 plain = scene::Material(0.8f, 0.5f, 0.2f, 1.0f, 0.5f, 8.0f);

    scene::Check(device->BeginScene(), "BeginScene");
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, scene::kClearColour, 1.0f, 0);
    scene::ViewerLight(device, 0.8f);
    scene::ViewerCamera(device, D3DXVECTOR3(0.3f, 0.6f, -3.2f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));

    scene::World(device, -0.75f, 0.0f, 0.0f, -0.3f);
    device->SetMaterial(&textured);
    device->SetTexture(0, texture);
    scene::Draw(device, plane, buffers);

    scene::World(device, 1.3f, 0.0f, 0.5f, 0.4f);
    device->SetMaterial(&plain);
    device->SetTexture(0, nullptr);
    scene::Draw(device, plane, buffers);

    scene::Check(device->EndScene(), "EndScene");
    scene::Release(buffers);
    if (texture) texture->Release();
    scene::SaveAndClose(c);
}
