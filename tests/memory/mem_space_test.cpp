// Cursor, raw reads, seeking, patching and the fixed-width readers of the memory space.
#include "memory/mem_space.h"

#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "containers/kest_exception.h"
#include "tests/support/memory_images.h"

namespace {

using memory_test::Bytes;
using memory_test::TRecordingSpace;

class MemSpaceCursor : public ::testing::Test {
protected:
    void SetUp() override { FSpace.Hold({10, 11, 12, 13, 14, 15, 16, 17, 18, 19}); }
    TRecordingSpace FSpace;
};

TEST_F(MemSpaceCursor, AccessorsReportFields) {
    EXPECT_EQ(FSpace.Length(), 10);
    EXPECT_EQ(FSpace.Data(), FSpace.FData);
    EXPECT_EQ(FSpace.Position(), 0);
    FSpace.FPosition = 4;
    EXPECT_EQ(FSpace.Position(), 4);
    EXPECT_EQ(FSpace.Rewind(), FSpace.FData);
    EXPECT_EQ(FSpace.Position(), 0);
}

TEST_F(MemSpaceCursor, ReadBytesCopiesAndAdvances) {
    uint8_t out[4] = {};
    EXPECT_EQ(FSpace.ReadBytes(out, 3), out);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[2], 12);
    EXPECT_EQ(FSpace.Position(), 3);
    EXPECT_EQ(FSpace.ReadBytes(out, 4), out);
    EXPECT_EQ(out[3], 16);
    EXPECT_EQ(FSpace.Position(), 7);
}

TEST_F(MemSpaceCursor, ReadBytesRefusesToCrossTheEnd) {
    FSpace.FPosition = 7;  // three bytes left
    uint8_t out[4] = {1, 2, 3, 4};
    EXPECT_EQ(FSpace.ReadBytes(out, 4), nullptr);
    EXPECT_EQ(FSpace.Position(), 7);
    EXPECT_EQ(out[0], 1);  // nothing copied
    EXPECT_EQ(FSpace.ReadBytes(out, 3), out);
    EXPECT_EQ(FSpace.Position(), 10);
}

TEST_F(MemSpaceCursor, ReadBytesOfZeroSucceedsBeforeTheEndOnly) {
    uint8_t out[1] = {};
    EXPECT_EQ(FSpace.ReadBytes(out, 0), out);
    FSpace.FPosition = 9;
    EXPECT_EQ(FSpace.ReadBytes(out, 0), out);
    FSpace.FPosition = 10;
    EXPECT_EQ(FSpace.ReadBytes(out, 0), nullptr);
    EXPECT_EQ(FSpace.Position(), 10);
}

TEST_F(MemSpaceCursor, ReadBytesRejectsNegativeCountsAndStaleCursors) {
    uint8_t out[1] = {};
    EXPECT_EQ(FSpace.ReadBytes(out, -1), nullptr);
    EXPECT_EQ(FSpace.Position(), 0);
    FSpace.FPosition = 25;  // left behind by a truncation
    EXPECT_EQ(FSpace.ReadBytes(out, 1), nullptr);
    EXPECT_EQ(FSpace.Position(), 25);
}

TEST_F(MemSpaceCursor, SeekFromStartAcceptsZeroToLengthMinusOne) {
    EXPECT_EQ(FSpace.Seek(9, 0), FSpace.FData + 9);
    EXPECT_EQ(FSpace.Position(), 9);
    EXPECT_EQ(FSpace.Seek(10, 0), FSpace.FData + 9);  // equal to the length: refused
    EXPECT_EQ(FSpace.Position(), 9);
    EXPECT_EQ(FSpace.Seek(-1, 0), FSpace.FData + 9);
    EXPECT_EQ(FSpace.Position(), 9);
    EXPECT_EQ(FSpace.Seek(0, 0), FSpace.FData);
    EXPECT_EQ(FSpace.Position(), 0);
}

