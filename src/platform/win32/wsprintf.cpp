// wsprintfA and wvsprintfA: Windows' own small formatter, not C's printf.
#include "cp932.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace {

constexpr int kBufferSize = 1024; // the documented output limit, zero included

enum class Conversion { Char, WideChar, String, WideString, Signed, Unsigned, Hex, Unknown };

struct Field {
    bool leftAlign = false;
    bool hexPrefix = false;
    bool zeroPad = false;
    bool upperHex = false;
    bool isShort = false;
    bool isLong = false;
    bool isWide = false;
    bool is64 = false;
    bool isPointerSized = false;
    int width = 0;
    int precision = 0;
    Conversion type = Conversion::Unknown;
};

// Reads one field after its '%'. An unknown type letter is not consumed: it is printed as text.
const char* ParseField(const char* p, Field& f) {
    if (*p == '-') f.leftAlign = true, ++p;
    if (*p == '#') f.hexPrefix = true, ++p;
    if (*p == '0') f.zeroPad = true, ++p;
    for (; *p >= '0' && *p <= '9'; ++p)
        f.width = f.width * 10 + (*p - '0');
    if (*p == '.')
        for (++p; *p >= '0' && *p <= '9'; ++p)
            f.precision = f.precision * 10 + (*p - '0');
    if (*p == 'l')
        f.isLong = true, ++p;
    else if (*p == 'h')
        f.isShort = true, ++p;
    else if (*p == 'w')
        f.isWide = true, ++p;
    else if (*p == 'I') {
        if (p[1] == '6' && p[2] == '4')
            f.is64 = true, p += 3;
        else if (p[1] == '3' && p[2] == '2')
            p += 3;
        else
            f.isPointerSized = true, ++p;
    }
    switch (*p) {
    case 'c':
        f.type = (f.isLong || f.isWide) ? Conversion::WideChar : Conversion::Char;
        break;
    case 'C':
        f.type = f.isShort ? Conversion::Char : Conversion::WideChar;
        break;
    case 's':
        f.type = (f.isLong || f.isWide) ? Conversion::WideString : Conversion::String;
        break;
    case 'S':
        f.type = f.isShort ? Conversion::String : Conversion::WideString;
        break;
    case 'd':
    case 'i':
        f.type = Conversion::Signed;
        break;
    case 'u':
        f.type = Conversion::Unsigned;
        break;
    case 'p':
        f.width = 2 * sizeof(void*);
        f.zeroPad = f.isPointerSized = f.upperHex = true;
        f.type = Conversion::Hex;
        break;
    case 'X':
        f.upperHex = true;
        [[fallthrough]];
    case 'x':
        f.type = Conversion::Hex;
        break;
    default:
        return p; // unknown (or the end): leave the letter to be copied
    }
    return p + 1;
}

// Integers are read as Windows passes them: 32 bits unless I64 or the pointer-sized 'I'.
std::string FormatNumber(const Field& f, va_list& args) {
    uint64_t magnitude;
    bool negative = false;
    if (f.is64 || f.isPointerSized) {
        int64_t v = f.is64 ? va_arg(args, long long) : static_cast<int64_t>(va_arg(args, intptr_t));
        negative = f.type == Conversion::Signed && v < 0;
        magnitude = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    } else {
        int v = va_arg(args, int);
        if (f.isShort) v = f.type == Conversion::Signed ? int(int16_t(v)) : int(uint16_t(v));
        negative = f.type == Conversion::Signed && v < 0;
        magnitude = negative ? 0 - static_cast<uint64_t>(int64_t(v)) : uint64_t(uint32_t(v));
    }
    const char* digits = f.upperHex ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned base = f.type == Conversion::Hex ? 16 : 10;
    std::string reversed;
    do {
        reversed += digits[magnitude % base];
        magnitude /= base;
    } while (magnitude);
    return (negative ? "-" : "") + std::string(reversed.rbegin(), reversed.rend());
}

struct Output {
    char* buffer;
    int length = 0;
    bool Full() const { return length >= kBufferSize - 1; }
    void Put(char c) {
        if (!Full()) buffer[length++] = c;
    }
    void Put(std::string_view s) {
        for (char c : s)
            Put(c);
    }
    void Repeat(char c, int count) {
        for (int i = 0; i < count; ++i)
            Put(c);
    }
};

// Text conversions: the field width pads with spaces; precision limits a string's length.
void WriteText(Output& out, Field& f, std::string_view text) {
    int len = static_cast<int>(text.size());
    if (f.precision > 0 && len > f.precision) len = f.precision;
    if (!f.leftAlign) out.Repeat(' ', f.width - len);
    out.Put(text.substr(0, len));
    if (f.leftAlign) out.Repeat(' ', f.width - len);
}

// Numbers: precision is the minimum count of characters (sign included), '0' widens it to the
// width; the sign comes before the zeros, the "0x" prefix before both.
void WriteNumber(Output& out, const Field& f, const std::string& number) {
    int len = static_cast<int>(number.size());
    int precision = f.precision > len ? f.precision : len;
    if (f.zeroPad && !f.leftAlign && f.width > precision) precision = f.width;
    if (!f.leftAlign) out.Repeat(' ', f.width - precision);
    if (f.hexPrefix && f.type == Conversion::Hex) out.Put(f.upperHex ? "0X" : "0x");
    bool negative = number[0] == '-';
    if (negative) out.Put('-');
    out.Repeat('0', precision - len);
    out.Put(std::string_view(number).substr(negative ? 1 : 0));
    if (f.leftAlign) out.Repeat(' ', f.width - precision);
}

} // namespace

int WINAPI wvsprintfA(LPSTR buffer, LPCSTR format, va_list arguments) {
    if (!buffer || !format) return -1;
    va_list args;
    va_copy(args, arguments);
    Output out{buffer};
    const char* p = format;
    while (*p && !out.Full()) {
        if (*p != '%') {
            out.Put(*p++);
            continue;
        }
        if (*++p == '%') {
            out.Put(*p++);
            continue;
        }
        Field f;
        p = ParseField(p, f);
        if (f.width > kBufferSize - 1) f.width = kBufferSize - 1;
        switch (f.type) {
        case Conversion::Char: {
            char c = static_cast<char>(va_arg(args, int));
            f.precision = 0;
            WriteText(out, f, std::string_view(&c, 1));
            break;
        }
        case Conversion::WideChar: {
            char16_t c = static_cast<char16_t>(va_arg(args, int));
            f.precision = 0;
            WriteText(out, f, win32::Utf16ToCp932(std::u16string_view(&c, 1)));
            break;
        }
        case Conversion::String: {
            const char* s = va_arg(args, const char*);
            WriteText(out, f, s ? s : "(null)");
            break;
        }
        case Conversion::WideString: {
            const char16_t* s = va_arg(args, const char16_t*);
            WriteText(out, f, s ? win32::Utf16ToCp932(s) : std::string("(null)"));
            break;
        }
        case Conversion::Signed:
        case Conversion::Unsigned:
        case Conversion::Hex:
            WriteNumber(out, f, FormatNumber(f, args));
            break;
        case Conversion::Unknown:
            if (!f.leftAlign) out.Repeat(' ', f.width - f.precision);
            break;
        }
    }
    va_end(args);
    buffer[out.length] = '\0';
    return out.Full() ? kBufferSize : out.length; // full (1023 characters) reports 1024, cut or not
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
    va_list args;
    va_start(args, format);
    int written = wvsprintfA(buffer, format, args);
    va_end(args);
    return written;
}
