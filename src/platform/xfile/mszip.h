// MSZIP, the compression of `tzip` and `bzip` .x files.
#pragma once

#include "xfile/large_buffer.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace xfile {

struct MszipResult {
    bool ok = false;
    size_t offset = 0; // where in `in` decoding failed
    const char* message = "";
};

// Inflates the MSZIP blocks in `in` (each: WORD uncompressed size, WORD compressed size, "CK",
// raw deflate data) into `out`. The 32 KB history carries from block to block. Fails when the
// output would exceed `expected_size`, or falls short of it when the blocks run out, and at once
// when `expected_size` is more than 64 times the size of `in` (no real .x file deflates that well).
MszipResult InflateMszip(std::span<const uint8_t> in, uint32_t expected_size,
                         LargeVector<uint8_t>& out);

// The same on a thread of its own, into `out` sized for `expected_size` beforehand so that it
// never moves, while its reader reads what is already there. It tells where each line of the
// inflated text starts even after the reader has given back the pages it has read.
class MszipStream {
  public:
    // Whether a stream is worth its thread, and its whole output may be reserved at once.
    static bool Suits(std::span<const uint8_t> in, uint32_t expected_size);

    MszipStream(std::span<const uint8_t> in, uint32_t expected_size, LargeVector<uint8_t>& out);
    ~MszipStream(); // stops inflating and waits for the thread
    MszipStream(const MszipStream&) = delete;
    MszipStream& operator=(const MszipStream&) = delete;

    const uint8_t* data() const { return data_; }
    // Waits until at least `bytes` are inflated or no more will be; returns how many are, and
    // whether that is all (`done`: the end, or a failure Finish() reports).
    size_t WaitFor(size_t bytes, bool& done);
    // The reader is done with the bytes before `offset`: their whole huge pages go back to the
    // system. The inflater never reads that far back (its history is the last 32 KB).
    void Release(size_t offset);
    size_t released() const { return released_; }
    // Waits for the thread; the result of the whole, and `out` cut to what was inflated.
    MszipResult Finish();
    // Line and 0-based offset of its start for `offset` (>= released()), lines counted from 1.
    // Valid after Finish().
    void Position(size_t offset, uint32_t& line, size_t& line_start) const;

  private:
    void Run();

    std::span<const uint8_t> in_;
    uint32_t expected_size_;
    LargeVector<uint8_t>& out_;
    uint8_t* data_;
    size_t released_ = 0;
    // Per huge page of the output: its '\n' bytes and where its last one is (SIZE_MAX: none).
    std::vector<uint32_t> page_newlines_;
    std::vector<size_t> page_last_newline_;

    std::mutex mutex_;
    std::condition_variable grown_;
    size_t inflated_ = 0; // guarded by mutex_
    bool done_ = false;   // guarded by mutex_
    bool stop_ = false;   // guarded by mutex_
    MszipResult result_;  // written by the thread before done_
    std::thread thread_;
};

} // namespace xfile
