#include "containers/byte_io.h"

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
using kest::io::TByteSink;
using kest::io::TByteSource;
using kest::io::WriteHexBlock;

// Reads a text as a block of count bytes (or a piece of a block: see ReadHexBlock).
template <typename Medium>
bool ReadHexBlock(Medium& medium, uint8_t* bytes, size_t count, size_t first, size_t total,
                  std::string& problem) {
    return kest::io::ReadHexBlock(TByteSource(medium), bytes, count, first, total, problem);
}
template <typename Medium>
bool ReadHexBlock(Medium& medium, uint8_t* bytes, size_t count) {
    std::string problem;
    return ReadHexBlock(medium, bytes, count, 0, count, problem);
}

std::string WriteToFile(const Bytes& bytes) {
    kest::test::File file = kest::test::TempFile();
    WriteHexBlock(TByteSink(file.get()), bytes.data(), bytes.size());
    return kest::test::FileText(file.get());
}

std::string WriteToStream(const Bytes& bytes) {
    std::ostringstream stream;
    WriteHexBlock(TByteSink(stream), bytes.data(), bytes.size());
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

// What one reader makes of a text: the bytes, or nothing and the reason.
struct TReading {
    bool read = false;
    Bytes bytes;
    std::string problem;
};

TReading FromFile(const std::string& text, size_t count) {
    FILE* file = kest::test::FileWithText(text).release();
    TReading reading;
    reading.bytes.assign(count, 0xEE);
    reading.read = ReadHexBlock(file, reading.bytes.data(), count, 0, count, reading.problem);
    std::fclose(file);
    return reading;
}

TReading FromStream(const std::string& text, size_t count) {
    std::istringstream stream(text);
    TReading reading;
    reading.bytes.assign(count, 0xEE);
    reading.read = ReadHexBlock(stream, reading.bytes.data(), count, 0, count, reading.problem);
    EXPECT_EQ(stream.fail(), !reading.read) << text;
    return reading;
}

// The C file and the stream reader take exactly the same texts: two characters a byte,
// separated as the writers separate them; anything else is refused with a reason.
TEST(HexBlock, BothReadersAcceptAndRefuseTheSameTexts) {
    struct TCase {
        std::string text;
        size_t count;
        Bytes expected;  // empty: refused
    };
    const TCase cases[] = {
        {"61 62 63\n", 3, {0x61, 0x62, 0x63}},
        {" 1  a ff\n", 3, {0x01, 0x0A, 0xFF}},
        {"01 0A Ff\n", 3, {0x01, 0x0A, 0xFF}},
        {" 0  1  2  3  4  5  6  7\n 8\n", 9, {0, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"616263\n", 3, {}},
        {"61626\n", 3, {}},
        // One byte short: the reader must not take the digits of the next line.
        {"61 62\n256\n", 3, {}},
        {"616 62 63\n", 3, {}},
        {"abc 12\n", 2, {}},
        {"61 zz 63\n", 3, {}},
        {"61 -1 63\n", 3, {}},
        {"61\t62 63\n", 3, {}},
        {"61  62 63\n", 3, {}},
        {"61 62 63\r\n", 3, {}},
        {"61 62 63 \n", 3, {}},
        {"61 62 63", 3, {}},
        {"6", 1, {}},
        {"", 1, {}},
        {" 0  1  2  3  4  5  6  7  8\n", 9, {}},
        {"\n61 62 63\n", 3, {}},
        {"61 " + std::string(100000, 'f') + " 12\n", 3, {}},
    };
    for (const TCase& item : cases) {
        const TReading file = FromFile(item.text, item.count);
        const TReading stream = FromStream(item.text, item.count);
        EXPECT_EQ(file.read, !item.expected.empty()) << item.text;
        EXPECT_EQ(stream.read, file.read) << item.text;
        EXPECT_EQ(stream.bytes, file.bytes) << item.text;
        EXPECT_EQ(stream.problem, file.problem) << item.text;
        if (file.read)
            EXPECT_EQ(file.bytes, item.expected) << item.text;
        else
            EXPECT_NE(file.problem.find("of the hex block"), std::string::npos) << item.text;
    }
    EXPECT_EQ(FromFile("61 62\n256\n", 3).problem,
              "byte 2 of 3 of the hex block: a line end where a blank belongs");
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

}  // namespace
