// DrawTextA's bytes as characters: decoded by the code page of the font's character set, as
// GDI's A-calls decode them. One implementation per system.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace d3dx9 {

// Bytes that are not valid in the code page become U+30FB, as Windows shows them.
std::u32string DecodeText(std::string_view bytes, BYTE charSet);

// How many bytes the character set's code page writes the code point in.
int EncodedByteCount(char32_t codePoint, BYTE charSet);

} // namespace d3dx9
