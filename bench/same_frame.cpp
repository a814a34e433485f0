// The viewer's frame written directly in OpenGL 3.3, as a yardstick for the viewer's frame time.
//
// It draws what the viewer draws: the 900 x 690 back buffer holding Direct3D's 565 levels, the
// model lit per material with the viewer's light and materials, the filter quad blended with
// its texture and tint, the HUD's glyph quads from an atlas, and the stretch into the 794 x 561
// window. The model, textures and glyphs are prepared before the first frame with our .x
// loader, image decoding and glyph rasteriser on the recording device; nothing of the
// Direct3D 9 layer runs in its frames.
//
// The back buffer is an 8-bit RGBA texture: draws that store unblended colours round them to
// the 565 levels in the shader, and the read-back rounds what blending left. After the timed
// frames it is compared with the viewer's own back buffer (a PNG from the viewer's screenshot
// path): at least 99.9 % of pixels must be within one 565 step, or this is not the same frame
// and the program exits with 3.
//
// usage: same_frame FOLDER MODEL FRAMES MATRICES STATE VIEWER_PNG [idle=SECONDS]
//   MATRICES: world, view, projection (48 comma-separated floats, Direct3D row order)
//   STATE: filter red, green, blue, alpha, ambient red, green, blue (floats), ambient percents
//   idle=SECONDS: instead of timing, run paced at 60 Hz and report the CPU share
#include "bench_util.h"

#include "d3dx9/font_face.h"
#include "d3dx9/glyph_atlas.h"
#include "d3dx9/text_layout.h"
#include "render/hud_text.h"
#include "testing/recording_device.h"
#include "win32/cp932.h"

#include <SDL.h>
#include <SDL_image.h>
#include <d3d9.h>
#include <d3dx9.h>
#include <unistd.h>
#include <windows.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kBackWidth = 900, kBackHeight = 690;
constexpr int kWindowWidth = 794, kWindowHeight = 561;
constexpr D3DCOLOR kClearColour = 0xFF3CA3B9;
constexpr D3DCOLOR kHudColour = 0xFFC8C8C8;
// Direct3D 9 pixel centres sit this far up-left of GL's (as our device places them).
constexpr float kPixelCentreShift = 63.0f / 128.0f;
const char kFilterImageFile[] = "\x83t\x83\x42\x83\x8B\x83^\x81[\x89\xE6\x91\x9C.jpg";

struct Matrix {
    float m[4][4];
};

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                        a.m[i][3] * b.m[3][j];
    return r;
}

// The inverse transpose of the upper 3 x 3: cofactors over the determinant.
void NormalMatrix(const Matrix& m, float out[9]) {
    const float a = m.m[0][0], b = m.m[0][1], c = m.m[0][2], d = m.m[1][0], e = m.m[1][1],
                f = m.m[1][2], g = m.m[2][0], h = m.m[2][1], i = m.m[2][2];
    const float co[9] = {e * i - f * h, f * g - d * i, d * h - e * g, c * h - b * i, a * i - c * g,
                         b * g - a * h, b * f - c * e, c * d - a * f, a * e - b * d};
    const float det = a * co[0] + b * co[1] + c * co[2];
    for (int k = 0; k < 9; ++k)
        out[k] = det == 0.0f ? float(k % 4 == 0) : co[k] / det;
}

// ---- Data prepared before the first frame ---------------------------------------------------

struct Texture {
    GLuint id = 0;
};

struct Material {
    float diffuse[4], ambient[4], specular[4], emissive[4], power;
    GLuint texture; // 0: untextured
    DWORD firstFace, faceCount;
};

struct Model {
    std::vector<uint8_t> vertices;
    std::vector<uint8_t> indices;
    DWORD fvf = 0, stride = 0;
    bool wideIndices = false;
    std::vector<Material> materials;
};

