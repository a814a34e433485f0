// Tokeniser for the binary form of .x files.
#pragma once

#include "xfile/token.h"

#include <cstddef>

namespace xfile {

class MszipStream;

class BinaryLexer {
  public:
    // Binary lists carry no separators; single values may have them or not.
    static constexpr bool kSeparatorsRequired = false;
    static constexpr size_t kLeastBytesPerNumber = 4; // one DWORD or float of a list

    BinaryLexer(const uint8_t* begin, const uint8_t* end, int float_size)
        : begin_(begin), p_(begin), end_(end), size_(static_cast<size_t>(end - begin)),
          float_bytes_(float_size == 64 ? 8 : 4) {}
    // Over data still being inflated: reads what is there, and waits at its end for more.
    BinaryLexer(MszipStream& stream, size_t size, int float_size);

    void Next(Token& t, bool name_wanted = false);
    int float_bytes() const { return float_bytes_; }
    size_t size() const { return size_; }

  private:
    void Lex(Token& t);
    bool ReadWord(uint16_t& v);
    bool ReadDword(uint32_t& v);
    void Fail(Token& t, const char* message) {
        t.kind = Tok::Error;
        t.error = message;
    }

    const uint8_t* begin_;
    const uint8_t* p_;
    const uint8_t* end_; // while inflating, the end of what is there so far
    size_t size_;
    int float_bytes_;
    MszipStream* stream_ = nullptr;
    bool complete_ = true; // end_ is the data's end
};

} // namespace xfile
