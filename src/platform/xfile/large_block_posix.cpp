// Large blocks for the reader's buffers from mmap, 2 MB-aligned and advised for huge pages.
#include "xfile/large_buffer.h"

#include <sys/mman.h>

namespace xfile {

void* MapLargeBlock(size_t bytes) {
    // Map one huge page more than needed, then trim to a 2 MB-aligned range.
    void* mapped = mmap(nullptr, bytes + kHugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const size_t tail = start + bytes + kHugePage - (aligned + bytes);
    if (tail > 0) munmap(reinterpret_cast<void*>(aligned + bytes), tail);
    madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}

void UnmapLargeBlock(void* block, size_t bytes) {
    munmap(block, bytes);
}

void ReleaseLargeBlockPages(void* start, size_t bytes) {
    madvise(start, bytes, MADV_DONTNEED);
}

} // namespace xfile
