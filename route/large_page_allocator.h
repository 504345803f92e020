// An allocator for arrays that grow to many megabytes and are then read at random.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>

// Blocks larger than kLargePage are aligned to it and offered to the kernel for large
// pages: a sweep that fills tens of megabytes then takes a few dozen page faults instead
// of thousands, which cost more than the sweep's own work on some machines. Smaller
// blocks come from malloc as usual, so that small searches touch no more memory than
// before. Throws std::bad_alloc when memory runs out.
template <class T>
class TLargePageAllocator {
public:
    using value_type = T;
    static constexpr size_t kLargePage = size_t{2} << 20;

    TLargePageAllocator() = default;
    template <class U>
    TLargePageAllocator(const TLargePageAllocator<U>&) {}

    T* allocate(size_t count) {
        if (count > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        const size_t bytes = count * sizeof(T);
        void* block = nullptr;
        if (bytes <= kLargePage) {
            block = std::malloc(bytes);
        } else {
            const size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
            block = std::aligned_alloc(kLargePage, rounded);
            if (block != nullptr)
                madvise(block, rounded, MADV_HUGEPAGE);  // advice only: failure changes nothing
        }
        if (block == nullptr)
            throw std::bad_alloc();
        return static_cast<T*>(block);
    }
    void deallocate(T* block, size_t) { std::free(block); }

    template <class U>
    bool operator==(const TLargePageAllocator<U>&) const {
        return true;
    }
};
