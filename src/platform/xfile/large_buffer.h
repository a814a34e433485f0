// An allocator for the reader's few large arrays (a file's bytes, a document's numbers): blocks
// of 2 MB and more are mapped on their own, 2 MB-aligned, and advised for transparent huge pages,
// so filling tens of megabytes costs a few hundred page faults instead of tens of thousands.
// Smaller blocks come from operator new as usual. Growing leaves the new elements uninitialised
// (each user writes what it grows for): a file's bytes or a list's numbers are written once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace xfile {

inline constexpr size_t kHugePage = size_t{2} << 20;

// A block of whole huge pages from the system, huge-page aligned where the system allows;
// null when there is no memory. One implementation per system.
void* MapLargeBlock(size_t bytes);
void UnmapLargeBlock(void* block, size_t bytes);
// Gives the whole pages of [start, start + bytes), inside a block from MapLargeBlock, back to the
// system while the block stays mapped; they are never read again.
void ReleaseLargeBlockPages(void* start, size_t bytes);

template <class T> struct LargeBufferAllocator {
    using value_type = T;

    LargeBufferAllocator() = default;
    template <class U> LargeBufferAllocator(const LargeBufferAllocator<U>&) {}

    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        const size_t bytes = n * sizeof(T);
        if (bytes < kHugePage) return static_cast<T*>(::operator new(bytes));
        void* block = MapLargeBlock(Rounded(bytes));
        if (!block) throw std::bad_alloc();
        return static_cast<T*>(block);
    }

    void deallocate(T* p, size_t n) {
        const size_t bytes = n * sizeof(T);
        if (bytes < kHugePage) {
            ::operator delete(p);
        } else {
            UnmapLargeBlock(p, Rounded(bytes));
        }
    }

    template <class U> void construct(U* p) noexcept { ::new (static_cast<void*>(p)) U; }
    template <class U, class... Args> void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <class U> bool operator==(const LargeBufferAllocator<U>&) const { return true; }

  private:
    static size_t Rounded(size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }
};

template <class T> using LargeVector = std::vector<T, LargeBufferAllocator<T>>;

} // namespace xfile
