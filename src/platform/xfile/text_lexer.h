// Tokeniser for the text form of .x files.
#pragma once

#include "xfile/token.h"

#include <cstddef>

namespace xfile {

class TextLexer {
  public:
    // Text requires a `,` or `;` after each value.
    static constexpr bool kSeparatorsRequired = true;
    static constexpr size_t kLeastBytesPerNumber = 2; // "1;"

    TextLexer(const char* begin, const char* end) : begin_(begin), p_(begin), end_(end) {}

    // The next token. With `name_wanted`, a run of name characters is a Name even when it
    // starts with a digit (object names such as `1stBone`).
    void Next(Token& t, bool name_wanted = false);

    // After a number: reads the numbers and separators that follow straight into `out`, up to
    // the first thing that is neither; returns how many numbers it read. `need_separator` says
    // whether a ',' or ';' must come before the next number, before and after.
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
};

} // namespace xfile
