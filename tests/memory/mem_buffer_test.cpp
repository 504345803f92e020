// Growth, appending, packed integers and assignment of the memory buffer.
#include "memory/mem_buffer.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

#include <gtest/gtest.h>

#include "containers/kest_exception.h"
#include "tests/support/memory_images.h"

namespace {

using memory_test::Bytes;

Bytes Content(const TMemBuffer& buffer) {
    return Bytes(buffer.Data(), buffer.Data() + buffer.Length());
}

TEST(MemBufferConstruction, StartsEmptyWithDefaultStep) {
    TMemBuffer buffer;
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.FCapacity, 0);
    EXPECT_EQ(buffer.FGrowBy, 256);
    EXPECT_EQ(buffer.Position(), 0);
    EXPECT_FALSE(buffer.FCompressed);
}

TEST(MemBufferGrowth, SetLengthGrowsByWholeStepsAndNeverShrinks) {
    TMemBuffer buffer;
    buffer.SetLength(10);
    EXPECT_EQ(buffer.FCapacity, 256);
    EXPECT_EQ(buffer.Length(), 10);
    buffer.SetLength(300);
    EXPECT_EQ(buffer.FCapacity, 512);
    buffer.SetLength(100);
    EXPECT_EQ(buffer.FCapacity, 512);
    EXPECT_EQ(buffer.Length(), 100);
    buffer.SetLength(512);
    EXPECT_EQ(buffer.FCapacity, 512);
    buffer.SetLength(513);
    EXPECT_EQ(buffer.FCapacity, 768);
}

TEST(MemBufferGrowth, SetLengthJumpsSeveralStepsAtOnce) {
    TMemBuffer buffer;
    buffer.FGrowBy = 100;
    buffer.SetLength(1001);
    EXPECT_EQ(buffer.FCapacity, 1100);
}

TEST(MemBufferGrowth, SetLengthZeroReleasesAndResetsStep) {
    TMemBuffer buffer;
    buffer.FGrowBy = 1000;
    buffer.SetLength(5);
    buffer.FPosition = 3;
    buffer.SetLength(0);
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.FCapacity, 0);
    EXPECT_EQ(buffer.FGrowBy, 256);
    EXPECT_EQ(buffer.Position(), 3);
}

TEST(MemBufferGrowth, NegativeSizesAreRefusedUnchanged) {
    TMemBuffer buffer;
    buffer.SetLength(7);
    EXPECT_THROW(buffer.SetLength(-1), TKestBadAlloc);
    EXPECT_THROW(buffer.SetCapacity(-1), TKestBadAlloc);
    EXPECT_EQ(buffer.Length(), 7);
    EXPECT_EQ(buffer.FCapacity, 256);
}

TEST(MemBufferGrowth, SetCapacityIsExactAndTruncates) {
    TMemBuffer buffer;
    Bytes bytes(20);
    for (int i = 0; i < 20; ++i)
        bytes[i] = static_cast<uint8_t>(i + 1);
    buffer.Append(bytes.data(), 20);
    buffer.FPosition = 15;
    buffer.SetCapacity(10);
    EXPECT_EQ(buffer.FCapacity, 10);
    EXPECT_EQ(buffer.Length(), 10);
    EXPECT_EQ(Content(buffer), Bytes(bytes.begin(), bytes.begin() + 10));
    EXPECT_EQ(buffer.Position(), 15);  // not clamped
    uint8_t out[1];
    EXPECT_EQ(buffer.ReadBytes(out, 1), nullptr);  // and yet nothing is read beyond the data
    buffer.SetCapacity(40);
    EXPECT_EQ(buffer.FCapacity, 40);
    EXPECT_EQ(buffer.Length(), 10);
    buffer.SetCapacity(0);
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.FCapacity, 0);
    EXPECT_EQ(buffer.Length(), 0);
}

#if defined(__SANITIZE_ADDRESS__)
#define MEMORY_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MEMORY_TEST_UNDER_ASAN 1
#endif
#endif

