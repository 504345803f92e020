// Movable, zero-filled memory blocks that are pinned by locking them.
#include "graphics/memory_block.h"

#include <new>

namespace {
std::size_t maxBlockSize = std::size_t{1} << 30;
}

std::unique_ptr<TMemoryBlock> TMemoryBlock::Allocate(std::size_t size) {
    if (size > maxBlockSize)
        return nullptr;
    // Value-initialised: the block starts zero-filled.
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]());
    if (!bytes)
        return nullptr;
    return std::unique_ptr<TMemoryBlock>(new (std::nothrow) TMemoryBlock(std::move(bytes), size));
}

std::size_t TMemoryBlock::MaxBlockSize() {
    return maxBlockSize;
}

std::size_t TMemoryBlock::SetMaxBlockSize(std::size_t limit) {
    const std::size_t previous = maxBlockSize;
    maxBlockSize = limit;
    return previous;
}

TMemoryBlock::TMemoryBlock(std::unique_ptr<std::uint8_t[]> bytes, std::size_t size)
    : bytes_(std::move(bytes)), size_(size) {}

std::uint8_t* TMemoryBlock::Lock() {
    ++locks_;
    return bytes_.get();
}

bool TMemoryBlock::Unlock() {
    if (locks_ > 0)
        --locks_;
    return locks_ > 0;
}
