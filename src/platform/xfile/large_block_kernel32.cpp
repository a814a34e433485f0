// Large blocks for the reader's buffers from VirtualAlloc: committed pages straight from the
// system (large pages need a privilege a plain user lacks).
#include "xfile/large_buffer.h"

#include <windows.h>

namespace xfile {

void* MapLargeBlock(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void UnmapLargeBlock(void* block, size_t) {
    VirtualFree(block, 0, MEM_RELEASE);
}

void ReleaseLargeBlockPages(void* start, size_t bytes) {
    VirtualFree(start, bytes, MEM_DECOMMIT);
}

} // namespace xfile
