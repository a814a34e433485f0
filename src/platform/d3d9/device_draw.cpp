// Draw calls and Clear: Direct3D state turned into GL state, programs and uniforms at draw time.
#include "buffers.h"
#include "device.h"
#include "gl_translate.h"
#include "log.h"
#include "texture.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3d9 {

namespace {

// Direct3D 9 pixel centres sit this far (in pixels) up-left of GL's; see shader_source.cpp.
constexpr float kPixelCentreShift = 63.0f / 128.0f;

void ColorToFloats(D3DCOLOR color, float out[4]) {
    out[0] = float((color >> 16) & 0xFF) / 255.0f;
    out[1] = float((color >> 8) & 0xFF) / 255.0f;
    out[2] = float(color & 0xFF) / 255.0f;
    out[3] = float(color >> 24) / 255.0f;
}

void ValueToFloats(const D3DCOLORVALUE& c, float out[4]) {
    out[0] = c.r;
    out[1] = c.g;
    out[2] = c.b;
    out[3] = c.a;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

// v x M for a point (w = 1) or a direction (w = 0).
void Transform(const D3DVECTOR& v, float w, const D3DMATRIX& m, float out[3]) {
    for (int j = 0; j < 3; ++j)
        out[j] = v.x * m.m[0][j] + v.y * m.m[1][j] + v.z * m.m[2][j] + w * m.m[3][j];
}

// The inverse transpose of the upper 3 x 3 of m, which carries normals into view space.
void NormalMatrix(const D3DMATRIX& m, float out[9]) {
    const float a = m._11, b = m._12, c = m._13, d = m._21, e = m._22, f = m._23, g = m._31,
                h = m._32, i = m._33;
    const float cofactors[9] = {e * i - f * h, f * g - d * i, d * h - e * g,
                                c * h - b * i, a * i - c * g, b * g - a * h,
                                b * f - c * e, c * d - a * f, a * e - b * d};
    const float det = a * cofactors[0] + b * cofactors[1] + c * cofactors[2];
    if (det == 0.0f) {
        const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        memcpy(out, identity, sizeof identity);
        return;
    }
    // (M^-1)^T is the cofactor matrix over the determinant.
    for (int k = 0; k < 9; ++k)
        out[k] = cofactors[k] / det;
}

// The first stage's current colour is the diffuse one: naming it either way selects one program.
uint8_t StageArgument(DWORD stage, DWORD arg) {
    if (stage == 0 && (arg & D3DTA_SELECTMASK) == D3DTA_CURRENT)
        arg = (arg & ~DWORD(D3DTA_SELECTMASK)) | D3DTA_DIFFUSE;
    return uint8_t(arg);
}

} // namespace

// --- Shader selection and uniforms ---

ShaderKey Device::BuildShaderKey(const VertexLayout& layout) const {
    const DWORD* rs = state_.renderStates;
    ShaderKey key;
    memset(&key, 0, sizeof key);
    key.fvf = state_.fvf & (D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_DIFFUSE |
                            D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK);
    key.pretransformed = layout.pretransformed;
    // Pre-transformed vertices are already lit.
    key.lighting = rs[D3DRS_LIGHTING] && !layout.pretransformed;
    // Without lighting a vertex with no specular colour adds black: nothing to enable.
    key.specularEnable = rs[D3DRS_SPECULARENABLE] && (key.lighting || layout.specular >= 0);
    key.flatShading = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT;
    key.clipControl = limits_.clipControl;
    key.alphaFunc = rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] >= D3DCMP_NEVER &&
                            rs[D3DRS_ALPHAFUNC] <= D3DCMP_ALWAYS
                        ? uint8_t(rs[D3DRS_ALPHAFUNC])
                        : uint8_t(D3DCMP_ALWAYS);
    if (key.lighting) {
        key.normalizeNormals = rs[D3DRS_NORMALIZENORMALS] != 0;
        key.localViewer = rs[D3DRS_LOCALVIEWER] != 0;
        // A source may pick a vertex colour only with COLORVERTEX, and only one the vertex has.
        auto source = [&](DWORD state) -> uint8_t {
            const DWORD s = rs[D3DRS_COLORVERTEX] ? rs[state] : DWORD(D3DMCS_MATERIAL);
            if (s == D3DMCS_COLOR1 && layout.diffuse >= 0) return D3DMCS_COLOR1;
            if (s == D3DMCS_COLOR2 && layout.specular >= 0) return D3DMCS_COLOR2;
            return D3DMCS_MATERIAL;
        };
        key.diffuseSource = source(D3DRS_DIFFUSEMATERIALSOURCE);
        key.ambientSource = source(D3DRS_AMBIENTMATERIALSOURCE);
        key.specularSource = source(D3DRS_SPECULARMATERIALSOURCE);
        key.emissiveSource = source(D3DRS_EMISSIVEMATERIALSOURCE);
        for (const auto& [index, slot] : state_.lights) {
            if (!slot.enabled || key.lightCount == kMaxActiveLights) continue;
            key.lightTypes[key.lightCount++] = uint8_t(slot.light.Type);
        }
    }
    // Without blending the colour is what the target stores: round it as Direct3D's store does.
    // A blend of source ONE and destination ZERO leaves it as it is too.
    const bool blends = rs[D3DRS_ALPHABLENDENABLE] && !(rs[D3DRS_SRCBLEND] == D3DBLEND_ONE &&
                                                        rs[D3DRS_DESTBLEND] == D3DBLEND_ZERO &&
                                                        rs[D3DRS_BLENDOP] == D3DBLENDOP_ADD);
    if (backBuffer_->RoundsOnStore() && !blends)
        memcpy(key.storeBits, backBuffer_->Format().bits, sizeof key.storeBits);
    for (DWORD stage = 0; stage < kStageCount; ++stage) {
        const DWORD* ss = state_.stageStates[stage];
        const DWORD colorOp = ss[D3DTSS_COLOROP];
        if (colorOp == D3DTOP_DISABLE || colorOp > D3DTOP_LERP) break;
        const bool hasTexture = textures_[stage] != nullptr;
        // Direct3D skips a stage whose colour operation reads a missing texture, and all the
        // stages after it.
        if (!hasTexture && ColorOpReadsTexture(colorOp, ss[D3DTSS_COLORARG0], ss[D3DTSS_COLORARG1],
                                               ss[D3DTSS_COLORARG2]))
            break;
        StageKey& s = key.stages[stage];
        s.colorOp = uint8_t(colorOp);
        s.colorArg0 = StageArgument(stage, ss[D3DTSS_COLORARG0]);
        s.colorArg1 = StageArgument(stage, ss[D3DTSS_COLORARG1]);
        s.colorArg2 = StageArgument(stage, ss[D3DTSS_COLORARG2]);
        s.alphaOp =
            uint8_t(ss[D3DTSS_ALPHAOP] <= D3DTOP_LERP ? ss[D3DTSS_ALPHAOP] : DWORD(D3DTOP_DISABLE));
        s.alphaArg0 = StageArgument(stage, ss[D3DTSS_ALPHAARG0]);
        s.alphaArg1 = StageArgument(stage, ss[D3DTSS_ALPHAARG1]);
        s.alphaArg2 = StageArgument(stage, ss[D3DTSS_ALPHAARG2]);
        s.resultArg = uint8_t(ss[D3DTSS_RESULTARG]);
        const DWORD set = ss[D3DTSS_TEXCOORDINDEX] & 0xFFFF;
        s.texCoordSet = uint8_t(set < 8 ? set : 8);
        s.hasTexture = hasTexture;
        key.stageCount = uint8_t(stage + 1);
    }
    return key;
}

