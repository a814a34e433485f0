// Reads one number of the text form. Exporters write plain decimals (`-1.994286`), which take a
// short loop; anything longer or odder (exponents, many digits, `1.#IND00`) goes the general
// way. Both give the correctly rounded double that std::from_chars gives.
#include "xfile/text_number.h"

#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace xfile {
namespace {

bool IsDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

// Below 2^53 and up to 1e22, both a decimal's digits and its power of ten are exact doubles, so
// one multiply or divide rounds correctly.
constexpr int kExactDigits = 15;
constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

double Scaled(uint64_t digits, int exponent, bool negative) {
    const double m = static_cast<double>(digits);
    const double value = exponent < 0 ? m / kPowers[-exponent] : m * kPowers[exponent];
    return negative ? -value : value;
}

// How many digits lead the 8 bytes at `p`, and their value: the bytes are tested and converted
// together, as exporters' numbers are short runs of digits.
int LeadingDigits(const char* p, uint64_t& value) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    // A byte is a digit when its high nibble is 3 and adding 6 keeps it so. A carry out of a
    // non-digit byte only reaches the bytes after it, which are not counted.
    const uint64_t high = 0xF0F0F0F0F0F0F0F0ull, threes = 0x3030303030303030ull;
    const uint64_t not_digit =
        ((w & high) ^ threes) | (((w + 0x0606060606060606ull) & high) ^ threes);
    const int count = not_digit ? std::countr_zero(not_digit) / 8 : 8;
    if (count == 0) {
        value = 0;
        return 0;
    }
    // The digits, moved to the top bytes so the bytes below read as leading zeros.
    uint64_t v = (w - threes) << (8 * (8 - count));
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
         (((v >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
        32;
    value = v;
    return count;
}

constexpr uint64_t kIntegerPowers[] = {1,      10,      100,      1000,     10000,
                                       100000, 1000000, 10000000, 100000000};

// `-?digits(.digits)?` with at most 15 digits, followed by whitespace, ',' or ';', with 17
// bytes readable from `p`; nullptr for anything else.
const char* ReadShortDecimal(const char* p, LexedNumber& out) {
    const bool negative = *p == '-';
    const char* s = p + negative;
    uint64_t digits;
    const int whole = LeadingDigits(s, digits);
    if (whole == 8) return nullptr;
    s += whole;
    const bool point = *s == '.';
    int fraction = 0;
    if (point) {
        uint64_t more;
        fraction = LeadingDigits(++s, more);
        if (fraction == 8) return nullptr;
        digits = digits * kIntegerPowers[fraction] + more;
        s += fraction;
    }
    if (whole + fraction == 0) return nullptr;
    if (!(static_cast<unsigned char>(*s) <= 0x20 || *s == ',' || *s == ';')) return nullptr;
    out.dword = !point && !negative && digits <= 0xFFFFFFFFu;
    out.value =
        !point && !negative ? static_cast<double>(digits) : Scaled(digits, -fraction, negative);
    return s;
}

// The same near the end of the text, a byte at a time.
const char* ReadPlainDecimal(const char* p, const char* end, LexedNumber& out) {
    const bool negative = *p == '-';
    const char* s = p + negative;
    const char* first = s;
    const char* limit = end - s > kExactDigits + 1 ? s + kExactDigits + 1 : end;
    uint64_t digits = 0;
    while (s < limit && IsDigit(*s))
        digits = digits * 10 + static_cast<uint64_t>(*s++ - '0');
    const bool point = s < limit && *s == '.';
    int fraction = 0;
    if (point) {
        const char* fraction_start = ++s;
        while (s < limit && IsDigit(*s))
            digits = digits * 10 + static_cast<uint64_t>(*s++ - '0');
        fraction = static_cast<int>(s - fraction_start);
    }
    const long count = (s - first) - point;
    if (count == 0 || count > kExactDigits) return nullptr;
    if (s < end && !(static_cast<unsigned char>(*s) <= 0x20 || *s == ',' || *s == ';'))
        return nullptr;
    out.dword = !point && !negative && digits <= 0xFFFFFFFFu;
    out.value =
        !point && !negative ? static_cast<double>(digits) : Scaled(digits, -fraction, negative);
    return s;
}

// What the general reader has seen of a number so far.
struct Decimal {
    bool negative = false;
    uint64_t digits = 0; // the first kExactDigits significant digits
    int significant =
        0; // digits kept (zeros before the first nonzero one in the integer part not counted)
    int exponent = 0;     // power of ten the digits are scaled by
    bool exact = true;    // no digit dropped
    bool integer = false; // digits alone, at most 18 of them, no '-'
    size_t int_digits = 0, fraction_digits = 0;
};

// Digits before the point; those beyond the exact ones only scale the value.
const char* ReadIntegerPart(const char* p, const char* end, Decimal& d) {
    const char* start = p;
    for (; p < end && IsDigit(*p); ++p) {
        if (d.significant < kExactDigits) {
            d.digits = d.digits * 10 + static_cast<uint64_t>(*p - '0');
            d.significant += d.digits != 0;
        } else {
            ++d.exponent;
            d.exact = false;
        }
    }
    d.int_digits = static_cast<size_t>(p - start);
    d.integer = !d.negative && d.int_digits > 0 && d.int_digits <= 18;
    return p;
}

// Digits after the point (which `p` is at).
const char* ReadFraction(const char* p, const char* end, Decimal& d) {
    d.integer = false;
    ++p;
    for (; p < end && IsDigit(*p); ++p, ++d.fraction_digits) {
        if (d.significant < kExactDigits) {
            d.digits = d.digits * 10 + static_cast<uint64_t>(*p - '0');
            ++d.significant;
            --d.exponent;
        } else {
            d.exact = false;
        }
    }
    return p;
}

// MSVC prints NaN and infinity as 1.#IND00, -1.#QNAN0, 1.#INF00; `p` is at the '#'. They are
// read as 0.
const char* SkipSpecial(const char* p, const char* end) {
    for (++p; p < end && (IsDigit(*p) || ((*p | 0x20) >= 'a' && (*p | 0x20) <= 'z'));)
        ++p;
    return p;
}

// `e` or `E`, an optional sign and digits; without digits the 'e' is not part of the number.
const char* ReadExponent(const char* p, const char* end, Decimal& d) {
    const char* e = p + 1;
    const bool negative = e < end && *e == '-';
    if (e < end && (*e == '-' || *e == '+')) ++e;
    if (e == end || !IsDigit(*e)) return p;
    d.integer = false;
    int written = 0;
    for (; e < end && IsDigit(*e); ++e)
        if (written < 1000) written = written * 10 + (*e - '0');
    d.exponent += negative ? -written : written;
    return e;
}

// A name character right after the number (other than a comment's start) makes it malformed.
bool RunsIntoName(char c) {
    return c != '#' && c != '/' && IsNameChar(static_cast<unsigned char>(c));
}

const char* ReadGeneralNumber(const char* start, const char* end, LexedNumber& out) {
    Decimal d;
    const char* p = start;
    if (*p == '-' || *p == '+') d.negative = *p++ == '-';
    p = ReadIntegerPart(p, end, d);
    if (p < end && *p == '.') {
        if (p + 1 < end && p[1] == '#') {
            out = LexedNumber{};
            return SkipSpecial(p + 1, end);
        }
        p = ReadFraction(p, end, d);
    }
    if (d.int_digits == 0 && d.fraction_digits == 0) d.exact = false; // no digits: refused below
    if (p < end && (*p == 'e' || *p == 'E')) p = ReadExponent(p, end, d);
    if (p < end && RunsIntoName(*p)) return nullptr;
    out.dword = d.integer && d.exact && d.digits <= 0xFFFFFFFFu;
    if (d.integer && d.exact) {
        out.value = static_cast<double>(d.digits);
    } else if (d.exact && d.exponent >= -22 && d.exponent <= 22) {
        out.value = Scaled(d.digits, d.exponent, d.negative);
    } else {
        const char* from = *start == '+' ? start + 1 : start;
        auto [stop, ec] = std::from_chars(from, p, out.value);
        if (ec != std::errc() || stop != p) return nullptr;
    }
    return p;
}

} // namespace

const char* ReadNumber(const char* p, const char* end, LexedNumber& out) {
    // Sign, 7 + 7 digits and a point leave the last byte read at p + 16.
    const char* after = end - p >= 17 ? ReadShortDecimal(p, out) : ReadPlainDecimal(p, end, out);
    if (after) return after;
    return ReadGeneralNumber(p, end, out);
}

} // namespace xfile
