// Text conversion between the ANSI code page (932, Windows' Shift_JIS) and UTF-8 / UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// Bytes that are not valid code page 932 become U+30FB, as Windows' conversion gives.
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
