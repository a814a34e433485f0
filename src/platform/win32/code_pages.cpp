// MultiByteToWideChar and WideCharToMultiByte for the ANSI code page (932) and UTF-8, and the
// terminal's code page.
#include "cp932.h"

#include <windows.h>

#include <cstring>

namespace {

bool IsAnsi(UINT codePage) {
    return codePage == CP_ACP || codePage == 932;
}

// The input as a view, counting the terminating zero when the length is -1, as Windows does.
template <typename Char>
bool InputOf(const Char* text, int length, std::basic_string_view<Char>* input) {
    if (!text || length == 0 || length < -1) return false;
    if (length == -1) {
        size_t n = 0;
        while (text[n])
            ++n;
        *input = std::basic_string_view<Char>(text, n + 1);
    } else {
        *input = std::basic_string_view<Char>(text, size_t(length));
    }
    return true;
}

// Copies `converted` out as Windows does: a zero-sized buffer asks for the length, a short one
// fails and writes nothing that counts.
template <typename Char>
int CopyOut(const std::basic_string<Char>& converted, Char* out, int outLength) {
    if (outLength == 0) return int(converted.size());
    if (converted.size() > size_t(outLength)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, converted.data(), converted.size() * sizeof(Char));
    return int(converted.size());
}

} // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR wide,
                               int wideLength) {
    std::string_view input;
    if ((!IsAnsi(codePage) && codePage != CP_UTF8) || (flags & ~DWORD(MB_ERR_INVALID_CHARS)) ||
        !InputOf(text, length, &input) || wideLength < 0 || (wideLength > 0 && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t invalid = 0;
    const std::u16string converted = IsAnsi(codePage) ? win32::Cp932ToUtf16(input, &invalid)
                                                      : win32::Utf8ToUtf16(input, &invalid);
    if (invalid && (flags & MB_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    return CopyOut(converted, wide, wideLength);
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR text,
                               int length, LPCSTR defaultChar, LPBOOL usedDefaultChar) {
    std::u16string_view input;
    const bool utf8 = codePage == CP_UTF8;
    // UTF-8 has no default character: asking about one is an error there, as on Windows. The
    // ANSI default is always '?' here; a caller's own default character is not offered.
    if ((!IsAnsi(codePage) && !utf8) || (flags & ~DWORD(WC_NO_BEST_FIT_CHARS)) ||
        !InputOf(wide, wideLength, &input) || length < 0 || (length > 0 && !text) ||
        (utf8 && usedDefaultChar) || defaultChar) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t replaced = 0;
    std::string converted =
        utf8 ? win32::Utf16ToUtf8(input, &replaced) : win32::Utf16ToCp932(input, &replaced);
    if (usedDefaultChar) *usedDefaultChar = replaced ? TRUE : FALSE;
    return CopyOut(converted, text, length);
}

// Linux terminals, and the journal that takes a desktop program's output, read UTF-8.
UINT WINAPI GetConsoleOutputCP() {
    return CP_UTF8;
}
