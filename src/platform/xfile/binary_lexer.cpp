// Tokeniser for the binary form of .x files: 16-bit token ids, each with its payload checked
// against the bytes left before it is used.
#include "xfile/binary_lexer.h"

#include <cstring>

namespace xfile {
namespace {

enum : uint16_t {
    kName = 1,
    kString = 2,
    kInteger = 3,
    kGuid = 5,
    kIntegerList = 6,
    kFloatList = 7,
    kOBrace = 10,
    kCBrace = 11,
    kOParen = 12,
    kCParen = 13,
    kOBracket = 14,
    kCBracket = 15,
    kOAngle = 16,
    kCAngle = 17,
    kDot = 18,
    kComma = 19,
    kSemicolon = 20,
    kTemplate = 31,
    kFirstTypeKeyword = 40, // WORD
    kLastTypeKeyword = 52,  // ARRAY
};

} // namespace

bool BinaryLexer::ReadWord(uint16_t& v) {
    if (end_ - p_ < 2) return false;
    std::memcpy(&v, p_, 2);
    p_ += 2;
    return true;
}

bool BinaryLexer::ReadDword(uint32_t& v) {
    if (end_ - p_ < 4) return false;
    std::memcpy(&v, p_, 4);
    p_ += 4;
    return true;
}

void BinaryLexer::Next(Token& t, bool /*name_wanted*/) {
    t.offset = static_cast<size_t>(p_ - begin_);
    uint16_t id;
    // A lone trailing byte cannot hold a token: treat it as padding.
    if (!ReadWord(id)) {
        t.kind = Tok::End;
        return;
    }
    uint32_t count;
    switch (id) {
    case kName:
    case kString:
        if (!ReadDword(count)) return Fail(t, "truncated name or string");
        if (count > static_cast<size_t>(end_ - p_)) return Fail(t, "name or string past the end");
        t.kind = id == kName ? Tok::Name : Tok::String;
        t.text = std::string_view(reinterpret_cast<const char*>(p_), count);
        p_ += count;
        return;
    case kInteger:
        if (!ReadDword(count)) return Fail(t, "truncated integer");
        t.kind = Tok::Number;
        t.number = count;
        t.dword = true;
        return;
    case kGuid:
        if (end_ - p_ < 16) return Fail(t, "truncated GUID");
        std::memcpy(&t.guid.data1, p_, 4);
        std::memcpy(&t.guid.data2, p_ + 4, 2);
        std::memcpy(&t.guid.data3, p_ + 6, 2);
        std::memcpy(t.guid.data4, p_ + 8, 8);
        p_ += 16;
        t.kind = Tok::Guid;
        return;
    case kIntegerList:
    case kFloatList: {
        if (!ReadDword(count)) return Fail(t, "truncated list");
        const uint64_t width = id == kIntegerList ? 4 : static_cast<uint64_t>(float_bytes_);
        if (count * width > static_cast<uint64_t>(end_ - p_)) return Fail(t, "list past the end");
        t.kind = id == kIntegerList ? Tok::IntegerList : Tok::FloatList;
        t.count = count;
        t.data = p_;
        p_ += count * width;
        return;
    }
    case kOBrace:
        t.kind = Tok::OBrace;
        return;
    case kCBrace:
        t.kind = Tok::CBrace;
        return;
    case kOParen:
        t.kind = Tok::OParen;
        return;
    case kCParen:
        t.kind = Tok::CParen;
        return;
    case kOBracket:
        t.kind = Tok::OBracket;
        return;
    case kCBracket:
        t.kind = Tok::CBracket;
        return;
    case kOAngle:
        t.kind = Tok::OAngle;
        return;
    case kCAngle:
        t.kind = Tok::CAngle;
        return;
    case kDot:
        t.kind = Tok::Dot;
        return;
    case kComma:
        t.kind = Tok::Comma;
        return;
    case kSemicolon:
        t.kind = Tok::Semicolon;
        return;
    case kTemplate:
        t.kind = Tok::Template;
        return;
    default:
        if (id >= kFirstTypeKeyword && id <= kLastTypeKeyword) {
            t.kind = Tok::TypeKeyword;
            return;
        }
        p_ -= 2;
        return Fail(t, "unknown token");
    }
}

} // namespace xfile
