// Tokeniser for the text form of .x files: whitespace, `#` and `//` comments, punctuation,
// GUIDs, quoted strings, numbers (with MSVC's `1.#IND00`-style specials read as 0) and names.
#include "xfile/text_lexer.h"

#include <charconv>
#include <cstring>

namespace xfile {
namespace {

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// Anything but whitespace, control bytes and the punctuation that ends a name. Exporters put
// dots, dashes, `#` and other odd characters into names.
bool IsNameChar(unsigned char c) {
    if (c <= 0x20) return false;
    switch (c) {
    case '{':
    case '}':
    case '[':
    case ']':
    case '(':
    case ')':
    case ',':
    case ';':
    case '<':
    case '>':
    case '"':
        return false;
    default:
        return true;
    }
}

// A code page 932 lead byte: the byte after it belongs to the same character, whatever it is.
bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ReadHex(const char* p, int digits, uint32_t& out) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) {
        int h = HexValue(p[i]);
        if (h < 0) return false;
        v = (v << 4) | static_cast<uint32_t>(h);
    }
    out = v;
    return true;
}

} // namespace

void TextLexer::Next(Token& t, bool name_wanted) {
    for (;;) {
        while (p_ < end_ && static_cast<unsigned char>(*p_) <= 0x20)
            ++p_;
        if (p_ == end_) break;
        if (*p_ == '#' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '/')) {
            const void* nl = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
            p_ = nl ? static_cast<const char*>(nl) : end_;
            continue;
        }
        break;
    }
    t.offset = static_cast<size_t>(p_ - begin_);
    if (p_ == end_) {
        t.kind = Tok::End;
        return;
    }
    const unsigned char c = static_cast<unsigned char>(*p_);
    switch (c) {
    case '{':
        t.kind = Tok::OBrace;
        ++p_;
        return;
    case '}':
        t.kind = Tok::CBrace;
        ++p_;
        return;
    case '[':
        t.kind = Tok::OBracket;
        ++p_;
        return;
    case ']':
        t.kind = Tok::CBracket;
        ++p_;
        return;
    case '(':
        t.kind = Tok::OParen;
        ++p_;
        return;
    case ')':
        t.kind = Tok::CParen;
        ++p_;
        return;
    case ',':
        t.kind = Tok::Comma;
        ++p_;
        return;
    case ';':
        t.kind = Tok::Semicolon;
        ++p_;
        return;
    case '<':
        LexGuid(t);
        return;
    case '>':
        return Fail(t, "'>' without a GUID");
    case '/':
        return Fail(t, "lone '/'");
    case '"': {
        const char* close =
            static_cast<const char*>(std::memchr(p_ + 1, '"', static_cast<size_t>(end_ - p_ - 1)));
        if (!close) return Fail(t, "string without its closing quote");
        t.kind = Tok::String;
        t.text = std::string_view(p_ + 1, static_cast<size_t>(close - p_ - 1));
        p_ = close + 1;
        return;
    }
    default:
        break;
    }
    if (name_wanted) return LexName(t);
    const bool dot_number = c == '.' && p_ + 1 < end_ && IsDigit(static_cast<unsigned char>(p_[1]));
    if (IsDigit(c) || c == '-' || c == '+' || dot_number) return LexNumber(t);
    if (c == '.') {
        t.kind = Tok::Dot;
        ++p_;
        return;
    }
    LexName(t);
}

void TextLexer::LexName(Token& t) {
    const char* start = p_;
    while (p_ < end_) {
        const unsigned char c = static_cast<unsigned char>(*p_);
        if (IsCp932LeadByte(c) && p_ + 1 < end_) {
            p_ += 2;
        } else if (IsNameChar(c)) {
            ++p_;
        } else {
            break;
        }
    }
    if (p_ == start) return Fail(t, "unexpected character");
    t.kind = Tok::Name;
    t.text = std::string_view(start, static_cast<size_t>(p_ - start));
}

