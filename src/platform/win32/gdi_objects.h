// GDI objects (brushes) behind their handles.
#pragma once

#include <windows.h>

namespace win32 {

// The colour of a live brush; false for a handle that is not one.
bool BrushColour(HBRUSH brush, COLORREF* colour);

} // namespace win32