// A D3DX texture (8888 formats) as a GL texture of its top level; X8 formats read alpha 1.
GLuint UploadTexture(IDirect3DTexture9* texture, GLenum wrap) {
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    if (desc.Format != D3DFMT_A8R8G8B8 && desc.Format != D3DFMT_X8R8G8B8) {
        std::fprintf(stderr, "same_frame: texture format %d not handled\n", int(desc.Format));
        std::exit(1);
    }
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    GLuint id;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, locked.Pitch / 4);
    // Direct3D's first row is v = 0, GL's first row is t = 0: no flip.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, GLsizei(desc.Width), GLsizei(desc.Height), 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, locked.pBits);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    texture->UnlockRect(0);
    if (desc.Format == D3DFMT_X8R8G8B8)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GLint(wrap));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GLint(wrap));
    return id;
}

// One white texel: a texture that leaves the vertex colour as it is, for the quad without image.
GLuint WhiteTexture() {
    const uint32_t white = 0xFFFFFFFF;
    GLuint id;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, &white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return id;
}

// The model and its textures as the viewer loads them (the file's ambient replaced by its
// diffuse colour; a texture name looked for as given, then beside the model).
bool LoadModel(IDirect3DDevice9* device, const char* path, Model& model) {
    ID3DXBuffer* buffer = nullptr;
    DWORD count = 0;
    ID3DXMesh* mesh = nullptr;
    if (D3DXLoadMeshFromXA(path, D3DXMESH_SYSTEMMEM, device, nullptr, &buffer, nullptr, &count,
                           &mesh) != D3D_OK)
        return false;
    model.fvf = mesh->GetFVF();
    model.stride = mesh->GetNumBytesPerVertex();
    model.wideIndices = (mesh->GetOptions() & D3DXMESH_32BIT) != 0;
    void* data = nullptr;
    mesh->LockVertexBuffer(D3DLOCK_READONLY, &data);
    const auto* bytes = static_cast<const uint8_t*>(data);
    model.vertices.assign(bytes, bytes + size_t(mesh->GetNumVertices()) * model.stride);
    mesh->UnlockVertexBuffer();
    mesh->LockIndexBuffer(D3DLOCK_READONLY, &data);
    bytes = static_cast<const uint8_t*>(data);
    model.indices.assign(bytes,
                         bytes + size_t(mesh->GetNumFaces()) * 3 * (model.wideIndices ? 4 : 2));
    mesh->UnlockIndexBuffer();

    // Faces sit sorted by material: each material's faces are one run of the index buffer.
    std::vector<DWORD> attributes(mesh->GetNumFaces());
    DWORD* attributeData = nullptr;
    mesh->LockAttributeBuffer(D3DLOCK_READONLY, &attributeData);
    std::memcpy(attributes.data(), attributeData, attributes.size() * 4);
    mesh->UnlockAttributeBuffer();
    const auto* records =
        count ? static_cast<const D3DXMATERIAL*>(buffer->GetBufferPointer()) : nullptr;
    const std::string p(path);
    const std::string folder = p.substr(0, p.find_last_of("/\\") + 1);
    for (DWORD i = 0; i < count; ++i) {
        Material m{};
        const D3DMATERIAL9& d = records[i].MatD3D;
        const float* colours[4] = {&d.Diffuse.r, &d.Diffuse.r, &d.Specular.r, &d.Emissive.r};
        float* out[4] = {m.diffuse, m.ambient, m.specular, m.emissive};
        for (int c = 0; c < 4; ++c)
            std::memcpy(out[c], colours[c], 16);
        m.power = d.Power;
        if (const char* name = records[i].pTextureFilename) {
            IDirect3DTexture9* texture = nullptr;
            if (D3DXCreateTextureFromFileA(device, name, &texture) != D3D_OK && !folder.empty())
                D3DXCreateTextureFromFileA(device, (folder + name).c_str(), &texture);
            if (texture) {
                m.texture = UploadTexture(texture, GL_REPEAT);
                texture->Release();
            }
        }
        const auto first = std::find(attributes.begin(), attributes.end(), i);
        m.firstFace = DWORD(first - attributes.begin());
        m.faceCount =
            DWORD(std::find_if(first, attributes.end(), [i](DWORD a) { return a != i; }) - first);
        model.materials.push_back(m);
    }
    if (buffer) buffer->Release();
    mesh->Release();
    return true;
}

// A pre-transformed, coloured, textured vertex as the viewer's quad and the font draw it.
struct QuadVertex {
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};