void Device::UpdateDerived() {
    if (!derivedDirty_) return;
    derivedDirty_ = false;
    DerivedUniforms& d = derived_;
    const D3DMATRIX& view = state_.transforms[D3DTS_VIEW];
    const D3DMATRIX worldView = Multiply(state_.transforms[D3DTS_WORLD], view);
    memcpy(d.worldView, &worldView, sizeof d.worldView);
    memcpy(d.projection, &state_.transforms[D3DTS_PROJECTION], sizeof d.projection);
    NormalMatrix(worldView, d.normalMatrix);

    int active = 0;
    for (const auto& [index, slot] : state_.lights) {
        if (!slot.enabled || active == int(kMaxActiveLights)) continue;
        const D3DLIGHT9& light = slot.light;
        ValueToFloats(light.Diffuse, d.lightDiffuse[active]);
        ValueToFloats(light.Specular, d.lightSpecular[active]);
        ValueToFloats(light.Ambient, d.lightAmbient[active]);
        // World-space lights meet the vertices in view space.
        Transform(light.Position, 1.0f, view, d.lightPosition[active]);
        float direction[3];
        Transform(light.Direction, 0.0f, view, direction);
        const float length = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] +
                                       direction[2] * direction[2]);
        const float toward = light.Type == D3DLIGHT_DIRECTIONAL ? -1.0f : 1.0f;
        for (int k = 0; k < 3; ++k)
            d.lightDirection[active][k] = length > 0.0f ? toward * direction[k] / length : 0.0f;
        d.lightAttenuation[active][0] = light.Attenuation0;
        d.lightAttenuation[active][1] = light.Attenuation1;
        d.lightAttenuation[active][2] = light.Attenuation2;
        d.lightAttenuation[active][3] = light.Range;
        d.lightSpot[active][0] = std::cos(light.Theta / 2.0f);
        d.lightSpot[active][1] = std::cos(light.Phi / 2.0f);
        d.lightSpot[active][2] = light.Falloff;
        d.lightSpot[active][3] = 0.0f;
        ++active;
    }

    const D3DMATERIAL9& material = state_.material;
    ValueToFloats(material.Diffuse, d.materialDiffuse);
    ValueToFloats(material.Ambient, d.materialAmbient);
    ValueToFloats(material.Specular, d.materialSpecular);
    ValueToFloats(material.Emissive, d.materialEmissive);
    d.materialPower = material.Power;

    ColorToFloats(state_.renderStates[D3DRS_AMBIENT], d.globalAmbient);
    ColorToFloats(state_.renderStates[D3DRS_TEXTUREFACTOR], d.textureFactor);
    for (DWORD stage = 0; stage < kStageCount; ++stage)
        ColorToFloats(state_.stageStates[stage][D3DTSS_CONSTANT], d.stageConstant[stage]);
    d.alphaRef = float(state_.renderStates[D3DRS_ALPHAREF] & 0xFF);

    const D3DVIEWPORT9& vp = state_.viewport;
    d.viewport[0] = float(vp.X);
    d.viewport[1] = float(vp.Y);
    d.viewport[2] = float(vp.Width);
    d.viewport[3] = float(vp.Height);
    d.pixelShift[0] = 2.0f * kPixelCentreShift / float(vp.Width);
    d.pixelShift[1] = -2.0f * kPixelCentreShift / float(vp.Height);
}

