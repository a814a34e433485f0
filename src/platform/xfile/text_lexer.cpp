// Tokeniser for the text form of .x files: whitespace, `#` and `//` comments, punctuation,
// GUIDs, quoted strings, numbers (read by text_number) and names; and runs of numbers read
// without a token each.
#include "xfile/text_lexer.h"

#include "xfile/text_number.h"

#include <cstring>

namespace xfile {
namespace {

// A code page 932 lead byte: the byte after it belongs to the same character, whatever it is.
// Written here rather than IsDBCSLeadByte: the reader takes bytes only, without the Windows API.
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
    if (StartsNumber(p_, end_)) return LexNumber(t);
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
    LexedNumber n;
    const char* after = ReadNumber(p_, end_, n);
    if (!after) return Fail(t, "malformed number");
    t.kind = Tok::Number;
    t.number = n.value;
    t.dword = n.dword;
    p_ = after;
}

size_t TextLexer::ReadNumberRun(NumberStore& out, bool& need_separator) {
    size_t count = 0;
    for (;;) {
        while (p_ < end_ && static_cast<unsigned char>(*p_) <= 0x20)
            ++p_;
        if (p_ == end_) break;
        const char c = *p_;
        if (c == ',' || c == ';') {
            need_separator = false;
            ++p_;
            continue;
        }
        // Anything else (a missing separator, a comment, a brace, a malformed number) is left
        // to Next(), which reports it where it stands.
        if (need_separator || !StartsNumber(p_, end_)) break;
        LexedNumber n;
        const char* after = ReadNumber(p_, end_, n);
        if (!after) break;
        if (n.dword)
            out.PushInteger(static_cast<uint32_t>(n.value));
        else
            out.PushReal(static_cast<float>(n.value));
        p_ = after;
        need_separator = true;
        ++count;
    }
    return count;
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
