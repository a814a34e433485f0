// Whole-file reads of files named by Windows (CP932) names.
#pragma once

#include "win32/file_names.h"
#include "xfile/large_buffer.h"

#include <cstddef>
#include <string>
#include <vector>

namespace d3dx9 {

// Windows file names are resolved as kernel32 resolves them.
using win32::ResolveFileName;
using win32::ResolveNewFileName;

enum class FileReadResult { Ok, NotFound, NotRegularFile, TooLarge, ReadError };

// Reads a regular file whole (never a directory, FIFO or device; its size known before reading,
// at most maxBytes).
FileReadResult ReadWholeFile(const char* cp932Name, std::vector<unsigned char>& bytes,
                             size_t maxBytes);
// The same into a buffer of the .x reader's large-buffer allocator (huge pages for big files).
FileReadResult ReadWholeFile(const char* cp932Name, xfile::LargeVector<unsigned char>& bytes,
                             size_t maxBytes);

} // namespace d3dx9