#if !defined(MEMORY_TEST_UNDER_ASAN)
// Caps the address space a little above what the process uses now, so that a large
// allocation fails for real; false when the limit cannot be set.
bool CapAddressSpace() {
    FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return false;
    unsigned long pages = 0;
    const bool read = std::fscanf(statm, "%lu", &pages) == 1;
    std::fclose(statm);
    if (!read)
        return false;
    const rlim_t cap = static_cast<rlim_t>(pages) * 4096 + (rlim_t{64} << 20);
    const rlimit limit{cap, cap};
    return setrlimit(RLIMIT_AS, &limit) == 0;
}

// Grows a buffer of 5 bytes to sizes the capped process cannot have; exits 0 only when
// every failure was TKestBadAlloc and left the buffer exactly as it was.
[[noreturn]] void GrowBeyondTheCap() {
    if (!CapAddressSpace())
        std::_Exit(2);
    TMemBuffer buffer;
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    buffer.Append(bytes, 5);
    const uint8_t* before = buffer.Data();
    int refused = 0;
    const auto unchanged = [&] {
        return buffer.Data() == before && buffer.Length() == 5 && buffer.FCapacity == 256 &&
               std::memcmp(buffer.Data(), bytes, 5) == 0;
    };
    try {
        buffer.SetCapacity(1 << 30);
    } catch (const TKestBadAlloc&) {
        refused += unchanged();
    }
    try {
        buffer.SetLength(1 << 30);
    } catch (const TKestBadAlloc&) {
        refused += unchanged();
    }
    std::_Exit(refused == 2 ? 0 : 1);
}
#endif

TEST(MemBufferGrowthDeathTest, StorageThatCannotBeHadLeavesTheBufferAsItWas) {
#if defined(MEMORY_TEST_UNDER_ASAN)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the cap allows";
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(GrowBeyondTheCap(), ::testing::ExitedWithCode(0), "");
#endif
}

TEST(MemBufferAppend, CapacityFollowsTheStep) {
    const Bytes bytes = memory_test::RandomBytes(257, 7);
    TMemBuffer exact;
    exact.Append(bytes.data(), 256);
    EXPECT_EQ(exact.FCapacity, 256);
    TMemBuffer over;
    over.Append(bytes.data(), 257);
    EXPECT_EQ(over.FCapacity, 512);
    EXPECT_EQ(Content(over), bytes);
}

TEST(MemBufferAppend, ChainsAndKeepsCursor) {
    TMemBuffer buffer;
    const uint8_t a[] = {1, 2};
    const uint8_t b[] = {3};
    buffer.FPosition = 1;
    TMemBuffer& result = buffer.Append(a, 2).Append(b, 1).AppendInt(-300);
    EXPECT_EQ(&result, &buffer);
    EXPECT_EQ(Content(buffer), (Bytes{1, 2, 3, 0x82, 0x2C, 0x01}));
    EXPECT_EQ(buffer.Position(), 1);
}

TEST(MemBufferAppend, ZeroOrNegativeCountChangesNothing) {
    TMemBuffer buffer;
    const uint8_t a[] = {1};
    buffer.Append(a, 0);
    buffer.Append(a, -5);
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.FCapacity, 0);
    buffer.Append(a, 1);
    buffer.Append(nullptr, 0);
    buffer.Append(a, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(Content(buffer), Bytes{1});
}

TEST(MemBufferAppend, SourceInsideTheBufferSurvivesRegrowth) {
    TMemBuffer buffer;
    const Bytes bytes = memory_test::RandomBytes(256, 11);
    buffer.Append(bytes.data(), 256);  // full: the next append must move the storage
    buffer.Append(buffer.Data(), 256);
    ASSERT_EQ(buffer.Length(), 512);
    EXPECT_EQ(Bytes(buffer.Data(), buffer.Data() + 256), bytes);
    EXPECT_EQ(Bytes(buffer.Data() + 256, buffer.Data() + 512), bytes);
}

TEST(MemBufferAppend, TotalBeyondThirtyTwoBitsIsRefused) {
    TMemBuffer buffer;
    const uint8_t a[] = {1, 2};
    buffer.Append(a, 2);
    EXPECT_THROW(buffer.Append(a, std::numeric_limits<int32_t>::max()), TKestBadAlloc);
    EXPECT_EQ(Content(buffer), (Bytes{1, 2}));
}

