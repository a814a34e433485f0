// Tokeniser for the text form of .x files: whitespace, `#` and `//` comments, punctuation,
// GUIDs, quoted strings, numbers (read by text_number) and names; and runs of numbers read
// without a token each.
#include "xfile/text_lexer.h"

#include "xfile/layout.h"
#include "xfile/mszip.h"
#include "xfile/text_number.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace xfile {
namespace {

// A number reads at most this far past its end (a short one's bytes read together).
constexpr ptrdiff_t kLookAhead = 17;
// Text given back lags this far behind the token being read.
constexpr size_t kReleaseMargin = size_t{64} << 10;

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
    if (complete_) return Lex(t, name_wanted);
    // A token is known once the bytes it was read from are there: up to 17 past its end (a
    // number's look ahead). The end of the text and any fault wait for the whole of it.
    const char* start = p_;
    for (;;) {
        Lex(t, name_wanted);
        if (complete_ || (t.kind != Tok::End && t.kind != Tok::Error && end_ - p_ >= kLookAhead))
            break;
        p_ = start;
        Grow(start);
    }
    ReleaseBefore(start);
}

void TextLexer::Grow(const char* from) {
    // At least twice what is there from `from` on, so that a long token is read again only a
    // few times.
    const size_t have = static_cast<size_t>(end_ - begin_);
    const size_t want = have + std::max<size_t>(1, static_cast<size_t>(end_ - from));
    bool done = false;
    const size_t now = stream_->WaitFor(want, done);
    end_ = begin_ + now;
    complete_ = done;
}

void TextLexer::ReleaseBefore(const char* at) {
    // Errors are reported at the token just read, after `at`.
    if (static_cast<size_t>(at - begin_) > stream_->released() + kHugePage + kReleaseMargin)
        stream_->Release(static_cast<size_t>(at - begin_) - kReleaseMargin);
}

void TextLexer::Lex(Token& t, bool name_wanted) {
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

namespace {

// Reads numbers and separators from `p`, up to the first thing that is neither or `end`; returns
// where it stopped. Where `end` directly follows a ',' or ';' the numbers read and the place and
// state where the run stops are the same as with the text's own end: every number before it is
// ended by that separator, whatever bytes lie past it.
const char* ReadRun(const char* p, const char* end, NumberStore& out, bool& need_separator,
                    size_t& count) {
    for (;;) {
        while (p < end && static_cast<unsigned char>(*p) <= 0x20)
            ++p;
        if (p == end) break;
        const char c = *p;
        if (c == ',' || c == ';') {
            need_separator = false;
            ++p;
            continue;
        }
        // Anything else (a missing separator, a comment, a brace, a malformed number) is left
        // to Next(), which reports it where it stands.
        if (need_separator || !StartsNumber(p, end)) break;
        LexedNumber n;
        const char* after = ReadNumber(p, end, n);
        if (!after) break;
        if (n.dword)
            out.PushInteger(static_cast<uint32_t>(n.value));
        else
            out.PushReal(static_cast<float>(n.value));
        p = after;
        need_separator = true;
        ++count;
    }
    return p;
}

// A run's first bytes are read by one thread alone; the rest of a long run in pieces of this
// size, taken in turn by this thread and the helper.
constexpr size_t kFirstPieceBytes = size_t{64} << 10;
constexpr size_t kPieceBytes = size_t{1} << 20;
// How far past a piece's nominal end its separator is looked for.
constexpr size_t kSeparatorWindow = 4096;

// Just past the first ',' or ';' in the window that starts `distance` bytes after `from`, or
// nullptr when there is none there or the text ends first.
const char* PastSeparator(const char* from, size_t distance, const char* end) {
    if (static_cast<size_t>(end - from) <= distance) return nullptr;
    const char* start = from + distance;
    const char* limit =
        static_cast<size_t>(end - start) > kSeparatorWindow ? start + kSeparatorWindow : end;
    for (const char* p = start; p < limit; ++p)
        if (*p == ',' || *p == ';') return p + 1;
    return nullptr;
}

// Just past the last ',' or ';' in the last kSeparatorWindow bytes of [from, end), or nullptr.
const char* LastSeparatorEnd(const char* from, const char* end) {
    const char* limit =
        static_cast<size_t>(end - from) > kSeparatorWindow ? end - kSeparatorWindow : from;
    for (const char* p = end; p > limit; --p)
        if (p[-1] == ',' || p[-1] == ';') return p;
    return nullptr;
}

} // namespace

// A second thread that reads one piece of a run at a time into a store of its own. Each piece
// starts just past a separator, where the run (if it gets there) has no separator pending.
class RunHelper {
  public:
    // A piece holds at most one number per two bytes.
    RunHelper() : thread_([this] { Serve(); }) {
        store_.reserve((kPieceBytes + kSeparatorWindow) / 2 + 1);
    }
    ~RunHelper() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    void Start(const char* begin, const char* end) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            begin_ = begin;
            end_ = end;
            busy_ = true;
        }
        wake_.notify_all();
    }

    // Waits for the piece; the numbers are in store() until the next Start().
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [this] { return !busy_; });
    }
    const NumberStore& store() const { return store_; }
    const char* stop() const { return stop_; }
    bool need_separator() const { return need_separator_; }
    size_t count() const { return count_; }

  private:
    void Serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return busy_ || quit_; });
            if (quit_) return;
            const char* begin = begin_;
            const char* end = end_;
            lock.unlock();
            store_.clear();
            bool need_separator = false;
            size_t count = 0;
            const char* stop = ReadRun(begin, end, store_, need_separator, count);
            lock.lock();
            stop_ = stop;
            need_separator_ = need_separator;
            count_ = count;
            busy_ = false;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    bool busy_ = false, quit_ = false;
    const char* begin_ = nullptr;
    const char* end_ = nullptr;
    // Written by the helper while busy_, read by the lexer once it is not.
    NumberStore store_;
    const char* stop_ = nullptr;
    bool need_separator_ = false;
    size_t count_ = 0;
    std::thread thread_; // last: starts once the members above exist
};

