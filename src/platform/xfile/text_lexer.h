// Tokeniser for the text form of .x files.
#pragma once

#include "xfile/token.h"

#include <cstddef>
#include <memory>

namespace xfile {

class LayoutCursor;
class MszipStream;
class RunHelper;

class TextLexer {
  public:
    // Text requires a `,` or `;` after each value.
    static constexpr bool kSeparatorsRequired = true;
    static constexpr size_t kLeastBytesPerNumber = 2; // "1;"

    TextLexer(const char* begin, const char* end);
    // Over text still being inflated: reads what is there, and waits at its end for more.
    TextLexer(MszipStream& stream, size_t size);
    ~TextLexer();

    // The next token. With `name_wanted`, a run of name characters is a Name even when it
    // starts with a digit (object names such as `1stBone`).
    void Next(Token& t, bool name_wanted = false);

    // After a number: reads the numbers and separators that follow straight into `out`, up to
    // the first thing that is neither; returns how many numbers it read. `need_separator` says
    // whether a ',' or ';' must come before the next number, before and after. A long run is
    // read in pieces by two threads, with the same numbers and the same end as read alone.
    // Each piece goes to `layout`, its object's template, while its text is still held: when
    // one of its numbers does not fit, the run ends there and `fault_offset` says where that
    // number stands (it is left alone otherwise).
    size_t ReadNumberRun(NumberStore& out, bool& need_separator, LayoutCursor& layout,
                         size_t& fault_offset);
    static constexpr size_t kNoFault = ~size_t{0};

    size_t size() const { return size_; }

  private:
    void Lex(Token& t, bool name_wanted);
    // Waits until more than the text from `from` on is there, or all of it.
    void Grow(const char* from);
    // Gives back the pages of an inflating text well before `at`.
    void ReleaseBefore(const char* at);
    void LexNumber(Token& t);
    // Whether the numbers of `out` from `first` on, read from the text at `from`, fit `layout`;
    // if not, where the first that does not stands.
    bool Fits(const NumberStore& out, size_t first, const char* from, LayoutCursor& layout,
              size_t& fault_offset) const;
    // The offset of the number `index` places after `from` in a run already read.
    size_t NumberOffset(const char* from, size_t index) const;
    void LexName(Token& t);
    void LexGuid(Token& t);
    void Fail(Token& t, const char* message) {
        t.kind = Tok::Error;
        t.error = message;
    }

    const char* begin_;
    const char* p_;
    const char* end_; // while inflating, the end of what is there so far
    size_t size_;
    MszipStream* stream_ = nullptr;
    bool complete_ = true;              // end_ is the text's end
    std::unique_ptr<RunHelper> helper_; // made at the first long run
    bool helper_refused_ = false;       // the system had no thread for it
};

} // namespace xfile
