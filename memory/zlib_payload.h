// The zlib calling layer of compressed memory-space images.
#pragma once

#include <cstddef>
#include <cstdint>

#include "containers/block_allocation.h"

namespace kest::detail {

// Room reserved for compressing length bytes: length + length / 10 + 13.
size_t CompressedSizeBound(int32_t length);

// The largest data length that size bytes of zlib stream can restore to (deflate
// cannot expand a bit pair beyond 258 bytes, so at most 1032 bytes per input byte).
int64_t MaxRestoredLength(int32_t size);

// Compresses length bytes at data with zlib's compress at the default level into a new
// block owned by the caller, and sets size to its length. Throws TKestCompressException
// when compress fails or its output does not fit a 32-bit size, TKestBadAlloc without room.
TTempBlock CompressPayload(const uint8_t* data, int32_t length, int32_t& size);

// Restores size bytes of zlib stream at packed into the length bytes at data with uncompress;
// true only when it succeeds and produces exactly length bytes. Never throws.
bool RestorePayload(const uint8_t* packed, int32_t size, uint8_t* data, int32_t length);

}  // namespace kest::detail
