// The .x grammar over either lexer: header checks, templates, data objects, references, and
// the entry point Parse().
#include "xfile/binary_lexer.h"
#include "xfile/document.h"
#include "xfile/layout.h"
#include "xfile/mszip.h"
#include "xfile/text_lexer.h"

#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <type_traits>
#include <unordered_map>

namespace xfile {
namespace {

struct GuidHash {
    size_t operator()(const Guid& g) const {
        uint64_t a = g.data1 | (uint64_t{g.data2} << 32) | (uint64_t{g.data3} << 48);
        uint64_t b;
        std::memcpy(&b, g.data4, 8);
        return std::hash<uint64_t>()(a * 0x9E3779B97F4A7C15ull ^ b);
    }
};

// Points each reference at the first object of that name (or GUID) that closed before it, so
// following references always leads to earlier, finished subtrees and never loops.
void ResolveReferences(std::vector<Node>& nodes, const std::string& chars) {
    std::unordered_map<std::string_view, uint32_t> by_name;
    std::unordered_map<Guid, uint32_t, GuidHash> by_guid;
    bool any = false;
    for (const Node& n : nodes)
        any = any || n.is_reference;
    if (!any) return;
    for (uint32_t i = 0; i < nodes.size(); ++i) {
        const Node& n = nodes[i];
        if (n.is_reference) continue;
        if (n.name.length) by_name.try_emplace({chars.data() + n.name.offset, n.name.length}, i);
        if (n.has_guid) by_guid.try_emplace(n.guid, i);
    }
    for (uint32_t i = 0; i < nodes.size(); ++i) {
        Node& r = nodes[i];
        if (!r.is_reference) continue;
        uint32_t target = kNoNode;
        if (r.name.length) {
            auto it = by_name.find({chars.data() + r.name.offset, r.name.length});
            if (it != by_name.end()) target = it->second;
        } else {
            auto it = by_guid.find(r.guid);
            if (it != by_guid.end()) target = it->second;
        }
        if (target != kNoNode && nodes[target].end <= i) r.target = target;
    }
}

} // namespace

template <class Lexer> class Parser {
  public:
    Parser(Lexer& lexer, Document& doc) : lex_(lexer), doc_(doc) {}

    bool Run();
    size_t fail_offset() const { return fail_offset_; }
    const char* fail_message() const { return fail_message_; }

  private:
    bool Fail(size_t offset, const char* message) {
        fail_offset_ = offset;
        fail_message_ = message;
        return false;
    }
    bool Next(Token& t, bool name_wanted = false) {
        lex_.Next(t, name_wanted);
        return t.kind != Tok::Error || Fail(t.offset, t.error);
    }
    StrRef Keep(std::string_view s) {
        StrRef ref{static_cast<uint32_t>(doc_.chars_.size()), static_cast<uint32_t>(s.size())};
        doc_.chars_.append(s);
        return ref;
    }
    bool IsDeclared(std::string_view name) const {
        for (const std::string& d : declared_)
            if (EqualsIgnoringCase(d, name)) return true;
        return false;
    }
    bool ParseTemplate();
    bool BeginObject(const Token& type);
    void EndObject();
    bool AddReference();
    bool AddValues(const Token& t);
    // An object's children, and its '}', come once its template is filled.
    bool ValuesComplete(const Token& t) {
        return open_.back().layout.complete() || Fail(t.offset, LayoutCursor::kShort);
    }

    // An object whose '}' is still to come.
    struct Open {
        uint32_t node;
        LayoutCursor layout;
    };

    Lexer& lex_;
    Document& doc_;
    std::vector<Open> open_;
    std::vector<std::string> declared_;
    // Where a '}' with nothing open stood: after the last object only more of them may follow.
    size_t stray_brace_ = kNoStrayBrace;
    static constexpr size_t kNoStrayBrace = ~size_t{0};
    bool need_separator_ = false;
    // An object of unknown type is parsed like any other, then dropped with all it holds.
    struct Skip {
        bool active = false;
        size_t depth = 0, nodes = 0, numbers = 0, strings = 0, chars = 0;
    } skip_;
    size_t fail_offset_ = 0;
    const char* fail_message_ = "";
};

template <class Lexer> bool Parser<Lexer>::Run() {
    // Room for the most numbers the data can hold, so the array never moves as it grows: a
    // move would hold it twice. The part never written is never made resident.
    doc_.numbers_.reserve(lex_.size() / Lexer::kLeastBytesPerNumber + 1);
    Token t;
    for (;;) {
        if (!Next(t)) return false;
        if (t.kind == Tok::End) {
            if (!open_.empty()) return Fail(t.offset, "end of data inside an object: '}' missing");
            ResolveReferences(doc_.nodes_, doc_.chars_);
            return true;
        }
        if (open_.empty()) {
            // Files that close one object too many are read as the platform's D3DX reads them:
            // as though the extra '}' were not there, when nothing else follows it.
            if (t.kind == Tok::CBrace) {
                if (stray_brace_ == kNoStrayBrace) stray_brace_ = t.offset;
                continue;
            }
            if (stray_brace_ != kNoStrayBrace)
                return Fail(stray_brace_, "'}' with nothing open, and more data after it");
            if (t.kind == Tok::Template ||
                (t.kind == Tok::Name && EqualsIgnoringCase(t.text, "template"))) {
                if (!ParseTemplate()) return false;
            } else if (t.kind == Tok::Name) {
                if (!BeginObject(t)) return false;
            } else {
                return Fail(t.offset, "a template or a data object expected");
            }
            continue;
        }
        switch (t.kind) {
        case Tok::Number:
        case Tok::IntegerList:
        case Tok::FloatList:
        case Tok::String:
            if (!AddValues(t)) return false;
            break;
        case Tok::Comma:
        case Tok::Semicolon:
            need_separator_ = false;
            break;
        case Tok::Guid: {
            const uint32_t index = open_.back().node;
            Node& node = doc_.nodes_[index];
            if (node.has_guid || node.numbers_count || node.strings_count ||
                doc_.nodes_.size() != index + 1u)
                return Fail(t.offset, "a GUID may only open an object's data");
            node.has_guid = true;
            node.guid = t.guid;
            break;
        }
        case Tok::OBrace:
            if (!ValuesComplete(t) || !AddReference()) return false;
            break;
        case Tok::Name:
            if (!ValuesComplete(t) || !BeginObject(t)) return false;
            break;
        case Tok::CBrace:
            if (!ValuesComplete(t)) return false;
            EndObject();
            break;
        default:
            return Fail(t.offset, "unexpected token in a data object");
        }
    }
}

template <class Lexer> bool Parser<Lexer>::ParseTemplate() {
    Token t;
    if (!Next(t, true)) return false;
    if (t.kind != Tok::Name) return Fail(t.offset, "template name expected");
    declared_.emplace_back(t.text);
    if (!Next(t)) return false;
    if (t.kind != Tok::OBrace) return Fail(t.offset, "'{' expected after the template name");
    // Members, array dimensions and restrictions are read but not kept: data objects carry
    // their values untyped, and the tree's users know the layouts they need.
    for (;;) {
        if (!Next(t)) return false;
        switch (t.kind) {
        case Tok::CBrace:
            return true;
        case Tok::End:
            return Fail(t.offset, "end of data inside a template");
        case Tok::OBrace:
            return Fail(t.offset, "'{' inside a template");
        case Tok::String:
            return Fail(t.offset, "string inside a template");
        default:
            break;
        }
    }
}

template <class Lexer> bool Parser<Lexer>::BeginObject(const Token& type) {
    const size_t type_offset = type.offset;
    if (open_.size() >= kMaxDepth) return Fail(type_offset, "objects nested too deeply");
    Node node;
    const bool known = FindStandardTemplate(type.text, &node.type) || IsDeclared(type.text);
    if (!known && !skip_.active) {
        skip_ = {true,
                 open_.size(),
                 doc_.nodes_.size(),
                 doc_.numbers_.size(),
                 doc_.strings_.size(),
                 doc_.chars_.size()};
    }
    node.type_name = Keep(type.text);
    Token t;
    if (!Next(t, true)) return false;
    if (t.kind == Tok::Name) {
        node.name = Keep(t.text);
        if (!Next(t)) return false;
    }
    if (t.kind != Tok::OBrace)
        return Fail(t.offset, "'{' expected after the object's type and name");
    node.numbers_begin = static_cast<uint32_t>(doc_.numbers_.size());
    node.strings_begin = static_cast<uint32_t>(doc_.strings_.size());
    // What a skipped object holds is not checked: it is dropped with it.
    open_.push_back({static_cast<uint32_t>(doc_.nodes_.size()),
                     LayoutCursor(skip_.active ? Template::Custom : node.type)});
    doc_.nodes_.push_back(node);
    need_separator_ = false;
    return true;
}

template <class Lexer> void Parser<Lexer>::EndObject() {
    const uint32_t index = open_.back().node;
    open_.pop_back();
    doc_.nodes_[index].end = static_cast<uint32_t>(doc_.nodes_.size());
    need_separator_ = false;
    if (skip_.active && open_.size() == skip_.depth) {
        doc_.nodes_.resize(skip_.nodes);
        doc_.numbers_.Truncate(skip_.numbers);
        doc_.strings_.resize(skip_.strings);
        doc_.chars_.resize(skip_.chars);
        skip_.active = false;
    }
}

template <class Lexer> bool Parser<Lexer>::AddReference() {
    Node ref;
    ref.is_reference = true;
    Token t;
    if (!Next(t, true)) return false;
    if (t.kind == Tok::Name) {
        ref.name = Keep(t.text);
        if (!Next(t)) return false;
    }
    if (t.kind == Tok::Guid) {
        ref.has_guid = true;
        ref.guid = t.guid;
        if (!Next(t)) return false;
    }
    if (t.kind != Tok::CBrace || (ref.name.length == 0 && !ref.has_guid))
        return Fail(t.offset, "a reference is '{ name }', '{ <GUID> }' or '{ name <GUID> }'");
    ref.numbers_begin = static_cast<uint32_t>(doc_.numbers_.size());
    ref.strings_begin = static_cast<uint32_t>(doc_.strings_.size());
    ref.end = static_cast<uint32_t>(doc_.nodes_.size() + 1);
    doc_.nodes_.push_back(ref);
    need_separator_ = false;
    return true;
}

template <class Lexer> bool Parser<Lexer>::AddValues(const Token& t) {
    if (Lexer::kSeparatorsRequired && need_separator_)
        return Fail(t.offset, "',' or ';' expected between values");
    // Values come before children; a skipped unknown child leaves no trace.
    if (doc_.nodes_.size() != open_.back().node + 1u)
        return Fail(t.offset, "values after a child object");
    Node& node = doc_.nodes_[open_.back().node];
    LayoutCursor& layout = open_.back().layout;
    auto& numbers = doc_.numbers_;
    if (t.kind == Tok::String) {
        if (!layout.TakeString()) return Fail(t.offset, layout.fault());
        doc_.strings_.push_back(Keep(t.text));
        ++node.strings_count;
        need_separator_ = true;
        return true;
    }
    if (t.kind == Tok::Number) {
        if (t.dword)
            numbers.PushInteger(static_cast<uint32_t>(t.number));
        else
            numbers.PushReal(static_cast<float>(t.number));
        ++node.numbers_count;
        need_separator_ = true;
        if (layout.TakeNumbers(numbers.View(numbers.size() - 1, 1)) == 0)
            return Fail(t.offset, layout.fault());
        // Arrays are long runs of numbers: the text lexer reads the rest of the run itself.
        if constexpr (std::is_same_v<Lexer, TextLexer>) {
            size_t fault = TextLexer::kNoFault;
            node.numbers_count +=
                static_cast<uint32_t>(lex_.ReadNumberRun(numbers, need_separator_, layout, fault));
            if (fault != TextLexer::kNoFault) return Fail(fault, layout.fault());
        }
        return true;
    }
    if constexpr (std::is_same_v<Lexer, BinaryLexer>) {
        const size_t first = numbers.size();
        uint32_t* out = numbers.Append(t.count, t.kind == Tok::IntegerList);
        const uint8_t* in = t.data;
        if (t.kind == Tok::IntegerList || lex_.float_bytes() == 4) {
            static_assert(std::endian::native == std::endian::little);
            std::memcpy(out, in, size_t{t.count} * 4);
        } else {
            for (uint32_t i = 0; i < t.count; ++i, in += 8) {
                double d;
                std::memcpy(&d, in, 8);
                const float f = static_cast<float>(d);
                std::memcpy(&out[i], &f, 4);
            }
        }
        node.numbers_count += t.count;
        const size_t fit = layout.TakeNumbers(numbers.View(first, t.count));
        if (fit < t.count) {
            // The list's values follow its WORD token and DWORD count: where the first that
            // does not fit stands.
            const size_t width = t.kind == Tok::IntegerList ? 4 : size_t(lex_.float_bytes());
            return Fail(t.offset + 6 + fit * width, layout.fault());
        }
    }
    return true;
}

namespace {

// 1-based line and column of `offset` in text whose first line starts with the 16-byte header.
void TextPosition(std::span<const uint8_t> payload, size_t offset, Error& e) {
    uint32_t line = 1;
    size_t line_start = 0;
    for (size_t i = 0; i < offset && i < payload.size(); ++i) {
        if (payload[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    }
    e.line = line;
    e.column = static_cast<uint32_t>(offset - line_start + 1 + (line == 1 ? 16 : 0));
}

Status HeaderFault(Status status, size_t offset, const char* message, Error& e) {
    e.status = status;
    e.offset = offset;
    e.line = 1;
    e.column = static_cast<uint32_t>(offset + 1);
    e.message = message;
    return status;
}

template <class Lexer>
Status RunParser(Lexer& lexer, Document& doc, std::span<const uint8_t> payload, bool text,
                 Error& e) {
    Parser<Lexer> parser(lexer, doc);
    if (parser.Run()) return Status::Ok;
    e.status = Status::ParseError;
    e.offset = 16 + parser.fail_offset();
    e.message = parser.fail_message();
    if (text) TextPosition(payload, parser.fail_offset(), e);
    return Status::ParseError;
}

// Compressed data parsed while a thread inflates them. What it reports is what inflating them
// whole and then parsing them would: a fault in the compressed data before any in what they hold.
Status ParseInflating(std::span<const uint8_t> packed, uint32_t size, bool text, int float_size,
                      Document& doc, Error& e) {
    LargeVector<uint8_t> inflated;
    MszipStream stream(packed, size, inflated);
    bool parsed;
    size_t fail_offset = 0;
    const char* fail_message = "";
    if (text) {
        TextLexer lexer(stream, size);
        Parser<TextLexer> parser(lexer, doc);
        parsed = parser.Run();
        fail_offset = parser.fail_offset();
        fail_message = parser.fail_message();
    } else {
        BinaryLexer lexer(stream, size, float_size);
        Parser<BinaryLexer> parser(lexer, doc);
        parsed = parser.Run();
        fail_offset = parser.fail_offset();
        fail_message = parser.fail_message();
    }
    const MszipResult r = stream.Finish();
    if (!r.ok) {
        e = Error{Status::ParseError, 20 + r.offset, 0, 0, r.message};
        return Status::ParseError;
    }
    if (parsed) return Status::Ok;
    e.status = Status::ParseError;
    e.offset = 16 + fail_offset;
    e.message = fail_message;
    if (text) {
        size_t line_start;
        stream.Position(fail_offset, e.line, line_start);
        e.column = static_cast<uint32_t>(fail_offset - line_start + 1 + (e.line == 1 ? 16 : 0));
    }
    return Status::ParseError;
}

} // namespace

// Friend of Document through this exact signature. `file`, when given, holds `bytes` and is
// emptied as soon as they are no longer needed.
Status ParseFile(std::span<const uint8_t> bytes, LargeVector<uint8_t>* file, Document& doc,
                 Error* error) {
    Error local;
    Error& e = error ? *error : local;
    e = Error{};
    doc.clear();
    Status status = Status::Ok;
    try {
        const auto field = [&](size_t at, const char* value) {
            return std::memcmp(bytes.data() + at, value, 4) == 0;
        };
        if (bytes.size() < 16 || !field(0, "xof "))
            return HeaderFault(Status::BadFileType, 0, "not an .x file: 'xof ' missing", e);
        if (!field(4, "0302") && !field(4, "0303"))
            return HeaderFault(Status::BadFileVersion, 4, "version other than 0302 or 0303", e);
        const bool text = field(8, "txt ") || field(8, "tzip");
        const bool compressed = field(8, "tzip") || field(8, "bzip");
        if (!text && !compressed && !field(8, "bin "))
            return HeaderFault(Status::BadFileType, 8, "format other than txt, bin, tzip, bzip", e);
        if (!field(12, "0032") && !field(12, "0064"))
            return HeaderFault(Status::BadFileFloatSize, 12, "float size other than 0032 or 0064",
                               e);
        if (bytes.size() > std::numeric_limits<uint32_t>::max())
            return HeaderFault(Status::OutOfMemory, 0, "file larger than 4 GB", e);
        doc.format_ = text ? Format::Text : Format::Binary;
        doc.float_size_ = field(12, "0064") ? 64 : 32;

        std::span<const uint8_t> payload = bytes.subspan(16);
        LargeVector<uint8_t> inflated;
        if (compressed) {
            uint32_t total = 0;
            if (payload.size() >= 4) std::memcpy(&total, payload.data(), 4);
            if (payload.size() < 4 || total < 16) {
                status = Status::ParseError;
                e = Error{status, 16, 0, 0, "compressed file without a valid size"};
            } else if (MszipStream::Suits(payload.subspan(4), total - 16)) {
                status =
                    ParseInflating(payload.subspan(4), total - 16, text, doc.float_size_, doc, e);
                if (file) LargeVector<uint8_t>().swap(*file);
                if (status != Status::Ok) doc.clear();
                return status;
            } else {
                MszipResult r = InflateMszip(payload.subspan(4), total - 16, inflated);
                if (!r.ok) {
                    status = Status::ParseError;
                    e = Error{status, 20 + r.offset, 0, 0, r.message};
                }
                payload = inflated;
                // The compressed bytes are not needed once inflated.
                if (file) LargeVector<uint8_t>().swap(*file);
            }
        }
        if (status == Status::Ok) {
            if (text) {
                const char* chars = reinterpret_cast<const char*>(payload.data());
                TextLexer lexer(chars, chars + payload.size());
                status = RunParser(lexer, doc, payload, true, e);
            } else {
                BinaryLexer lexer(payload.data(), payload.data() + payload.size(), doc.float_size_);
                status = RunParser(lexer, doc, payload, false, e);
            }
        }
    } catch (const std::bad_alloc&) {
        status = Status::OutOfMemory;
        e = Error{status, 0, 0, 0, "out of memory"};
    } catch (...) {
        status = Status::ParseError;
        e = Error{status, 0, 0, 0, "unexpected failure"};
    }
    if (file) LargeVector<uint8_t>().swap(*file);
    if (status != Status::Ok) doc.clear();
    return status;
}

// The public overloads below.
Status Parse(std::span<const uint8_t> bytes, Document& doc, Error* error) {
    return ParseFile(bytes, nullptr, doc, error);
}

Status Parse(LargeVector<uint8_t>& file, Document& doc, Error* error) {
    return ParseFile({file.data(), file.size()}, &file, doc, error);
}

} // namespace xfile
