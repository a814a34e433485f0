// The bridge from SDL's event queue to the thread's message queue.
#pragma once

union SDL_Event;

namespace win32 {

// Takes every waiting SDL event and turns it into window messages: input is queued, and what
// Windows would send (WM_SIZE, the close button's WM_SYSCOMMAND) is sent to the window
// procedure at once. Does nothing before video is started. Only this library may take SDL
// events.
void PumpSdlEvents();

// One event, as PumpSdlEvents handles it.
void TranslateSdlEvent(const SDL_Event& event);

} // namespace win32
