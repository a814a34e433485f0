// OpenGL 3.3 core context creation over SDL, and the one-time probe of the GL's limits.
#include "gl_context.h"

#include "gl_api.h"
#include "gl_warm_up.h"

#include <malloc.h>

#include <cstring>
#include <optional>

namespace d3d9 {

namespace {

// Software GL (llvmpipe) bins each frame's work in heap blocks that it frees when the frame is
// done. glibc gives the top of the heap back to the kernel once more than the trim threshold
// lies free there, and the next frame faults it in again page by page. A frame of a large
// model bins over 100 MB (the bench's 980,000-triangle grid: under a 64 MB threshold the
// heap's top swung by 64 MB every few frames, 10,000 faults a frame, two to three times the
// frame time), so the threshold is set above anything one frame bins: the heap then holds what
// the largest frame used and no more. Large blocks are still mapped and unmapped on their own.
constexpr int kKeptFreeHeap = 1 << 30;

void KeepFrameMemoryMapped() {
    static const bool done = [] {
        mallopt(M_TRIM_THRESHOLD, kKeptFreeHeap);
        return true;
    }();
    (void)done;
}

// The probe's context, kept for the first device: making a context costs as much as the rest
// of the start-up's GL work.
SDL_GLContext spareContext = nullptr;

} // namespace

SDL_GLContext CreateCoreContext(SDL_Window* window) {
    KeepFrameMemoryMapped();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) return nullptr;
    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major * 10 + minor < 33) {
        SDL_GL_DeleteContext(context);
        SDL_SetError("OpenGL 3.3 is not available");
        return nullptr;
    }
    return context;
}

GlLimits QueryLimits() {
    GlLimits limits;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limits.maxTextureSize);
    GLint major = 0, minor = 0, extensions = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    glGetIntegerv(GL_NUM_EXTENSIONS, &extensions);
    limits.clipControl = major * 10 + minor >= 45;
    for (GLint i = 0; i < extensions; ++i) {
        const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
        if (!name) continue;
        if (!strcmp(name, "GL_EXT_texture_compression_s3tc")) limits.s3tc = true;
        if (!strcmp(name, "GL_ARB_clip_control")) limits.clipControl = true;
        if (!strcmp(name, "GL_EXT_texture_filter_anisotropic") ||
            !strcmp(name, "GL_ARB_texture_filter_anisotropic"))
            limits.anisotropy = true;
    }
    if (limits.anisotropy) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &limits.maxAnisotropy);
    return limits;
}

const GlLimits* ProcessGlLimits() {
    static std::optional<GlLimits> probed;
    static bool tried = false;
    if (tried) return probed ? &*probed : nullptr;
    // The compiler's set-up goes on beside the probe and the device (a windowed program's first
    // window has started it already).
    StartGlWarmUp();
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 16,
                                          16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return nullptr; // the video driver may come up later: try again then
    tried = true;
    if (SDL_GLContext context = CreateCoreContext(window)) {
        probed = QueryLimits();
        SDL_GL_MakeCurrent(nullptr, nullptr);
        spareContext = context;
    }
    SDL_DestroyWindow(window);
    if (previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
    return probed ? &*probed : nullptr;
}

SDL_GLContext TakeCoreContext(SDL_Window* window) {
    SDL_GLContext context = spareContext;
    spareContext = nullptr;
    // A window whose pixel format differs from the probe's cannot take its context.
    if (context && SDL_GL_MakeCurrent(window, context) == 0) return context;
    if (context) SDL_GL_DeleteContext(context);
    return CreateCoreContext(window);
}

} // namespace d3d9
