// The GL implementation's one-time set-up, done on a thread of its own while the device is made.
#pragma once

namespace d3d9 {

// Starts, once per process, a thread that compiles a small program and draws with it on a
// context of its own (EGL's surfaceless platform: no window system is touched), so that the
// GL's process-wide set-up (its GLSL compiler's built-in functions, its code generator's) is
// done by the time the device links its first program. A windowed program's first window starts
// it from the platform's start-up tasks; the first Direct3D object starts it otherwise. Safe
// from any thread. Nothing happens where EGL has no surfaceless platform; the device works the
// same either way.
void StartGlWarmUp();

// Called once the device's own context has compiled a program: that context now holds the
// GL's compiler state, and the warm-up's context can go. Cheap after the first call.
void ReleaseGlWarmUp();

// Lets the warm-up tidy up and waits for it: when the last Direct3D object goes, so that no GL
// work of the thread's is in flight once the application may end.
void FinishGlWarmUp();

} // namespace d3d9
