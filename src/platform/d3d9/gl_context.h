// OpenGL 3.3 core contexts on SDL windows, and what the GL implementation offers.
#pragma once

#include <SDL.h>

namespace d3d9 {

struct GlLimits {
    int maxTextureSize = 0;
    bool s3tc = false;        // EXT_texture_compression_s3tc: DXT data stays compressed
    bool clipControl = false; // ARB_clip_control: Direct3D's 0..1 clip depth without a rewrite
    bool anisotropy = false;
    float maxAnisotropy = 1.0f;
};

// A 3.3 core context on the window, made current; null (with SDL's error) if there is none.
SDL_GLContext CreateCoreContext(SDL_Window* window);

// The same, taking the context the probe below made if it can be current on the window.
SDL_GLContext TakeCoreContext(SDL_Window* window);

// The limits of the context that is current.
GlLimits QueryLimits();

// The limits of this machine's GL, probed once on a hidden window; null when no GL 3.3 core
// context can be made (no display, no driver).
const GlLimits* ProcessGlLimits();

} // namespace d3d9
