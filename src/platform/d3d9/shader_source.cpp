// GLSL 3.30 for Direct3D 9's fixed-function pipeline: transform, vertex lighting, the texture
// stage cascade, specular add and alpha test, generated for one ShaderKey.
#include "program_cache.h"

#include <d3d9.h>

#include <string>

namespace d3d9 {

namespace {

// Where Direct3D 9 puts pixel centres relative to GL's, in pixels: just under half a pixel, so
// that edges on integer coordinates never fall exactly on a GL sample point.
constexpr const char* kPixelCentreShift = "0.4921875"; // 63/128

std::string Num(int value) {
    return std::to_string(value);
}

UINT TexCoordCount(uint32_t fvf) {
    return (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
}

// The material colour a lighting source names: the vertex colours or the material's own.
std::string SourceColor(uint8_t source, const char* materialUniform) {
    if (source == D3DMCS_COLOR1) return "aDiffuse";
    if (source == D3DMCS_COLOR2) return "aSpecular";
    return materialUniform;
}

std::string LightTerm(int index, uint8_t type, bool hasNormal, const ShaderKey& key) {
    const std::string k = "[" + Num(index) + "]";
    std::string s = "    {\n";
    if (type == D3DLIGHT_DIRECTIONAL) {
        s += "        vec3 L = uLightDirection" + k + ";\n        float att = 1.0;\n";
    } else {
        s += "        vec3 toLight = uLightPosition" + k +
             " - P;\n"
             "        float d = length(toLight);\n"
             "        vec3 L = toLight / max(d, 1e-20);\n"
             "        vec4 a = uLightAttenuation" +
             k +
             ";\n"
             "        float att = d > a.w ? 0.0 : 1.0 / max(a.x + a.y * d + a.z * d * d, 1e-20);\n";
        if (type == D3DLIGHT_SPOT) {
            s += "        vec3 spot = uLightSpot" + k +
                 ".xyz;\n"
                 "        float rho = dot(-L, uLightDirection" +
                 k +
                 ");\n"
                 "        if (rho <= spot.y) att = 0.0;\n"
                 "        else if (rho < spot.x) att *= pow((rho - spot.y) / (spot.x - spot.y), "
                 "spot.z);\n";
        }
    }
    s += "        ambientSum += att * uLightAmbient" + k + ".rgb;\n";
    if (hasNormal) {
        s += "        float NdotL = dot(N, L);\n"
             "        if (NdotL > 0.0) {\n"
             "            diffuseSum += att * NdotL * uLightDiffuse" +
             k + ".rgb;\n";
        if (key.specularEnable) {
            s += key.localViewer ? "            vec3 H = normalize(L + normalize(-P));\n"
                                 : "            vec3 H = normalize(L + vec3(0.0, 0.0, -1.0));\n";
            s += "            float NdotH = dot(N, H);\n"
                 "            if (NdotH > 0.0)\n"
                 "                specularSum += att * (uMaterialPower > 0.0 ? pow(NdotH, "
                 "uMaterialPower) : 1.0) * uLightSpecular" +
                 k + ".rgb;\n";
        }
        s += "        }\n";
    }
    s += "    }\n";
    return s;
}

} // namespace

std::string VertexShaderSource(const ShaderKey& key) {
    const bool hasNormal = (key.fvf & D3DFVF_NORMAL) && !key.pretransformed;
    const bool hasDiffuse = key.fvf & D3DFVF_DIFFUSE;
    const bool hasSpecular = key.fvf & D3DFVF_SPECULAR;
    const UINT texCount = TexCoordCount(key.fvf);
    const std::string flat = key.flatShading ? "flat " : "";

    std::string s = "#version 330 core\n";
    s += "layout(location = 0) in vec4 aPosition;\n";
    if (hasNormal) s += "layout(location = 1) in vec3 aNormal;\n";
    if (hasDiffuse) s += "layout(location = 2) in vec4 aDiffuse;\n";
    if (hasSpecular) s += "layout(location = 3) in vec4 aSpecular;\n";
    for (UINT i = 0; i < texCount; ++i)
        s += "layout(location = " + Num(int(kAttribTexCoord0 + i)) + ") in vec4 aTexCoord" +
             Num(int(i)) + ";\n";
    s += "uniform mat4 uWorldView;\nuniform mat4 uProjection;\nuniform mat3 uNormalMatrix;\n"
         "uniform vec4 uViewport;\nuniform vec2 uPixelShift;\n";
    if (key.lighting) {
        s += "const int kLights = " + Num(key.lightCount > 0 ? key.lightCount : 1) + ";\n";
        s += "uniform vec4 uLightDiffuse[kLights];\nuniform vec4 uLightSpecular[kLights];\n"
             "uniform vec4 uLightAmbient[kLights];\nuniform vec3 uLightPosition[kLights];\n"
             "uniform vec3 uLightDirection[kLights];\nuniform vec4 uLightAttenuation[kLights];\n"
             "uniform vec4 uLightSpot[kLights];\n"
             "uniform vec4 uMaterialDiffuse;\nuniform vec4 uMaterialAmbient;\n"
             "uniform vec4 uMaterialSpecular;\nuniform vec4 uMaterialEmissive;\n"
             "uniform float uMaterialPower;\nuniform vec4 uGlobalAmbient;\n";
    }
    s += flat + "out vec4 vDiffuse;\n" + flat + "out vec4 vSpecular;\n";
    for (int stage = 0; stage < key.stageCount; ++stage)
        if (key.stages[stage].hasTexture) s += "out vec2 vTex" + Num(stage) + ";\n";

    s += "void main() {\n";
    if (key.pretransformed) {
        // Screen pixels (y down) to clip space within the viewport; rhw gives w back.
        s += "    float w = aPosition.w == 0.0 ? 1.0 : 1.0 / aPosition.w;\n"
             "    vec2 ndc = vec2(2.0 * (aPosition.x + " +
             std::string(kPixelCentreShift) +
             " - uViewport.x) / uViewport.z - 1.0,\n"
             "                    1.0 - 2.0 * (aPosition.y + " +
             kPixelCentreShift + " - uViewport.y) / uViewport.w);\n";
        s += key.clipControl ? "    float z = aPosition.z;\n"
                             : "    float z = 2.0 * aPosition.z - 1.0;\n";
        s += "    gl_Position = vec4(ndc * w, z * w, w);\n";
    } else {
        // Row vectors times Direct3D matrices: the matrices arrive untransposed, so M * v here is
        // v x M there.
        s += "    vec4 eye = uWorldView * vec4(aPosition.xyz, 1.0);\n"
             "    vec4 clip = uProjection * eye;\n"
             "    clip.xy += uPixelShift * clip.w;\n";
        if (!key.clipControl) s += "    clip.z = 2.0 * clip.z - clip.w;\n";
        s += "    gl_Position = clip;\n";
    }

    if (key.lighting) {
        s += "    vec3 P = eye.xyz;\n";
        if (hasNormal) {
            s += key.normalizeNormals ? "    vec3 N = normalize(uNormalMatrix * aNormal);\n"
                                      : "    vec3 N = uNormalMatrix * aNormal;\n";
        }
        s += "    vec4 Cd = " + SourceColor(key.diffuseSource, "uMaterialDiffuse") + ";\n";
        s += "    vec4 Ca = " + SourceColor(key.ambientSource, "uMaterialAmbient") + ";\n";
        s += "    vec4 Cs = " + SourceColor(key.specularSource, "uMaterialSpecular") + ";\n";
        s += "    vec4 Ce = " + SourceColor(key.emissiveSource, "uMaterialEmissive") + ";\n";
        s += "    vec3 ambientSum = vec3(0.0);\n    vec3 diffuseSum = vec3(0.0);\n"
             "    vec3 specularSum = vec3(0.0);\n";
        for (int i = 0; i < key.lightCount; ++i)
            s += LightTerm(i, key.lightTypes[i], hasNormal, key);
        // Sums of all lights, then clamped, as Direct3D clamps after the last light.
        s += "    vDiffuse = vec4(clamp(Ce.rgb + Ca.rgb * (uGlobalAmbient.rgb + ambientSum) + "
             "Cd.rgb * diffuseSum, 0.0, 1.0), clamp(Cd.a, 0.0, 1.0));\n";
        s += key.specularEnable
                 ? "    vSpecular = vec4(clamp(Cs.rgb * specularSum, 0.0, 1.0), 1.0);\n"
                 : "    vSpecular = vec4(0.0, 0.0, 0.0, 1.0);\n";
    } else {
        s += hasDiffuse ? "    vDiffuse = aDiffuse;\n" : "    vDiffuse = vec4(1.0);\n";
        s += hasSpecular ? "    vSpecular = aSpecular;\n"
                         : "    vSpecular = vec4(0.0, 0.0, 0.0, 1.0);\n";
    }

    for (int stage = 0; stage < key.stageCount; ++stage) {
        if (!key.stages[stage].hasTexture) continue;
        const UINT set = key.stages[stage].texCoordSet;
        s += "    vTex" + Num(stage) + " = " +
             (set < texCount ? "aTexCoord" + Num(int(set)) + ".xy" : std::string("vec2(0.0)")) +
             ";\n";
    }
    s += "}\n";
    return s;
}

namespace {

// The GLSL value of one stage argument (D3DTA_*), with its modifiers.
std::string Argument(DWORD arg, int stage, bool hasTexture) {
    std::string value;
    switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
        value = "diffuse";
        break;
    case D3DTA_CURRENT:
        value = "current";
        break;
    // A stage without a texture reads the diffuse colour where it names the texture.
    case D3DTA_TEXTURE:
        value = hasTexture ? "tex" : "diffuse";
        break;
    case D3DTA_TFACTOR:
        value = "uTextureFactor";
        break;
    case D3DTA_SPECULAR:
        value = "specular";
        break;
    case D3DTA_TEMP:
        value = "temp";
        break;
    case D3DTA_CONSTANT:
        value = "uStageConstant[" + Num(stage) + "]";
        break;
    default:
        value = "current";
        break;
    }
    if (arg & D3DTA_COMPLEMENT) value = "(vec4(1.0) - " + value + ")";
    if (arg & D3DTA_ALPHAREPLICATE) value = value + ".aaaa";
    return value;
}

// One stage operation on the given channels (".rgb" or ".a") of its arguments.
std::string Operation(DWORD op, const std::string& a0, const std::string& a1, const std::string& a2,
                      const char* ch, bool hasTexture) {
    const std::string x = "(" + a1 + ")" + ch, y = "(" + a2 + ")" + ch, z = "(" + a0 + ")" + ch;
    auto blend = [&](const std::string& factor) {
        return x + " * " + factor + " + " + y + " * (1.0 - " + factor + ")";
    };
    switch (op) {
    case D3DTOP_SELECTARG1:
        return x;
    case D3DTOP_SELECTARG2:
        return y;
    case D3DTOP_MODULATE:
        return x + " * " + y;
    case D3DTOP_MODULATE2X:
        return "2.0 * " + x + " * " + y;
    case D3DTOP_MODULATE4X:
        return "4.0 * " + x + " * " + y;
    case D3DTOP_ADD:
        return x + " + " + y;
    case D3DTOP_ADDSIGNED:
        return x + " + " + y + " - 0.5";
    case D3DTOP_ADDSIGNED2X:
        return "2.0 * (" + x + " + " + y + " - 0.5)";
    case D3DTOP_SUBTRACT:
        return x + " - " + y;
    case D3DTOP_ADDSMOOTH:
        return x + " + " + y + " - " + x + " * " + y;
    case D3DTOP_BLENDDIFFUSEALPHA:
        return blend("diffuse.a");
    case D3DTOP_BLENDTEXTUREALPHA:
        return blend(hasTexture ? "tex.a" : "diffuse.a");
    case D3DTOP_BLENDFACTORALPHA:
        return blend("uTextureFactor.a");
    case D3DTOP_BLENDCURRENTALPHA:
        return blend("current.a");
    case D3DTOP_BLENDTEXTUREALPHAPM:
        return x + " + " + y + " * (1.0 - " + (hasTexture ? "tex.a" : "diffuse.a") + ")";
    case D3DTOP_MODULATEALPHA_ADDCOLOR:
        return x + " + (" + a1 + ").a * " + y;
    case D3DTOP_MODULATECOLOR_ADDALPHA:
        return x + " * " + y + " + (" + a1 + ").a";
    case D3DTOP_MODULATEINVALPHA_ADDCOLOR:
        return "(1.0 - (" + a1 + ").a) * " + y + " + " + x;
    case D3DTOP_MODULATEINVCOLOR_ADDALPHA:
        return "(1.0 - " + x + ") * " + y + " + (" + a1 + ").a";
    case D3DTOP_DOTPRODUCT3:
        return "vec4(4.0 * dot((" + a1 + ").rgb - 0.5, (" + a2 + ").rgb - 0.5))" + ch;
    case D3DTOP_MULTIPLYADD:
        return z + " + " + x + " * " + y;
    case D3DTOP_LERP:
        return z + " * " + x + " + (1.0 - " + z + ") * " + y;
    default:
        return x; // PREMODULATE and bump mapping: pass the first argument
    }
}

bool UsesTexture(DWORD arg) {
    return (arg & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
}

} // namespace

std::string FragmentShaderSource(const ShaderKey& key) {
    const std::string flat = key.flatShading ? "flat " : "";
    std::string s = "#version 330 core\n";
    s += flat + "in vec4 vDiffuse;\n" + flat + "in vec4 vSpecular;\n";
    for (int stage = 0; stage < key.stageCount; ++stage)
        if (key.stages[stage].hasTexture)
            s += "in vec2 vTex" + Num(stage) + ";\nuniform sampler2D uTexture" + Num(stage) + ";\n";
    s += "uniform vec4 uTextureFactor;\nuniform vec4 uStageConstant[8];\nuniform float uAlphaRef;\n"
         "out vec4 fragColor;\n"
         "void main() {\n"
         "    vec4 diffuse = vDiffuse;\n    vec4 specular = vSpecular;\n"
         "    vec4 current = diffuse;\n    vec4 temp = vec4(0.0);\n";
    for (int stage = 0; stage < key.stageCount; ++stage) {
        const StageKey& st = key.stages[stage];
        const bool tex = st.hasTexture;
        s += "    {\n";
        if (tex)
            s +=
                "        vec4 tex = texture(uTexture" + Num(stage) + ", vTex" + Num(stage) + ");\n";
        const std::string c0 = Argument(st.colorArg0, stage, tex),
                          c1 = Argument(st.colorArg1, stage, tex),
                          c2 = Argument(st.colorArg2, stage, tex);
        const std::string a0 = Argument(st.alphaArg0, stage, tex),
                          a1 = Argument(st.alphaArg1, stage, tex),
                          a2 = Argument(st.alphaArg2, stage, tex);
        s += "        vec3 color = " + Operation(st.colorOp, c0, c1, c2, ".rgb", tex) + ";\n";
        if (st.colorOp == D3DTOP_DOTPRODUCT3)
            s += "        float alpha = color.r;\n"; // the dot product goes to all four channels
        else if (st.alphaOp == D3DTOP_DISABLE)
            s += "        float alpha = current.a;\n";
        else
            s += "        float alpha = " + Operation(st.alphaOp, a0, a1, a2, ".a", tex) + ";\n";
        const char* result = (st.resultArg & D3DTA_SELECTMASK) == D3DTA_TEMP ? "temp" : "current";
        s += std::string("        ") + result + " = clamp(vec4(color, alpha), 0.0, 1.0);\n";
        s += "    }\n";
    }
    if (key.specularEnable) s += "    current.rgb = clamp(current.rgb + specular.rgb, 0.0, 1.0);\n";
    if (key.alphaFunc != D3DCMP_ALWAYS) {
        static const char* const kCompare[] = {"",      "false",  "a < r",  "a == r", "a <= r",
                                               "a > r", "a != r", "a >= r", "true"};
        const char* test = key.alphaFunc <= 8 ? kCompare[key.alphaFunc] : "true";
        s += "    float a = floor(current.a * 255.0 + 0.5);\n    float r = uAlphaRef;\n";
        s += std::string("    if (!(") + test + ")) discard;\n";
    }
    s += "    fragColor = current;\n";
    // Each channel to the nearest level of the target's format (an 8-bit colour never ties).
    for (int channel = 0; channel < 4; ++channel) {
        const int bits = key.storeBits[channel];
        if (bits == 0) continue;
        const std::string c = std::string("fragColor.") + "rgba"[channel];
        const std::string levels = Num((1 << bits) - 1) + ".0";
        s += "    " + c + " = floor(" + c + " * " + levels + " + 0.5) / " + levels + ";\n";
    }
    s += "}\n";
    return s;
}

// Whether the stage's colour operation reads its texture (used to end the cascade when the
// texture is missing).
bool ColorOpReadsTexture(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2) {
    switch (op) {
    case D3DTOP_DISABLE:
        return false;
    case D3DTOP_SELECTARG1:
        return UsesTexture(arg1);
    case D3DTOP_SELECTARG2:
        return UsesTexture(arg2);
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDTEXTUREALPHAPM:
        return true;
    case D3DTOP_MULTIPLYADD:
    case D3DTOP_LERP:
        return UsesTexture(arg0) || UsesTexture(arg1) || UsesTexture(arg2);
    default:
        return UsesTexture(arg1) || UsesTexture(arg2);
    }
}

} // namespace d3d9
