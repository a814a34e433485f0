// The system's stock icons and cursors, and its colours (Windows 10's defaults).
#include <windows.h>

#include <cstdint>

namespace {

// The predefined resource identifiers, IDI_APPLICATION..IDI_WINLOGO and the IDC_ range.
bool IsStockIcon(uintptr_t id) {
    return id >= 32512 && id <= 32518;
}
bool IsStockCursor(uintptr_t id) {
    return (id >= 32512 && id <= 32516) || (id >= 32640 && id <= 32651) || id == 32671 ||
           id == 32672;
}

// A stock resource is identified by its handle; nothing draws it, so its id makes the handle.
template <typename Handle> Handle StockHandle(uintptr_t base, uintptr_t id) {
    return reinterpret_cast<Handle>(base + (id << 4));
}

// GetSysColor, indexed by COLOR_*: Windows 10's default scheme.
constexpr COLORREF kSystemColours[] = {
    RGB(200, 200, 200), // COLOR_SCROLLBAR
    RGB(0, 0, 0),       // COLOR_BACKGROUND
    RGB(153, 180, 209), // COLOR_ACTIVECAPTION
    RGB(191, 205, 219), // COLOR_INACTIVECAPTION
    RGB(240, 240, 240), // COLOR_MENU
    RGB(255, 255, 255), // COLOR_WINDOW
    RGB(100, 100, 100), // COLOR_WINDOWFRAME
    RGB(0, 0, 0),       // COLOR_MENUTEXT
    RGB(0, 0, 0),       // COLOR_WINDOWTEXT
    RGB(0, 0, 0),       // COLOR_CAPTIONTEXT
    RGB(180, 180, 180), // COLOR_ACTIVEBORDER
    RGB(244, 247, 252), // COLOR_INACTIVEBORDER
    RGB(171, 171, 171), // COLOR_APPWORKSPACE
    RGB(0, 120, 215),   // COLOR_HIGHLIGHT
    RGB(255, 255, 255), // COLOR_HIGHLIGHTTEXT
    RGB(240, 240, 240), // COLOR_BTNFACE
    RGB(160, 160, 160), // COLOR_BTNSHADOW
    RGB(109, 109, 109), // COLOR_GRAYTEXT
    RGB(0, 0, 0),       // COLOR_BTNTEXT
    RGB(0, 0, 0),       // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255), // COLOR_BTNHIGHLIGHT
    RGB(105, 105, 105), // COLOR_3DDKSHADOW
    RGB(227, 227, 227), // COLOR_3DLIGHT
    RGB(0, 0, 0),       // COLOR_INFOTEXT
    RGB(255, 255, 225), // COLOR_INFOBK
    RGB(0, 0, 0),       // (unused index 25)
    RGB(0, 102, 204),   // COLOR_HOTLIGHT
    RGB(185, 209, 234), // COLOR_GRADIENTACTIVECAPTION
    RGB(215, 228, 242), // COLOR_GRADIENTINACTIVECAPTION
    RGB(0, 120, 215),   // COLOR_MENUHILIGHT
    RGB(240, 240, 240), // COLOR_MENUBAR
};

} // namespace

// Only the system's own icons (instance NULL, a predefined id) exist; no module has resources.
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR iconName) {
    uintptr_t id = reinterpret_cast<uintptr_t>(iconName);
    if (instance || !IS_INTRESOURCE(iconName) || !IsStockIcon(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return StockHandle<HICON>(0x1C000000, id);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    uintptr_t id = reinterpret_cast<uintptr_t>(cursorName);
    if (instance || !IS_INTRESOURCE(cursorName) || !IsStockCursor(id)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    return StockHandle<HCURSOR>(0x1D000000, id);
}

// An index outside the table gives 0, as on Windows.
DWORD WINAPI GetSysColor(int index) {
    if (index < 0 || index >= int(sizeof kSystemColours / sizeof kSystemColours[0])) return 0;
    return kSystemColours[index];
}
