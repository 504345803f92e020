#include "containers/block_allocation.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "containers/kest_exception.h"

namespace kest::detail {

namespace {

std::atomic<std::size_t> gMaxBlockSize{SIZE_MAX};

bool Allowed(std::size_t size) {
    return size <= gMaxBlockSize.load(std::memory_order_relaxed);
}

}  // namespace

void* AllocateBlock(std::size_t size) {
    return Allowed(size) ? std::malloc(size) : nullptr;
}

void* AllocateZeroedBlock(std::size_t size) {
    return Allowed(size) ? std::calloc(1, size) : nullptr;
}

void* AllocateAlignedBlock(std::size_t alignment, std::size_t size) {
    return Allowed(size) ? std::aligned_alloc(alignment, size) : nullptr;
}

void* ResizeBlock(void* block, std::size_t size) {
    return Allowed(size) ? std::realloc(block, size) : nullptr;
}

std::size_t MaxBlockSize() {
    return gMaxBlockSize.load(std::memory_order_relaxed);
}

std::size_t SetMaxBlockSize(std::size_t limit) {
    return gMaxBlockSize.exchange(limit, std::memory_order_relaxed);
}

TTempBlock AllocateTemp(std::size_t count) {
    auto* block = static_cast<uint8_t*>(AllocateBlock(count == 0 ? 1 : count));
    if (block == nullptr)
        throw TKestBadAlloc();
    return TTempBlock(block);
}

}  // namespace kest::detail
