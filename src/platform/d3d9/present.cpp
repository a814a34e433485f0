// Present: the back buffer stretched into the window and swapped, paced to the display.
#include "present_pacing.h"

#include "device.h"
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
        glBindFramebuffer(GL_READ_FRAMEBUFFER, backBuffer_->Framebuffer());
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        const LONG sourceWidth = source.right - source.left,
                   sourceHeight = source.bottom - source.top;
        const LONG destWidth = dest.right - dest.left, destHeight = dest.bottom - dest.top;
        const bool sameSize = sourceWidth == destWidth && sourceHeight == destHeight;
        // Both framebuffers count rows from the bottom.
        glBlitFramebuffer(source.left, height - source.bottom, source.right, height - source.top,
                          dest.left, drawableHeight - dest.bottom, dest.right,
                          drawableHeight - dest.top, GL_COLOR_BUFFER_BIT,
                          sameSize ? GL_NEAREST : GL_LINEAR);
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
