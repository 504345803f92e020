#include "containers/hex_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/c_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string WriteToFile(const Bytes& bytes) {
    kest::test::File file = kest::test::TempFile();
    WriteHexBlock(file.get(), bytes.data(), bytes.size());
    return kest::test::FileText(file.get());
}

std::string WriteToStream(const Bytes& bytes) {
    std::ostringstream stream;
    WriteHexBlock(stream, bytes.data(), bytes.size());
    return stream.str();
}

Bytes Counting(size_t n) {
    Bytes bytes(n);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0});
    return bytes;
}

TEST(HexBlock, BytesAreBlankPaddedLowerCaseHex) {
    EXPECT_EQ(WriteToFile({0x01, 0x0A, 0xFF}), " 1  a ff\n");
    EXPECT_EQ(WriteToStream({0x01, 0x0A, 0xFF}), " 1  a ff\n");
    EXPECT_EQ(WriteToFile({0x61, 0x62, 0x63}), "61 62 63\n");
}

TEST(HexBlock, EightBytesGoOnALine) {
    EXPECT_EQ(WriteToFile(Counting(8)), " 0  1  2  3  4  5  6  7\n");
    EXPECT_EQ(WriteToFile(Counting(9)), " 0  1  2  3  4  5  6  7\n 8\n");
    EXPECT_EQ(WriteToFile(Counting(16)), " 0  1  2  3  4  5  6  7\n 8  9  a  b  c  d  e  f\n");
}

TEST(HexBlock, EmptyBlockWritesNothing) {
    EXPECT_EQ(WriteToFile({}), "");
    EXPECT_EQ(WriteToStream({}), "");
}

TEST(HexBlock, FileAndStreamWritersAgreeForEveryLength) {
    for (size_t n = 0; n <= 25; ++n)
        EXPECT_EQ(WriteToFile(Counting(n)), WriteToStream(Counting(n))) << n;
}

TEST(HexBlock, RandomBlocksRoundTripThroughFileAndStream) {
    std::mt19937 random(4711);
    for (size_t n : {1u, 7u, 8u, 9u, 63u, 64u, 300u}) {
        Bytes bytes(n);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(random());

        FILE* file = kest::test::FileWithText(WriteToFile(bytes)).release();
        Bytes fromFile(n, 0);
        EXPECT_TRUE(ReadHexBlock(file, fromFile.data(), n));
        EXPECT_EQ(fromFile, bytes);
        std::fclose(file);

        std::istringstream stream(WriteToStream(bytes));
        Bytes fromStream(n, 0);
        EXPECT_TRUE(ReadHexBlock(stream, fromStream.data(), n));
        EXPECT_EQ(fromStream, bytes);
    }
}

TEST(HexBlock, ReadersAcceptZeroPaddingUpperCaseAndAnyWhiteSpace) {
    const std::string text = "01 0a\tFF\n\n 7\r\n";
    const Bytes expected = {0x01, 0x0A, 0xFF, 0x07};
    FILE* file = kest::test::FileWithText(text).release();
    Bytes fromFile(4, 0);
    EXPECT_TRUE(ReadHexBlock(file, fromFile.data(), 4));
    EXPECT_EQ(fromFile, expected);
    std::fclose(file);

    std::istringstream stream(text);
    Bytes fromStream(4, 0);
    EXPECT_TRUE(ReadHexBlock(stream, fromStream.data(), 4));
    EXPECT_EQ(fromStream, expected);
}

TEST(HexBlock, TruncatedBlocksFailAndLeaveTheUnreadBytes) {
    FILE* file = kest::test::FileWithText("61 62").release();
    Bytes bytes(4, 0xEE);
    EXPECT_FALSE(ReadHexBlock(file, bytes.data(), 4));
    EXPECT_EQ(bytes, (Bytes{0x61, 0x62, 0xEE, 0xEE}));
    std::fclose(file);

    std::istringstream stream("61 62");
    Bytes fromStream(4, 0xEE);
    EXPECT_FALSE(ReadHexBlock(stream, fromStream.data(), 4));
    EXPECT_EQ(fromStream, (Bytes{0x61, 0x62, 0xEE, 0xEE}));
    EXPECT_TRUE(stream.fail());
}

TEST(HexBlock, CorruptTokensFail) {
    FILE* file = kest::test::FileWithText("61 zz 63").release();
    Bytes bytes(3, 0xEE);
    EXPECT_FALSE(ReadHexBlock(file, bytes.data(), 3));
    EXPECT_EQ(bytes, (Bytes{0x61, 0xEE, 0xEE}));
    std::fclose(file);

    for (const char* text : {"61 zz 63", "61 -1 63", "61 \x80 63"}) {
        std::istringstream stream(text);
        Bytes fromStream(3, 0xEE);
        EXPECT_FALSE(ReadHexBlock(stream, fromStream.data(), 3)) << text;
        EXPECT_EQ(fromStream[0], 0x61);
        EXPECT_EQ(fromStream[2], 0xEE);
    }
}

TEST(HexBlock, FileReaderTakesAtMostTwoDigitsAByte) {
    FILE* file = kest::test::FileWithText("abc 12").release();
    Bytes bytes(3, 0);
    EXPECT_TRUE(ReadHexBlock(file, bytes.data(), 3));
    EXPECT_EQ(bytes, (Bytes{0xAB, 0x0C, 0x12}));
    std::fclose(file);
}

TEST(HexBlock, StreamReaderTakesTheFirstTwoCharactersOfEachToken) {
    std::istringstream stream("abc " + std::string(100000, 'f') + " 12");
    Bytes bytes(3, 0);
    EXPECT_TRUE(ReadHexBlock(stream, bytes.data(), 3));
    EXPECT_EQ(bytes, (Bytes{0xAB, 0xFF, 0x12}));
}

}  // namespace
