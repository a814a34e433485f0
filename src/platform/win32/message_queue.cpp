// PostQuitMessage and the quit request that the message loop turns into WM_QUIT.
#include "message_queue.h"

namespace {

bool quitPending = false;
int quitExitCode = 0;

} // namespace

namespace win32 {

bool QuitRequested(int* exitCode) {
    if (quitPending && exitCode) *exitCode = quitExitCode;
    return quitPending;
}

void MessageQueueReset() {
    quitPending = false;
    quitExitCode = 0;
}

} // namespace win32

// A flag, not a posted message: WM_QUIT is made when no posted message waits, and repeated
// calls coalesce into one.
VOID WINAPI PostQuitMessage(int exitCode) {
    quitPending = true;
    quitExitCode = exitCode;
}
