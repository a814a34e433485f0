// Reading one number of the text form: exporters' decimals, integers, exponents and MSVC's
// `1.#IND00`-style specials.
#pragma once

namespace xfile {

struct LexedNumber {
    double value = 0;   // correctly rounded, as std::from_chars gives it
    bool dword = false; // digits alone (an optional '+' before them), from 0 to 2^32-1
};

// Anything but whitespace, control bytes and the punctuation that ends a name. Exporters put
// dots, dashes, `#` and other odd characters into names.
inline bool IsNameChar(unsigned char c) {
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

// Whether a number starts at `p`: a digit, a sign, or a point followed by a digit.
inline bool StartsNumber(const char* p, const char* end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if ((c >= '0' && c <= '9') || c == '-' || c == '+') return true;
    return c == '.' && p + 1 < end && p[1] >= '0' && p[1] <= '9';
}

// Reads the number starting at `p` (where StartsNumber holds). Returns where it ends, or nullptr
// when the text there is no number or runs straight into a name.
const char* ReadNumber(const char* p, const char* end, LexedNumber& out);

} // namespace xfile
