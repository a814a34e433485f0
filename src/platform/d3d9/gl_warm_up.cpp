// A warm-up thread for the GL implementation: a surfaceless EGL context that compiles and draws
// one small program while the device's window, context and first resources are being made.
//
// Mesa builds its GLSL compiler's built-in functions (some 15 M instructions) at the first
// compile in the process and keeps them while any context that compiled holds a reference; its
// code generator sets itself up at the first draw. Either way the first frame would wait for
// it, on a machine whose second core is idle all through the start-up.
#include "gl_warm_up.h"

#include "gl_api.h"
#include "win32/start_up_tasks.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

namespace d3d9 {
namespace {

// A texture sample, a little lighting arithmetic and a blend: the paths every device program
// takes through the compiler and the code generator.
const char kVertexSource[] = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
uniform mat4 uTransform;
out vec2 vTex;
out vec4 vColor;
void main() {
    gl_Position = uTransform * aPosition;
    vTex = aPosition.xy * 0.5 + 0.5;
    vColor = vec4(max(dot(normalize(aPosition.xyz), vec3(0.0, 0.0, 1.0)), 0.0));
})";

const char kFragmentSource[] = R"(#version 330 core
in vec2 vTex;
in vec4 vColor;
uniform sampler2D uTexture;
out vec4 fragColor;
void main() {
    fragColor = clamp(texture(uTexture, vTex) * vColor + vec4(pow(vColor.x, 2.0)), 0.0, 1.0);
})";

GLuint Compile(GLenum type, const char* source) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

// One textured, blended triangle into a small texture of its own, finished.
void DrawOnce() {
    const GLuint vertex = Compile(GL_VERTEX_SHADER, kVertexSource);
    const GLuint fragment = Compile(GL_FRAGMENT_SHADER, kFragmentSource);
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    GLuint textures[2], framebuffer, array, buffer;
    glGenTextures(2, textures);
    glBindTexture(GL_TEXTURE_2D, textures[0]);
    const uint32_t texels[16] = {0xFF808080u};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textures[1], 0);
    const float triangle[12] = {-1, -1, 0, 1, 1, -1, 0, 1, 0, 1, 0, 1};
    glGenVertexArrays(1, &array);
    glBindVertexArray(array);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof triangle, triangle, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 0, nullptr);
    if (linked && glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        glUseProgram(program);
        glUniformMatrix4fv(glGetUniformLocation(program, "uTransform"), 1, GL_FALSE, identity);
        glBindTexture(GL_TEXTURE_2D, textures[0]);
        glViewport(0, 0, 8, 8);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDrawArrays(GL_TRIANGLES, 0, 3);
    }
    glFinish();
    glDeleteBuffers(1, &buffer);
    glDeleteVertexArrays(1, &array);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(2, textures);
    glDeleteProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
}

struct WarmUp {
    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;  // the device's context holds the compiler's state: tidy up
    bool abandoned = false; // the process is ending: leave everything as it is
};

// Set once, by whichever thread starts the warm-up: the first window's start-up tasks or the
// first Direct3D object, on the application's thread.
std::atomic<WarmUp*> warmUp{nullptr};
std::atomic<bool> startClaimed{false};
std::atomic<bool> releaseAsked{false};

// Runs on the warm-up thread. The context stays until the device's own context has compiled,
// so that the compiler state it built is never freed in between. At process exit it is left
// alone: the GL's libraries tear their static state down then, and a context destroyed
// during that would use what is already gone.
void Run(WarmUp& w) {
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return;
    EGLDisplay display =
        getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) return;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) return;
    EGLContext context = EGL_NO_CONTEXT;
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION,
                                 3,
                                 EGL_CONTEXT_MINOR_VERSION,
                                 3,
                                 EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                 EGL_NONE};
    if (eglBindAPI(EGL_OPENGL_API))
        context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context != EGL_NO_CONTEXT &&
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        DrawOnce();
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    {
        std::unique_lock<std::mutex> lock(w.mutex);
        w.changed.wait(lock, [&w] { return w.released || w.abandoned; });
        if (!w.released) return;
    }
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    eglTerminate(display);
    eglReleaseThread();
}

void Tell(WarmUp& w, bool WarmUp::*flag) {
    std::lock_guard<std::mutex> lock(w.mutex);
    w.*flag = true;
    w.changed.notify_one();
}

void Join(WarmUp& w) {
    if (w.thread.joinable()) w.thread.join();
}

// A process that ends without releasing Direct3D waits for the draw in flight, if any, and
// leaves the parked thread to the exit.
void AbandonAtExit() {
    WarmUp* w = warmUp.load(std::memory_order_acquire);
    if (!w) return;
    Tell(*w, &WarmUp::abandoned);
    Join(*w);
}

// A forked child has no warm-up thread, only the record of one (and maybe a lock held by it).
void ForgetInChild() {
    warmUp.store(nullptr, std::memory_order_relaxed);
}

// The window system's set-up is the longest wait before a device can exist (tens of
// milliseconds); a windowed program starts the warm-up with its first window, not its first
// Direct3D object, so that the compiler is ready before the device's first draw.
[[maybe_unused]] const bool kStartedWithFirstWindow =
    (win32::AddStartUpTask([] { StartGlWarmUp(); }), true);

} // namespace

void StartGlWarmUp() {
    // On one core the warm-up would only take turns with the start-up it is meant to shorten.
    if (std::thread::hardware_concurrency() < 2 || startClaimed.exchange(true)) return;
    auto* w = new WarmUp;
    try {
        w->thread = std::thread(Run, std::ref(*w));
    } catch (const std::system_error&) {
        delete w;
        return; // no thread: the device does the set-up itself, as it would anyway
    }
    warmUp.store(w, std::memory_order_release);
    std::atexit(AbandonAtExit);
    pthread_atfork(nullptr, nullptr, ForgetInChild);
}

// A release that comes while another thread is still starting the warm-up finds no record and
// is not kept: the warm-up's context then stays until the last Direct3D object goes or the
// process ends, a few hundred kilobytes of nothing in use.
void ReleaseGlWarmUp() {
    WarmUp* w = warmUp.load(std::memory_order_acquire);
    if (!w || releaseAsked.exchange(true)) return;
    Tell(*w, &WarmUp::released);
}

void FinishGlWarmUp() {
    WarmUp* w = warmUp.load(std::memory_order_acquire);
    if (!w) return;
    Tell(*w, &WarmUp::released);
    Join(*w);
}

} // namespace d3d9