void Device::UploadUniforms(Program& p) {
    const DerivedUniforms& d = derived_;
    UniformGenerations& done = p.uploaded;
    if (done.transforms != generations_.transforms) {
        glUniformMatrix4fv(p.worldView, 1, GL_FALSE, d.worldView);
        glUniformMatrix4fv(p.projection, 1, GL_FALSE, d.projection);
        glUniformMatrix3fv(p.normalMatrix, 1, GL_FALSE, d.normalMatrix);
        done.transforms = generations_.transforms;
    }
    if (done.lights != generations_.lights) {
        // Elements past a program's own light count are ignored by the GL. The ambient is the
        // one light uniform every lit program reads: without normals it reads no other, and a
        // uniform a program does not read has no location (the GL ignores uploads to it).
        if (p.lightAmbient >= 0) {
            const GLsizei n = GLsizei(kMaxActiveLights);
            glUniform4fv(p.lightDiffuse, n, &d.lightDiffuse[0][0]);
            glUniform4fv(p.lightSpecular, n, &d.lightSpecular[0][0]);
            glUniform4fv(p.lightAmbient, n, &d.lightAmbient[0][0]);
            glUniform3fv(p.lightPosition, n, &d.lightPosition[0][0]);
            glUniform3fv(p.lightDirection, n, &d.lightDirection[0][0]);
            glUniform4fv(p.lightAttenuation, n, &d.lightAttenuation[0][0]);
            glUniform4fv(p.lightSpot, n, &d.lightSpot[0][0]);
        }
        done.lights = generations_.lights;
    }
    if (done.material != generations_.material) {
        glUniform4fv(p.materialDiffuse, 1, d.materialDiffuse);
        glUniform4fv(p.materialAmbient, 1, d.materialAmbient);
        glUniform4fv(p.materialSpecular, 1, d.materialSpecular);
        glUniform4fv(p.materialEmissive, 1, d.materialEmissive);
        glUniform1f(p.materialPower, d.materialPower);
        done.material = generations_.material;
    }
    if (done.colors != generations_.colors) {
        glUniform4fv(p.globalAmbient, 1, d.globalAmbient);
        glUniform4fv(p.textureFactor, 1, d.textureFactor);
        glUniform4fv(p.stageConstant, GLsizei(kStageCount), &d.stageConstant[0][0]);
        glUniform1f(p.alphaRef, d.alphaRef);
        done.colors = generations_.colors;
    }
    if (done.viewport != generations_.viewport) {
        glUniform4fv(p.viewport, 1, d.viewport);
        glUniform2fv(p.pixelShift, 1, d.pixelShift);
        done.viewport = generations_.viewport;
    }
}

// --- GL state ---

