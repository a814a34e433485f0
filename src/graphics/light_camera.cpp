// ApplyLight, SetViewTransform and SetProjectionTransform: records built afresh on every call.
#include "graphics/graphics.h"

#include <d3d9.h>
#include <d3dx9.h>

namespace {

constexpr DWORD kSceneLight = 2; // the only light the viewer sets; 0 and 1 stay unset

const D3DXVECTOR3* AsD3DX(const Vector3& v) {
    return reinterpret_cast<const D3DXVECTOR3*>(&v);
}

} // namespace

void ApplyLight() {
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {0.2f, 0.2f, 0.2f, 0.2f};
    light.Specular = {0.3f, 0.3f, 0.3f, 0.3f};
    light.Ambient = {viewer.ambientRed, viewer.ambientGreen, viewer.ambientBlue, 1.0f};
    light.Position = {0.0f, 0.0f, 0.0f};
    light.Direction = {0.0f, -1.0f, 1.0f}; // not normalised: the device does that
    viewer.device->SetLight(kSceneLight, &light);
    viewer.device->LightEnable(kSceneLight, TRUE);
    viewer.device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    viewer.device->SetRenderState(D3DRS_LIGHTING, TRUE);
}

void SetViewTransform(const Vector3& eye, const Vector3& target, const Vector3& up) {
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, AsD3DX(eye), AsD3DX(target), AsD3DX(up));
    viewer.device->SetTransform(D3DTS_VIEW, &view);
}

void SetProjectionTransform(float fieldOfView, float aspect, float nearPlane, float farPlane) {
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, fieldOfView, aspect, nearPlane, farPlane);
    viewer.device->SetTransform(D3DTS_PROJECTION, &projection);
}
