// Code page 932 conversions over glibc's iconv ("CP932": Microsoft's table, not JIS Shift_JIS).
#include "cp932.h"

#include <cerrno>
#include <iconv.h>

namespace {

constexpr std::string_view kKatakanaMiddleDot = "\xE3\x83\xBB"; // U+30FB
constexpr char kDefaultChar = '?';

// How many input bytes one unconvertible unit spans, so it can be skipped whole.
using SkipWidth = size_t (*)(std::string_view rest);

size_t SkipOneByte(std::string_view) {
    return 1;
}

size_t SkipUtf8Character(std::string_view rest) {
    size_t n = 1;
    while (n < rest.size() && n < 4 && (static_cast<unsigned char>(rest[n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

size_t SkipUtf16Unit(std::string_view rest) {
    if (rest.size() >= 4) {
        unsigned high = static_cast<unsigned char>(rest[1]);
        unsigned nextHigh = static_cast<unsigned char>(rest[3]);
        if ((high & 0xFC) == 0xD8 && (nextHigh & 0xFC) == 0xDC) return 4; // surrogate pair
    }
    return rest.size() < 2 ? rest.size() : 2;
}

// Converts with iconv, replacing each unconvertible unit of the input by `replacement`.
std::string Convert(const char* to, const char* from, std::string_view input,
                    std::string_view replacement, SkipWidth skip) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string();
    std::string out;
    char buffer[256];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    while (inLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t result = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
        size_t width = skip(std::string_view(in, inLeft)); // EILSEQ or a cut-off sequence
        if (width == 0 || width > inLeft) width = inLeft;
        out += replacement;
        in += width;
        inLeft -= width;
    }
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    iconv_close(cd);
    return out;
}

} // namespace

namespace win32 {

std::string Cp932ToUtf8(std::string_view cp932) {
    return Convert("UTF-8", "CP932", cp932, kKatakanaMiddleDot, SkipOneByte);
}

bool ExactCp932ToUtf8(std::string_view cp932, std::string& utf8) {
    utf8.clear();
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    utf8.resize(cp932.size() * 4); // a CP932 byte yields at most one character
    char* in = const_cast<char*>(cp932.data());
    size_t inLeft = cp932.size();
    char* out = utf8.data();
    size_t outLeft = utf8.size();
    const size_t result = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    if (result == static_cast<size_t>(-1) || inLeft != 0) {
        utf8.clear();
        return false;
    }
    utf8.resize(utf8.size() - outLeft);
    return true;
}

std::string Utf8ToCp932(std::string_view utf8) {
    return Convert("CP932", "UTF-8", utf8, std::string_view(&kDefaultChar, 1), SkipUtf8Character);
}

std::string Utf16ToCp932(std::u16string_view utf16) {
    std::string bytes;
    for (char16_t unit : utf16) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return Convert("CP932", "UTF-16LE", bytes, std::string_view(&kDefaultChar, 1), SkipUtf16Unit);
}

} // namespace win32