struct HudPage {
    GLuint texture = 0;
    GLint first = 0;
    GLsizei count = 0;
};

// The three HUD texts laid out and rasterised as the font lays them out, one run of glyph
// quads per atlas page.
std::vector<HudPage> PrepareHud(IDirect3DDevice9* device, const int state[7], int helpTop,
                                std::vector<QuadVertex>& vertices) {
    D3DXFONT_DESCA desc{};
    desc.Height = 14;
    desc.Weight = FW_NORMAL;
    desc.CharSet = SHIFTJIS_CHARSET;
    desc.PitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    std::unique_ptr<d3dx9::FontFace> face = d3dx9::FontFace::Open(desc);
    if (!face) {
        std::fprintf(stderr, "same_frame: no HUD font\n");
        std::exit(1);
    }
    d3dx9::GlyphAtlas atlas(device, *face);
    const d3dx9::FontMetrics& metrics = face->Metrics();
    char help[256] = {}, keys[256] = {}, values[256] = {};
    wsprintfA(help, kHelpText);
    wsprintfA(keys, kKeyLineText);
    wsprintfA(values, kValueLineFormat, state[0], state[1], state[2], state[3], state[4], state[5],
              state[6]);
    struct Placed {
        const char* text;
        int x, y;
    };
    const Placed texts[] = {{help, 50, helpTop}, {keys, 20, 6}, {values, 20, 24}};
    struct Quad {
        int page, left, top, width, height, texelX, texelY;
    };
    std::vector<Quad> quads;
    for (const Placed& t : texts) {
        std::u32string codes;
        win32::Cp932ToCodePoints(t.text, codes, win32::InvalidCp932::Replace);
        const RECT box{t.x, t.y, 0, 0};
        const auto advance = [&](char32_t c) {
            const d3dx9::AtlasGlyph* g = atlas.Find(c);
            return g ? g->advance : 0;
        };
        const d3dx9::TextLayout layout =
            d3dx9::LayOutText(codes, DT_NOCLIP | DT_EXPANDTABS, box, metrics.height,
                              8 * metrics.aveCharWidth, advance);
        for (const d3dx9::PlacedCharacter& c : layout.characters) {
            const d3dx9::AtlasGlyph* g = atlas.Find(c.codePoint);
            if (!g || g->page < 0) continue;
            quads.push_back({g->page, c.penX + g->left, c.lineTop + metrics.ascent - g->top,
                             g->width, g->height, g->x, g->y});
        }
    }
    std::vector<HudPage> pages;
    const float scale = 1.0f / float(d3dx9::GlyphAtlas::kPageSize);
    for (size_t page = 0; page < atlas.PageCount(); ++page) {
        HudPage p;
        p.texture = UploadTexture(atlas.Page(int(page)), GL_CLAMP_TO_EDGE);
        p.first = GLint(vertices.size());
        for (const Quad& q : quads) {
            if (size_t(q.page) != page) continue;
            // Edges half a pixel before Direct3D's pixel centres: texel centres on pixel centres.
            const float x0 = float(q.left) - 0.5f, y0 = float(q.top) - 0.5f;
            const float x1 = x0 + float(q.width), y1 = y0 + float(q.height);
            const float u0 = float(q.texelX) * scale, v0 = float(q.texelY) * scale;
            const float u1 = float(q.texelX + q.width) * scale;
            const float v1 = float(q.texelY + q.height) * scale;
            const QuadVertex tl{x0, y0, 0, 1, kHudColour, u0, v0};
            const QuadVertex tr{x1, y0, 0, 1, kHudColour, u1, v0};
            const QuadVertex bl{x0, y1, 0, 1, kHudColour, u0, v1};
            const QuadVertex br{x1, y1, 0, 1, kHudColour, u1, v1};
            vertices.insert(vertices.end(), {tl, tr, bl, bl, tr, br});
        }
        p.count = GLsizei(vertices.size()) - p.first;
        pages.push_back(p);
    }
    return pages;
}

// ---- Shaders ----------------------------------------------------------------------------

