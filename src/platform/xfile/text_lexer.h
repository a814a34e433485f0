// Tokeniser for the text form of .x files.
#pragma once

#include "xfile/token.h"

#include <cstddef>
#include <memory>

namespace xfile {

class RunHelper;

class TextLexer {
  public:
    // Text requires a `,` or `;` after each value.
    static constexpr bool kSeparatorsRequired = true;
    static constexpr size_t kLeastBytesPerNumber = 2; // "1;"

    TextLexer(const char* begin, const char* end);
    ~TextLexer();

    // The next token. With `name_wanted`, a run of name characters is a Name even when it
    // starts with a digit (object names such as `1stBone`).
    void Next(Token& t, bool name_wanted = false);

    // After a number: reads the numbers and separators that follow straight into `out`, up to
    // the first thing that is neither; returns how many numbers it read. `need_separator` says
    // whether a ',' or ';' must come before the next number, before and after. A long run is
    // read in pieces by two threads, with the same numbers and the same end as read alone.
    size_t ReadNumberRun(NumberStore& out, bool& need_separator);

    size_t size() const { return static_cast<size_t>(end_ - begin_); }

  private:
    void LexNumber(Token& t);
    void LexName(Token& t);
    void LexGuid(Token& t);
    void Fail(Token& t, const char* message) {
        t.kind = Tok::Error;
        t.error = message;
    }

    const char* begin_;
    const char* p_;
    const char* end_;
    std::unique_ptr<RunHelper> helper_; // made at the first long run
};

} // namespace xfile
