// The one place the library takes blocks of memory from, so that one limit caps every
// block it allocates: container arrays and elements, buffer storage, texts, the slabs of
// loaded lines and the temporary blocks of compressed payloads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace kest::detail {

// std::malloc, std::calloc and std::realloc (release with std::free), except that a size
// above MaxBlockSize() is refused like exhausted memory: null comes back and, for
// ResizeBlock, the old block stays as it was. Never throw.
void* AllocateBlock(std::size_t size);
void* AllocateZeroedBlock(std::size_t size);
void* ResizeBlock(void* block, std::size_t size);
// std::aligned_alloc (size a multiple of alignment), under the same limit.
void* AllocateAlignedBlock(std::size_t alignment, std::size_t size);

// The largest block handed out; SIZE_MAX (no limit of its own) unless set. Process-wide.
std::size_t MaxBlockSize();
// Sets that limit and returns the previous one. A test that caps it proves that an
// operation never asks for more, whatever its data announce.
std::size_t SetMaxBlockSize(std::size_t limit);

// Releases a block with the allocator that made it.
struct TFreeBlock {
    void operator()(uint8_t* block) const { std::free(block); }
};
// An owned, uninitialised block of bytes from AllocateBlock.
using TTempBlock = std::unique_ptr<uint8_t[], TFreeBlock>;
// A new block of count bytes (at least 1), owned by the caller; throws TKestBadAlloc when
// none can be had.
TTempBlock AllocateTemp(std::size_t count);

}  // namespace kest::detail
