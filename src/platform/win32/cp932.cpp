// Code page 932 conversions over glibc's iconv "CP932" (Microsoft's table, not JIS Shift_JIS:
// 0x5C stays a backslash), and IsDBCSLeadByte.
#include "cp932.h"

#include <windows.h>

#include <cerrno>
#include <iconv.h>

namespace {

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

size_t SkipCp932Character(std::string_view rest) {
    return IsDBCSLeadByte(static_cast<BYTE>(rest[0])) && rest.size() > 1 ? 2 : 1;
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

// Converts `input` with iconv into `out`'s bytes. Each unconvertible unit of the input (its
// width given by `skip`) becomes `replacement`, counted in `replaced` when that is given; with no
// replacement the conversion fails there.
bool Convert(const char* to, const char* from, std::string_view input, std::string& out,
             const std::string_view* replacement, SkipWidth skip, size_t* replaced = nullptr) {
    out.clear();
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    char buffer[256];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    bool ok = true;
    while (inLeft > 0) {
        char* dst = buffer;
        size_t dstLeft = sizeof buffer;
        size_t result = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, dst - buffer);
        if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
        if (!replacement) { // EILSEQ or a cut-off sequence
            ok = false;
            break;
        }
        size_t width = skip(std::string_view(in, inLeft));
        if (width == 0 || width > inLeft) width = inLeft;
        out += *replacement;
        if (replaced) ++*replaced;
        in += width;
        inLeft -= width;
    }
    char* dst = buffer;
    size_t dstLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(buffer, dst - buffer);
    iconv_close(cd);
    if (!ok) out.clear();
    return ok;
}

// U+30FB (katakana middle dot), Windows' replacement when it decodes code page 932.
constexpr std::string_view kMiddleDotUtf8 = "\xE3\x83\xBB";
constexpr char kMiddleDotUtf32[] = {'\xFB', '\x30', '\0', '\0'};
constexpr std::string_view kMiddleDotUtf16("\xFB\x30", 2);

// Converts with a replacement, for the conversions that always succeed.
std::string Replacing(const char* to, const char* from, std::string_view input,
                      std::string_view replacement, SkipWidth skip, size_t* replaced = nullptr) {
    std::string out;
    Convert(to, from, input, out, &replacement, skip, replaced);
    return out;
}

} // namespace

BOOL WINAPI IsDBCSLeadByte(BYTE c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

namespace win32 {

bool Cp932ToUtf8(std::string_view cp932, std::string& out, InvalidCp932 invalid) {
    const std::string_view replacement = kMiddleDotUtf8;
    return Convert("UTF-8", "CP932", cp932, out,
                   invalid == InvalidCp932::Replace ? &replacement : nullptr, SkipCp932Character);
}

bool Cp932ToCodePoints(std::string_view cp932, std::u32string& out, InvalidCp932 invalid) {
    out.clear();
    const std::string_view replacement(kMiddleDotUtf32, sizeof kMiddleDotUtf32);
    std::string bytes;
    // Little-endian by name: plain "UTF-32" would start with a byte-order mark.
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
    if (!Convert("UTF-32LE", "CP932", cp932, bytes,
                 invalid == InvalidCp932::Replace ? &replacement : nullptr, SkipCp932Character))
        return false;
    out.resize(bytes.size() / sizeof(char32_t));
    bytes.copy(reinterpret_cast<char*>(out.data()), out.size() * sizeof(char32_t));
    return true;
}

int Cp932ByteCount(char32_t codePoint) {
    const bool halfWidthKatakana = codePoint >= U'\uFF61' && codePoint <= U'\uFF9F';
    return codePoint < 0x80 || halfWidthKatakana ? 1 : 2;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string out;
    Cp932ToUtf8(cp932, out, InvalidCp932::Replace);
    return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
    return Replacing("CP932", "UTF-8", utf8, std::string_view(&kDefaultChar, 1), SkipUtf8Character);
}

std::string Utf16ToCp932(std::u16string_view utf16, size_t* replaced) {
    return Replacing("CP932", "UTF-16LE", Utf16Bytes(utf16), std::string_view(&kDefaultChar, 1),
                     SkipUtf16Unit, replaced);
}

std::string Utf16ToUtf8(std::u16string_view utf16, size_t* replaced) {
    return Replacing("UTF-8", "UTF-16LE", Utf16Bytes(utf16), kReplacementCharacter, SkipUtf16Unit,
                     replaced);
}

std::u16string Cp932ToUtf16(std::string_view cp932, size_t* replaced) {
    return Utf16FromBytes(
        Replacing("UTF-16LE", "CP932", cp932, kMiddleDotUtf16, SkipCp932Character, replaced));
}

std::u16string Utf8ToUtf16(std::string_view utf8, size_t* replaced) {
    return Utf16FromBytes(Replacing("UTF-16LE", "UTF-8", utf8, kReplacementCharacterUtf16,
                                    SkipUtf8Character, replaced));
}

} // namespace win32
