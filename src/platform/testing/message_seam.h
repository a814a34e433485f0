// Test seam: put messages and file drops in the queue as the system would, and read what the
// program posted.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace xoftest {

// True, with the exit code, when PostQuitMessage was called and WM_QUIT not yet retrieved.
bool QuitPosted(int* exitCode = nullptr);

// Empties the queue and forgets the quit request.
void ResetMessageQueue();

// The messages posted and not yet retrieved, oldest first (WM_QUIT is not among them: see
// QuitPosted).
std::vector<MSG> PostedMessages();

// Posts a message as another program or the system would.
void InjectMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The mouse moved to a client point with these MK_* buttons held: WM_MOUSEMOVE is queued as
// input, packed as Windows packs it.
void InjectMouseMove(HWND window, int x, int y, WPARAM buttons = 0);

// Files (UTF-8 paths) dropped on a window at a client point: one WM_DROPFILES whose handle
// lists them all, as a real drop gives. False when the window does not accept files.
bool DropFiles(HWND window, const std::vector<std::string>& utf8Paths, POINT at = {0, 0});

} // namespace xoftest
