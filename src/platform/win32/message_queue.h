// The thread's message queue: posted messages and the quit request.
#pragma once

#include <windows.h>

namespace win32 {

// The exit code of a pending quit request, if PostQuitMessage was called and WM_QUIT has not
// been retrieved yet.
bool QuitRequested(int* exitCode);

// Empties the queue and clears the quit request.
void MessageQueueReset();

} // namespace win32
