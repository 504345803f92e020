#include "containers/string_pool.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

#include "containers/block_allocation.h"
#include "containers/kest_string.h"

namespace kest::detail {

namespace {

// A slab begins with its count of live objects. A slab in use by a pool carries kBias
// on top of them, so that the pool can count what it takes without an atomic operation
// per piece and settle once when it leaves the slab.
struct TSlabHeader {
    std::atomic<int64_t> FLive;
};
constexpr int64_t kBias = int64_t{1} << 40;
constexpr size_t kHeaderBytes = 64;

// The slabs alive, for ReleasePooled to recognise their addresses without a lock: an
// open-addressed table of slab addresses probed at most kProbes slots from the hash
// (0: empty, 1: a slab that was freed). A slab that finds no slot is not made.
constexpr size_t kTableSize = size_t{1} << 14;
constexpr size_t kProbes = 16;
std::atomic<uintptr_t> gSlabs[kTableSize];
std::mutex gInserting;

size_t Hash(uintptr_t slab) {
    return static_cast<size_t>((slab / TStringPool::kSlabBytes) * 0x9E3779B97F4A7C15ull >> 50) % kTableSize;
}

bool Register(uintptr_t slab) {
    const std::lock_guard<std::mutex> lock(gInserting);
    const size_t home = Hash(slab);
    for (size_t i = 0; i < kProbes; ++i) {
        std::atomic<uintptr_t>& entry = gSlabs[(home + i) % kTableSize];
        const uintptr_t present = entry.load(std::memory_order_relaxed);
        if (present <= 1) {
            entry.store(slab, std::memory_order_release);
            return true;
        }
    }
    return false;
}

std::atomic<uintptr_t>* Find(uintptr_t slab) {
    const size_t home = Hash(slab);
    for (size_t i = 0; i < kProbes; ++i) {
        std::atomic<uintptr_t>& entry = gSlabs[(home + i) % kTableSize];
        const uintptr_t present = entry.load(std::memory_order_acquire);
        if (present == slab)
            return &entry;
    }
    return nullptr;
}

void Drop(char* slab, int64_t count) {
    if (reinterpret_cast<TSlabHeader*>(slab)->FLive.fetch_sub(count, std::memory_order_acq_rel) != count)
        return;
    if (std::atomic<uintptr_t>* entry = Find(reinterpret_cast<uintptr_t>(slab)))
        entry->store(1, std::memory_order_release);
    munmap(slab, TStringPool::kSlabBytes);  // the header's atomic count needs no destruction
}

// A new registered slab, a mapping of its own (twice its size is mapped and what lies
// around the aligned slab given back), so that freeing it returns its memory whatever the
// heap keeps; null when none can be had. A pool's slabs after its first are asked for on
// huge pages: a large load faults each slab in at once, a small one only the pages it touches.
char* NewSlab(bool huge) {
    constexpr size_t kSize = TStringPool::kSlabBytes;
    void* area = MaxBlockSize() < kSize
                     ? MAP_FAILED
                     : mmap(nullptr, 2 * kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        return nullptr;
    char* start = static_cast<char*>(area);
    char* slab = start + (kSize - reinterpret_cast<uintptr_t>(start) % kSize) % kSize;
    if (slab != start)
        munmap(start, static_cast<size_t>(slab - start));
    munmap(slab + kSize, static_cast<size_t>(start + kSize - slab));
    if (huge)
        madvise(slab, kSize, MADV_HUGEPAGE);
    // Registered before its header is made: nothing carved from it can be released yet.
    if (!Register(reinterpret_cast<uintptr_t>(slab))) {
        munmap(slab, kSize);
        return nullptr;
    }
    new (slab) TSlabHeader{kBias};
    return slab;
}

}  // namespace

TStringPool::~TStringPool() {
    Leave();
}

void TStringPool::Leave() noexcept {
    if (FSlab != nullptr)
        Drop(FSlab, kBias - FTaken);
    FSlab = nullptr;
    FUsed = kSlabBytes;
}

void* TStringPool::TakeFresh(size_t size) noexcept {
    const bool huge = FSlab != nullptr;
    Leave();
    FSlab = NewSlab(huge);
    if (FSlab == nullptr)
        return nullptr;
    FUsed = kHeaderBytes + size;
    FTaken = 1;
    return FSlab + kHeaderBytes;
}

char* PoolSlabOf(const void* block) noexcept {
    // The start of the aligned block of kSlabBytes that block lies in.
    char* slab = static_cast<char*>(const_cast<void*>(block)) -
                 (reinterpret_cast<uintptr_t>(block) & (TStringPool::kSlabBytes - 1));
    return Find(reinterpret_cast<uintptr_t>(slab)) != nullptr ? slab : nullptr;
}

void ReleasePooled(char* slab, int64_t count) noexcept {
    if (count > 0)
        Drop(slab, count);
}

bool ReleasePooled(void* block) noexcept {
    char* slab = PoolSlabOf(block);
    if (slab == nullptr)
        return false;
    Drop(slab, 1);
    return true;
}

}  // namespace kest::detail

// Here rather than beside the rest of TString, so that neither is inlined where the
// other is not: a pooled string is deleted through the same operator as a heap one.
void* TString::operator new(size_t size) {
    return ::operator new(size);
}

void TString::operator delete(void* block) noexcept {
    if (!kest::detail::ReleasePooled(block))
        ::operator delete(block);
}
