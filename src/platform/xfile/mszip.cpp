// MSZIP decoding over zlib's raw inflate, with each block's history carried into the next; on
// the caller's thread, or on a thread of its own ahead of a reader.
#include "xfile/mszip.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <system_error>

namespace xfile {
namespace {

constexpr size_t kBlockLimit = 32768;

// Real .x files deflate to a fraction of their size, text ones about 5:1; a file that claims to
// expand far more is a decompression bomb, refused before anything is inflated or allocated.
constexpr uint64_t kMaxExpansion = 64;

MszipResult Fail(size_t offset, const char* message) {
    return {false, offset, message};
}

// The blocks of `in`, one at a time, each inflated right after the output before it.
class BlockDecoder {
  public:
    explicit BlockDecoder(std::span<const uint8_t> in) : in_(in) {}
    ~BlockDecoder() {
        if (live_) inflateEnd(&z_);
    }

    bool Start(MszipResult& fail) {
        if (inflateInit2(&z_, -MAX_WBITS) != Z_OK) {
            fail = Fail(0, "zlib initialisation failed");
            return false;
        }
        live_ = true;
        return true;
    }

    // The next block's header, with `done` bytes of the `expected` ones inflated: its size.
    bool Header(size_t done, uint32_t expected, size_t& raw, MszipResult& fail) {
        if (in_.size() - pos_ < 6) return Failed(fail, pos_, "compressed data ends early");
        uint16_t raw_size, packed_size;
        std::memcpy(&raw_size, in_.data() + pos_, 2);
        std::memcpy(&packed_size, in_.data() + pos_ + 2, 2);
        block_ = pos_;
        pos_ += 4;
        if (packed_size < 2 || packed_size > in_.size() - pos_)
            return Failed(fail, block_, "compressed block size out of range");
        if (in_[pos_] != 'C' || in_[pos_ + 1] != 'K')
            return Failed(fail, pos_, "compressed block without 'CK'");
        if (raw_size == 0 || raw_size > kBlockLimit || raw_size > expected - done)
            return Failed(fail, block_, "compressed block size out of range");
        packed_ = packed_size;
        raw = raw_size;
        return true;
    }

    // The block whose header was read, into out[done, done + raw); out[0, done) is its history.
    bool Body(uint8_t* out, size_t done, size_t raw, MszipResult& fail) {
        if (!first_) {
            const size_t history = std::min(done, kBlockLimit);
            if (inflateReset(&z_) != Z_OK ||
                inflateSetDictionary(&z_, out + done - history, static_cast<uInt>(history)) != Z_OK)
                return Failed(fail, block_, "compressed block history rejected");
        }
        first_ = false;
        z_.next_in = const_cast<Bytef*>(in_.data() + pos_ + 2);
        z_.avail_in = static_cast<uInt>(packed_ - 2);
        z_.next_out = out + done;
        z_.avail_out = static_cast<uInt>(raw);
        const int rc = inflate(&z_, Z_FINISH);
        if (rc != Z_STREAM_END || z_.avail_out != 0)
            return Failed(fail, pos_, "corrupt compressed block");
        pos_ += packed_;
        return true;
    }

    size_t pos() const { return pos_; }

  private:
    static bool Failed(MszipResult& fail, size_t offset, const char* message) {
        fail = Fail(offset, message);
        return false;
    }

