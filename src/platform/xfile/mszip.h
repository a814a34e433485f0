// MSZIP, the compression of `tzip` and `bzip` .x files.
#pragma once

#include <cstddef>
#include <cstdint>
#include "xfile/large_buffer.h"

#include <span>

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

} // namespace xfile
