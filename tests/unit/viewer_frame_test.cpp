// The frame on a recording device: the calls, their order and arguments, the quad's bytes and
// the HUD's texts.
#include "state/viewer_state.h"
#include "controls/controls.h"
#include "graphics/graphics.h"
#include "render/frame.h"
#include "render/hud_text.h"
#include "scene/filter_quad.h"
#include "scene/mesh_model.h"
#include "testing/keyboard_seam.h"
#include "testing/recording_device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using xoftest::Calls;

uint32_t Bits(float f) {
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

// The viewer after start-up, on a recording device and font, with an empty model.
class Frame : public ::testing::Test {
  protected:
    xoftest::RecordingDevice* device = nullptr;

    void SetUp() override {
        viewer = ViewerState{};
        xoftest::ReleaseAllKeys();
        device = xoftest::CreateRecordingDevice();
        viewer.device = xoftest::AsDevice(device);
        viewer.hudFont = xoftest::CreateRecordingFont(device);
        viewer.filterQuad = new FilterQuad{};
        CreateFilterQuad(viewer.filterQuad);
        viewer.model = new MeshModel{};
        Calls(device).clear();
    }

    void TearDown() override {
        ReleaseMeshModel(viewer.model);
        delete viewer.model;
        ReleaseFilterQuad(viewer.filterQuad);
        delete viewer.filterQuad;
        viewer.hudFont->Release();
        // The device keeps what is bound; with that let go, nothing the viewer made is alive.
        viewer.device->SetStreamSource(0, nullptr, 0, 0);
        viewer.device->SetTexture(0, nullptr);
        EXPECT_EQ(xoftest::LiveResources(device), 0);
        viewer.device->Release();
        viewer = ViewerState{};
    }

    void RunFrame() {
        UpdateControls();
        DrawFrame();
    }

    std::vector<std::string> CallNames() const {
        std::vector<std::string> names;
        for (const std::string& call : Calls(device))
            names.push_back(call.substr(0, call.find('(')));
        return names;
    }
};

TEST_F(Frame, FirstFrameMakesTheseCallsInThisOrder) {
    RunFrame();
    const std::vector<std::string> expected = {
        "BeginScene()",
        "Clear(0, null, 3, 0xff3ca3b9, 1, 0)",
        "SetLight(2, type 3, diffuse (0.200000003 0.200000003 0.200000003 0.200000003) specular "
        "(0.300000012 0.300000012 0.300000012 0.300000012) ambient (0.99000001 0.99000001 "
        "0.99000001 1) direction (0 -1 1))",
        "LightEnable(2, 1)",
        "SetRenderState(D3DRS_SPECULARENABLE, TRUE)",
        "SetRenderState(D3DRS_LIGHTING, TRUE)",
        "SetTransform(D3DTS_WORLD, [1 0 0 0 0 1 0 0 0 0 1 0 0 4 -2 1])",
        "Lock(vb1, 0, 112, 0x0)",
        "Unlock(vb1)",
        "SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE)",
        "SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE)",
        "SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE)",
        "SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE)",
        "SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA)",
        "SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA)",
        "SetTexture(0, null)",
        "SetStreamSource(0, vb1, 0, 28)",
        "SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1)",
        "DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2)",
        "SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE)",
    };
    const std::vector<std::string>& calls = Calls(device);
    ASSERT_GE(calls.size(), expected.size() + 7);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(calls[i], expected[i]) << "call " << i;
    const size_t view = expected.size();
    EXPECT_EQ(calls[view].rfind("SetTransform(D3DTS_VIEW, ", 0), 0u);
    EXPECT_EQ(calls[view + 1].rfind("SetTransform(D3DTS_PROJECTION, ", 0), 0u);
    EXPECT_EQ(calls[view + 2], "DrawTextA(null, text0, -1, {50, 517, 0, 0}, 0x140, 0xffc8c8c8)");
    EXPECT_EQ(calls[view + 3], "DrawTextA(null, text1, -1, {20, 6, 0, 0}, 0x140, 0xffc8c8c8)");
    EXPECT_EQ(calls[view + 4], "DrawTextA(null, text2, -1, {20, 24, 0, 0}, 0x140, 0xffc8c8c8)");
    EXPECT_EQ(calls[view + 5], "EndScene()");
    EXPECT_EQ(calls[view + 6], "Present(null, null, null, null)");
    EXPECT_EQ(calls.size(), view + 7);

    // The second frame repeats the first; the model is drawn before the camera of this frame
    // is set, so it shows the previous frame's view.
    Calls(device).clear();
    RunFrame();
    const std::vector<std::string> names = CallNames();
    const auto world = std::find(names.begin(), names.end(), "SetTransform");
    ASSERT_NE(world, names.end());
    EXPECT_EQ(Calls(device)[world - names.begin()].rfind("SetTransform(D3DTS_WORLD, ", 0), 0u);
    EXPECT_EQ(Calls(device).size(), view + 7);
}

TEST_F(Frame, LightRecordHoldsTheExactFloats) {
    ApplyLight();
    D3DLIGHT9 light;
    ASSERT_EQ(viewer.device->GetLight(2, &light), D3D_OK);
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(Bits(light.Diffuse.r), 0x3E4CCCCDu);
    EXPECT_EQ(Bits(light.Diffuse.a), 0x3E4CCCCDu);
    EXPECT_EQ(Bits(light.Specular.g), 0x3E99999Au);
    EXPECT_EQ(Bits(light.Specular.a), 0x3E99999Au);
    EXPECT_EQ(light.Ambient.r, 0.99f);
    EXPECT_EQ(light.Ambient.a, 1.0f);
    EXPECT_EQ(light.Direction.x, 0.0f);
    EXPECT_EQ(light.Direction.y, -1.0f);
    EXPECT_EQ(light.Direction.z, 1.0f);
    EXPECT_EQ(light.Range, 0.0f);
    BOOL enabled = FALSE;
    viewer.device->GetLightEnable(2, &enabled);
    EXPECT_TRUE(enabled);

    viewer.ambientGreen = 0.05f;
    ApplyLight();
    viewer.device->GetLight(2, &light);
    EXPECT_EQ(light.Ambient.g, 0.05f);
}

TEST_F(Frame, QuadBytesAfterTheFirstFrame) {
    EXPECT_EQ(PackFilterColour(), 0x12FAFAFAu);
    RunFrame();
    const std::vector<unsigned char> bytes = xoftest::VertexBufferBytes(device, "vb1");
    ASSERT_EQ(bytes.size(), 112u);
    QuadVertex vertices[4];
    std::memcpy(vertices, bytes.data(), 112);
    const float expected[4][4] = {
        {248, 136, 0, 0}, {652, 136, 1, 0}, {248, 546, 0, 1}, {652, 546, 1, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(vertices[i].x, expected[i][0]);
        EXPECT_EQ(vertices[i].y, expected[i][1]);
        EXPECT_EQ(vertices[i].z, 0.0f);
        EXPECT_EQ(vertices[i].rhw, 1.0f);
        EXPECT_EQ(vertices[i].diffuse, 0x12FAFAFAu);
        EXPECT_EQ(vertices[i].u, expected[i][2]);
        EXPECT_EQ(vertices[i].v, expected[i][3]);
    }

    // A tint key shows in the same frame.
    xoftest::SetKeyDown('2', true);
    RunFrame();
    xoftest::SetKeyDown('2', false);
    std::memcpy(vertices, xoftest::VertexBufferBytes(device, "vb1").data(), 112);
    EXPECT_EQ(vertices[0].diffuse, 0x12FBFAFAu);
}

TEST_F(Frame, PackedColourUsesTheLowBytes) {
    viewer.filterAlpha = 0x1FF;
    viewer.filterRed = 0x101;
    viewer.filterGreen = 2;
    viewer.filterBlue = 255;
    EXPECT_EQ(PackFilterColour(), 0xFF0102FFu);
}

TEST_F(Frame, LookTargetAndViewpoint) {
    viewer.lastMouseX = 400;
    RunFrame();
    EXPECT_EQ(viewer.lookTarget.x, 0.0f);
    EXPECT_EQ(viewer.lookTarget.y, 4.0f);
    EXPECT_EQ(viewer.lookTarget.z, -8.0f);
    D3DMATRIX rest;
    viewer.device->GetTransform(D3DTS_VIEW, &rest);

    // PageUp raises eye and target together; the stored eye keeps its height.
    xoftest::SetKeyDown(VK_PRIOR, true);
    for (int i = 0; i < 20; ++i)
        RunFrame();
    xoftest::SetKeyDown(VK_PRIOR, false);
    EXPECT_EQ(viewer.eyePosition.y, 5.0f);
    D3DMATRIX raised;
    viewer.device->GetTransform(D3DTS_VIEW, &raised);
    // Same orientation, eye one unit higher: the view's y translation drops by about 1 * y.y.
    EXPECT_FLOAT_EQ(raised._22, rest._22);
    EXPECT_NEAR(raised._42 - rest._42, -rest._22, 1e-4f);
}

TEST_F(Frame, HudTextsByteForByte) {
    RunFrame();
    const std::vector<std::string>& texts = xoftest::DrawnTexts(device);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].size(), 163u);
    EXPECT_EQ(texts[0], kHelpText);
    EXPECT_EQ(std::count(texts[0].begin(), texts[0].end(), '\n'), 5);
    EXPECT_EQ(texts[0].substr(texts[0].find("A S D W")).substr(0, 20),
              "A S D W  (\x8E\xA9\x90g\x88\xDA\x93\xAE) ");
    EXPECT_EQ(texts[1].size(), 102u);
    EXPECT_EQ(texts[1], kKeyLineText);
    EXPECT_EQ(texts[2].size(), 94u);
    EXPECT_NE(texts[2].find("[\x90\xD4 250]\x81@[\x97\xCE 250]\x81@[\x90\xC2 250]"),
              std::string::npos);
    EXPECT_NE(texts[2].find("[\x93\xA7\x96\xBE 18]\x81@\x81@"
                            "99 \x81@ 99 \x81@ 99"),
              std::string::npos);

    // A value losing a digit moves the rest of the line; the numbers have no fixed width.
    viewer.filterAlpha = 9;
    viewer.ambientRedPercent = 100;
    DrawHudTexts();
    EXPECT_EQ(texts[5].size(), 94u);
    EXPECT_NE(texts[5].find("[\x93\xA7\x96\xBE 9]\x81@\x81@"
                            "100 "),
              std::string::npos);
}

