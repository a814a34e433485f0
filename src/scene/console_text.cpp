// ConsoleText: code page 932 to the terminal's code page, through UTF-16 as Windows converts.
#include "scene/console_text.h"

#include <windows.h>

#include <string>

std::string ConsoleText(const char* cp932) {
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, cp932, -1, nullptr, 0);
    if (wideLength <= 0) return cp932;
    std::basic_string<WCHAR> wide(size_t(wideLength), WCHAR(0));
    MultiByteToWideChar(CP_ACP, 0, cp932, -1, wide.data(), wideLength);
    // Without a console (a program started from the desktop) this is 0, the ANSI code page.
    const UINT codePage = GetConsoleOutputCP();
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return cp932;
    std::string text(size_t(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), -1, text.data(), length, nullptr, nullptr);
    text.pop_back(); // the terminating zero
    return text;
}