    std::span<const uint8_t> in_;
    z_stream z_{};
    bool live_ = false;
    bool first_ = true;
    size_t pos_ = 0, block_ = 0, packed_ = 0;
};

// Streams pay for their thread from a few megabytes on. Up to 16 times the compressed size, the
// output is reserved whole at once (text deflates about 5:1); beyond, the one-thread way grows it
// block by block instead of trusting the declared size.
constexpr size_t kLeastStreamBytes = size_t{4} << 20;
constexpr uint64_t kMaxReservedExpansion = 16;

} // namespace

MszipResult InflateMszip(std::span<const uint8_t> in, uint32_t expected_size,
                         LargeVector<uint8_t>& out) {
    out.clear();
    if (expected_size > (uint64_t{in.size()} + 1) * kMaxExpansion)
        return Fail(0, "compressed data claim to expand beyond any real .x file");
    // Never trust the declared size for the allocation: grow block by block instead.
    out.reserve(std::min<size_t>(expected_size, in.size() * 8 + kBlockLimit));
    BlockDecoder blocks(in);
    MszipResult fail;
    if (!blocks.Start(fail)) return fail;
    while (out.size() < expected_size) {
        size_t raw;
        if (!blocks.Header(out.size(), expected_size, raw, fail)) return fail;
        const size_t start = out.size();
        out.resize(start + raw);
        if (!blocks.Body(out.data(), start, raw, fail)) return fail;
    }
    return {true, blocks.pos(), ""};
}

bool MszipStream::Suits(std::span<const uint8_t> in, uint32_t expected_size) {
    return expected_size >= kLeastStreamBytes &&
           expected_size <= uint64_t{in.size()} * kMaxReservedExpansion;
}

MszipStream::MszipStream(std::span<const uint8_t> in, uint32_t expected_size,
                         LargeVector<uint8_t>& out)
    : in_(in), expected_size_(expected_size), out_(out) {
    // Sized whole, never written here: the pages are made resident as the thread fills them.
    out_.clear();
    out_.resize(expected_size);
    data_ = out_.data();
    const size_t pages = expected_size / kHugePage + 1;
    page_newlines_.assign(pages, 0);
    page_last_newline_.assign(pages, SIZE_MAX);
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        Run(); // no thread to be had: all inflated here, before the reader starts
    }
}

MszipStream::~MszipStream() {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        thread_.join();
    }
}

void MszipStream::Run() {
    BlockDecoder blocks(in_);
    MszipResult result{true, 0, ""};
    size_t done = 0;
    if (blocks.Start(result)) {
        while (done < expected_size_) {
            size_t raw;
            if (!blocks.Header(done, expected_size_, raw, result) ||
                !blocks.Body(data_, done, raw, result))
                break;
            // The block's line ends, counted while it is in the cache.
            for (size_t i = done; i < done + raw;) {
                const size_t page = i / kHugePage;
                const size_t stop = std::min(done + raw, (page + 1) * kHugePage);
                for (const uint8_t* p = data_ + i;
                     (p = static_cast<const uint8_t*>(std::memchr(p, '\n', data_ + stop - p)));
                     ++p) {
                    ++page_newlines_[page];
                    page_last_newline_[page] = static_cast<size_t>(p - data_);
                }
                i = stop;
            }
            done += raw;
            // The last block is told with the end, below: a reader never sees all the bytes
            // without knowing that they are all.
            if (done == expected_size_) break;
            std::lock_guard<std::mutex> lock(mutex_);
            inflated_ = done;
            if (stop_) break;
            grown_.notify_all();
        }
        if (result.ok) result.offset = blocks.pos();
    }
    std::lock_guard<std::mutex> lock(mutex_);
    result_ = result;
    inflated_ = done;
    done_ = true;
    grown_.notify_all();
}

size_t MszipStream::WaitFor(size_t bytes, bool& done) {
    std::unique_lock<std::mutex> lock(mutex_);
    grown_.wait(lock, [&] { return done_ || inflated_ >= bytes; });
    done = done_;
    return inflated_;
}

void MszipStream::Release(size_t offset) {
    const size_t end = offset / kHugePage * kHugePage;
    if (end <= released_) return;
    ReleaseLargeBlockPages(data_ + released_, end - released_);
    released_ = end;
}

MszipResult MszipStream::Finish() {
    if (thread_.joinable()) thread_.join();
    out_.resize(inflated_);
    return result_;
}

void MszipStream::Position(size_t offset, uint32_t& line, size_t& line_start) const {
    line = 1;
    line_start = 0;
    for (size_t page = 0; page < released_ / kHugePage; ++page) {
        line += page_newlines_[page];
        if (page_last_newline_[page] != SIZE_MAX) line_start = page_last_newline_[page] + 1;
    }
    for (size_t i = released_; i < offset && i < inflated_; ++i) {
        if (data_[i] == '\n') {
            ++line;
            line_start = i + 1;
        }
    }
}

} // namespace xfile
