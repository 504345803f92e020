// The byte sources and sinks of images: how much each source can still deliver, numbers, flags.
#include "containers/byte_io.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "containers/kest_exception.h"
#include "memory/mem_buffer.h"
#include "tests/support/memory_images.h"

namespace {

using memory_test::Bytes;
using memory_test::File;
using memory_test::ToBytes;
using namespace kest::io;

TEST(ImageChannelRemaining, FilesAndStreamsThatSeekKnowTheirRest) {
    File file = memory_test::FileWith(Bytes(10, 0x41));
    std::fgetc(file.get());
    TByteSource binaryFile(file.get());
    EXPECT_EQ(binaryFile.Remaining(), 9);
    EXPECT_EQ(std::fgetc(file.get()), 0x41);  // the position was restored
    EXPECT_EQ(binaryFile.Remaining(), 8);

    std::istringstream stream(std::string(10, 'A'));
    stream.get();
    TByteSource binaryStream(stream);
    EXPECT_EQ(binaryStream.Remaining(), 9);
    EXPECT_EQ(stream.get(), 'A');
    EXPECT_TRUE(stream.good());
}

TEST(ImageChannelRemaining, TextCountsAtMostOneByteForEveryTwoCharacters) {
    for (const auto& [text, bound] : std::vector<std::pair<std::string, int64_t>>{
             {"", 0}, {"a", 1}, {"ab", 1}, {"ab ", 2}, {"61 62 63\n", 5}}) {
        File file = memory_test::FileWith(ToBytes(text));
        EXPECT_EQ(HexBlockCapacity(TByteSource(file.get()).Remaining()), bound) << text;
        std::istringstream stream(text);
        EXPECT_EQ(HexBlockCapacity(TByteSource(stream).Remaining()), bound) << text;
    }
}

TEST(ImageChannelRemaining, PipesAndForwardStreamsAreUnknown) {
    File pipe = memory_test::PipeWith(Bytes(10, 1));
    EXPECT_EQ(TByteSource(pipe.get()).Remaining(), -1);
    EXPECT_EQ(HexBlockCapacity(TByteSource(pipe.get()).Remaining()), -1);
    memory_test::TForwardOnlyBuffer buffer(Bytes(10, 1));
    std::istream stream(&buffer);
    EXPECT_EQ(TByteSource(stream).Remaining(), -1);
    EXPECT_EQ(HexBlockCapacity(TByteSource(stream).Remaining()), -1);
}

TEST(ImageChannelRemaining, SpaceCountsFromItsCursor) {
    auto space = memory_test::BufferWith(Bytes(10, 1));
    TByteSource source(*space);
    EXPECT_EQ(source.Remaining(), 10);
    space->FPosition = 7;
    EXPECT_EQ(source.Remaining(), 3);
    space->FPosition = 10;
    EXPECT_EQ(source.Remaining(), 0);
    space->FPosition = 50;
    EXPECT_EQ(source.Remaining(), 0);
}

TEST(ImageChannelNumbers, BinaryNumbersAreLittleEndianOnEverySource) {
    const Bytes bytes = {0xFE, 0xFF, 0xFF, 0xFF, 0x05, 0x01, 0x02};
    File file = memory_test::FileWith(bytes);
    std::istringstream stream(memory_test::ToString(bytes));
    auto space = memory_test::BufferWith(bytes);
    for (const TByteSource& source : {TByteSource(file.get()), TByteSource(stream), TByteSource(*space)}) {
        int32_t value = 0;
        EXPECT_TRUE(ReadNumber(source, value, false));
        EXPECT_EQ(value, -2);
        EXPECT_EQ(source.Get(), 5);
        value = 99;
        EXPECT_FALSE(ReadNumber(source, value, false));  // two bytes left
        EXPECT_EQ(value, 99);
    }
}

TEST(ImageChannelNumbers, TextNumbersOutsideThirtyTwoBitsAreRefused) {
    for (const char* text : {"4294967299", "-2147483649", "99999999999999999999", "x1"}) {
        File file = memory_test::FileWith(ToBytes(text));
        int32_t value = 0;
        EXPECT_FALSE(ReadNumber(TByteSource(file.get()), value, true)) << text;
        std::istringstream stream(text);
        EXPECT_FALSE(ReadNumber(TByteSource(stream), value, true)) << text;
        EXPECT_TRUE(stream.fail()) << text;
    }
    File file = memory_test::FileWith(ToBytes("-2147483648 2147483647"));
    const TByteSource source(file.get());
    int32_t low = 0;
    int32_t high = 0;
    EXPECT_TRUE(ReadNumber(source, low, true));
    EXPECT_TRUE(ReadNumber(source, high, true));
    EXPECT_EQ(low, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(high, std::numeric_limits<int32_t>::max());
}

TEST(ImageChannelSinks, NumbersAndFlagsInEachForm) {
    File binary = memory_test::TempFile();
    const TByteSink binarySink(binary.get());
    WriteNumber(binarySink, -2, false);
    binarySink.Put(1);
    EXPECT_EQ(memory_test::FileBytes(binary.get()), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0x01}));

    File text = memory_test::TempFile();
    const TByteSink textSink(text.get());
    WriteNumber(textSink, -2, true);
    WriteNumber(textSink, 1, true);
    WriteNumber(textSink, 0, true);
    EXPECT_EQ(memory_test::ToString(memory_test::FileBytes(text.get())), "-2\n1\n0\n");

    std::ostringstream stream;
    const TByteSink streamSink(stream);
    WriteNumber(streamSink, 2147483647, true);
    WriteNumber(streamSink, 1, true);
    EXPECT_EQ(stream.str(), "2147483647\n1\n");

    TMemBuffer buffer;
    const TByteSink bufferSink(buffer);
    WriteNumber(bufferSink, 0x01020304, false);
    bufferSink.Put(0);
    EXPECT_EQ(Bytes(buffer.Data(), buffer.Data() + buffer.Length()), (Bytes{4, 3, 2, 1, 0}));
}

}  // namespace
