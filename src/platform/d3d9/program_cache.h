// Fixed-function programs: the state that selects one (ShaderKey), the GLSL built for it, and
// the cache that compiles each key once.
#pragma once

#include "gl_api.h"
#include "state_defaults.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

namespace d3d9 {

// Vertex attribute locations, fixed for every program.
enum AttributeLocation : GLuint {
    kAttribPosition = 0,
    kAttribNormal = 1,
    kAttribDiffuse = 2,
    kAttribSpecular = 3,
    kAttribTexCoord0 = 4, // ... kAttribTexCoord0 + 7
};

struct StageKey {
    uint8_t colorOp, colorArg0, colorArg1, colorArg2;
    uint8_t alphaOp, alphaArg0, alphaArg1, alphaArg2;
    uint8_t resultArg;
    uint8_t texCoordSet; // the vertex's coordinate set this stage samples with
    uint8_t hasTexture;  // a texture is bound to the stage
    uint8_t padding;
};

// Everything that changes the generated GLSL. Zero-filled before use, compared as bytes.
struct ShaderKey {
    uint32_t fvf; // the vertex format bits that matter: position, normal, colours, coordinates
    uint8_t pretransformed;
    uint8_t lighting;
    uint8_t normalizeNormals;
    uint8_t localViewer;
    uint8_t specularEnable;
    uint8_t flatShading;
    uint8_t clipControl; // depth already 0..1 by glClipControl; else the shader maps it
    uint8_t alphaFunc;   // D3DCMPFUNC; D3DCMP_ALWAYS = no alpha test
    uint8_t diffuseSource, ambientSource, specularSource, emissiveSource; // resolved D3DMCS_*
    uint8_t lightCount;
    uint8_t lightTypes[kMaxActiveLights];
    uint8_t stageCount; // stages before the first disabled one
    // Bits of red, green, blue and alpha the colour is rounded to on output, as Direct3D's store
    // rounds into a narrow target; 0 for a channel left as it is (blending on, or no rounding
    // to emulate).
    uint8_t storeBits[4];
    uint8_t padding[2];
    StageKey stages[kStageCount];

    bool operator==(const ShaderKey& other) const;
};

struct ShaderKeyHash {
    size_t operator()(const ShaderKey& key) const;
};

std::string VertexShaderSource(const ShaderKey& key);
std::string FragmentShaderSource(const ShaderKey& key);

// Counters the device bumps when a group of uniforms changes.
struct UniformGenerations {
    uint64_t transforms, lights, material, colors, viewport;
};

// Uniform values computed on the CPU from the device state, in upload order.
struct DerivedUniforms {
    float worldView[16];
    float projection[16];
    float normalMatrix[9];
    float lightDiffuse[kMaxActiveLights][4];
    float lightSpecular[kMaxActiveLights][4];
    float lightAmbient[kMaxActiveLights][4];
    float lightPosition[kMaxActiveLights][3]; // view space
    float lightDirection[kMaxActiveLights]
                        [3]; // view space: toward a directional light, along a spot
    float lightAttenuation[kMaxActiveLights][4]; // att0, att1, att2, range
    float lightSpot[kMaxActiveLights][4];        // cos(theta/2), cos(phi/2), falloff
    float materialDiffuse[4], materialAmbient[4], materialSpecular[4], materialEmissive[4];
    float materialPower;
    float globalAmbient[4];
    float textureFactor[4];
    float stageConstant[kStageCount][4];
    float alphaRef;
    float viewport[4];   // x, y, width, height in render-target pixels (top-left origin)
    float pixelShift[2]; // Direct3D 9's pixel centres, as clip-space offsets per unit of w
};

struct Program {
    GLuint id = 0;
    UniformGenerations uploaded{~0ull, ~0ull, ~0ull, ~0ull, ~0ull};
    GLint worldView, projection, normalMatrix;
    GLint lightDiffuse, lightSpecular, lightAmbient, lightPosition, lightDirection;
    GLint lightAttenuation, lightSpot;
    GLint materialDiffuse, materialAmbient, materialSpecular, materialEmissive, materialPower;
    GLint globalAmbient, textureFactor, stageConstant, alphaRef, viewport, pixelShift;
};

class ProgramCache {
  public:
    ProgramCache() = default;
    ProgramCache(const ProgramCache&) = delete;
    ProgramCache& operator=(const ProgramCache&) = delete;
    ~ProgramCache() { Clear(); }

    // The program for key, compiled on first use; null if it does not compile (a bug).
    Program* Get(const ShaderKey& key);
    // Deletes every program; the context must be current.
    void Clear();
    size_t Size() const { return programs_.size(); }

  private:
    std::unordered_map<ShaderKey, std::unique_ptr<Program>, ShaderKeyHash> programs_;
};

} // namespace d3d9

namespace d3d9 {
// Compiles and links a program; 0 (and the GL's log on stderr) if it does not build, a bug.
GLuint LinkProgram(const std::string& vertexSource, const std::string& fragmentSource);
// Whether a stage's colour operation reads the stage's texture through its arguments.
bool ColorOpReadsTexture(DWORD op, DWORD arg0, DWORD arg1, DWORD arg2);
} // namespace d3d9
