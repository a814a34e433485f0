// The thread's message queue: posted messages, input messages and the quit request.
#pragma once

#include <windows.h>

#include <vector>

namespace win32 {

// The exit code of a pending quit request, if PostQuitMessage was called and WM_QUIT has not
// been retrieved yet.
bool QuitRequested(int* exitCode);

// Empties the queue and clears the quit request.
void MessageQueueReset();

// Queues a message from an input device (keyboard, mouse). PeekMessageA returns these after
// posted messages and the quit request. A mouse move replaces a move still waiting at the end
// of the queue, as Windows coalesces them.
void QueueInputMessage(const MSG& message);

// Drops every queued message for a window that is being destroyed.
void RemoveWindowMessages(HWND window);

// The posted messages waiting, oldest first.
std::vector<MSG> PostedMessages();

} // namespace win32
