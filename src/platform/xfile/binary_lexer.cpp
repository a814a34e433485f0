// Tokeniser for the binary form of .x files: 16-bit token ids, each with its payload checked
// against the bytes left before it is used.
#include "xfile/binary_lexer.h"

#include "xfile/mszip.h"

#include <algorithm>
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

BinaryLexer::BinaryLexer(MszipStream& stream, size_t size, int float_size)
    : begin_(stream.data()), p_(begin_), end_(begin_), size_(size),
      float_bytes_(float_size == 64 ? 8 : 4), stream_(&stream), complete_(false) {}

void BinaryLexer::Next(Token& t, bool /*name_wanted*/) {
    if (complete_) return Lex(t);
    // A token reads only its own bytes, each checked against the end: one that fits is known.
    // The end of the data and any fault wait for the whole of it.
    const uint8_t* start = p_;
    for (;;) {
        Lex(t);
        if (complete_ || (t.kind != Tok::End && t.kind != Tok::Error)) break;
        p_ = start;
        bool done = false;
        end_ = begin_ + stream_->WaitFor(static_cast<size_t>(end_ - begin_) + 1, done);
        complete_ = done;
    }
    // Errors are reported at the token just read; the parser has copied the ones before.
    constexpr size_t kMargin = size_t{64} << 10;
    const size_t at = static_cast<size_t>(start - begin_);
    if (at > stream_->released() + kHugePage + kMargin) stream_->Release(at - kMargin);
}

void BinaryLexer::Lex(Token& t) {
    t.offset = static_cast<size_t>(p_ - begin_);
    uint16_t id;
    // A lone trailing byte cannot hold a token: treat it as padding.
    if (!ReadWord(id)) {
        t.kind = Tok::End;
        return;
    }
    // Zero bytes from here to the end are padding after the data, as a lone trailing byte is.
    if (id == 0 && std::all_of(p_, end_, [](uint8_t b) { return b == 0; })) {
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
