// DrawTextA's bytes decoded as code page 932, the only ANSI code page the platform offers.
#include "d3dx9/text_decode.h"

#include "win32/cp932.h"

namespace d3dx9 {

std::u32string DecodeText(std::string_view bytes, BYTE) {
    std::u32string text;
    win32::Cp932ToCodePoints(bytes, text, win32::InvalidCp932::Replace);
    return text;
}

int EncodedByteCount(char32_t codePoint, BYTE) {
    return win32::Cp932ByteCount(codePoint);
}

} // namespace d3dx9
