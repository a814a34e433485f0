// The registered window classes.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

struct WindowClass {
    std::string name; // as registered; looked up without regard to letter case
    ATOM atom;
    UINT style;
    WNDPROC procedure;
    HBRUSH background;
};

// The class a CreateWindowExA class argument names (a string or an atom); null when none.
const WindowClass* FindWindowClass(LPCSTR classNameOrAtom);

} // namespace win32
