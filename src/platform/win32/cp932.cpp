// Code page 932 conversions over glibc's iconv ("CP932": Microsoft's table, not JIS Shift_JIS).
#include "cp932.h"

#include <cerrno>
#include <iconv.h>

namespace {

constexpr std::string_view kKatakanaMiddleDot = "\xE3\x83\xBB"; // U+30FB
constexpr std::string_view kKatakanaMiddleDotUtf16("\xFB\x30", 2);
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD
constexpr std::string_view kReplacementCharacterUtf16("\xFD\xFF", 2);
constexpr char kDefaultChar = '?';

std::string Utf16Bytes(std::u16string_view utf16) {
    std::string bytes;
    for (char16_t unit : utf16) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::u16string Utf16FromBytes(std::string_view bytes) {
    std::u16string utf16;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        utf16 += char16_t(static_cast<unsigned char>(bytes[i]) |
                          static_cast<unsigned char>(bytes[i + 1]) << 8);
    return utf16;
}

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

// Converts with iconv, replacing each unconvertible unit of the input by `replacement`; counts
// the replacements in `replaced` when it is given.
std::string Convert(const char* to, const char* from, std::string_view input,
                    std::string_view replacement, SkipWidth skip, size_t* replaced = nullptr) {
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
        if (replaced) ++*replaced;
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

std::string Utf8ToCp932(std::string_view utf8) {
    return Convert("CP932", "UTF-8", utf8, std::string_view(&kDefaultChar, 1), SkipUtf8Character);
}

std::string Utf16ToCp932(std::u16string_view utf16, size_t* replaced) {
    return Convert("CP932", "UTF-16LE", Utf16Bytes(utf16), std::string_view(&kDefaultChar, 1),
                   SkipUtf16Unit, replaced);
}

std::string Utf16ToUtf8(std::u16string_view utf16, size_t* replaced) {
    return Convert("UTF-8", "UTF-16LE", Utf16Bytes(utf16), kReplacementCharacter, SkipUtf16Unit,
                   replaced);
}

std::u16string Cp932ToUtf16(std::string_view cp932, size_t* replaced) {
    return Utf16FromBytes(
        Convert("UTF-16LE", "CP932", cp932, kKatakanaMiddleDotUtf16, SkipOneByte, replaced));
}

std::u16string Utf8ToUtf16(std::string_view utf8, size_t* replaced) {
    return Utf16FromBytes(Convert("UTF-16LE", "UTF-8", utf8, kReplacementCharacterUtf16,
                                  SkipUtf8Character, replaced));
}

} // namespace win32
