// The tokens the text and binary lexers hand to the .x parser.
#pragma once

#include "xfile/document.h"

#include <cstdint>
#include <string_view>

namespace xfile {

enum class Tok : uint8_t {
    End,
    Error, // the lexer's message is in Token::error
    Name,
    String,
    Number,      // one number (text, or a binary INTEGER)
    IntegerList, // binary: `count` little-endian DWORDs at `data`
    FloatList,   // binary: `count` floats (4 or 8 bytes each) at `data`
    Guid,
    OBrace,
    CBrace,
    OBracket,
    CBracket,
    OParen,
    CParen,
    OAngle,
    CAngle,
    Dot,
    Comma,
    Semicolon,
    Template,    // binary TEMPLATE token (in text, the name "template")
    TypeKeyword, // binary WORD, DWORD, FLOAT, ... ARRAY tokens
};

struct Token {
    Tok kind = Tok::End;
    size_t offset = 0; // where the token starts in the payload
    std::string_view text;
    double number = 0;
    bool dword = false; // Number: digits alone, from 0 to 2^32-1, or a binary INTEGER
    const uint8_t* data = nullptr;
    uint32_t count = 0;
    xfile::Guid guid;
    const char* error = "";
};

// ASCII case-insensitive comparison: template names and keywords match in any case.
inline bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

} // namespace xfile
