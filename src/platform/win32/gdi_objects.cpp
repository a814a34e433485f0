// CreateSolidBrush and DeleteObject over a table of live objects.
#include "gdi_objects.h"

#include "handle_table.h"

namespace {

struct Brush {
    COLORREF colour;
};

// The live GDI objects: brushes are the only kind made.
struct GdiObjects {
    win32::HandleTable<Brush> brushes{0x1B000010, 4};
};
GdiObjects gdi;

} // namespace

namespace win32 {

bool BrushColour(HBRUSH brush, COLORREF* colour) {
    const Brush* b = gdi.brushes.Find(brush);
    if (!b) return false;
    if (colour) *colour = b->colour;
    return true;
}

} // namespace win32

HBRUSH WINAPI CreateSolidBrush(COLORREF colour) {
    return gdi.brushes.Add<HBRUSH>(Brush{colour & 0x00FFFFFF});
}

// FALSE for a handle that is not a live object, such as one already deleted.
BOOL WINAPI DeleteObject(HGDIOBJ object) {
    return gdi.brushes.Remove(object) ? TRUE : FALSE;
}
