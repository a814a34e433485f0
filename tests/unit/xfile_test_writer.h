// Test helpers that write .x data: binary tokens and MSZIP compression (raw deflate per block,
// each block primed with the previous 32 KB as the reader expects).
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace xfile_test {

inline std::vector<uint8_t> Bytes(std::string_view s) {
    return {s.begin(), s.end()};
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Binary token stream, little-endian.
class BinaryWriter {
  public:
    explicit BinaryWriter(bool doubles = false) : doubles_(doubles) {}
    BinaryWriter& Token(uint16_t id) { return Put(id); }
    BinaryWriter& Name(std::string_view s) {
        Put(uint16_t{1}).Put(static_cast<uint32_t>(s.size()));
        out_.append(s);
        return *this;
    }
    BinaryWriter& String(std::string_view s, uint16_t terminator = 20) {
        Put(uint16_t{2}).Put(static_cast<uint32_t>(s.size()));
        out_.append(s);
        return Put(terminator);
    }
    BinaryWriter& Integer(uint32_t v) { return Put(uint16_t{3}).Put(v); }
    BinaryWriter& Integers(const std::vector<uint32_t>& v) {
        Put(uint16_t{6}).Put(static_cast<uint32_t>(v.size()));
        for (uint32_t x : v)
            Put(x);
        return *this;
    }
    BinaryWriter& Floats(const std::vector<double>& v) {
        Put(uint16_t{7}).Put(static_cast<uint32_t>(v.size()));
        for (double x : v) {
            if (doubles_) {
                Put(x);
            } else {
                Put(static_cast<float>(x));
            }
        }
        return *this;
    }
    BinaryWriter& Guid(uint32_t d1, uint16_t d2, uint16_t d3, const uint8_t (&d4)[8]) {
        Put(uint16_t{5}).Put(d1).Put(d2).Put(d3);
        out_.append(reinterpret_cast<const char*>(d4), 8);
        return *this;
    }
    BinaryWriter& Open() { return Put(uint16_t{10}); }
    BinaryWriter& Close() { return Put(uint16_t{11}); }
    BinaryWriter& Comma() { return Put(uint16_t{19}); }
    BinaryWriter& Semicolon() { return Put(uint16_t{20}); }
    BinaryWriter& Raw(std::string_view bytes) {
        out_.append(bytes);
        return *this;
    }
    const std::string& str() const { return out_; }

    template <class T> BinaryWriter& Put(T v) {
        char b[sizeof(T)];
        std::memcpy(b, &v, sizeof(T));
        out_.append(b, sizeof(T));
        return *this;
    }

  private:
    bool doubles_;
    std::string out_;
};

// MSZIP: WORD raw size, WORD packed size (with "CK"), "CK", raw deflate; blocks of
// `block_size` bytes, each compressed against the history of the ones before it.
inline std::string MszipBlocks(std::string_view payload, size_t block_size = 32768) {
    std::string out;
    for (size_t pos = 0; pos < payload.size(); pos += block_size) {
        const size_t n = std::min(block_size, payload.size() - pos);
        z_stream s{};
        deflateInit2(&s, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        if (pos > 0) {
            const size_t history = std::min<size_t>(pos, 32768);
            deflateSetDictionary(&s, reinterpret_cast<const Bytef*>(payload.data() + pos - history),
                                 static_cast<uInt>(history));
        }
        std::string packed(deflateBound(&s, n) + 16, '\0');
        s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(payload.data() + pos));
        s.avail_in = static_cast<uInt>(n);
        s.next_out = reinterpret_cast<Bytef*>(packed.data());
        s.avail_out = static_cast<uInt>(packed.size());
        deflate(&s, Z_FINISH);
        packed.resize(s.total_out);
        deflateEnd(&s);
        const uint16_t raw_size = static_cast<uint16_t>(n);
        const uint16_t packed_size = static_cast<uint16_t>(packed.size() + 2);
        out.append(reinterpret_cast<const char*>(&raw_size), 2);
        out.append(reinterpret_cast<const char*>(&packed_size), 2);
        out += "CK";
        out += packed;
    }
    return out;
}

// A whole compressed file: `header` ("xof 0303tzip0032" or "...bzip..."), the total size,
// the blocks.
inline std::string Compressed(std::string_view header, std::string_view payload,
                              size_t block_size = 32768) {
    std::string out(header);
    const uint32_t total = static_cast<uint32_t>(payload.size() + 16);
    out.append(reinterpret_cast<const char*>(&total), 4);
    out += MszipBlocks(payload, block_size);
    return out;
}

} // namespace xfile_test
