// Lit geometry under the viewer's light 2 and camera: three spheres with material colours
// (ambient = diffuse) and specular powers, LIGHTING and SPECULARENABLE on.
// Variants: amb05, amb50, amb100 (the light's ambient), power (powers 0, 4, 60),
// vcolor (vertex diffuse colours), yaw (turned world and eye off-axis).
#include "geometry.h"

int main(int argc, char** argv) {
    scene::Context c = scene::Open(argc, argv);
    IDirect3DDevice9* device = c.device;

    float ambient = 0.5f;
    float powers[3] = {10.0f, 10.0f, 10.0f};
    DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL;
    D3DXVECTOR3 eye(0.0f, 0.5f, -4.0f);
    float yaw = 0.0f;
    if (scene::Is(c, "amb05")) {
        ambient = 0.05f;
    } else if (scene::Is(c, "amb50")) {
        ambient = 0.5f;
    } else if (scene::Is(c, "amb100")) {
        ambient = 1.0f;
    } else if (scene::Is(c, "power")) {
        powers[0] = 0.0f;
        powers[1] = 4.0f;
        powers[2] = 60.0f;
    } else if (scene::Is(c, "vcolor")) {
        fvf |= D3DFVF_DIFFUSE;
    } else if (scene::Is(c, "yaw")) {
        ambient = 0.05f;
        eye = D3DXVECTOR3(1.5f, 1.5f, -3.5f);
        yaw = 0.7f;
    } else {
        scene::UnknownVariant(c);
    }

    const auto colour = [](int i, int j) {
        return D3DCOLOR_ARGB(255, (i * 16) & 0xFF, (j * 8) & 0xFF, 255 - ((i * j) & 0xFF));
    };
    const scene::Shape sphere = scene::Sphere(fvf, 0.8f, 16, 24, colour);
    scene::Buffers buffers = scene::Upload(device, sphere);
    const D3DMATERIAL9 materials[3] = {
        scene::Material(0.9f, 0.2f, 0.1f, 1.0f, 1.0f, powers[0]),
        scene::Material(0.2f, 0.8f, 0.3f, 1.0f, 0.5f, powers[1]),
        scene::Material(0.6f, 0.6f, 0.9f, 1.0f, 1.0f, powers[2]),
    };

    scene::Check(device->BeginScene(), "BeginScene");
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, scene::kClearColour, 1.0f, 0);
    scene::ViewerLight(device, ambient);
    scene::ViewerCamera(device, eye, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    for (int i = 0; i < 3; ++i) {
        scene::World(device, -1.8f + 1.8f * float(i), 0.0f, 0.0f, yaw);
        device->SetMaterial(&materials[i]);
        scene::Draw(device, sphere, buffers);
    }
    scene::Check(device->EndScene(), "EndScene");
    scene::Release(buffers);
    scene::SaveAndClose(c);
}