// The fixed-function arithmetic of the viewer's draws, in the same order of operations so that
// the same pixels come out.
const char kModelVertex[] = R"(
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aTexCoord;
uniform mat4 uWorldView;
uniform mat4 uProjection;
uniform mat3 uNormalMatrix;
uniform vec2 uPixelShift;
uniform vec3 uLightDirection; // toward the light, view space
uniform vec3 uLightDiffuse, uLightSpecular, uLightAmbient;
uniform vec4 uMaterialDiffuse, uMaterialAmbient, uMaterialSpecular, uMaterialEmissive;
uniform float uMaterialPower;
out vec4 vDiffuse;
out vec4 vSpecular;
out vec2 vTex;
void main() {
    vec4 eye = uWorldView * vec4(aPosition, 1.0);
    vec4 clip = uProjection * eye;
    clip.xy += uPixelShift * clip.w;
#ifndef CLIP_CONTROL
    clip.z = 2.0 * clip.z - clip.w;
#endif
    gl_Position = clip;
    vec3 P = eye.xyz;
    vec3 N = uNormalMatrix * aNormal;
    vec3 L = uLightDirection;
    vec3 diffuseSum = vec3(0.0), specularSum = vec3(0.0);
    float NdotL = dot(N, L);
    if (NdotL > 0.0) {
        diffuseSum += NdotL * uLightDiffuse;
        vec3 H = normalize(L + normalize(-P));
        float NdotH = dot(N, H);
        if (NdotH > 0.0)
            specularSum += (uMaterialPower > 0.0 ? pow(NdotH, uMaterialPower) : 1.0) *
                           uLightSpecular;
    }
    vDiffuse = vec4(clamp(uMaterialEmissive.rgb + uMaterialAmbient.rgb * uLightAmbient +
                          uMaterialDiffuse.rgb * diffuseSum, 0.0, 1.0),
                    clamp(uMaterialDiffuse.a, 0.0, 1.0));
    vSpecular = vec4(clamp(uMaterialSpecular.rgb * specularSum, 0.0, 1.0), 1.0);
    vTex = aTexCoord;
}
)";

const char kModelFragment[] = R"(
in vec4 vDiffuse;
in vec4 vSpecular;
in vec2 vTex;
uniform sampler2D uTexture;
out vec4 fragColor;
void main() {
#ifdef TEXTURED
    vec3 colour = clamp(texture(uTexture, vTex).rgb * vDiffuse.rgb, 0.0, 1.0);
#else
    vec3 colour = vDiffuse.rgb;
#endif
    colour = clamp(colour + vSpecular.rgb, 0.0, 1.0);
    // Direct3D stores the nearest 565 level.
    fragColor = vec4(floor(colour * vec3(31.0, 63.0, 31.0) + 0.5) / vec3(31.0, 63.0, 31.0), 1.0);
}
)";

// Screen pixels (y down, Direct3D centres) to clip space; colour times texture, blended.
const char kQuadVertex[] = R"(
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aColour;
layout(location = 2) in vec2 aTexCoord;
out vec4 vColour;
out vec2 vTex;
void main() {
    float w = aPosition.w == 0.0 ? 1.0 : 1.0 / aPosition.w;
    vec2 ndc = vec2(2.0 * (aPosition.x + 0.4921875) / 900.0 - 1.0,
                    1.0 - 2.0 * (aPosition.y + 0.4921875) / 690.0);
#ifdef CLIP_CONTROL
    float z = aPosition.z;
#else
    float z = 2.0 * aPosition.z - 1.0;
#endif
    gl_Position = vec4(ndc * w, z * w, w);
    vColour = aColour;
    vTex = aTexCoord;
}
)";

const char kQuadFragment[] = R"(
in vec4 vColour;
in vec2 vTex;
uniform sampler2D uTexture;
out vec4 fragColor;
void main() { fragColor = clamp(texture(uTexture, vTex) * vColour, 0.0, 1.0); }
)";

GLuint Compile(GLenum type, const std::string& source) {
    const GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048];
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "same_frame: shader: %s\n", log);
        std::exit(1);
    }
    return shader;
}

// Direct3D's clip depth runs 0..w: GL 4.5 (or ARB_clip_control) takes it as it is, else the
// shaders move it to GL's -w..w.
bool clipControl = false;

