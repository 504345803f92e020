// The zlib calling layer: size bound, restorable length limit, compress and restore.
#include "memory/zlib_payload.h"

#include <zlib.h>

#include <limits>

#include <gtest/gtest.h>

#include "containers/kest_exception.h"
#include "tests/support/memory_images.h"

namespace {

using memory_test::Bytes;
using namespace kest::detail;

TEST(ZlibPayload, SizeBoundIsLengthPlusATenthPlusThirteen) {
    EXPECT_EQ(CompressedSizeBound(0), 13u);
    EXPECT_EQ(CompressedSizeBound(9), 22u);
    EXPECT_EQ(CompressedSizeBound(10), 24u);
    EXPECT_EQ(CompressedSizeBound(1000), 1113u);
    // Computed without 32-bit overflow.
    EXPECT_EQ(CompressedSizeBound(std::numeric_limits<int32_t>::max()), 2147483647u + 214748364u + 13u);
    // Never below zlib's own bound, so compress always has room.
    for (int32_t n : {1, 100, 65536, 1 << 24, std::numeric_limits<int32_t>::max()}) {
        EXPECT_GE(CompressedSizeBound(n), compressBound(static_cast<uLong>(n))) << n;
    }
}

TEST(ZlibPayload, RestorableLengthBoundsWhatZlibAchieves) {
    EXPECT_EQ(MaxRestoredLength(0), 0);
    EXPECT_EQ(MaxRestoredLength(-5), 0);
    EXPECT_EQ(MaxRestoredLength(11), 11 * 1032);
    EXPECT_EQ(MaxRestoredLength(std::numeric_limits<int32_t>::max()), int64_t{2147483647} * 1032);
    // The most compressible input there is still restores within the limit.
    const Bytes zeros(8 << 20, 0);
    int32_t size = 0;
    const TTempBlock packed = CompressPayload(zeros.data(), static_cast<int32_t>(zeros.size()), size);
    EXPECT_GT(static_cast<int64_t>(zeros.size()), MaxRestoredLength(size) * 99 / 100);
    EXPECT_LE(static_cast<int64_t>(zeros.size()), MaxRestoredLength(size));
}

TEST(ZlibPayload, CompressIsZlibDefaultLevel) {
    const Bytes data = memory_test::TextLikeBytes(50000, 31);
    int32_t size = 0;
    const TTempBlock packed = CompressPayload(data.data(), static_cast<int32_t>(data.size()), size);
    uLongf expectedSize = compressBound(static_cast<uLong>(data.size()));
    Bytes expected(expectedSize);
    ASSERT_EQ(compress2(expected.data(), &expectedSize, data.data(), static_cast<uLong>(data.size()),
                        Z_DEFAULT_COMPRESSION),
              Z_OK);
    expected.resize(expectedSize);
    EXPECT_EQ(Bytes(packed.get(), packed.get() + size), expected);
}

TEST(ZlibPayload, RestoreDemandsTheExactLength) {
    const Bytes data = memory_test::RandomBytes(700, 32);
    int32_t size = 0;
    const TTempBlock packed = CompressPayload(data.data(), 700, size);
    Bytes out(701, 0xCC);
    EXPECT_TRUE(RestorePayload(packed.get(), size, out.data(), 700));
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 700), data);
    EXPECT_EQ(out[700], 0xCC);
    EXPECT_FALSE(RestorePayload(packed.get(), size, out.data(), 701));
    EXPECT_FALSE(RestorePayload(packed.get(), size, out.data(), 699));
    EXPECT_FALSE(RestorePayload(packed.get(), size - 1, out.data(), 700));
    EXPECT_FALSE(RestorePayload(packed.get(), 0, out.data(), 700));
    EXPECT_FALSE(RestorePayload(data.data(), 700, out.data(), 700));  // not a zlib stream
}

}  // namespace