TEST(MemBufferPacked, EncodedSizesAndRoundTrips) {
    const int32_t values[] = {0, 255, 256, 65535, 65536, 16777215, 16777216};
    const int sizes[] = {2, 2, 3, 3, 4, 4, 5};
    for (int sign = 1; sign >= -1; sign -= 2) {
        for (size_t i = 0; i < std::size(values); ++i) {
            const int32_t value = values[i] * sign;
            TMemBuffer buffer;
            buffer.AppendInt(value);
            EXPECT_EQ(buffer.Length(), sizes[i]) << value;
            buffer.Rewind();
            EXPECT_EQ(buffer.ReadInt(), value);
            EXPECT_EQ(buffer.Position(), sizes[i]);
        }
    }
}

TEST(MemBufferPacked, ExactBytesOfExamples) {
    TMemBuffer buffer;
    buffer.AppendInt(5).AppendInt(-300).AppendInt(0x1000000).AppendInt(-1);
    EXPECT_EQ(Content(buffer),
              (Bytes{0x01, 0x05, 0x82, 0x2C, 0x01, 0x04, 0x00, 0x00, 0x00, 0x01, 0x81, 0x01}));
}

TEST(MemBufferPacked, ExtremesRoundTrip) {
    TMemBuffer buffer;
    buffer.AppendInt(std::numeric_limits<int32_t>::min()).AppendInt(std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Content(buffer), (Bytes{0x84, 0x00, 0x00, 0x00, 0x80, 0x04, 0xFF, 0xFF, 0xFF, 0x7F}));
    buffer.Rewind();
    EXPECT_EQ(buffer.ReadInt(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(buffer.ReadInt(), std::numeric_limits<int32_t>::max());
}

TEST(MemBufferPacked, ReadAtTheEndThrowsAndKeepsCursor) {
    TMemBuffer buffer;
    buffer.AppendInt(7);
    buffer.Rewind();
    EXPECT_EQ(buffer.ReadInt(), 7);
    EXPECT_THROW(buffer.ReadInt(), TKestSerialization);
    EXPECT_EQ(buffer.Position(), 2);
    TMemBuffer empty;
    EXPECT_THROW(empty.ReadInt(), TKestSerialization);
    EXPECT_EQ(empty.Position(), 0);
}

TEST(MemBufferPacked, TruncatedMagnitudeThrowsAndKeepsCursor) {
    TMemBuffer buffer;
    const uint8_t bytes[] = {0x09, 0x03, 0x01, 0x02};  // a byte, then three announced with two present
    buffer.Append(bytes, 4);
    buffer.FPosition = 1;
    EXPECT_THROW(buffer.ReadInt(), TKestSerialization);
    EXPECT_EQ(buffer.Position(), 1);
}

TEST(MemBufferPacked, BadCountBytesAreRejected) {
    for (uint8_t header :
         {uint8_t{0x00}, uint8_t{0x80}, uint8_t{0x05}, uint8_t{0x85}, uint8_t{0x7F}, uint8_t{0xFF}}) {
        TMemBuffer buffer;
        const uint8_t bytes[] = {header, 1, 2, 3, 4, 5, 6, 7, 8};
        buffer.Append(bytes, sizeof bytes);
        EXPECT_THROW(buffer.ReadInt(), TKestSerialization) << int{header};
        EXPECT_EQ(buffer.Position(), 0);
    }
}

TEST(MemBufferPacked, FloatAndDoubleStayFixedWidth) {
    TMemBuffer buffer;
    const uint8_t bytes[] = {0x00, 0x00, 0xC0, 0x3F, 0, 0, 0, 0, 0, 0, 0x10, 0x40};
    buffer.Append(bytes, sizeof bytes);
    EXPECT_EQ(buffer.ReadFloat(), 1.5f);
    EXPECT_EQ(buffer.ReadDouble(), 4.0);
    EXPECT_THROW(buffer.ReadFloat(), TKestSerialization);
}

TEST(MemBufferAssign, CopiesBytesFlagAndCursorButNotStep) {
    TMemBuffer source;
    const uint8_t bytes[] = {1, 2, 3};
    source.Append(bytes, 3);
    source.FCompressed = true;
    source.FPosition = 2;
    source.FGrowBy = 999;
    TMemBuffer target;
    target.FGrowBy = 64;
    target.Assign(source);
    EXPECT_EQ(Content(target), (Bytes{1, 2, 3}));
    EXPECT_NE(target.Data(), source.Data());
    EXPECT_TRUE(target.FCompressed);
    EXPECT_EQ(target.Position(), 2);
    EXPECT_EQ(target.FGrowBy, 64);
    EXPECT_EQ(target.FCapacity, 64);
}

TEST(MemBufferAssign, FromEmptyFreesStorage) {
    TMemBuffer source;
    TMemBuffer target;
    const uint8_t bytes[] = {1, 2, 3};
    target.Append(bytes, 3);
    target.FGrowBy = 10;
    target.Assign(source);
    EXPECT_EQ(target.Data(), nullptr);
    EXPECT_EQ(target.FCapacity, 0);
    EXPECT_EQ(target.Length(), 0);
    EXPECT_EQ(target.FGrowBy, 256);
}

// A buffer moves its storage with everything that describes it; the source is left an
// empty buffer that can be used again.
TEST(MemBufferAssign, MovesTakeTheStorageAndLeaveAnEmptyBuffer) {
    TMemBuffer source;
    const uint8_t bytes[] = {1, 2, 3};
    source.Append(bytes, 3);
    source.FGrowBy = 64;
    source.FCompressed = true;
    source.FPosition = 1;
    const uint8_t* storage = source.Data();
    TMemBuffer moved(std::move(source));
    EXPECT_EQ(moved.Data(), storage);
    EXPECT_EQ(moved.Length(), 3);
    EXPECT_EQ(moved.FGrowBy, 64);
    EXPECT_TRUE(moved.FCompressed);
    EXPECT_EQ(moved.Position(), 1);
    EXPECT_EQ(source.Data(), nullptr);  // NOLINT(bugprone-use-after-move): the moved-from state is defined
    EXPECT_EQ(source.FCapacity, 0);
    EXPECT_EQ(source.FGrowBy, 256);
    source.Append(bytes, 2);
    TMemBuffer target;
    target.Append(bytes, 1);
    target = std::move(moved);
    EXPECT_EQ(target.Data(), storage);
    EXPECT_EQ(target.Length(), 3);
    EXPECT_EQ(moved.Length(), 0);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(source.Length(), 2);
}

TEST(MemBufferAssign, SelfAndForeignSources) {
    TMemBuffer buffer;
    const uint8_t bytes[] = {4, 5};
    buffer.Append(bytes, 2);
    buffer.Assign(buffer);
    EXPECT_EQ(Content(buffer), (Bytes{4, 5}));
    TContainerItem other;
    EXPECT_THROW(buffer.Assign(other), TKestBadAssign);
    EXPECT_EQ(Content(buffer), (Bytes{4, 5}));
}

TEST(MemBufferLifecycle, InitReleasesAndResets) {
    TMemBuffer buffer;
    buffer.SetLength(100);
    buffer.FGrowBy = 7;
    buffer.FCompressed = true;
    buffer.FPosition = 3;
    buffer.Init();
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Length(), 0);
    EXPECT_EQ(buffer.FCapacity, 0);
    EXPECT_EQ(buffer.FGrowBy, 256);
    EXPECT_FALSE(buffer.FCompressed);
    EXPECT_EQ(buffer.Position(), 3);
}

TEST(MemBufferLifecycle, AllocateIsExactCapacity) {
    TMemBuffer buffer;
    buffer.FGrowBy = 50;
    buffer.Allocate(33);
    EXPECT_EQ(buffer.FCapacity, 33);
    EXPECT_EQ(buffer.FGrowBy, 50);
    buffer.Allocate(0);
    EXPECT_EQ(buffer.FCapacity, 0);
    EXPECT_EQ(buffer.FGrowBy, 256);
}

}  // namespace