TEST_F(MemSpaceCursor, SeekFromCursorStaysWithinData) {
    FSpace.FPosition = 4;
    EXPECT_EQ(FSpace.Seek(-5, 1), FSpace.FData + 4);
    EXPECT_EQ(FSpace.Seek(6, 1), FSpace.FData + 4);  // would reach the length
    EXPECT_EQ(FSpace.Seek(5, 1), FSpace.FData + 9);
    EXPECT_EQ(FSpace.Position(), 9);
    EXPECT_EQ(FSpace.Seek(-9, 1), FSpace.FData);
    EXPECT_EQ(FSpace.Position(), 0);
    EXPECT_EQ(FSpace.Seek(std::numeric_limits<int32_t>::min(), 1), FSpace.FData);
    EXPECT_EQ(FSpace.Seek(std::numeric_limits<int32_t>::max(), 1), FSpace.FData);
    EXPECT_EQ(FSpace.Position(), 0);
}

TEST_F(MemSpaceCursor, SeekFromEndReachesBothEnds) {
    EXPECT_EQ(FSpace.Seek(0, 2), FSpace.FData + 10);
    EXPECT_EQ(FSpace.Position(), 10);
    EXPECT_EQ(FSpace.Seek(-10, 2), FSpace.FData);
    EXPECT_EQ(FSpace.Position(), 0);
    FSpace.FPosition = 3;
    EXPECT_EQ(FSpace.Seek(-11, 2), FSpace.FData + 3);
    EXPECT_EQ(FSpace.Seek(1, 2), FSpace.FData + 3);
    EXPECT_EQ(FSpace.Seek(std::numeric_limits<int32_t>::min(), 2), FSpace.FData + 3);
    EXPECT_EQ(FSpace.Position(), 3);
}

TEST_F(MemSpaceCursor, SeekWithUnknownOriginReturnsNullAndKeepsCursor) {
    FSpace.FPosition = 5;
    EXPECT_EQ(FSpace.Seek(0, 3), nullptr);
    EXPECT_EQ(FSpace.Seek(1, -1), nullptr);
    EXPECT_EQ(FSpace.Position(), 5);
}