TEST_F(Frame, HelpTextTopFollowsTheBackBufferHeight) {
    viewer.backBufferHeight = 600;
    DrawHudTexts();
    EXPECT_EQ(Calls(device)[0], "DrawTextA(null, text0, -1, {50, 450, 0, 0}, 0x140, 0xffc8c8c8)");
}

TEST_F(Frame, FailedLockDrawsNoOverlayAndChangesNoState) {
    xoftest::Faults(device).lockVertexBuffer = true;
    PlaceFilterQuad(viewer.filterQuad, 248, 136, 404, 410);
    ASSERT_EQ(Calls(device).size(), 1u);
    EXPECT_EQ(Calls(device)[0], "Lock(vb1, 0, 112, 0x0)");
    EXPECT_EQ(viewer.filterQuad->vertices[3].x, 652.0f); // the corners are still placed
}

TEST_F(Frame, QuadWithoutAVertexBufferIsNeverLockedOrDrawn) {
    ReleaseFilterQuad(viewer.filterQuad);
    xoftest::Faults(device).createVertexBuffer = true;
    *viewer.filterQuad = FilterQuad{};
    CreateFilterQuad(viewer.filterQuad);
    EXPECT_EQ(viewer.filterQuad->vertexBuffer, nullptr);
    EXPECT_EQ(viewer.filterQuad->vertices[0].diffuse, 0xFFFFFFFFu);
    Calls(device).clear();
    RunFrame();
    for (const std::string& name : CallNames()) {
        EXPECT_NE(name, "Lock");
        EXPECT_NE(name, "DrawPrimitive");
    }
}

