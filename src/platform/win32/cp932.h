// Text conversion between the ANSI code page (932, Windows' Shift_JIS) and UTF-8 / UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace win32 {

// Bytes that are not valid code page 932 become U+30FB, as Windows' conversion gives.
std::string Cp932ToUtf8(std::string_view cp932);
// The same, but false for bytes that are not valid code page 932 (a file name that cannot be).
bool ExactCp932ToUtf8(std::string_view cp932, std::string& utf8);

// Characters with no code page 932 form become '?', Windows' default character; so do bytes
// that are not valid UTF-8.
std::string Utf8ToCp932(std::string_view utf8);
std::string Utf16ToCp932(std::u16string_view utf16);

} // namespace win32
