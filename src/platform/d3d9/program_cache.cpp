// Compiles and links one fixed-function program per ShaderKey and remembers its uniforms.
#include "program_cache.h"

#include "gl_warm_up.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace d3d9 {

bool ShaderKey::operator==(const ShaderKey& other) const {
    return memcmp(this, &other, sizeof *this) == 0;
}

size_t ShaderKeyHash::operator()(const ShaderKey& key) const {
    return std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(&key), sizeof key));
}

namespace {

GLuint CompileShader(GLenum type, const std::string& source) {
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048];
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        fprintf(stderr, "d3d9: generated shader does not compile: %s\n%s\n", log, text);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

} // namespace

GLuint LinkProgram(const std::string& vertexSource, const std::string& fragmentSource) {
    GLuint vertex = CompileShader(GL_VERTEX_SHADER, vertexSource);
    GLuint fragment = CompileShader(GL_FRAGMENT_SHADER, fragmentSource);
    ReleaseGlWarmUp(); // this context holds the compiler's state now
    if (!vertex || !fragment) {
        if (vertex) glDeleteShader(vertex);
        if (fragment) glDeleteShader(fragment);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048];
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        fprintf(stderr, "d3d9: generated program does not link: %s\n", log);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

Program* ProgramCache::Get(const ShaderKey& key) {
    auto found = programs_.find(key);
    if (found != programs_.end()) return found->second.get();

    auto program = std::make_unique<Program>();
    program->id = LinkProgram(VertexShaderSource(key), FragmentShaderSource(key));
    if (!program->id) return nullptr;

    Program& p = *program;
    auto at = [&p](const char* name) { return glGetUniformLocation(p.id, name); };
    p.worldView = at("uWorldView");
    p.projection = at("uProjection");
    p.normalMatrix = at("uNormalMatrix");
    p.lightDiffuse = at("uLightDiffuse");
    p.lightSpecular = at("uLightSpecular");
    p.lightAmbient = at("uLightAmbient");
    p.lightPosition = at("uLightPosition");
    p.lightDirection = at("uLightDirection");
    p.lightAttenuation = at("uLightAttenuation");
    p.lightSpot = at("uLightSpot");
    p.materialDiffuse = at("uMaterialDiffuse");
    p.materialAmbient = at("uMaterialAmbient");
    p.materialSpecular = at("uMaterialSpecular");
    p.materialEmissive = at("uMaterialEmissive");
    p.materialPower = at("uMaterialPower");
    p.globalAmbient = at("uGlobalAmbient");
    p.textureFactor = at("uTextureFactor");
    p.stageConstant = at("uStageConstant");
    p.alphaRef = at("uAlphaRef");
    p.viewport = at("uViewport");
    p.pixelShift = at("uPixelShift");
    // Each stage samples its own texture unit.
    glUseProgram(p.id);
    for (int stage = 0; stage < int(kStageCount); ++stage) {
        char name[16];
        snprintf(name, sizeof name, "uTexture%d", stage);
        GLint location = at(name);
        if (location >= 0) glUniform1i(location, stage);
    }
    Program* result = program.get();
    programs_.emplace(key, std::move(program));
    return result;
}

void ProgramCache::Clear() {
    for (auto& entry : programs_)
        glDeleteProgram(entry.second->id);
    programs_.clear();
}

} // namespace d3d9