bool HasClipControl() {
    GLint major = 0, minor = 0, count = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major * 10 + minor >= 45) return true;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i)
        if (!std::strcmp(reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i))),
                         "GL_ARB_clip_control"))
            return true;
    return false;
}

GLuint Link(const char* vertex, const char* fragment, const char* defines) {
    const std::string head = std::string("#version 330 core\n") +
                             (clipControl ? "#define CLIP_CONTROL\n" : "") + defines;
    const GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, head + vertex));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, head + fragment));
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        std::fprintf(stderr, "same_frame: a program does not link\n");
        std::exit(1);
    }
    return program;
}

// ---- The frame --------------------------------------------------------------------------

struct ModelProgram {
    GLuint id;
    GLint diffuse, ambient, specular, emissive, power;
};

struct Scene {
    SDL_Window* window;
    GLuint framebuffer, colour;
    ModelProgram plain, textured;
    GLuint quadProgram;
    GLuint modelVao, quadVao;
    GLenum indexType;
    size_t indexSize;
    std::vector<Material> materials;
    GLuint filterTexture;
    std::vector<HudPage> hud;
    float clear[3];
};

ModelProgram MakeModelProgram(const char* defines) {
    ModelProgram p;
    p.id = Link(kModelVertex, kModelFragment, defines);
    p.diffuse = glGetUniformLocation(p.id, "uMaterialDiffuse");
    p.ambient = glGetUniformLocation(p.id, "uMaterialAmbient");
    p.specular = glGetUniformLocation(p.id, "uMaterialSpecular");
    p.emissive = glGetUniformLocation(p.id, "uMaterialEmissive");
    p.power = glGetUniformLocation(p.id, "uMaterialPower");
    return p;
}

// Transforms and the light, the same for every material of the frame.
void SetFrameUniforms(GLuint program, const Matrix& worldView, const Matrix& projection,
                      const float normal[9], const float light[4][3]) {
    glUseProgram(program);
    glUniformMatrix4fv(glGetUniformLocation(program, "uWorldView"), 1, GL_FALSE,
                       &worldView.m[0][0]);
    glUniformMatrix4fv(glGetUniformLocation(program, "uProjection"), 1, GL_FALSE,
                       &projection.m[0][0]);
    glUniformMatrix3fv(glGetUniformLocation(program, "uNormalMatrix"), 1, GL_FALSE, normal);
    glUniform2f(glGetUniformLocation(program, "uPixelShift"), 2.0f * kPixelCentreShift / 900.0f,
                -2.0f * kPixelCentreShift / 690.0f);
    glUniform3fv(glGetUniformLocation(program, "uLightDirection"), 1, light[0]);
    glUniform3fv(glGetUniformLocation(program, "uLightDiffuse"), 1, light[1]);
    glUniform3fv(glGetUniformLocation(program, "uLightSpecular"), 1, light[2]);
    glUniform3fv(glGetUniformLocation(program, "uLightAmbient"), 1, light[3]);
}

void DrawFrame(const Scene& s) {
    glBindFramebuffer(GL_FRAMEBUFFER, s.framebuffer);
    glViewport(0, 0, kBackWidth, kBackHeight);
    glClearColor(s.clear[0], s.clear[1], s.clear[2], 1.0f);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    // The model: depth-tested, Direct3D's counter-clockwise culling, one draw per material.
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glBindVertexArray(s.modelVao);
    for (const Material& m : s.materials) {
        if (m.faceCount == 0) continue;
        const ModelProgram& p = m.texture ? s.textured : s.plain;
        glUseProgram(p.id);
        glUniform4fv(p.diffuse, 1, m.diffuse);
        glUniform4fv(p.ambient, 1, m.ambient);
        glUniform4fv(p.specular, 1, m.specular);
        glUniform4fv(p.emissive, 1, m.emissive);
        glUniform1f(p.power, m.power);
        if (m.texture) glBindTexture(GL_TEXTURE_2D, m.texture);
        glDrawElements(GL_TRIANGLES, GLsizei(m.faceCount * 3), s.indexType,
                       reinterpret_cast<const void*>(size_t(m.firstFace) * 3 * s.indexSize));
    }

    // The filter quad and the HUD: blended over everything (at depth 0 the quad always passes).
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glUseProgram(s.quadProgram);
    glBindVertexArray(s.quadVao);
    glBindTexture(GL_TEXTURE_2D, s.filterTexture);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    for (const HudPage& page : s.hud) {
        glBindTexture(GL_TEXTURE_2D, page.texture);
        glDrawArrays(GL_TRIANGLES, 4 + page.first, page.count);
    }

    // The stretch into the window.
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, kBackWidth, kBackHeight, 0, 0, kWindowWidth, kWindowHeight,
                      GL_COLOR_BUFFER_BIT, GL_LINEAR);
    SDL_GL_SwapWindow(s.window);
}