// The GL state the render states come to, worked out from them as a whole.
GlRasterState Device::WantedRasterState() const {
    const DWORD* rs = state_.renderStates;
    const DepthFormat* depth = backBuffer_->Depth();
    GlRasterState g{};
    g.depthTest = rs[D3DRS_ZENABLE] != D3DZB_FALSE && depth;
    g.depthFunc = g.depthTest ? GlCompareFunction(rs[D3DRS_ZFUNC], D3DCMP_LESSEQUAL) : GL_LESS;
    g.depthMask = rs[D3DRS_ZWRITEENABLE] != 0;

    g.blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
    if (g.blend) {
        const GlBlendPair colour = GlBlendFactors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND]);
        const bool separate = rs[D3DRS_SEPARATEALPHABLENDENABLE] != 0;
        const GlBlendPair alpha =
            separate ? GlBlendFactors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA]) : colour;
        g.blendFactors[0] = colour.source;
        g.blendFactors[1] = colour.destination;
        g.blendFactors[2] = alpha.source;
        g.blendFactors[3] = alpha.destination;
        g.blendEquations[0] = GlBlendEquation(rs[D3DRS_BLENDOP]);
        g.blendEquations[1] =
            separate ? GlBlendEquation(rs[D3DRS_BLENDOPALPHA]) : g.blendEquations[0];
        g.blendColor = rs[D3DRS_BLENDFACTOR];
    }

    const GlCulling culling = GlCullMode(rs[D3DRS_CULLMODE]);
    g.cull = culling.enabled;
    g.cullFace = culling.face;
    g.polygonMode = GlPolygonMode(rs[D3DRS_FILLMODE]);

    // A target without alpha keeps the alpha of 1 it was cleared to, so DESTALPHA reads 1.
    const DWORD mask = rs[D3DRS_COLORWRITEENABLE];
    g.colorMask = mask & (backBuffer_->Format().HasAlpha() ? 0xFu : 0x7u);

    g.stencil = rs[D3DRS_STENCILENABLE] && depth && depth->hasStencil;
    if (g.stencil) {
        g.stencilFunc = GlCompareFunction(rs[D3DRS_STENCILFUNC], D3DCMP_ALWAYS);
        g.stencilRef = GLint(rs[D3DRS_STENCILREF]);
        g.stencilMask = rs[D3DRS_STENCILMASK];
        g.stencilOps[0] = GlStencilOperation(rs[D3DRS_STENCILFAIL]);
        g.stencilOps[1] = GlStencilOperation(rs[D3DRS_STENCILZFAIL]);
        g.stencilOps[2] = GlStencilOperation(rs[D3DRS_STENCILPASS]);
        g.stencilWriteMask = rs[D3DRS_STENCILWRITEMASK];
    }

    const float bias = BitsFloat(rs[D3DRS_DEPTHBIAS]);
    const float slope = BitsFloat(rs[D3DRS_SLOPESCALEDEPTHBIAS]);
    g.polygonOffset = (bias != 0.0f || slope != 0.0f) && depth;
    if (g.polygonOffset) {
        // Direct3D's bias is in depth units; GL's in steps of the depth buffer.
        const float steps = depth->format == D3DFMT_D16 ? 65535.0f : 16777215.0f;
        g.offsetFactor = slope;
        g.offsetUnits = bias * steps;
    }
    return g;
}

namespace {

void Enable(GLenum capability, bool on) {
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

template <class T> bool Differs(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) != 0;
}

} // namespace