TEST_F(Frame, EmptyModelSetsTheWorldAndDrawsNothing) {
    DrawMeshModel(viewer.model, viewer.modelPosition, viewer.modelRotation);
    ASSERT_EQ(Calls(device).size(), 1u);
    EXPECT_EQ(Calls(device)[0].rfind("SetTransform(D3DTS_WORLD, ", 0), 0u);
}

TEST_F(Frame, ModelTurnsAboutZThenXThenYThenMoves) {
    const Vector3 position = {1, 2, 3};
    const Vector3 rotation = {0.5f, 0.25f, 0.125f};
    DrawMeshModel(viewer.model, position, rotation);
    D3DXMATRIX world, rx, ry, rz, t, expected;
    viewer.device->GetTransform(D3DTS_WORLD, &world);
    D3DXMatrixRotationX(&rx, 0.5f);
    D3DXMatrixRotationY(&ry, 0.25f);
    D3DXMatrixRotationZ(&rz, 0.125f);
    D3DXMatrixTranslation(&t, 1, 2, 3);
    D3DXMatrixMultiply(&expected, &rz, &rx);
    D3DXMatrixMultiply(&expected, &expected, &ry);
    D3DXMatrixMultiply(&expected, &expected, &t);
    EXPECT_EQ(0, std::memcmp(&world, &expected, sizeof world));
}

} // namespace