TEST_F(MemSpaceCursor, WriteAtPatchesInsideTheDataOnly) {
    const uint8_t patch[4] = {0xA0, 0xA1, 0xA2, 0xA3};
    FSpace.FPosition = 2;
    EXPECT_EQ(FSpace.WriteAt(6, patch, 4), FSpace.FData + 6);  // length - 4
    EXPECT_EQ(FSpace.Content(), (Bytes{10, 11, 12, 13, 14, 15, 0xA0, 0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(FSpace.WriteAt(7, patch, 4), nullptr);  // length - 3
    EXPECT_EQ(FSpace.WriteAt(-1, patch, 1), nullptr);
    EXPECT_EQ(FSpace.WriteAt(0, patch, -1), nullptr);
    EXPECT_EQ(FSpace.WriteAt(std::numeric_limits<int32_t>::max(), patch, 4), nullptr);
    EXPECT_EQ(FSpace.Content(), (Bytes{10, 11, 12, 13, 14, 15, 0xA0, 0xA1, 0xA2, 0xA3}));
    EXPECT_EQ(FSpace.Length(), 10);
    EXPECT_EQ(FSpace.Position(), 2);
    EXPECT_EQ(FSpace.WriteAt(10, patch, 0), FSpace.FData + 10);
}

TEST(MemSpaceEmpty, CursorOperationsOnNoBytes) {
    TRecordingSpace space;
    uint8_t out[1] = {};
    EXPECT_EQ(space.Data(), nullptr);
    EXPECT_EQ(space.ReadBytes(out, 0), nullptr);
    EXPECT_EQ(space.Seek(0, 0), nullptr);
    EXPECT_EQ(space.Seek(0, 2), nullptr);
    EXPECT_EQ(space.Position(), 0);
    EXPECT_EQ(space.WriteAt(0, out, 1), nullptr);
    EXPECT_THROW(space.ReadInt(), TKestSerialization);
}

TEST(MemSpaceReaders, ReadIntIsLittleEndianSigned) {
    TRecordingSpace space(Bytes{0x78, 0x56, 0x34, 0x12, 0xFE, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80});
    EXPECT_EQ(space.ReadInt(), 0x12345678);
    EXPECT_EQ(space.ReadInt(), -2);
    EXPECT_EQ(space.ReadInt(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(space.Position(), 12);
}

TEST(MemSpaceReaders, FloatAndDoubleFromIeeeBytes) {
    TRecordingSpace space(Bytes{0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0xBF});
    EXPECT_EQ(space.ReadFloat(), 1.5f);
    EXPECT_EQ(space.ReadDouble(), -1.5);
    EXPECT_EQ(space.Position(), 12);
}

TEST(MemSpaceReaders, ShortDataThrowsAndKeepsCursor) {
    TRecordingSpace space(Bytes{1, 2, 3, 4, 5, 6, 7});
    space.FPosition = 4;  // three bytes left
    EXPECT_THROW(space.ReadInt(), TKestSerialization);
    EXPECT_THROW(space.ReadFloat(), TKestSerialization);
    EXPECT_THROW(space.ReadDouble(), TKestSerialization);
    EXPECT_EQ(space.Position(), 4);
    space.FPosition = 0;
    EXPECT_THROW(space.ReadDouble(), TKestSerialization);
    EXPECT_EQ(space.ReadInt(), 0x04030201);
}

TEST(MemSpaceLifecycle, InitAndReleaseKeepCursorAndFlag) {
    TRecordingSpace space(Bytes{1, 2, 3});
    space.FPosition = 2;
    space.FCompressed = true;
    space.Release();
    EXPECT_EQ(space.Data(), nullptr);
    EXPECT_EQ(space.Length(), 0);
    EXPECT_EQ(space.Position(), 2);
    EXPECT_TRUE(space.FCompressed);

    space.Hold({4, 5});
    space.Init();  // gives the storage back (a leak would show under the leak checker)
    EXPECT_EQ(space.Data(), nullptr);
    EXPECT_EQ(space.Length(), 0);
    EXPECT_FALSE(space.FCompressed);
    EXPECT_EQ(space.Position(), 2);
}

TEST(MemSpaceLifecycle, AssignCopiesFlagAndCursorNotBytes) {
    TRecordingSpace source(Bytes{1, 2, 3, 4});
    source.FPosition = 3;
    source.FCompressed = true;
    TRecordingSpace target(Bytes{9});
    target.Assign(source);
    EXPECT_TRUE(target.FCompressed);
    EXPECT_EQ(target.Position(), 3);
    EXPECT_EQ(target.Content(), Bytes{9});
}

TEST(MemSpaceLifecycle, AssignFromAnotherKindOfItemIsRefused) {
    TContainerItem other;
    TRecordingSpace target(Bytes{9});
    target.FPosition = 1;
    EXPECT_THROW(target.Assign(other), TKestBadAssign);
    EXPECT_EQ(target.Position(), 1);
    EXPECT_EQ(target.Content(), Bytes{9});
}

// A memory space whose descendant provides no storage at all.
class TStoragelessSpace : public TMemSpace {
public:
    TStoragelessSpace() { Init(); }
};

TEST(MemSpaceLifecycle, LoadWithoutStorageIsRefusedNotWrittenThroughNull) {
    TStoragelessSpace space;
    TRecordingSpace image(Bytes{3, 0, 0, 0, 0, 'a', 'b', 'c'});
    EXPECT_THROW(space.ReadFromSpace(image), TKestBadAlloc);
    EXPECT_EQ(space.Data(), nullptr);
    EXPECT_EQ(space.Length(), 0);
    TRecordingSpace empty(Bytes{0, 0, 0, 0});
    space.ReadFromSpace(empty);
    EXPECT_EQ(space.Length(), 0);
}

}  // namespace
