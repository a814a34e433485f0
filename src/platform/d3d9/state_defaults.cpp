// Direct3D 9's default device state as tables: render states, stage states, sampler states.
#include "state_defaults.h"

#include <cstring>

namespace d3d9 {

namespace {

struct StateValue {
    DWORD state;
    DWORD value;
};

constexpr DWORD kOne = 0x3F800000;       // 1.0f
constexpr DWORD kSixtyFour = 0x42800000; // 64.0f, D3DRS_POINTSIZE_MAX

// Every render state whose default is not 0. ZENABLE depends on the automatic depth buffer.
const StateValue kRenderStateDefaults[] = {
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_ZWRITEENABLE, TRUE},
    {D3DRS_LASTPIXEL, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_FOGEND, kOne},
    {D3DRS_FOGDENSITY, kOne},
    {D3DRS_STENCILFAIL, 1},  // D3DSTENCILOP_KEEP
    {D3DRS_STENCILZFAIL, 1}, // D3DSTENCILOP_KEEP
    {D3DRS_STENCILPASS, 1},  // D3DSTENCILOP_KEEP
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_STENCILMASK, 0xFFFFFFFF},
    {D3DRS_STENCILWRITEMASK, 0xFFFFFFFF},
    {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},
    {D3DRS_CLIPPING, TRUE},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_COLORVERTEX, TRUE},
    {D3DRS_LOCALVIEWER, TRUE},
    {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
    {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_COLOR2},
    {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
    {D3DRS_POINTSIZE, kOne},
    {D3DRS_POINTSIZE_MIN, kOne},
    {D3DRS_POINTSCALE_A, kOne},
    {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
    {D3DRS_MULTISAMPLEMASK, 0xFFFFFFFF},
    {D3DRS_DEBUGMONITORTOKEN, 0xBAADCAFE}, // D3DDMT_ENABLE
    {D3DRS_POINTSIZE_MAX, kSixtyFour},
    {D3DRS_COLORWRITEENABLE, 0x0000000F},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_POSITIONDEGREE, 3}, // D3DDEGREE_CUBIC
    {D3DRS_NORMALDEGREE, 1},   // D3DDEGREE_LINEAR
    {D3DRS_MINTESSELLATIONLEVEL, kOne},
    {D3DRS_MAXTESSELLATIONLEVEL, kOne},
    {D3DRS_ADAPTIVETESS_W, kOne},
    {D3DRS_CCW_STENCILFAIL, 1},
    {D3DRS_CCW_STENCILZFAIL, 1},
    {D3DRS_CCW_STENCILPASS, 1},
    {D3DRS_CCW_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_COLORWRITEENABLE1, 0x0000000F},
    {D3DRS_COLORWRITEENABLE2, 0x0000000F},
    {D3DRS_COLORWRITEENABLE3, 0x0000000F},
    {D3DRS_BLENDFACTOR, 0xFFFFFFFF},
    {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE},
    {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO},
    {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD},
};

// Stage states alike for every stage (COLOROP, ALPHAOP and TEXCOORDINDEX are set per stage).
const StateValue kStageStateDefaults[] = {
    {D3DTSS_COLORARG1, D3DTA_TEXTURE}, {D3DTSS_COLORARG2, D3DTA_CURRENT},
    {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {D3DTSS_ALPHAARG2, D3DTA_CURRENT},
    {D3DTSS_COLORARG0, D3DTA_CURRENT}, {D3DTSS_ALPHAARG0, D3DTA_CURRENT},
    {D3DTSS_RESULTARG, D3DTA_CURRENT},
};

const StateValue kSamplerStateDefaults[] = {
    {D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP}, {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP},
    {D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP}, {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
    {D3DSAMP_MINFILTER, D3DTEXF_POINT},   {D3DSAMP_MIPFILTER, D3DTEXF_NONE},
    {D3DSAMP_MAXANISOTROPY, 1},
};

void SetIdentity(D3DMATRIX& m) {
    memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
}

} // namespace

DWORD FloatBits(float value) {
    DWORD bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

float BitsFloat(DWORD bits) {
    float value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

D3DLIGHT9 DefaultLight() {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.Direction = {0.0f, 0.0f, 1.0f};
    return light;
}

void SetDefaultState(DeviceState& state, bool autoDepthStencil, UINT width, UINT height) {
    memset(state.renderStates, 0, sizeof state.renderStates);
    for (const StateValue& d : kRenderStateDefaults)
        state.renderStates[d.state] = d.value;
    state.renderStates[D3DRS_ZENABLE] = autoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;

    memset(state.stageStates, 0, sizeof state.stageStates);
    for (DWORD stage = 0; stage < kStageCount; ++stage) {
        DWORD* s = state.stageStates[stage];
        for (const StateValue& d : kStageStateDefaults)
            s[d.state] = d.value;
        s[D3DTSS_COLOROP] = stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        s[D3DTSS_ALPHAOP] = stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        s[D3DTSS_TEXCOORDINDEX] = stage;
    }

    memset(state.samplerStates, 0, sizeof state.samplerStates);
    for (DWORD sampler = 0; sampler < kStageCount; ++sampler)
        for (const StateValue& d : kSamplerStateDefaults)
            state.samplerStates[sampler][d.state] = d.value;

    for (D3DMATRIX& m : state.transforms)
        SetIdentity(m);
    memset(&state.material, 0, sizeof state.material);
    state.viewport = {0, 0, width, height, 0.0f, 1.0f};
    state.lights.clear();
    state.fvf = 0;
}

} // namespace d3d9