// ---- Set-up -----------------------------------------------------------------------------

std::vector<float> ParseFloats(const char* text) {
    std::vector<float> out;
    while (*text) {
        char* end = nullptr;
        out.push_back(std::strtof(text, &end));
        if (end == text) break;
        text = *end == ',' ? end + 1 : end;
    }
    return out;
}

float Level(D3DCOLOR colour, int shift, float levels) {
    return std::round(float((colour >> shift) & 0xFF) / 255.0f * levels) / levels;
}

void SetUpModelBuffers(Scene& s, const Model& model) {
    glGenVertexArrays(1, &s.modelVao);
    glBindVertexArray(s.modelVao);
    GLuint buffers[2];
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(model.vertices.size()), model.vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(model.indices.size()), model.indices.data(),
                 GL_STATIC_DRAW);
    // Position, then the normal and the first texture coordinates where the format has them.
    const GLsizei stride = GLsizei(model.stride);
    size_t offset = 12;
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
    if (model.fvf & D3DFVF_NORMAL) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offset));
        offset += 12;
    }
    if (model.fvf & D3DFVF_DIFFUSE) offset += 4;
    if (model.fvf & D3DFVF_SPECULAR) offset += 4;
    if ((model.fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT) {
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offset));
    }
    s.indexType = model.wideIndices ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    s.indexSize = model.wideIndices ? 4 : 2;
}

void SetUpQuadBuffer(Scene& s, const std::vector<QuadVertex>& vertices) {
    glGenVertexArrays(1, &s.quadVao);
    glBindVertexArray(s.quadVao);
    GLuint buffer;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(QuadVertex)), vertices.data(),
                 GL_STATIC_DRAW);
    const GLsizei stride = sizeof(QuadVertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, nullptr);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<void*>(16));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(20));
}

void SetUpBackBuffer(Scene& s) {
    glGenFramebuffers(1, &s.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, s.framebuffer);
    glGenTextures(1, &s.colour);
    glBindTexture(GL_TEXTURE_2D, s.colour);
    // SAME_FRAME_TARGET=rgba16 draws into the 16-bit target the device uses instead, to tell
    // the cost of that choice from the rest.
    const char* target = std::getenv("SAME_FRAME_TARGET");
    const bool wide = target && !std::strcmp(target, "rgba16");
    glTexImage2D(GL_TEXTURE_2D, 0, wide ? GL_RGBA16 : GL_RGBA8, kBackWidth, kBackHeight, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s.colour, 0);
    GLuint depth;
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kBackWidth, kBackHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
}

// ---- Comparison -------------------------------------------------------------------------

