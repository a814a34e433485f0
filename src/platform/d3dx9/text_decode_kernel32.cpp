// DrawTextA's bytes decoded by kernel32 in the code page of the font's character set (the ANSI
// code page for DEFAULT_CHARSET and the like), as GDI's A-calls decode text for a font.
#include "d3dx9/text_decode.h"

namespace d3dx9 {
namespace {

UINT CodePageOf(BYTE charSet) {
    CHARSETINFO info{};
    if (TranslateCharsetInfo(reinterpret_cast<DWORD*>(uintptr_t(charSet)), &info, TCI_SRCCHARSET))
        return info.ciACP;
    return CP_ACP;
}

std::wstring Utf16Of(char32_t codePoint) {
    if (codePoint < 0x10000) return std::wstring(1, wchar_t(codePoint));
    const char32_t v = codePoint - 0x10000;
    return {wchar_t(0xD800 + (v >> 10)), wchar_t(0xDC00 + (v & 0x3FF))};
}

} // namespace

std::u32string DecodeText(std::string_view bytes, BYTE charSet) {
    if (bytes.empty() || bytes.size() > size_t(INT32_MAX)) return {};
    const UINT codePage = CodePageOf(charSet);
    const int length =
        MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(codePage, 0, bytes.data(), int(bytes.size()), wide.data(), length);
    std::u32string text;
    for (size_t i = 0; i < wide.size(); ++i) {
        const char32_t unit = char16_t(wide[i]);
        const bool pair = unit >= 0xD800 && unit < 0xDC00 && i + 1 < wide.size() &&
                          char16_t(wide[i + 1]) >= 0xDC00 && char16_t(wide[i + 1]) < 0xE000;
        if (pair) {
            text += char32_t(0x10000 + ((unit - 0xD800) << 10) + (char16_t(wide[i + 1]) - 0xDC00));
            ++i;
        } else {
            text += unit;
        }
    }
    return text;
}

int EncodedByteCount(char32_t codePoint, BYTE charSet) {
    const std::wstring wide = Utf16Of(codePoint);
    const int bytes = WideCharToMultiByte(CodePageOf(charSet), 0, wide.data(), int(wide.size()),
                                          nullptr, 0, nullptr, nullptr);
    return bytes > 0 ? bytes : 1;
}

} // namespace d3dx9
