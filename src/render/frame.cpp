// The frame sequence and DrawScene.
#include "render/frame.h"
#include "state/viewer_state.h"
#include "graphics/graphics.h"
#include "scene/animated_model.h"
#include "scene/camera.h"
#include "render/hud_text.h"
#include "scene/filter_quad.h"
#include "scene/mesh_model.h"

#include <d3d9.h>

#include <cmath>

namespace {

constexpr D3DCOLOR kClearColour = 0xFF3CA3B9;
constexpr float kFilterX = 248.0f;
constexpr float kFilterY = 136.0f;
constexpr float kFilterWidth = 404.0f;
constexpr float kFilterHeight = 410.0f;

} // namespace

void DrawScene() {
    ViewerState& s = viewer;
    ApplyLight();
    s.modelRotation.y = s.modelYaw;
    if (s.animatedModel) {
        AdvanceAnimatedModel(s.animatedModel, AnimationClock());
        DrawAnimatedModel(s.animatedModel, s.modelPosition, s.modelRotation);
    } else {
        DrawMeshModel(s.model, s.modelPosition, s.modelRotation);
    }

    SetFilterColour(s.filterQuad, PackFilterColour());
    PlaceFilterQuad(s.filterQuad, kFilterX, kFilterY, kFilterWidth, kFilterHeight);

    s.lookTarget.y = s.lookHeight;
    s.lookTarget.x = float(double(s.eyePosition.x) + kLookDistance * std::sin(double(s.heading)));
    s.lookTarget.z = float(double(s.eyePosition.z) + kLookDistance * std::cos(double(s.heading)));

    // PageUp and PageDown raise and lower the viewpoint: eye and target together, by how far
    // the view offset has moved from its rest value. The stored eye keeps its height.
    const float raise = kViewOffsetRest - s.viewOffset.y;
    Vector3 eye = s.eyePosition;
    Vector3 target = s.lookTarget;
    eye.y = eye.y + raise;
    target.y = target.y + raise;
    const Vector3 up = {0.0f, 1.0f, 0.0f};
    SetViewTransform(eye, target, up);
    SetProjectionTransform(kFieldOfView, kAspect, kNearPlane, kFarPlane);

    DrawHudTexts();
}

void RenderFrame() {
    IDirect3DDevice9* device = viewer.device;
    device->BeginScene();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kClearColour, 1.0f, 0);
    DrawScene();
    device->EndScene();
}

void PresentFrame() {
    viewer.device->Present(nullptr, nullptr, nullptr, nullptr);
}

void DrawFrame() {
    RenderFrame();
    PresentFrame();
}