// The share of pixels whose 565 levels are within one step of the viewer's PNG; -1 if the PNG
// cannot be read or has another size.
double MatchingShare(const char* png, GLuint framebuffer) {
    SDL_Surface* loaded = IMG_Load(png);
    if (!loaded) return -1;
    SDL_Surface* theirs = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(loaded);
    if (!theirs || theirs->w != kBackWidth || theirs->h != kBackHeight) return -1;
    std::vector<uint8_t> mine(size_t(kBackWidth) * kBackHeight * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kBackWidth, kBackHeight, GL_RGBA, GL_UNSIGNED_BYTE, mine.data());
    // SAME_FRAME_SHOT=path keeps this frame as a PNG, to look at a mismatch.
    if (const char* out = std::getenv("SAME_FRAME_SHOT")) {
        SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormat(0, kBackWidth, kBackHeight, 32,
                                                            SDL_PIXELFORMAT_ABGR8888);
        for (int y = 0; y < kBackHeight; ++y)
            std::memcpy(static_cast<uint8_t*>(frame->pixels) + size_t(y) * frame->pitch,
                        &mine[size_t(kBackHeight - 1 - y) * kBackWidth * 4], kBackWidth * 4);
        IMG_SavePNG(frame, out);
        SDL_FreeSurface(frame);
    }
    const int levels[3] = {31, 63, 31};
    size_t matching = 0;
    for (int y = 0; y < kBackHeight; ++y) {
        const auto* row = static_cast<const uint8_t*>(theirs->pixels) + size_t(y) * theirs->pitch;
        const uint8_t* ours = &mine[size_t(kBackHeight - 1 - y) * kBackWidth * 4];
        for (int x = 0; x < kBackWidth; ++x) {
            bool near = true;
            for (int c = 0; c < 3; ++c) {
                const int a = int(std::lround(ours[x * 4 + c] * levels[c] / 255.0));
                const int b = int(std::lround(row[x * 3 + c] * levels[c] / 255.0));
                near = near && std::abs(a - b) <= 1;
            }
            matching += near;
        }
    }
    SDL_FreeSurface(theirs);
    return double(matching) / (double(kBackWidth) * kBackHeight);
}

constexpr int kWarmUpFrames = 10;
constexpr int kBatches = 5;

// Frames paced to 60 Hz for `seconds` (swap interval 1, and 1/60 s ticks where the driver
// does not wait, as on SDL's offscreen driver): CPU time over wall time.
double IdleShare(const Scene& s, double seconds) {
    using Clock = std::chrono::steady_clock;
    SDL_GL_SetSwapInterval(1);
    const auto tick = std::chrono::microseconds(16667);
    const double cpuStart = bench::CpuSeconds(), start = bench::Now();
    Clock::time_point next = Clock::now();
    while (bench::Now() - start < seconds) {
        DrawFrame(s);
        next += tick;
        const Clock::time_point now = Clock::now();
        if (now < next)
            std::this_thread::sleep_until(next);
        else
            next = now;
    }
    return (bench::CpuSeconds() - cpuStart) / (bench::Now() - start);
}

