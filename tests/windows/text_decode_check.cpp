// DrawTextA's decoding on Windows (src/platform/d3dx9/text_decode_kernel32.cpp), run under Wine
// with a non-Japanese system locale: a font's character set chooses the code page, not the
// system's, so a SHIFTJIS_CHARSET font reads code page 932 on any Windows.
#include "d3dx9/text_decode.h"

#include <cstdio>

namespace {

int failures = 0;

void Expect(const char* what, std::string_view bytes, BYTE charSet, std::u32string_view expected) {
    const std::u32string decoded = d3dx9::DecodeText(bytes, charSet);
    const bool ok = decoded == expected;
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok) {
        std::printf("   got");
        for (char32_t c : decoded)
            std::printf(" U+%04X", unsigned(c));
        std::printf("\n");
        ++failures;
    }
}

} // namespace

int main() {
    std::printf("   the system's ANSI code page: %u\n", GetACP());
    Expect("SHIFTJIS_CHARSET text is code page 932", "\x83\x4c\x81\x5b\x83\x7b", SHIFTJIS_CHARSET,
           U"\u30AD\u30FC\u30DC");
    Expect("code page 932's backslash byte stays a backslash", "a\\b", SHIFTJIS_CHARSET, U"a\\b");
    Expect("half-width katakana are one byte", "\xB1", SHIFTJIS_CHARSET, U"\uFF71");
    Expect("ANSI_CHARSET text is code page 1252", "\xE9", ANSI_CHARSET, U"\u00E9");
    std::printf("   %d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
