// A growing array of 32-bit entries for tables that reach tens of megabytes.
#pragma once

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

// The sweep's layers and its set of states live in pages of their own and grow by moving
// those pages (mremap), never by copying: growing touches no page twice and never holds
// two blocks at once, so a sweep of millions of states needs about the memory it fills,
// and the kernel clears each page once (clearing new pages was two fifths of the slowest
// positions' time while arrays grew by copying). Untouched pages cost nothing. Large
// pages are not asked for: they saved 3 % of the slowest positions' time and cost up to
// 2 MB a table in pages half filled (a peak of 33 MB against 29). Throws std::bad_alloc
// when memory runs out.
class TStateArray {
public:
    TStateArray() = default;
    ~TStateArray() { munmap(data_, capacity_ * sizeof(uint32_t)); }  // nothing mapped: a harmless error
    TStateArray(const TStateArray&) = delete;
    TStateArray& operator=(const TStateArray&) = delete;

    size_t size() const { return size_; }
    uint32_t* data() { return data_; }
    uint32_t& operator[](size_t i) { return data_[i]; }
    uint32_t operator[](size_t i) const { return data_[i]; }
    void push_back(uint32_t value) {
        if (size_ == ready_)
            Prepare();
        data_[size_++] = value;
    }
    // New entries are 0.
    void resize(size_t count) {
        reserve(count);
        if (count > size_)
            std::memset(data_ + size_, 0, (count - size_) * sizeof(uint32_t));
        size_ = count;
        ready_ = std::max(ready_, count);
    }
    void reserve(size_t count) {
        if (count <= capacity_)
            return;
        if (count > SIZE_MAX / (2 * sizeof(uint32_t)))
            throw std::bad_alloc();
        const size_t bytes = std::max(count, capacity_ + (size_t{1} << 14)) * sizeof(uint32_t);
        void* block = data_ == nullptr
                          ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                          : mremap(data_, capacity_ * sizeof(uint32_t), bytes, MREMAP_MAYMOVE);
        if (block == MAP_FAILED)
            throw std::bad_alloc();
        data_ = static_cast<uint32_t*>(block);
        capacity_ = bytes / sizeof(uint32_t);
    }

private:
    // Entries past the end whose pages are mapped already: the array maps the next
    // kReadyAhead entries' pages in one call before it writes there, since a fault per
    // page cost the slowest positions a tenth of their time.
    static constexpr size_t kReadyAhead = size_t{1} << 16;
    static constexpr size_t kPageEntries = 4096 / sizeof(uint32_t);
    void Prepare() {
        reserve(size_ == capacity_ ? 2 * capacity_ + 1 : 0);
        const size_t end = std::min(capacity_, ready_ + kReadyAhead);
        // From the page that holds entry ready_. Without the advice (kernels before 5.14)
        // the pages are mapped as they are written.
        const size_t first = ready_ & ~(kPageEntries - 1);
        madvise(data_ + first, (end - first) * sizeof(uint32_t), MADV_POPULATE_WRITE);
        ready_ = end;
    }

    uint32_t* data_ = nullptr;
    size_t ready_ = 0;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