void TextLexer::LexNumber(Token& t) {
    const char* start = p_;
    const char* p = p_;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    const char* digits = p;
    // The digits, as long as they fit 15 decimal digits, and the power of ten they are scaled
    // by: such a value and a power of ten up to 1e22 are both exact doubles, so one multiply or
    // divide gives the correctly rounded result, the same as from_chars.
    constexpr int kExactDigits = 15;
    uint64_t integer = 0;
    int significant = 0, exponent = 0;
    bool exact = true;
    size_t fraction_digits = 0;
    while (p < end_ && IsDigit(static_cast<unsigned char>(*p))) {
        if (significant < kExactDigits) {
            integer = integer * 10 + static_cast<uint64_t>(*p - '0');
            significant += integer != 0;
        } else {
            ++exponent;
            exact = false;
        }
        ++p;
    }
    const size_t int_digits = static_cast<size_t>(p - digits);
    bool plain_integer = !negative && int_digits > 0 && int_digits <= 18;
    if (p < end_ && *p == '.') {
        // MSVC prints NaN and infinity as 1.#IND00, -1.#QNAN0, 1.#INF00: read them as 0.
        if (p + 1 < end_ && p[1] == '#') {
            p += 2;
            while (p < end_ && (IsDigit(static_cast<unsigned char>(*p)) ||
                                ((*p | 0x20) >= 'a' && (*p | 0x20) <= 'z')))
                ++p;
            t.kind = Tok::Number;
            t.number = 0;
            t.dword = false;
            p_ = p;
            return;
        }
        plain_integer = false;
        ++p;
        while (p < end_ && IsDigit(static_cast<unsigned char>(*p))) {
            if (significant < kExactDigits) {
                integer = integer * 10 + static_cast<uint64_t>(*p - '0');
                ++significant;
                --exponent;
            } else {
                exact = false;
            }
            ++fraction_digits;
            ++p;
        }
    }
    // A sign or a dot without digits is no number: from_chars rejects it below.
    if (int_digits == 0 && fraction_digits == 0) exact = false;
    if (p < end_ && (*p == 'e' || *p == 'E')) {
        const char* e = p + 1;
        const bool negative_exponent = e < end_ && *e == '-';
        if (e < end_ && (*e == '-' || *e == '+')) ++e;
        if (e < end_ && IsDigit(static_cast<unsigned char>(*e))) {
            plain_integer = false;
            p = e;
            int written = 0;
            while (p < end_ && IsDigit(static_cast<unsigned char>(*p))) {
                if (written < 1000) written = written * 10 + (*p - '0');
                ++p;
            }
            exponent += negative_exponent ? -written : written;
        }
    }
    if (p < end_ && IsNameChar(static_cast<unsigned char>(*p)) && *p != '#' && *p != '/')
        return Fail(t, "malformed number");
    t.kind = Tok::Number;
    p_ = p;
    t.dword = plain_integer && exact && integer <= 0xFFFFFFFFu;
    if (plain_integer && exact) {
        t.number = static_cast<double>(integer);
        return;
    }
    if (exact && exponent >= -22 && exponent <= 22) {
        static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const double m = static_cast<double>(integer);
        const double value = exponent < 0 ? m / kPowers[-exponent] : m * kPowers[exponent];
        t.number = negative ? -value : value;
        return;
    }
    const char* from = *start == '+' ? start + 1 : start;
    double value = 0;
    auto [end, ec] = std::from_chars(from, p, value);
    if (ec != std::errc() || end != p) {
        p_ = start;
        return Fail(t, "malformed number");
    }
    t.number = value;
}

void TextLexer::LexGuid(Token& t) {
    // <XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX>
    if (end_ - p_ < 38 || p_[37] != '>' || p_[9] != '-' || p_[14] != '-' || p_[19] != '-' ||
        p_[24] != '-')
        return Fail(t, "malformed GUID");
    const char* g = p_ + 1;
    uint32_t d1, d2, d3, hi;
    if (!ReadHex(g, 8, d1) || !ReadHex(g + 9, 4, d2) || !ReadHex(g + 14, 4, d3))
        return Fail(t, "malformed GUID");
    t.guid.data1 = d1;
    t.guid.data2 = static_cast<uint16_t>(d2);
    t.guid.data3 = static_cast<uint16_t>(d3);
    const int offsets[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int i = 0; i < 8; ++i) {
        if (!ReadHex(g + offsets[i], 2, hi)) return Fail(t, "malformed GUID");
        t.guid.data4[i] = static_cast<uint8_t>(hi);
    }
    t.kind = Tok::Guid;
    p_ += 38;
}

} // namespace xfile
