// Drop handles and the shell's DragQueryFileA, DragQueryPoint, DragFinish, DragAcceptFiles.
#include "drag_drop.h"

#include "cp932.h"
#include "handle_table.h"
#include "window.h"

#include <shellapi.h>

#include <cstring>

namespace {

struct Drop {
    std::vector<std::string> utf8Paths;
    POINT point;
    bool inClientArea;
};

// Drops posted and not yet finished; a handle used after DragFinish is recognised as stale.
win32::HandleTable<Drop> drops{0x0D000010, 4};

Drop* Find(HDROP drop) {
    return drops.Find(drop);
}

} // namespace

namespace win32 {

bool PostFileDrop(HWND window, const std::vector<std::string>& utf8Paths, POINT clientPoint) {
    if (!IsWindow(window) || !(ExStyleOf(window) & WS_EX_ACCEPTFILES) || utf8Paths.empty())
        return false;
    int width = 0, height = 0;
    ClientSize(window, &width, &height);
    bool inside =
        clientPoint.x >= 0 && clientPoint.y >= 0 && clientPoint.x < width && clientPoint.y < height;
    const HDROP handle = drops.Add<HDROP>(Drop{utf8Paths, clientPoint, inside});
    if (!PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0)) {
        drops.Remove(handle);
        return false;
    }
    return true;
}

size_t LiveDropCount() {
    return drops.Size();
}

} // namespace win32

// Names are converted to code page 932 here; a character it lacks becomes '?'. A copy that does
// not fit is cut to size - 1 bytes, possibly inside a double-byte character, as lstrcpynA cuts.
UINT WINAPI DragQueryFileA(HDROP drop, UINT index, LPSTR buffer, UINT size) {
    Drop* d = Find(drop);
    if (!d) return 0;
    if (index == 0xFFFFFFFF) return UINT(d->utf8Paths.size());
    if (index >= d->utf8Paths.size()) return 0;
    std::string name = win32::Utf8ToCp932(d->utf8Paths[index]);
    if (!buffer) return UINT(name.size());
    if (size == 0) return 0;
    size_t copied = name.size() < size ? name.size() : size - 1;
    std::memcpy(buffer, name.data(), copied);
    buffer[copied] = '\0';
    return UINT(copied);
}

BOOL WINAPI DragQueryPoint(HDROP drop, POINT* point) {
    Drop* d = Find(drop);
    if (!d || !point) return FALSE;
    *point = d->point;
    return d->inClientArea ? TRUE : FALSE;
}

VOID WINAPI DragFinish(HDROP drop) {
    drops.Remove(drop);
}

VOID WINAPI DragAcceptFiles(HWND window, BOOL accept) {
    DWORD exStyle = win32::ExStyleOf(window);
    win32::SetExStyle(window, accept ? exStyle | WS_EX_ACCEPTFILES : exStyle & ~WS_EX_ACCEPTFILES);
}