// Only what differs from the GL state the last draw left reaches the GL; after a Clear or a
// Present, which set masks and the scissor themselves, everything is set again.
void Device::ApplyRasterState() {
    if (!rasterDirty_) return;
    rasterDirty_ = false;
    const GlRasterState g = WantedRasterState();
    const bool all = !rasterKnown_;
    const GlRasterState& was = appliedRaster_;

    if (all || g.depthTest != was.depthTest) Enable(GL_DEPTH_TEST, g.depthTest);
    if (g.depthTest && (all || g.depthFunc != was.depthFunc)) glDepthFunc(g.depthFunc);
    if (all || g.depthMask != was.depthMask) glDepthMask(g.depthMask ? GL_TRUE : GL_FALSE);

    if (all || g.blend != was.blend) Enable(GL_BLEND, g.blend);
    if (g.blend) {
        if (all || Differs(g.blendFactors, was.blendFactors))
            glBlendFuncSeparate(g.blendFactors[0], g.blendFactors[1], g.blendFactors[2],
                                g.blendFactors[3]);
        if (all || Differs(g.blendEquations, was.blendEquations))
            glBlendEquationSeparate(g.blendEquations[0], g.blendEquations[1]);
        if (all || g.blendColor != was.blendColor) {
            float factor[4];
            ColorToFloats(g.blendColor, factor);
            glBlendColor(factor[0], factor[1], factor[2], factor[3]);
        }
    }

    if (all || g.cull != was.cull) Enable(GL_CULL_FACE, g.cull);
    if (g.cull && (all || g.cullFace != was.cullFace)) glCullFace(g.cullFace);
    if (all || g.polygonMode != was.polygonMode) glPolygonMode(GL_FRONT_AND_BACK, g.polygonMode);
    if (all || g.colorMask != was.colorMask)
        glColorMask(g.colorMask & 1 ? GL_TRUE : GL_FALSE, g.colorMask & 2 ? GL_TRUE : GL_FALSE,
                    g.colorMask & 4 ? GL_TRUE : GL_FALSE, g.colorMask & 8 ? GL_TRUE : GL_FALSE);

    if (all || g.stencil != was.stencil) Enable(GL_STENCIL_TEST, g.stencil);
    if (g.stencil) {
        if (all || g.stencilFunc != was.stencilFunc || g.stencilRef != was.stencilRef ||
            g.stencilMask != was.stencilMask)
            glStencilFunc(g.stencilFunc, g.stencilRef, g.stencilMask);
        if (all || Differs(g.stencilOps, was.stencilOps))
            glStencilOp(g.stencilOps[0], g.stencilOps[1], g.stencilOps[2]);
        if (all || g.stencilWriteMask != was.stencilWriteMask) glStencilMask(g.stencilWriteMask);
    }

    if (all || g.polygonOffset != was.polygonOffset)
        Enable(GL_POLYGON_OFFSET_FILL, g.polygonOffset);
    if (g.polygonOffset &&
        (all || g.offsetFactor != was.offsetFactor || g.offsetUnits != was.offsetUnits))
        glPolygonOffset(g.offsetFactor, g.offsetUnits);
    if (all) glDisable(GL_SCISSOR_TEST);

    // A state not set above (blending while blending is off, say) keeps the value the GL has,
    // or, when that is not known, one no wanted state equals, so that it is set when needed.
    constexpr GLenum kUnknown = ~GLenum(0);
    GlRasterState applied = g;
    if (!g.depthTest) applied.depthFunc = all ? kUnknown : was.depthFunc;
    if (!g.blend) {
        std::memcpy(applied.blendFactors, was.blendFactors, sizeof applied.blendFactors);
        std::memcpy(applied.blendEquations, was.blendEquations, sizeof applied.blendEquations);
        applied.blendColor = was.blendColor;
        if (all) applied.blendFactors[0] = applied.blendEquations[0] = kUnknown;
        if (all) applied.blendColor = ~g.blendColor;
    }
    if (!g.cull) applied.cullFace = all ? kUnknown : was.cullFace;
    if (!g.stencil) {
        applied.stencilFunc = all ? kUnknown : was.stencilFunc;
        applied.stencilRef = was.stencilRef;
        applied.stencilMask = was.stencilMask;
        std::memcpy(applied.stencilOps, was.stencilOps, sizeof applied.stencilOps);
        if (all) applied.stencilOps[0] = kUnknown;
        applied.stencilWriteMask = was.stencilWriteMask;
        if (all) applied.stencilWriteMask = ~g.stencilWriteMask;
    }
    if (!g.polygonOffset) {
        applied.offsetFactor = was.offsetFactor;
        applied.offsetUnits = all ? std::nanf("") : was.offsetUnits;
    }
    appliedRaster_ = applied;
    rasterKnown_ = true;
}

void Device::ApplyViewport() {
    if (!viewportDirty_) return;
    viewportDirty_ = false;
    const D3DVIEWPORT9& vp = state_.viewport;
    // GL counts rows from the bottom of the back buffer.
    glViewport(GLint(vp.X), GLint(backBuffer_->Height() - (vp.Y + vp.Height)), GLsizei(vp.Width),
               GLsizei(vp.Height));
    glDepthRange(vp.MinZ, vp.MaxZ);
}

void Device::ApplySampler(DWORD stage) {
    if (!samplerDirty_[stage]) return;
    samplerDirty_[stage] = false;
    const DWORD* s = state_.samplerStates[stage];
    const GLuint sampler = samplers_[stage];
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GlAddressMode(s[D3DSAMP_ADDRESSU]));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GlAddressMode(s[D3DSAMP_ADDRESSV]));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GlAddressMode(s[D3DSAMP_ADDRESSW]));
    float border[4];
    ColorToFloats(s[D3DSAMP_BORDERCOLOR], border);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GlMagFilter(s[D3DSAMP_MAGFILTER]));
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                        GlMinFilter(s[D3DSAMP_MINFILTER], s[D3DSAMP_MIPFILTER]));
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, BitsFloat(s[D3DSAMP_MIPMAPLODBIAS]));
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, float(s[D3DSAMP_MAXMIPLEVEL]));
    if (limits_.anisotropy) {
        const bool anisotropic = s[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC ||
                                 s[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
        const float amount =
            anisotropic ? std::clamp(float(s[D3DSAMP_MAXANISOTROPY]), 1.0f, limits_.maxAnisotropy)
                        : 1.0f;
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, amount);
    }
}

