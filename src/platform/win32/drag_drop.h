// Dropped files: the drop handles WM_DROPFILES carries.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace win32 {

// Posts WM_DROPFILES to a window that accepts files (WS_EX_ACCEPTFILES), with a new drop handle
// listing the files (UTF-8 paths) and the drop point in client coordinates. False, and nothing
// posted, for a window that does not accept files.
bool PostFileDrop(HWND window, const std::vector<std::string>& utf8Paths, POINT clientPoint);

// How many drop handles are live (not yet freed by DragFinish).
size_t LiveDropCount();

} // namespace win32
