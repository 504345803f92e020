// Movable, zero-filled memory blocks that are pinned by locking them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A block of bytes that may only be touched between Lock and Unlock. It keeps a
// count of outstanding locks; the bytes themselves belong to the block and are
// freed with it. Allocation failure is reported by a null result, never thrown.
class TMemoryBlock {
public:
    // A new block of `size` zero bytes, or null when memory is exhausted or `size`
    // exceeds MaxBlockSize(). The caller owns the block.
    static std::unique_ptr<TMemoryBlock> Allocate(std::size_t size);

    // The largest block Allocate hands out (1 GiB unless changed).
    static std::size_t MaxBlockSize();
    // Sets the largest block Allocate hands out and returns the previous limit; lets a
    // caller (a test, a constrained host) make allocation fail on purpose.
    static std::size_t SetMaxBlockSize(std::size_t limit);

    TMemoryBlock(const TMemoryBlock&) = delete;
    TMemoryBlock& operator=(const TMemoryBlock&) = delete;

    // Size of the block in bytes, as allocated.
    std::size_t Size() const { return size_; }
    // Pins the block and returns its first byte; the pointer stays valid while a lock is held.
    std::uint8_t* Lock();
    // Undoes one Lock (nothing when none is held); returns true while locks remain.
    bool Unlock();
    // Number of Lock calls not yet undone.
    int LockCount() const { return locks_; }

private:
    TMemoryBlock(std::unique_ptr<std::uint8_t[]> bytes, std::size_t size);

    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_;
    int locks_ = 0;
};
