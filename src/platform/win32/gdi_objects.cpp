// CreateSolidBrush and DeleteObject over a table of live objects.
#include "gdi_objects.h"

#include <cstdint>
#include <map>

namespace {

struct Brush {
    COLORREF colour;
};

// Handles are never reused, so a deleted or made-up handle is recognised, not dereferenced.
std::map<uintptr_t, Brush> brushes;
uintptr_t nextBrushHandle = 0x1B000010;

} // namespace

namespace win32 {

bool BrushColour(HBRUSH brush, COLORREF* colour) {
    auto it = brushes.find(reinterpret_cast<uintptr_t>(brush));
    if (it == brushes.end()) return false;
    if (colour) *colour = it->second.colour;
    return true;
}

} // namespace win32

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
    uintptr_t handle = nextBrushHandle;
    nextBrushHandle += 4;
    brushes[handle] = Brush{colour & 0x00FFFFFF};
    return reinterpret_cast<HBRUSH>(handle);
}

// FALSE for a handle that is not a live object, such as one already deleted.
BOOL WINAPI DeleteObject(HGDIOBJ object) {
    return brushes.erase(reinterpret_cast<uintptr_t>(object)) ? TRUE : FALSE;
}
