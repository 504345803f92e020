#include "memory/zlib_payload.h"

#include <zlib.h>

#include "containers/block_allocation.h"
#include "containers/kest_exception.h"

namespace kest::detail {

namespace {

constexpr int64_t kMaxDeflateRatio = 1032;

}  // namespace

size_t CompressedSizeBound(int32_t length) {
    const size_t n = length < 0 ? 0 : static_cast<size_t>(length);
    return n + n / 10 + 13;
}

int64_t MaxRestoredLength(int32_t size) {
    return size <= 0 ? 0 : static_cast<int64_t>(size) * kMaxDeflateRatio;
}

TTempBlock CompressPayload(const uint8_t* data, int32_t length, int32_t& size) {
    const size_t bound = CompressedSizeBound(length);
    TTempBlock block = AllocateTemp(bound);
    uLongf produced = static_cast<uLongf>(bound);
    const int result = compress(block.get(), &produced, data, static_cast<uLong>(length));
    if (result != Z_OK || produced > static_cast<uLongf>(INT32_MAX))
        throw TKestCompressException();
    size = static_cast<int32_t>(produced);
    return block;
}

bool RestorePayload(const uint8_t* packed, int32_t size, uint8_t* data, int32_t length) {
    if (size <= 0 || length <= 0)
        return false;
    uLongf produced = static_cast<uLongf>(length);
    const int result = uncompress(data, &produced, packed, static_cast<uLong>(size));
    return result == Z_OK && produced == static_cast<uLongf>(length);
}

}  // namespace kest::detail
