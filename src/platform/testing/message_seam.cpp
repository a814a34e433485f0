// Test seam over the platform's message queue.
#include "message_seam.h"

#include "../win32/drag_drop.h"
#include "../win32/message_queue.h"
#include "../win32/mouse.h"

#include <SDL.h>

namespace xoftest {

bool QuitPosted(int* exitCode) {
    return win32::QuitRequested(exitCode);
}

void ResetMessageQueue() {
    win32::MessageQueueReset();
}

std::vector<MSG> PostedMessages() {
    return win32::PostedMessages();
}

void InjectMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageA(window, message, wParam, lParam);
}

void InjectMouseMove(HWND window, int x, int y, WPARAM buttons) {
    uint32_t sdlButtons = 0;
    if (buttons & MK_LBUTTON) sdlButtons |= SDL_BUTTON_LMASK;
    if (buttons & MK_RBUTTON) sdlButtons |= SDL_BUTTON_RMASK;
    if (buttons & MK_MBUTTON) sdlButtons |= SDL_BUTTON_MMASK;
    win32::ReportMouseMove(window, x, y, sdlButtons);
}

bool DropFiles(HWND window, const std::vector<std::string>& utf8Paths, POINT at) {
    return win32::PostFileDrop(window, utf8Paths, at);
}

} // namespace xoftest
