// ID3DXMesh::DrawSubset on the OpenGL device: each subset covers the pixels of its own faces.
#include "d3d9_test_fixture.h"

#include <d3dx9.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using d3d9test::DeviceTest;
using d3d9test::Rgb565;

constexpr D3DCOLOR kClear = 0xFF0000FF;

// Two quads in clip space (identity transforms): the left one red, material 0; the right one
// green, material 1. Quads are written as polygons; the loader fans them.
const char kTwoQuads[] = R"(xof 0303txt 0032
Mesh {
 8;
 -0.8;-0.5;0.5;, -0.1;-0.5;0.5;, -0.1;0.5;0.5;, -0.8;0.5;0.5;,
 0.1;-0.5;0.5;, 0.8;-0.5;0.5;, 0.8;0.5;0.5;, 0.1;0.5;0.5;;
 2; 4;0,1,2,3;, 4;4,5,6,7;;
 MeshVertexColors { 8; 0;1;0;0;1;;, 1;1;0;0;1;;, 2;1;0;0;1;;, 3;1;0;0;1;;,
  4;0;1;0;1;;, 5;0;1;0;1;;, 6;0;1;0;1;;, 7;0;1;0;1;;; }
 MeshMaterialList { 2; 2; 0, 1;;
  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }
})";

class MeshDrawTest : public DeviceTest {
  protected:
    void TearDown() override {
        if (mesh) mesh->Release();
        // The device's bindings would keep the mesh's buffers, and so the device, alive.
        if (device) {
            device->SetStreamSource(0, nullptr, 0, 0);
            device->SetIndices(nullptr);
        }
        DeviceTest::TearDown();
    }
    void Draw(std::initializer_list<DWORD> subsets) {
        ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClear, 1.0f, 0),
                  D3D_OK);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        device->SetRenderState(D3DRS_LIGHTING, FALSE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        for (DWORD s : subsets)
            EXPECT_EQ(mesh->DrawSubset(s), D3D_OK);
        ASSERT_EQ(device->EndScene(), D3D_OK);
    }
    ID3DXMesh* mesh = nullptr;
};

TEST_F(MeshDrawTest, EachSubsetCoversOnlyItsFaces) {
    const std::string file = kTwoQuads;
    ASSERT_EQ(D3DXLoadMeshFromXInMemory(file.data(), DWORD(file.size()), D3DXMESH_SYSTEMMEM, device,
                                        nullptr, nullptr, nullptr, nullptr, &mesh),
              D3D_OK);
    // Clip x -0.8..-0.1 is pixels 90..405, y -0.5..0.5 is rows 172..517 of 900 x 690.
    const UINT left = 250, right = 650, middle = 345, outside = 30;

    Draw({1});
    auto pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, right, middle), Rgb565(0xFF00FF00));
    EXPECT_EQ(At(pixels, left, middle), Rgb565(kClear));

    Draw({0, 1});
    pixels = ReadBackBuffer();
    EXPECT_EQ(At(pixels, left, middle), Rgb565(0xFFFF0000));
    EXPECT_EQ(At(pixels, right, middle), Rgb565(0xFF00FF00));
    EXPECT_EQ(At(pixels, left, outside), Rgb565(kClear));
    EXPECT_EQ(At(pixels, 450, middle), Rgb565(kClear));     // the gap between the quads
    EXPECT_EQ(At(pixels, 100, middle), Rgb565(0xFFFF0000)); // the fan reaches the far corner
    EXPECT_EQ(At(pixels, 400, 180), Rgb565(0xFFFF0000));
}

} // namespace