int Run(const char* folder, const char* model, int frames, const char* matrixText,
        const char* stateText, const char* png, double idleSeconds) {
    if (chdir(folder) != 0) return 1;
    const std::vector<float> numbers = ParseFloats(matrixText);
    const std::vector<float> state = ParseFloats(stateText);
    if (numbers.size() != 48 || state.size() != 10) return 2;
    Matrix world, view, projection;
    std::memcpy(&world, &numbers[0], 64);
    std::memcpy(&view, &numbers[16], 64);
    std::memcpy(&projection, &numbers[32], 64);

    bench::KeepFreedMemoryMapped();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    Scene s{};
    s.window = SDL_CreateWindow("same_frame", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                kWindowWidth, kWindowHeight, SDL_WINDOW_OPENGL);
    if (!s.window || !SDL_GL_CreateContext(s.window)) return 1;
    SDL_GL_SetSwapInterval(0);
    SetUpBackBuffer(s);
    glDisable(GL_DITHER);
    glFrontFace(GL_CW); // Direct3D's front faces are clockwise on screen
    glCullFace(GL_BACK);
    glDepthFunc(GL_LEQUAL);
    clipControl = HasClipControl();
    if (clipControl) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);

    // Everything the frames need, made now with the loader, decoders and rasteriser.
    xoftest::RecordingDevice* recording = xoftest::CreateRecordingDevice();
    IDirect3DDevice9* device = xoftest::AsDevice(recording);
    Model m;
    if (!LoadModel(device, model, m)) {
        std::fprintf(stderr, "same_frame: cannot load %s\n", model);
        return 1;
    }
    s.materials = m.materials;
    SetUpModelBuffers(s, m);
    IDirect3DTexture9* filter = nullptr;
    if (D3DXCreateTextureFromFileExA(device, kFilterImageFile, D3DX_DEFAULT, D3DX_DEFAULT,
                                     D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                     D3DX_DEFAULT, 0, nullptr, nullptr, &filter) == D3D_OK) {
        s.filterTexture = UploadTexture(filter, GL_REPEAT);
        filter->Release();
    } else {
        s.filterTexture = WhiteTexture();
    }
    const D3DCOLOR tint = D3DCOLOR(state[3]) << 24 | D3DCOLOR(state[0]) << 16 |
                          D3DCOLOR(state[1]) << 8 | D3DCOLOR(state[2]);
    std::vector<QuadVertex> quads = {{248, 136, 0, 1, tint, 0, 0},
                                     {652, 136, 0, 1, tint, 1, 0},
                                     {248, 546, 0, 1, tint, 0, 1},
                                     {652, 546, 0, 1, tint, 1, 1}};
    const int hudValues[7] = {int(state[0]), int(state[1]), int(state[2]), int(state[3]),
                              int(state[7]), int(state[8]), int(state[9])};
    std::vector<QuadVertex> hudVertices;
    s.hud = PrepareHud(device, hudValues, int(float(double(kBackHeight * 3) / 4.0)), hudVertices);
    quads.insert(quads.end(), hudVertices.begin(), hudVertices.end());
    SetUpQuadBuffer(s, quads);

    s.plain = MakeModelProgram("");
    s.textured = MakeModelProgram("#define TEXTURED\n");
    s.quadProgram = Link(kQuadVertex, kQuadFragment, "");
    const Matrix worldView = Multiply(world, view);
    float normal[9];
    NormalMatrix(worldView, normal);
    // The viewer's light: directional (0, -1, 1) in world space, turned into view space and
    // pointed toward the light; diffuse 0.2, specular 0.3, ambient as the viewer's state.
    float light[4][3] = {
        {}, {0.2f, 0.2f, 0.2f}, {0.3f, 0.3f, 0.3f}, {state[4], state[5], state[6]}};
    float direction[3];
    for (int j = 0; j < 3; ++j)
        direction[j] = 0.0f * view.m[0][j] + -1.0f * view.m[1][j] + 1.0f * view.m[2][j];
    const float length = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] +
                                   direction[2] * direction[2]);
    for (int j = 0; j < 3; ++j)
        light[0][j] = -1.0f * direction[j] / length;
    for (GLuint program : {s.plain.id, s.textured.id})
        SetFrameUniforms(program, worldView, projection, normal, light);
    s.clear[0] = Level(kClearColour, 16, 31);
    s.clear[1] = Level(kClearColour, 8, 63);
    s.clear[2] = Level(kClearColour, 0, 31);

    for (int i = 0; i < kWarmUpFrames; ++i)
        DrawFrame(s);
    glFinish();
    if (idleSeconds > 0) {
        std::printf("cpu_percent=%.2f\n", IdleShare(s, idleSeconds) * 100.0);
        std::fflush(stdout);
        _exit(0);
    }
    const int perBatch = frames / kBatches > 0 ? frames / kBatches : 1;
    std::vector<double> batches;
    for (int b = 0; b < kBatches; ++b) {
        const double start = bench::Now();
        for (int i = 0; i < perBatch; ++i)
            DrawFrame(s);
        glFinish();
        batches.push_back((bench::Now() - start) * 1e3 / perBatch);
    }
    const double share = MatchingShare(png, s.framebuffer);
    std::printf("frame_ms=%.4f match=%.4f\n", bench::Median(batches), share * 100.0);
    std::fflush(stdout);
    if (share < 0.999) {
        std::fprintf(stderr,
                     "same_frame: not the same frame as the viewer's (%s): %.3f %% of pixels "
                     "within one 565 step, 99.9 %% needed\n",
                     png, share * 100.0);
        _exit(3);
    }
    _exit(0);
}

} // namespace

int main(int argc, char** argv) {
    const bool idle = argc == 8 && !std::strncmp(argv[7], "idle=", 5);
    if (argc != 7 && !idle) {
        std::fprintf(stderr, "usage: same_frame FOLDER MODEL FRAMES MATRICES STATE VIEWER_PNG "
                             "[idle=SECONDS]\n");
        return 2;
    }
    return Run(argv[1], argv[2], std::atoi(argv[3]), argv[4], argv[5], argv[6],
               idle ? std::atof(argv[7] + 5) : 0.0);
}
