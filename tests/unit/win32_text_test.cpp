// Code page 932 conversions (Microsoft's table, not JIS Shift_JIS) and wsprintfA's formatting.
#include "win32/cp932.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using win32::Cp932ToUtf8;
using win32::Utf8ToCp932;

TEST(Cp932, DecodesMicrosoftsTableNotJis) {
    EXPECT_EQ(Cp932ToUtf8("\x83\x72\x83\x85\x81\x5B\x83\x41"), "ビューア");
    EXPECT_EQ(Cp932ToUtf8("C:\\x~"), "C:\\x~");         // backslash and tilde, not yen and overline
    EXPECT_EQ(Cp932ToUtf8("\x81\x60"), "\xEF\xBD\x9E"); // U+FF5E, not U+301C
    EXPECT_EQ(Cp932ToUtf8("\x81\x7C"), "\xEF\xBC\x8D"); // U+FF0D, not U+2212
    EXPECT_EQ(Cp932ToUtf8("\x87\x40"), "\xE2\x91\xA0"); // NEC row 13: ①
    EXPECT_EQ(Cp932ToUtf8("\xB1"), "\xEF\xBD\xB1");     // half-width ｱ
    EXPECT_EQ(Cp932ToUtf8("\x83\x5C\x83\x74\x83\x67"), "ソフト"); // trail byte 0x5C
    EXPECT_EQ(Cp932ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Cp932, InvalidBytesBecomeTheDefaultCharacterAndDecodingGoesOn) {
    EXPECT_EQ(Cp932ToUtf8("a\x80z"), "a・z");
    EXPECT_EQ(Cp932ToUtf8("ab\x83"), "ab・");   // a lead byte cut off at the end
    EXPECT_EQ(Cp932ToUtf8("\x81\x20z"), "・z"); // a lead byte takes the byte after it along
    std::string utf8 = "stale";
    EXPECT_FALSE(Cp932ToUtf8("a\x80z", utf8, win32::InvalidCp932::Refuse)); // for file names
    EXPECT_EQ(utf8, "");
    EXPECT_TRUE(IsDBCSLeadByte(0x81) && IsDBCSLeadByte(0x9F) && IsDBCSLeadByte(0xE0) &&
                IsDBCSLeadByte(0xFC));
    EXPECT_FALSE(IsDBCSLeadByte(0x80) || IsDBCSLeadByte(0xA0) || IsDBCSLeadByte(0xDF) ||
                 IsDBCSLeadByte(0xFD) || IsDBCSLeadByte('\\'));
}

TEST(Cp932, EncodesAndRoundTrips) {
    const std::string texts[] = {"ビューア", "フィルター画像.jpg", "①Ⅱ～－＼",
                                 "ｱｲｳ",      "明るさ 100%",        "ソ表"};
    for (const std::string& text : texts)
        EXPECT_EQ(Cp932ToUtf8(Utf8ToCp932(text)), text) << text;
    EXPECT_EQ(Utf8ToCp932("フィルター画像.jpg"),
              "\x83\x74\x83\x42\x83\x8B\x83\x5E\x81\x5B\x89\xE6\x91\x9C.jpg");
    EXPECT_EQ(Utf8ToCp932("ｱ").size(), 1u); // half-width: one byte, one column
}

TEST(Cp932, UnrepresentableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp932("caf\xC3\xA9 😀!"), "caf? ?!");
    EXPECT_EQ(Utf8ToCp932("bad\xFF"), "bad?");
    EXPECT_EQ(win32::Utf16ToCp932(u"\u30D3x\U0001F600"), "\x83\x72x?");
}

// The conversions the viewer's command line goes through: argument bytes to UTF-16 to the ANSI
// code page, with what it cannot spell reported rather than guessed.
TEST(CodePages, ConvertThroughUtf16AndReportWhatTheAnsiPageLacks) {
    const char* name = "モデル a.x";
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
    ASSERT_EQ(wideLength, 8); // seven characters and the terminating zero
    std::u16string wide(wideLength, u'\0');
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, name, -1, wide.data(), wideLength), 8);
    EXPECT_EQ(wide, std::u16string(u"モデル a.x", 8));

    BOOL usedDefault = TRUE;
    char ansi[32] = {};
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), -1, ansi, sizeof ansi,
                                  nullptr, &usedDefault),
              11);
    EXPECT_EQ(std::string(ansi), Utf8ToCp932("モデル a.x"));
    EXPECT_FALSE(usedDefault);

    const std::u16string lacking = u"caf\u00E9\U0001F600";
    ASSERT_EQ(WideCharToMultiByte(932, 0, lacking.data(), int(lacking.size()), ansi, sizeof ansi,
                                  nullptr, &usedDefault),
              5);
    EXPECT_EQ(std::string(ansi, 5), "caf??");
    EXPECT_TRUE(usedDefault);

    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x83\x72", 2, wide.data(), 1), 1);
    EXPECT_EQ(wide[0], u'ビ');
}