void Device::BindAttributes(const VertexLayout& layout, UINT stride, GLuint buffer,
                            size_t baseOffset) {
    // The vertex array keeps its attributes between draws: re-specifying them costs the GL a
    // revalidation of its vertex input, so only a different format, buffer or stride does it.
    const AttributeBinding wanted{state_.fvf, stride, buffer, baseOffset, deletedGlBuffers};
    if (attributesBound_ && std::memcmp(&wanted, &boundAttributes_, sizeof wanted) == 0) return;
    boundAttributes_ = wanted;
    attributesBound_ = true;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    auto pointer = [&](GLuint location, GLint size, GLenum type, GLboolean normalized, int offset) {
        if (offset < 0) {
            glDisableVertexAttribArray(location);
            return;
        }
        glEnableVertexAttribArray(location);
        glVertexAttribPointer(location, size, type, normalized, GLsizei(stride),
                              reinterpret_cast<const void*>(baseOffset + size_t(offset)));
    };
    pointer(kAttribPosition, GLint(layout.positionComponents), GL_FLOAT, GL_FALSE, 0);
    pointer(kAttribNormal, 3, GL_FLOAT, GL_FALSE, layout.normal);
    // D3DCOLOR is B, G, R, A in memory.
    pointer(kAttribDiffuse, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, layout.diffuse);
    pointer(kAttribSpecular, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, layout.specular);
    for (UINT i = 0; i < 8; ++i)
        pointer(kAttribTexCoord0 + i, GLint(layout.texComponents[i]), GL_FLOAT, GL_FALSE,
                i < layout.texCount ? layout.texOffset[i] : -1);
}

HRESULT Device::SetUpDraw(const VertexLayout& layout, GLuint vertexBuffer, size_t baseOffset,
                          UINT stride) {
    const ShaderKey key = BuildShaderKey(layout);
    Program* program = programs_.Get(key);
    if (!program) return D3DERR_DRIVERINTERNALERROR;
    glBindFramebuffer(GL_FRAMEBUFFER, backBuffer_->Framebuffer());
    ApplyRasterState();
    ApplyViewport();
    UpdateDerived();
    glUseProgram(program->id);
    UploadUniforms(*program);
    for (DWORD stage = 0; stage < key.stageCount; ++stage) {
        if (!key.stages[stage].hasTexture) continue;
        glActiveTexture(GL_TEXTURE0 + stage);
        textures_[stage]->Bind();
        ApplySampler(stage);
        glBindSampler(stage, samplers_[stage]);
    }
    BindAttributes(layout, stride, vertexBuffer, baseOffset);
    return D3D_OK;
}

