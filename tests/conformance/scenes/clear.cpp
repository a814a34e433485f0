// The viewer's clear colour 0xFF3CA3B9 through the R5G6B5 back buffer, with nothing drawn.
#include "scene.h"

int main(int argc, char** argv) {
    scene::Context c = scene::Open(argc, argv);
    scene::Check(c.device->BeginScene(), "BeginScene");
    scene::Check(c.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER,
                                 scene::kClearColour, 1.0f, 0),
                 "Clear");
    scene::Check(c.device->EndScene(), "EndScene");
    scene::SaveAndClose(c);
}
