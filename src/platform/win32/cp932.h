// Text conversion between the ANSI code page (932, Windows' Shift_JIS) and UTF-8 / UTF-32 /
// UTF-16: the platform's one wrapper over iconv.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// What a decoding does with bytes that are not code page 932.
enum class InvalidCp932 {
    Replace, // each bad character (a lead byte and the byte after it) becomes U+30FB, as Windows
    Refuse,  // the whole decoding fails: for file names, where a guess would name another file
};

// False only when `invalid` is Refuse and the bytes are not all code page 932; `out` is then
// empty.
bool Cp932ToUtf8(std::string_view cp932, std::string& out, InvalidCp932 invalid);
bool Cp932ToCodePoints(std::string_view cp932, std::u32string& out, InvalidCp932 invalid);

// How many bytes code page 932 writes the code point in: one for ASCII and half-width
// katakana, two for the rest.
int Cp932ByteCount(char32_t codePoint);

// Replacing decoding, for text shown to the user.
std::string Cp932ToUtf8(std::string_view cp932);

// Characters with no code page 932 form become '?', Windows' default character; so do bytes
// that are not valid UTF-8.
std::string Utf8ToCp932(std::string_view utf8);
std::string Utf16ToCp932(std::u16string_view utf16, size_t* replaced = nullptr);

// For MultiByteToWideChar and WideCharToMultiByte: each counts in `replaced`, when given, the
// units it could not convert. Invalid UTF-8 and lone surrogates become U+FFFD; bytes that are
// not valid code page 932 become U+30FB.
std::string Utf16ToUtf8(std::u16string_view utf16, size_t* replaced = nullptr);
std::u16string Cp932ToUtf16(std::string_view cp932, size_t* replaced = nullptr);
std::u16string Utf8ToUtf16(std::string_view utf8, size_t* replaced = nullptr);

} // namespace win32
