// Code page 932 text decoding (Windows Shift_JIS with the NEC and IBM rows) through iconv.
#pragma once

#include <cstddef>
#include <string>

namespace d3dx9 {

// The UTF-8 form of CP932 bytes; false when they are not valid CP932.
bool Cp932ToUtf8(const char* bytes, size_t length, std::string& utf8);

// The code points of CP932 bytes; false when they are not valid CP932, in which case each
// character that is not becomes U+30FB, as Windows decodes it.
bool Cp932ToCodePoints(const char* bytes, size_t length, std::u32string& codePoints);

// How many bytes CP932 writes the code point in: one for ASCII and half-width katakana, two
// for the rest.
int Cp932ByteCount(char32_t codePoint);

} // namespace d3dx9