// --- Draws ---

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex,
                              UINT primitiveCount) {
    GlPrimitives prims;
    if (!GlPrimitivesOf(primitiveType, primitiveCount, &prims)) return D3DERR_INVALIDCALL;
    const VertexLayout layout = LayoutOf(state_.fvf);
    const StreamBinding& stream = streams_[0];
    if (!layout.valid || !stream.buffer || stream.stride == 0) return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    BufferStorage& storage = stream.buffer->Storage();
    // The GL would read past the buffer: refuse, as the debug runtime does.
    const uint64_t end = uint64_t(stream.offset) +
                         (uint64_t(startVertex) + prims.vertices - 1) * stream.stride + layout.size;
    if (storage.Locked() || end > storage.Length()) return D3DERR_INVALIDCALL;
    MakeCurrent();
    const GLuint buffer = storage.Upload(GL_ARRAY_BUFFER);
    const HRESULT hr = SetUpDraw(layout, buffer, stream.offset, stream.stride);
    if (FAILED(hr)) return hr;
    glDrawArrays(prims.mode, GLint(startVertex), GLsizei(prims.vertices));
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE primitiveType, INT baseVertexIndex,
                                     UINT minVertexIndex, UINT numVertices, UINT startIndex,
                                     UINT primitiveCount) {
    (void)minVertexIndex; // hints only: the indices themselves are checked below
    (void)numVertices;
    GlPrimitives prims;
    if (!GlPrimitivesOf(primitiveType, primitiveCount, &prims)) return D3DERR_INVALIDCALL;
    const VertexLayout layout = LayoutOf(state_.fvf);
    const StreamBinding& stream = streams_[0];
    if (!layout.valid || !stream.buffer || stream.stride == 0 || !indices_)
        return D3DERR_INVALIDCALL;
    if (primitiveCount == 0) return D3D_OK;
    BufferStorage& vertices = stream.buffer->Storage();
    BufferStorage& indices = indices_->Storage();
    const UINT indexSize = indices_->IndexSize();
    if (vertices.Locked() || indices.Locked() ||
        (uint64_t(startIndex) + prims.vertices) * indexSize > indices.Length())
        return D3DERR_INVALIDCALL;
    // Every vertex the draw reads must lie in the stream. The bounds of the whole index buffer
    // (known until its contents change) settle that for almost every draw; only a draw they
    // do not clear has its own indices scanned.
    auto fits = [&](UINT lowest, UINT highest) {
        const int64_t first = int64_t(baseVertexIndex) + lowest;
        const uint64_t end = uint64_t(stream.offset) +
                             uint64_t(int64_t(baseVertexIndex) + highest) * stream.stride +
                             layout.size;
        return first >= 0 && end <= vertices.Length();
    };
    UINT lowest, highest;
    indices.IndexBounds(indexSize, &lowest, &highest);
    if (!fits(lowest, highest)) {
        IndexRange(indices.Memory() + size_t(startIndex) * indexSize, prims.vertices, indexSize,
                   &lowest, &highest);
        if (!fits(lowest, highest)) return D3DERR_INVALIDCALL;
    }
    MakeCurrent();
    const GLuint vertexBuffer = vertices.Upload(GL_ARRAY_BUFFER);
    const HRESULT hr = SetUpDraw(layout, vertexBuffer, stream.offset, stream.stride);
    if (FAILED(hr)) return hr;
    indices.Upload(GL_ELEMENT_ARRAY_BUFFER);
    glDrawElementsBaseVertex(
        prims.mode, GLsizei(prims.vertices), indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
        reinterpret_cast<const void*>(size_t(startIndex) * indexSize), baseVertexIndex);
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                const void* vertexStreamZeroData, UINT vertexStreamZeroStride) {
    GlPrimitives prims;
    if (!GlPrimitivesOf(primitiveType, primitiveCount, &prims) || !vertexStreamZeroData ||
        vertexStreamZeroStride == 0)
        return D3DERR_INVALIDCALL;
    const VertexLayout layout = LayoutOf(state_.fvf);
    if (!layout.valid || layout.size > vertexStreamZeroStride) return D3DERR_INVALIDCALL;
    // Drawing from user memory unbinds stream 0, as in Direct3D.
    SetStreamSource(0, nullptr, 0, 0);
    if (primitiveCount == 0) return D3D_OK;
    MakeCurrent();
    glBindBuffer(GL_ARRAY_BUFFER, userVertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(size_t(prims.vertices) * vertexStreamZeroStride),
                 vertexStreamZeroData, GL_STREAM_DRAW);
    const HRESULT hr = SetUpDraw(layout, userVertexBuffer_, 0, vertexStreamZeroStride);
    if (FAILED(hr)) return hr;
    glDrawArrays(prims.mode, 0, GLsizei(prims.vertices));
    return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT minVertexIndex,
                                       UINT numVertices, UINT primitiveCount, const void* indexData,
                                       D3DFORMAT indexDataFormat, const void* vertexStreamZeroData,
                                       UINT vertexStreamZeroStride) {
    GlPrimitives prims;
    if (!GlPrimitivesOf(primitiveType, primitiveCount, &prims) || !indexData ||
        !vertexStreamZeroData || vertexStreamZeroStride == 0 || numVertices == 0 ||
        (indexDataFormat != D3DFMT_INDEX16 && indexDataFormat != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    const VertexLayout layout = LayoutOf(state_.fvf);
    if (!layout.valid || layout.size > vertexStreamZeroStride) return D3DERR_INVALIDCALL;
    const UINT indexSize = indexDataFormat == D3DFMT_INDEX32 ? 4 : 2;
    UINT lowest, highest;
    IndexRange(static_cast<const uint8_t*>(indexData), prims.vertices, indexSize, &lowest,
               &highest);
    // Only vertices minVertexIndex .. minVertexIndex + numVertices - 1 are read.
    const uint64_t vertexEnd = uint64_t(minVertexIndex) + numVertices;
    if (primitiveCount > 0 && (lowest < minVertexIndex || highest >= vertexEnd))
        return D3DERR_INVALIDCALL;
    SetStreamSource(0, nullptr, 0, 0);
    SetIndices(nullptr);
    if (primitiveCount == 0) return D3D_OK;
    MakeCurrent();
    glBindBuffer(GL_ARRAY_BUFFER, userVertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertexEnd * vertexStreamZeroStride),
                 vertexStreamZeroData, GL_STREAM_DRAW);
    const HRESULT hr = SetUpDraw(layout, userVertexBuffer_, 0, vertexStreamZeroStride);
    if (FAILED(hr)) return hr;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, userIndexBuffer_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(size_t(prims.vertices) * indexSize), indexData,
                 GL_STREAM_DRAW);
    glDrawElements(prims.mode, GLsizei(prims.vertices),
                   indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, nullptr);
    return D3D_OK;
}

// --- Clear ---

namespace {

// The whole viewport, one colour and one depth; the scissor picks the rectangle.
constexpr const char* kClearVertexShader = R"(#version 330 core
void main() {
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";
constexpr const char* kClearFragmentShader = R"(#version 330 core
uniform vec4 uColor;
uniform float uDepth;
out vec4 fragColor;
void main() {
    fragColor = uColor;
    gl_FragDepth = uDepth;
}
)";

} // namespace

