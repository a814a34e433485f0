// Test seam: what the program posted to its message queue.
#pragma once

namespace xoftest {

// True, with the exit code, when PostQuitMessage was called and WM_QUIT not yet retrieved.
bool QuitPosted(int* exitCode = nullptr);

// Empties the queue and forgets the quit request.
void ResetMessageQueue();

} // namespace xoftest
