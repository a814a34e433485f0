// The state a Direct3D 9 device starts with (and returns to on Reset): render, stage and sampler
// states, transforms, material, lights and viewport.
#pragma once

#include <d3d9.h>

#include <map>

namespace d3d9 {

constexpr DWORD kStageCount = 8;
constexpr DWORD kRenderStateCount = 256;
constexpr DWORD kStageStateCount = 33;
constexpr DWORD kSamplerStateCount = 14;
constexpr DWORD kTransformCount = 512;
constexpr DWORD kMaxActiveLights = 8;

struct LightSlot {
    D3DLIGHT9 light;
    bool enabled;
};

// Everything Set* records that is a plain value (bound resources live in the device).
struct DeviceState {
    DWORD renderStates[kRenderStateCount];
    DWORD stageStates[kStageCount][kStageStateCount];
    DWORD samplerStates[kStageCount][kSamplerStateCount];
    D3DMATRIX transforms[kTransformCount];
    D3DMATERIAL9 material;
    D3DVIEWPORT9 viewport;
    std::map<DWORD, LightSlot> lights;
    DWORD fvf;
};

// Fills state with Direct3D 9's defaults for a device whose render target has the given size.
void SetDefaultState(DeviceState& state, bool autoDepthStencil, UINT width, UINT height);

// The light that LightEnable creates for an index that SetLight never set.
D3DLIGHT9 DefaultLight();

DWORD FloatBits(float value);
float BitsFloat(DWORD bits);

} // namespace d3d9
