// RegisterClassExA and UnregisterClassA over a list of classes.
#include "window_class.h"

#include <strings.h>

#include <cstdint>
#include <list>

namespace {

struct ClassRegistry {
    std::list<win32::WindowClass> classes; // a list: lookups hand out stable pointers
    ATOM nextAtom = 0xC000;                // where Windows' string atoms start
};
ClassRegistry registry;

win32::WindowClass* Find(LPCSTR classNameOrAtom) {
    if (!classNameOrAtom) return nullptr;
    for (auto& c : registry.classes) {
        if (IS_INTRESOURCE(classNameOrAtom)) {
            if (c.atom == ATOM(reinterpret_cast<uintptr_t>(classNameOrAtom))) return &c;
        } else if (strcasecmp(c.name.c_str(), classNameOrAtom) == 0) {
            return &c;
        }
    }
    return nullptr;
}

} // namespace

namespace win32 {

const WindowClass* FindWindowClass(LPCSTR classNameOrAtom) {
    return Find(classNameOrAtom);
}

} // namespace win32

// cbSize is not checked: a program built for 32-bit Windows passes 48, while the structure is
// larger with 64-bit pointers.
ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (!windowClass || !windowClass->lpfnWndProc || !windowClass->lpszClassName ||
        IS_INTRESOURCE(windowClass->lpszClassName) || windowClass->cbClsExtra < 0 ||
        windowClass->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (Find(windowClass->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ATOM atom = registry.nextAtom++;
    registry.classes.push_back(win32::WindowClass{windowClass->lpszClassName, atom,
                                                  windowClass->style, windowClass->lpfnWndProc,
                                                  windowClass->hbrBackground});
    return atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
    win32::WindowClass* c = Find(className);
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    registry.classes.remove_if([c](const win32::WindowClass& each) { return &each == c; });
    return TRUE;
}
