// Test support: a cap on every block the library allocates, for the life of the object,
// so that a test proves an operation never asks for more whatever its data announce.
#pragma once

#include <cstddef>

#include "containers/block_allocation.h"

namespace kest::test {

class TBlockCap {
public:
    explicit TBlockCap(std::size_t limit) : FPrevious(kest::detail::SetMaxBlockSize(limit)) {}
    ~TBlockCap() { kest::detail::SetMaxBlockSize(FPrevious); }
    TBlockCap(const TBlockCap&) = delete;
    TBlockCap& operator=(const TBlockCap&) = delete;

private:
    std::size_t FPrevious;
};

// Far below the 2 GB that a hostile size field could ask for, far above what the tests' data need.
inline constexpr std::size_t kTestBlockCap = std::size_t{64} << 20;

}  // namespace kest::test
