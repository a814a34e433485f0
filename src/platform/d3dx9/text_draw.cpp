// Glyph quads as pre-transformed, textured triangles, with the device state saved and restored.
#include "d3dx9/text_draw.h"

namespace d3dx9 {
namespace {

struct TextVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
constexpr DWORD kTextFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct RenderStateValue {
    D3DRENDERSTATETYPE state;
    DWORD value;
};
struct StageStateValue {
    DWORD stage;
    D3DTEXTURESTAGESTATETYPE state;
    DWORD value;
};
struct SamplerStateValue {
    D3DSAMPLERSTATETYPE state;
    DWORD value;
};

// What text drawing needs: blended, unlit, uncull'd, no depth, stencil, fog or alpha test;
// stage 0 texture x diffuse for colour and alpha, stage 1 off; texels sampled exactly.
const RenderStateValue kRenderStates[] = {
    {D3DRS_ALPHABLENDENABLE, TRUE},
    {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
    {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_CULLMODE, D3DCULL_NONE},
    {D3DRS_LIGHTING, FALSE},
    {D3DRS_ZENABLE, D3DZB_FALSE},
    {D3DRS_ZWRITEENABLE, FALSE},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_FOGENABLE, FALSE},
    {D3DRS_SPECULARENABLE, FALSE},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
    {D3DRS_COLORWRITEENABLE, 0xF},
    {D3DRS_SCISSORTESTENABLE, FALSE},
    {D3DRS_CLIPPLANEENABLE, 0},
    {D3DRS_SRGBWRITEENABLE, FALSE},
    {D3DRS_WRAP0, 0},
};
const StageStateValue kStageStates[] = {
    {0, D3DTSS_COLOROP, D3DTOP_MODULATE}, {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
    {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE}, {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE},
    {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE}, {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
    {0, D3DTSS_TEXCOORDINDEX, 0},         {0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE},
    {0, D3DTSS_RESULTARG, D3DTA_CURRENT}, {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
    {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
};
const SamplerStateValue kSamplerStates[] = {
    {D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP},
    {D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP},
    {D3DSAMP_MINFILTER, D3DTEXF_POINT},
    {D3DSAMP_MAGFILTER, D3DTEXF_POINT},
    {D3DSAMP_MIPFILTER, D3DTEXF_NONE},
    {D3DSAMP_MAXMIPLEVEL, 0},
    {D3DSAMP_MIPMAPLODBIAS, 0},
    {D3DSAMP_SRGBTEXTURE, 0},
};

constexpr size_t kRenderCount = std::size(kRenderStates);
constexpr size_t kStageCount = std::size(kStageStates);
constexpr size_t kSamplerCount = std::size(kSamplerStates);

// The caller's values of every state text drawing sets, taken before and put back after.
class SavedDeviceState {
  public:
    explicit SavedDeviceState(IDirect3DDevice9* device) : device_(device) {
        for (size_t i = 0; i < kRenderCount; ++i)
            device->GetRenderState(kRenderStates[i].state, &render_[i]);
        for (size_t i = 0; i < kStageCount; ++i)
            device->GetTextureStageState(kStageStates[i].stage, kStageStates[i].state, &stage_[i]);
        for (size_t i = 0; i < kSamplerCount; ++i)
            device->GetSamplerState(0, kSamplerStates[i].state, &sampler_[i]);
        device->GetTexture(0, &texture_);
        device->GetFVF(&fvf_);
        device->GetStreamSource(0, &stream_, &streamOffset_, &streamStride_);
    }
    ~SavedDeviceState() {
        for (size_t i = 0; i < kRenderCount; ++i)
            device_->SetRenderState(kRenderStates[i].state, render_[i]);
        for (size_t i = 0; i < kStageCount; ++i)
            device_->SetTextureStageState(kStageStates[i].stage, kStageStates[i].state, stage_[i]);
        for (size_t i = 0; i < kSamplerCount; ++i)
            device_->SetSamplerState(0, kSamplerStates[i].state, sampler_[i]);
        device_->SetTexture(0, texture_);
        device_->SetFVF(fvf_);
        device_->SetStreamSource(0, stream_, streamOffset_, streamStride_);
        if (texture_) texture_->Release();
        if (stream_) stream_->Release();
    }
    SavedDeviceState(const SavedDeviceState&) = delete;
    SavedDeviceState& operator=(const SavedDeviceState&) = delete;

  private:
    IDirect3DDevice9* device_;
    DWORD render_[kRenderCount] = {};
    DWORD stage_[kStageCount] = {};
    DWORD sampler_[kSamplerCount] = {};
    IDirect3DBaseTexture9* texture_ = nullptr;
    DWORD fvf_ = 0;
    IDirect3DVertexBuffer9* stream_ = nullptr;
    UINT streamOffset_ = 0, streamStride_ = 0;
};

// Two triangles covering the quad's pixels. Direct3D 9 puts pixel centres on whole coordinates,
// so the edges sit half a pixel before them and each texel centre lands on a pixel centre.
void AppendQuad(std::vector<TextVertex>& out, const GlyphQuad& q, UINT pageSize, D3DCOLOR colour) {
    const float x0 = float(q.left) - 0.5f, y0 = float(q.top) - 0.5f;
    const float x1 = x0 + float(q.width), y1 = y0 + float(q.height);
    const float scale = 1.0f / float(pageSize);
    const float u0 = float(q.texelX) * scale, v0 = float(q.texelY) * scale;
    const float u1 = float(q.texelX + q.width) * scale, v1 = float(q.texelY + q.height) * scale;
    const TextVertex tl{x0, y0, 0, 1, colour, u0, v0}, tr{x1, y0, 0, 1, colour, u1, v0};
    const TextVertex bl{x0, y1, 0, 1, colour, u0, v1}, br{x1, y1, 0, 1, colour, u1, v1};
    out.insert(out.end(), {tl, tr, bl, bl, tr, br});
}

} // namespace

HRESULT DrawGlyphQuads(IDirect3DDevice9* device, const std::vector<IDirect3DTexture9*>& pages,
                       UINT pageSize, const std::vector<GlyphQuad>& quads, D3DCOLOR colour) {
    if (quads.empty()) return D3D_OK;
    SavedDeviceState saved(device);
    for (const RenderStateValue& s : kRenderStates)
        device->SetRenderState(s.state, s.value);
    for (const StageStateValue& s : kStageStates)
        device->SetTextureStageState(s.stage, s.state, s.value);
    for (const SamplerStateValue& s : kSamplerStates)
        device->SetSamplerState(0, s.state, s.value);
    device->SetFVF(kTextFvf);

    HRESULT result = D3D_OK;
    std::vector<TextVertex> vertices;
    vertices.reserve(quads.size() * 6);
    for (size_t page = 0; page < pages.size(); ++page) {
        vertices.clear();
        for (const GlyphQuad& q : quads)
            if (size_t(q.page) == page) AppendQuad(vertices, q, pageSize, colour);
        if (vertices.empty()) continue;
        device->SetTexture(0, pages[page]);
        const HRESULT hr = device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, UINT(vertices.size() / 3),
                                                   vertices.data(), sizeof(TextVertex));
        if (FAILED(hr)) result = hr;
    }
    return result;
}

} // namespace d3dx9