TEST(CodePages, FailAsWindowsDoesOnBadInputAndShortBuffers) {
    char16_t wide[4];
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, wide, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF", 2, wide, 4), 2); // U+FFFD without the flag
    EXPECT_EQ(wide[1], u'\uFFFD');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcde", 5, wide, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "a", 1, wide, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    BOOL usedDefault = FALSE;
    char out[4];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, out, 4, nullptr, &usedDefault), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", 1, out, 4, nullptr, nullptr), 2);
}

std::string Format(const char* format, ...) {
    char buffer[1100];
    va_list args;
    va_start(args, format);
    int length = wvsprintfA(buffer, format, args);
    va_end(args);
    EXPECT_EQ(length, int(std::string(buffer).size()));
    return buffer;
}

TEST(Wsprintf, IntegersAsWindowsFormatsThem) {
    EXPECT_EQ(Format("%d|%i|%u", -1, 42, -1), "-1|42|4294967295");
    EXPECT_EQ(Format("%x %X %08X", 255, 255, 0xBEEF), "ff FF 0000BEEF");
    EXPECT_EQ(Format("[%5d][%-5d][%05d]", 42, 42, 42), "[   42][42   ][00042]");
    EXPECT_EQ(Format("%010ld", -1), "-000000001"); // sign first, then the zeros
    EXPECT_EQ(Format("%.3d|%.3u", 7, 7), "007|007");
    EXPECT_EQ(Format("%-05d|", 3), "3    |"); // '-' wins over '0'
    EXPECT_EQ(Format("%ld %lu %lx", 123456, 4000000000u, 0xABCu), "123456 4000000000 abc");
    EXPECT_EQ(Format("%hd %hu", 70000, 70000), "4464 4464");
    EXPECT_EQ(Format("%I64d %I64u", -(1LL << 40), 1ULL << 40), "-1099511627776 1099511627776");
    EXPECT_EQ(Format("%#x", 255), "0xff");
}

TEST(Wsprintf, CharactersAndStrings) {
    EXPECT_EQ(Format("%c%c", 'o', 'k'), "ok");
    EXPECT_EQ(Format("[%3c]", 'x'), "[  x]");
    EXPECT_EQ(Format("%s=%s", "key", "\x83\x72\x83\x85\x81\x5B\x83\x41"),
              "key=\x83\x72\x83\x85\x81\x5B\x83\x41"); // bytes pass through
    EXPECT_EQ(Format("[%6s][%-6s][%.2s]", "abc", "abc", "abc"), "[   abc][abc   ][ab]");
    EXPECT_EQ(Format("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(Format("%S|%ls", u"ビ", u"ok"), "\x83\x72|ok");
    EXPECT_EQ(Format("100%%"), "100%");
}

TEST(Wsprintf, UnknownTypePrintsItsLetterAndConsumesNothing) {
    EXPECT_EQ(Format("%f %d", 5), "f 5");
    EXPECT_EQ(Format("%.2f|%s", "next"), "f|next");
}

TEST(Wsprintf, OutputStopsAt1023CharactersAndReports1024) {
    char buffer[1100];
    std::string longText(2000, 'y');
    EXPECT_EQ(wsprintfA(buffer, "%s", longText.c_str()), 1024);
    EXPECT_EQ(std::string(buffer), longText.substr(0, 1023));
    std::string fits(1022, 'z');
    EXPECT_EQ(wsprintfA(buffer, "%s", fits.c_str()), 1022);
    EXPECT_EQ(wsprintfA(buffer, "%2000d", 1), 1024);
    EXPECT_EQ(std::string(buffer).size(), 1023u);
}

} // namespace
