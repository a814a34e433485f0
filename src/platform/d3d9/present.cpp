// Present: the back buffer stretched into the window and swapped, paced to the display.
#include "present_pacing.h"

#include "back_buffer.h"
#include "device.h"
#include "program_cache.h"
#include "win32/window.h"

#include <SDL.h>

#include <thread>

namespace d3d9 {

namespace {

bool pacingEnabled = true;

constexpr std::chrono::steady_clock::duration kTick =
    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::microseconds(16667));

// A swap that blocks at least this long has waited for the display.
constexpr std::chrono::milliseconds kBlockingSwap(3);

} // namespace

void SetPresentPacing(bool enabled) {
    pacingEnabled = enabled;
}

bool PresentPacing() {
    return pacingEnabled;
}

void Device::ApplySwapInterval() {
    MakeCurrent();
    SDL_GL_SetSwapInterval(pacingEnabled ? swapInterval_ : 0);
    pacingApplied_ = pacingEnabled;
}

void Device::PaceAfterSwap(std::chrono::steady_clock::duration swapTime) {
    using Clock = std::chrono::steady_clock;
    if (!pacingEnabled || swapInterval_ == 0) return;
    const Clock::time_point now = Clock::now();
    if (SDL_GL_GetSwapInterval() > 0 && swapTime >= kBlockingSwap) {
        lastTick_ = now; // the driver waited for the refresh itself
        return;
    }
    // The driver does not wait (offscreen, Xvfb): wait for the next 1/60 s tick instead.
    const Clock::time_point next = lastTick_ + kTick;
    if (now < next) {
        std::this_thread::sleep_until(next);
        lastTick_ = next;
    } else {
        // More than a tick late: start the ticks afresh rather than hurrying to catch up.
        lastTick_ = now - next > kTick ? now : next;
    }
}

// A rectangle over the whole viewport whose corners sample the source rectangle's corners
// (uSourceRect: left, bottom, right, top in texture coordinates).
//
// Its varyings are shaped as the device's own programs for pre-transformed, coloured, textured
// vertices shape theirs (a colour read whole, a texture coordinate pair, in that order), so that
// llvmpipe, which generates triangle set-up code for each distinct fragment-input layout per
// context and caches none of it, reuses what it made for a viewer's overlay instead of spending
// some 4 ms at the first Present. The colour is 1.0 in every channel, from four distinct
// expressions the compiler cannot fold (a constant, or one value in all four, would be moved
// into the fragment shader or packed, and the layout would differ again); the texel is
// multiplied by exactly 1.0 and the alpha written is exactly 1.0, so the pixels are the same.
constexpr const char* kPresentVertexShader = R"(#version 330 core
uniform vec4 uSourceRect;
out vec4 vDiffuse;
out vec2 vTex0;
void main() {
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    vDiffuse = vec4(float(gl_VertexID >= 0), float(gl_VertexID >= -1), float(gl_VertexID >= -2),
                    float(gl_VertexID >= -3));
    vTex0 = mix(uSourceRect.xy, uSourceRect.zw, corner);
    gl_Position = vec4(corner * 2.0 - 1.0, 0.0, 1.0);
}
)";
constexpr const char* kPresentFragmentShader = R"(#version 330 core
uniform sampler2D uImage;
in vec4 vDiffuse;
in vec2 vTex0;
out vec4 fragColor;
void main() { fragColor = vec4(texture(uImage, vTex0).rgb * vDiffuse.rgb, vDiffuse.a); }
)";

GLuint Device::AttributelessVertexArray() {
    if (!attributelessVertexArray_) glGenVertexArrays(1, &attributelessVertexArray_);
    return attributelessVertexArray_;
}

