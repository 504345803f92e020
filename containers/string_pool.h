// Slabs that a line-file load carves its strings from: each TString object with its text
// right behind it, many to a slab, so that a short line costs one object and its bytes
// instead of two heap blocks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kest::detail {

// Hands out storage from slabs of kSlabBytes, aligned to their size. A slab lives while
// any object carved from it lives, or while it is the pool's present slab: each slab
// counts its objects, ReleasePooled drops the count and unmaps the slab at 0 (nothing is
// kept for later loads: a freed list gives its memory back). The pool is used by one
// thread; releases may come from any thread. Not copyable.
class TStringPool {
public:
    static constexpr size_t kSlabBytes = size_t{2} << 20;
    // The largest request Take serves; larger ones go to the heap.
    static constexpr size_t kMaxPiece = size_t{4} << 10;

    TStringPool() = default;
    // Gives up the present slab (freed here when nothing carved from it lives).
    ~TStringPool();
    TStringPool(const TStringPool&) = delete;
    TStringPool& operator=(const TStringPool&) = delete;

    // size bytes aligned for any object of the library, counted as one object of its
    // slab; null when size exceeds kMaxPiece or no slab can be had (the caller uses the
    // heap). Never throws.
    void* Take(size_t size) noexcept {
        size = (size + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
        if (size > kMaxPiece || size > kSlabBytes - FUsed)
            return size > kMaxPiece ? nullptr : TakeFresh(size);
        ++FTaken;
        FUsed += size;
        return FSlab + FUsed - size;
    }

private:
    // Take from a new slab, the present one given up.
    void* TakeFresh(size_t size) noexcept;
    void Leave() noexcept;

    char* FSlab = nullptr;
    size_t FUsed = kSlabBytes;  // full while there is no slab
    int64_t FTaken = 0;
};

// True when block was handed out by a pool: its slab's count drops (the slab is freed
// at 0). False, nothing done, for any other address. Never throws.
bool ReleasePooled(void* block) noexcept;
// The slab that block was handed out from, or null for any other address.
char* PoolSlabOf(const void* block) noexcept;
// What count ReleasePooled calls for pieces of slab (from PoolSlabOf) do, at once.
void ReleasePooled(char* slab, int64_t count) noexcept;
// True when block lies in slab (from PoolSlabOf): a test without a look-up.
inline bool InSlab(const void* block, const char* slab) noexcept {
    return (reinterpret_cast<uintptr_t>(block) & ~(TStringPool::kSlabBytes - 1)) ==
           reinterpret_cast<uintptr_t>(slab);
}

}  // namespace kest::detail