TextLexer::TextLexer(const char* begin, const char* end)
    : begin_(begin), p_(begin), end_(end), size_(static_cast<size_t>(end - begin)) {}

TextLexer::TextLexer(MszipStream& stream, size_t size)
    : begin_(reinterpret_cast<const char*>(stream.data())), p_(begin_), end_(begin_), size_(size),
      stream_(&stream), complete_(false) {}

TextLexer::~TextLexer() = default;

size_t TextLexer::ReadNumberRun(NumberStore& out, bool& need_separator, LayoutCursor& layout,
                                size_t& fault_offset) {
    size_t count = 0;
    const char* from = p_;
    size_t first = out.size();
    // Reads [p_, end) as a piece of the run: whether its numbers fit `layout` and the run goes
    // on past `end`.
    const auto piece = [&](const char* end) {
        from = p_;
        first = out.size();
        p_ = ReadRun(p_, end, out, need_separator, count);
        return Fits(out, first, from, layout, fault_offset) && p_ == end;
    };
    // While inflating: up to the last separator there, which ends every number before it.
    while (!complete_) {
        const char* safe = LastSeparatorEnd(p_, end_);
        if (!safe) {
            Grow(p_);
            continue;
        }
        if (!piece(safe)) return count;
        ReleaseBefore(p_);
        Grow(p_);
    }
    // The start alone: most runs are short, and those never wake the helper. Reaching a piece's
    // end means the run went on through the separator before it, with none pending.
    if (const char* first_end = PastSeparator(p_, kFirstPieceBytes, end_)) {
        if (!piece(first_end)) return count;
        for (;;) {
            const char* mine = PastSeparator(p_, kPieceBytes, end_);
            const char* theirs = mine ? PastSeparator(mine, kPieceBytes, end_) : nullptr;
            if (!theirs) break;
            if (!helper_ && !helper_refused_) {
                try {
                    helper_ = std::make_unique<RunHelper>();
                } catch (const std::system_error&) {
                    helper_refused_ = true; // no thread to be had: read alone
                }
            }
            if (!helper_) break;
            helper_->Start(mine, theirs);
            from = p_;
            first = out.size();
            p_ = ReadRun(p_, mine, out, need_separator, count);
            helper_->Wait();
            // The run ended in this thread's piece, or the template has no room for it.
            if (!Fits(out, first, from, layout, fault_offset) || p_ != mine) return count;
            first = out.size();
            out.AppendStore(helper_->store());
            count += helper_->count();
            p_ = helper_->stop();
            need_separator = helper_->need_separator();
            if (!Fits(out, first, mine, layout, fault_offset) || p_ != theirs) return count;
            if (stream_) ReleaseBefore(p_);
        }
    }
    piece(end_);
    return count;
}

bool TextLexer::Fits(const NumberStore& out, size_t first, const char* from, LayoutCursor& layout,
                     size_t& fault_offset) const {
    const size_t read = out.size() - first;
    const size_t fit = layout.TakeNumbers(out.View(first, read));
    if (fit == read) return true;
    fault_offset = NumberOffset(from, fit);
    return false;
}

size_t TextLexer::NumberOffset(const char* p, size_t index) const {
    for (;;) {
        while (p < end_ && static_cast<unsigned char>(*p) <= 0x20)
            ++p;
        if (p < end_ && (*p == ',' || *p == ';')) {
            ++p;
            continue;
        }
        if (index == 0 || p == end_) break;
        LexedNumber n;
        const char* after = ReadNumber(p, end_, n);
        if (!after) break;
        p = after;
        --index;
    }
    return static_cast<size_t>(p - begin_);
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