// Draws the source rectangle of the back buffer over the destination rectangle of the current
// drawable (both with rows from the top), filtered linearly unless the sizes are the same. The
// GL state the device keeps is marked for setting again.
bool Device::DrawBackBuffer(const RECT& source, const RECT& dest, int drawableHeight,
                            bool sameSize) {
    if (!presentProgram_) {
        presentProgram_ = LinkProgram(kPresentVertexShader, kPresentFragmentShader);
        if (!presentProgram_) return false;
        presentSourceRect_ = glGetUniformLocation(presentProgram_, "uSourceRect");
        glUseProgram(presentProgram_);
        glUniform1i(glGetUniformLocation(presentProgram_, "uImage"), 0);
        glGenSamplers(2, presentSamplers_);
        for (int i = 0; i < 2; ++i) {
            const GLint filter = i == 0 ? GL_NEAREST : GL_LINEAR;
            glSamplerParameteri(presentSamplers_[i], GL_TEXTURE_MIN_FILTER, filter);
            glSamplerParameteri(presentSamplers_[i], GL_TEXTURE_MAG_FILTER, filter);
            glSamplerParameteri(presentSamplers_[i], GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glSamplerParameteri(presentSamplers_[i], GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
    }
    const float width = float(backBuffer_->Width()), height = float(backBuffer_->Height());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glViewport(GLint(dest.left), GLint(drawableHeight - dest.bottom),
               GLsizei(dest.right - dest.left), GLsizei(dest.bottom - dest.top));
    glUseProgram(presentProgram_);
    // The texture's rows count from the bottom, the rectangles' from the top.
    glUniform4f(presentSourceRect_, float(source.left) / width,
                (height - float(source.bottom)) / height, float(source.right) / width,
                (height - float(source.top)) / height);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, backBuffer_->ColorTexture());
    glBindSampler(0, presentSamplers_[sameSize ? 0 : 1]);
    glBindVertexArray(AttributelessVertexArray());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(vertexArray_);
    viewportDirty_ = true;
    return true;
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const void* dirtyRegion) {
    (void)dirtyRegion; // the whole rectangle is copied anyway
    // The back buffer cannot be shown while a scene is drawing into it.
    if (inScene_) return D3DERR_INVALIDCALL;
    SDL_Window* target = window_;
    if (destWindowOverride) {
        target = win32::SdlWindowOf(destWindowOverride);
        if (!target) return D3DERR_INVALIDCALL;
    } else if (win32::SdlWindowOf(windowHandle_) != window_) {
        return D3DERR_INVALIDCALL; // the device window is gone
    }
    MakeCurrent();
    if (pacingApplied_ != pacingEnabled) ApplySwapInterval();
    if (target != window_) SDL_GL_MakeCurrent(target, context_);

    const LONG width = LONG(backBuffer_->Width()), height = LONG(backBuffer_->Height());
    RECT source{0, 0, width, height};
    if (sourceRect) {
        if (sourceRect->left < 0 || sourceRect->top < 0 || sourceRect->right > width ||
            sourceRect->bottom > height || sourceRect->left >= sourceRect->right ||
            sourceRect->top >= sourceRect->bottom)
            return D3DERR_INVALIDCALL;
        source = *sourceRect;
    }
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(target, &drawableWidth, &drawableHeight);
    RECT dest{0, 0, drawableWidth, drawableHeight};
    if (destRect) dest = *destRect;

    if (drawableWidth > 0 && drawableHeight > 0) {
        const bool sameSize = source.right - source.left == dest.right - dest.left &&
                              source.bottom - source.top == dest.bottom - dest.top;
        if (!DrawBackBuffer(source, dest, drawableHeight, sameSize))
            return D3DERR_DRIVERINTERNALERROR;
    }
    const auto swapStart = std::chrono::steady_clock::now();
    SDL_GL_SwapWindow(target);
    const auto swapTime = std::chrono::steady_clock::now() - swapStart;

    if (target != window_) SDL_GL_MakeCurrent(window_, context_);
    glBindFramebuffer(GL_FRAMEBUFFER, backBuffer_->Framebuffer());
    rasterDirty_ = true;
    rasterKnown_ = false;
    PaceAfterSwap(swapTime);
    return D3D_OK;
}

} // namespace d3d9
