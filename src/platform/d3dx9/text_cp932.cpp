// Code page 932 decoding through glibc's iconv "CP932" (not SHIFT_JIS: 0x5C stays a backslash).
#include "d3dx9/text_cp932.h"

#include <cstdint>
#include <iconv.h>

namespace d3dx9 {
namespace {

template <typename Out>
bool Convert(const char* toCode, const char* bytes, size_t length, Out& out) {
    out.clear();
    if (length == 0) return true;
    if (length > SIZE_MAX / 4) return false;
    iconv_t cd = iconv_open(toCode, "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    using Unit = typename Out::value_type;
    // Every CP932 byte yields at most one code point, at most 4 UTF-8 bytes.
    const size_t capacityUnits = length * (sizeof(Unit) == 1 ? 4 : 1);
    out.resize(capacityUnits);
    char* in = const_cast<char*>(bytes);
    size_t inLeft = length;
    char* dst = reinterpret_cast<char*>(out.data());
    size_t dstLeft = capacityUnits * sizeof(Unit);
    const size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1) || inLeft != 0) {
        out.clear();
        return false;
    }
    out.resize((capacityUnits * sizeof(Unit) - dstLeft) / sizeof(Unit));
    return true;
}

} // namespace

bool Cp932ToUtf8(const char* bytes, size_t length, std::string& utf8) {
    return Convert("UTF-8", bytes, length, utf8);
}

bool Cp932ToCodePoints(const char* bytes, size_t length, std::u32string& codePoints) {
    // Explicit byte order: plain "UTF-32" would start with a byte-order mark.
    const char* utf32 = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? "UTF-32LE" : "UTF-32BE";
    if (Convert(utf32, bytes, length, codePoints)) return true;
    // Character by character, as Windows decodes: what is not CP932 becomes U+30FB.
    std::u32string one;
    for (size_t i = 0; i < length;) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        const bool doubleByte = ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC));
        const size_t n = doubleByte && i + 1 < length ? 2 : 1;
        codePoints.push_back(Convert(utf32, bytes + i, n, one) && one.size() == 1 ? one[0]
                                                                                  : U'\u30FB');
        i += n;
    }
    return false;
}

int Cp932ByteCount(char32_t codePoint) {
    const bool halfWidthKatakana = codePoint >= U'\uFF61' && codePoint <= U'\uFF9F';
    return codePoint < 0x80 || halfWidthKatakana ? 1 : 2;
}

} // namespace d3dx9