// Clears the scissor rectangle by drawing over it: what glClear would store, written through
// the colour, depth and stencil the bits name.
bool Device::ClearRectangle(GLbitfield bits, const float rgba[4], float z, DWORD stencil) {
    if (!clearProgram_) {
        clearProgram_ = LinkProgram(kClearVertexShader, kClearFragmentShader);
        if (!clearProgram_) return false;
        clearColor_ = glGetUniformLocation(clearProgram_, "uColor");
        clearDepth_ = glGetUniformLocation(clearProgram_, "uDepth");
    }
    const bool colour = bits & GL_COLOR_BUFFER_BIT, depth = bits & GL_DEPTH_BUFFER_BIT,
               stencils = bits & GL_STENCIL_BUFFER_BIT;
    glColorMask(colour, colour, colour, colour);
    glDepthMask(depth ? GL_TRUE : GL_FALSE);
    Enable(GL_DEPTH_TEST, depth); // the GL writes depth only with its test on
    glDepthFunc(GL_ALWAYS);
    Enable(GL_STENCIL_TEST, stencils);
    glStencilFunc(GL_ALWAYS, GLint(stencil & 0xFF), 0xFF);
    glStencilOp(GL_REPLACE, GL_REPLACE, GL_REPLACE);
    glStencilMask(stencils ? 0xFF : 0);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glViewport(0, 0, GLsizei(backBuffer_->Width()), GLsizei(backBuffer_->Height()));
    glUseProgram(clearProgram_);
    glUniform4fv(clearColor_, 1, rgba);
    glUniform1f(clearDepth_, z);
    glBindVertexArray(AttributelessVertexArray());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(vertexArray_);
    viewportDirty_ = true;
    return true;
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                      DWORD stencil) {
    constexpr DWORD kKnown = D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL;
    const DepthFormat* depth = backBuffer_->Depth();
    if (!flags || (flags & ~kKnown) || (count && !rects)) return D3DERR_INVALIDCALL;
    // Depth or stencil cannot be cleared where there is none.
    if ((flags & D3DCLEAR_ZBUFFER) && !depth) return D3DERR_INVALIDCALL;
    if ((flags & D3DCLEAR_STENCIL) && !(depth && depth->hasStencil)) return D3DERR_INVALIDCALL;
    MakeCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, backBuffer_->Framebuffer());
    // Clear ignores the write masks; GL's glClear obeys them, so open them for it.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glStencilMask(0xFFFFFFFF);
    float rgba[4];
    ColorToFloats(color, rgba);
    if (backBuffer_->RoundsOnStore()) {
        // Stored as Direct3D stores it: each channel at the nearest level of the format, and
        // alpha 1 where the format has none.
        const RenderTargetFormat& format = backBuffer_->Format();
        for (int channel = 0; channel < 4; ++channel) {
            const float levels = float((1 << format.bits[channel]) - 1);
            if (format.bits[channel]) rgba[channel] = std::round(rgba[channel] * levels) / levels;
        }
        if (!format.HasAlpha()) rgba[3] = 1.0f;
    }
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    glClearStencil(GLint(stencil));
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET) bits |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) bits |= GL_DEPTH_BUFFER_BIT;
    if (flags & D3DCLEAR_STENCIL) bits |= GL_STENCIL_BUFFER_BIT;

    // Each rectangle (or, with none, the viewport) clipped to the viewport.
    const D3DVIEWPORT9& vp = state_.viewport;
    const LONG vpRight = LONG(vp.X + vp.Width), vpBottom = LONG(vp.Y + vp.Height);
    const D3DRECT whole{LONG(vp.X), LONG(vp.Y), vpRight, vpBottom};
    const DWORD n = count ? count : 1;
    glEnable(GL_SCISSOR_TEST);
    for (DWORD i = 0; i < n; ++i) {
        const D3DRECT& r = count ? rects[i] : whole;
        const LONG x1 = std::max(r.x1, LONG(vp.X)), y1 = std::max(r.y1, LONG(vp.Y));
        const LONG x2 = std::min(r.x2, vpRight), y2 = std::min(r.y2, vpBottom);
        if (x1 >= x2 || y1 >= y2) continue;
        glScissor(GLint(x1), GLint(LONG(backBuffer_->Height()) - y2), GLsizei(x2 - x1),
                  GLsizei(y2 - y1));
        const bool whole = x1 == 0 && y1 == 0 && x2 == LONG(backBuffer_->Width()) &&
                           y2 == LONG(backBuffer_->Height());
        if (whole || !ClearRectangle(bits, rgba, std::clamp(z, 0.0f, 1.0f), stencil)) glClear(bits);
    }
    glDisable(GL_SCISSOR_TEST);
    rasterDirty_ = true; // the masks go back to the render states at the next draw
    rasterKnown_ = false;
    return D3D_OK;
}

} // namespace d3d9
