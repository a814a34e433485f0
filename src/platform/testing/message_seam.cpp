// Test seam over the platform's message queue.
#include "message_seam.h"

#include "../win32/message_queue.h"

namespace xoftest {

bool QuitPosted(int* exitCode) { return win32::QuitRequested(exitCode); }

void ResetMessageQueue() { win32::MessageQueueReset(); }

} // namespace xoftest
