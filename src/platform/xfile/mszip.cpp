// MSZIP decoding over zlib's raw inflate, with each block's history carried into the next.
#include "xfile/mszip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace xfile {
namespace {

constexpr size_t kBlockLimit = 32768;

// Real .x files deflate to a fraction of their size, text ones about 5:1; a file that claims to
// expand far more is a decompression bomb, refused before anything is inflated or allocated.
constexpr uint64_t kMaxExpansion = 64;

struct Inflater {
    z_stream s{};
    bool live = false;
    ~Inflater() {
        if (live) inflateEnd(&s);
    }
};

MszipResult Fail(size_t offset, const char* message) {
    return {false, offset, message};
}

} // namespace

MszipResult InflateMszip(std::span<const uint8_t> in, uint32_t expected_size,
                         LargeVector<uint8_t>& out) {
    out.clear();
    if (expected_size > (uint64_t{in.size()} + 1) * kMaxExpansion)
        return Fail(0, "compressed data claim to expand beyond any real .x file");
    // Never trust the declared size for the allocation: grow block by block instead.
    out.reserve(std::min<size_t>(expected_size, in.size() * 8 + kBlockLimit));
    Inflater z;
    if (inflateInit2(&z.s, -MAX_WBITS) != Z_OK) return Fail(0, "zlib initialisation failed");
    z.live = true;

    size_t pos = 0;
    bool first = true;
    while (out.size() < expected_size) {
        if (in.size() - pos < 6) return Fail(pos, "compressed data ends early");
        uint16_t raw_size, packed_size;
        std::memcpy(&raw_size, in.data() + pos, 2);
        std::memcpy(&packed_size, in.data() + pos + 2, 2);
        const size_t block = pos;
        pos += 4;
        if (packed_size < 2 || packed_size > in.size() - pos)
            return Fail(block, "compressed block size out of range");
        if (in[pos] != 'C' || in[pos + 1] != 'K') return Fail(pos, "compressed block without 'CK'");
        if (raw_size == 0 || raw_size > kBlockLimit || raw_size > expected_size - out.size())
            return Fail(block, "compressed block size out of range");

        if (!first) {
            const size_t history = std::min(out.size(), kBlockLimit);
            if (inflateReset(&z.s) != Z_OK ||
                inflateSetDictionary(&z.s, out.data() + out.size() - history,
                                     static_cast<uInt>(history)) != Z_OK)
                return Fail(block, "compressed block history rejected");
        }
        first = false;

        const size_t start = out.size();
        out.resize(start + raw_size);
        z.s.next_in = const_cast<Bytef*>(in.data() + pos + 2);
        z.s.avail_in = packed_size - 2u;
        z.s.next_out = out.data() + start;
        z.s.avail_out = raw_size;
        int rc = inflate(&z.s, Z_FINISH);
        if (rc != Z_STREAM_END || z.s.avail_out != 0) return Fail(pos, "corrupt compressed block");
        pos += packed_size;
    }
    return {true, pos, ""};
}

} // namespace xfile
