// Whole-file reads of files named by Windows (CP932) names, one implementation per system.
#pragma once

#include "xfile/large_buffer.h"

#include <cstddef>
#include <vector>

namespace d3dx9 {

enum class FileReadResult { Ok, NotFound, NotRegularFile, TooLarge, ReadError };

// Reads a regular file whole (never a directory, FIFO or device; its size known before reading,
// at most maxBytes).
FileReadResult ReadWholeFile(const char* cp932Name, std::vector<unsigned char>& bytes,
                             size_t maxBytes);
// The same into a buffer of the .x reader's large-buffer allocator (huge pages for big files).
FileReadResult ReadWholeFile(const char* cp932Name, xfile::LargeVector<unsigned char>& bytes,
                             size_t maxBytes);

} // namespace d3dx9
