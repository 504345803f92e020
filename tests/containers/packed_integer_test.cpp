#include "containers/byte_io.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/c_files.h"

namespace {

using kest::io::DecodePackedInt;
using kest::io::EncodePackedInt;
using kest::io::ReadPackedInt;
using kest::io::TByteSink;
using kest::io::TByteSource;
using kest::io::WritePackedInt;

using Bytes = std::vector<uint8_t>;

Bytes Encode(int32_t value) {
    uint8_t out[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    const int length = EncodePackedInt(value, out);
    return Bytes(out, out + length);
}

struct Vector {
    int32_t value;
    Bytes bytes;
};

const std::vector<Vector>& Vectors() {
    static const std::vector<Vector> vectors = {
        {0, {0x01, 0x00}},
        {5, {0x01, 0x05}},
        {255, {0x01, 0xFF}},
        {256, {0x02, 0x00, 0x01}},
        {-1, {0x81, 0x01}},
        {-256, {0x82, 0x00, 0x01}},
        {-300, {0x82, 0x2C, 0x01}},
        {0xFFFF, {0x02, 0xFF, 0xFF}},
        {0x10000, {0x03, 0x00, 0x00, 0x01}},
        {0xFFFFFF, {0x03, 0xFF, 0xFF, 0xFF}},
        {0x1000000, {0x04, 0x00, 0x00, 0x00, 0x01}},
        {-0x1000000, {0x84, 0x00, 0x00, 0x00, 0x01}},
        {std::numeric_limits<int32_t>::max(), {0x04, 0xFF, 0xFF, 0xFF, 0x7F}},
        {std::numeric_limits<int32_t>::min(), {0x84, 0x00, 0x00, 0x00, 0x80}},
        {std::numeric_limits<int32_t>::min() + 1, {0x84, 0xFF, 0xFF, 0xFF, 0x7F}},
    };
    return vectors;
}

TEST(PackedInteger, EncodesTheKnownForms) {
    for (const Vector& v : Vectors())
        EXPECT_EQ(Encode(v.value), v.bytes) << "value " << v.value;
}

TEST(PackedInteger, DecodesTheKnownFormsAndReportsTheirLength) {
    for (const Vector& v : Vectors()) {
        int32_t value = 12345;
        EXPECT_EQ(DecodePackedInt(v.bytes.data(), v.bytes.size(), value), static_cast<int>(v.bytes.size()));
        EXPECT_EQ(value, v.value);
    }
}

TEST(PackedInteger, LengthsStepAtEachThresholdForBothSigns) {
    const std::vector<std::pair<int32_t, int>> lengths = {{0, 2},     {255, 2},      {256, 3},     {65535, 3},
                                                          {65536, 4}, {16777215, 4}, {16777216, 5}};
    for (const auto& [value, length] : lengths) {
        uint8_t out[5];
        EXPECT_EQ(EncodePackedInt(value, out), length) << value;
        EXPECT_EQ(EncodePackedInt(-value, out), length) << -value;
    }
}

TEST(PackedInteger, DecodingStopsAtTheFormAndIgnoresWhatFollows) {
    const Bytes data = {0x02, 0x34, 0x12, 0x99, 0x99};
    int32_t value = 0;
    EXPECT_EQ(DecodePackedInt(data.data(), data.size(), value), 3);
    EXPECT_EQ(value, 0x1234);
}

TEST(PackedInteger, TruncatedFormsAreRejectedWithoutTouchingTheValue) {
    for (const Vector& v : Vectors()) {
        for (size_t size = 0; size < v.bytes.size(); ++size) {
            int32_t value = 777;
            EXPECT_EQ(DecodePackedInt(v.bytes.data(), size, value), 0) << v.value << " size " << size;
            EXPECT_EQ(value, 777);
        }
    }
    int32_t value = 777;
    EXPECT_EQ(DecodePackedInt(nullptr, 5, value), 0);
    EXPECT_EQ(value, 777);
}

TEST(PackedInteger, CountBytesOutsideOneToFourAreRejected) {
    for (uint8_t count : {0x00, 0x05, 0x7F, 0x80, 0x85, 0xFF}) {
        const Bytes data = {count, 1, 2, 3, 4, 5, 6, 7, 8};
        int32_t value = 777;
        EXPECT_EQ(DecodePackedInt(data.data(), data.size(), value), 0) << int(count);
        EXPECT_EQ(value, 777);
    }
}

TEST(PackedInteger, RandomValuesRoundTrip) {
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int32_t> any(std::numeric_limits<int32_t>::min(),
                                               std::numeric_limits<int32_t>::max());
    for (int i = 0; i < 5000; ++i) {
        const int32_t original = any(random) >> (random() % 32);
        const Bytes bytes = Encode(original);
        int32_t value = 0;
        ASSERT_EQ(DecodePackedInt(bytes.data(), bytes.size(), value), static_cast<int>(bytes.size()));
        ASSERT_EQ(value, original);
    }
}

using kest::test::FileText;

TEST(PackedInteger, CFileFormsAreTheEncodedBytesAndReadBack) {
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::string expected;
    for (const Vector& v : Vectors()) {
        WritePackedInt(TByteSink(file), v.value);
        expected.append(v.bytes.begin(), v.bytes.end());
    }
    EXPECT_EQ(FileText(file), expected);
    std::rewind(file);
    for (const Vector& v : Vectors()) {
        int32_t value = 0;
        ASSERT_TRUE(ReadPackedInt(TByteSource(file), value));
        EXPECT_EQ(value, v.value);
    }
    int32_t value = 55;
    EXPECT_FALSE(ReadPackedInt(TByteSource(file), value));
    EXPECT_EQ(value, 55);
    std::fclose(file);
}

TEST(PackedInteger, CFileReaderRejectsTruncatedAndCorruptForms) {
    const std::vector<Bytes> bad = {
        {0x03, 0x01}, {0x84, 0x00, 0x00, 0x00}, {0x00, 0x01}, {0x06, 1, 2, 3, 4, 5, 6}};
    for (const Bytes& data : bad) {
        FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        std::fwrite(data.data(), 1, data.size(), file);
        std::rewind(file);
        int32_t value = 55;
        EXPECT_FALSE(ReadPackedInt(TByteSource(file), value));
        EXPECT_EQ(value, 55);
        std::fclose(file);
    }
}

TEST(PackedInteger, StreamFormsAreTheEncodedBytesAndReadBack) {
    std::stringstream stream(std::ios::in | std::ios::out | std::ios::binary);
    std::string expected;
    for (const Vector& v : Vectors()) {
        WritePackedInt(TByteSink(stream), v.value);
        expected.append(v.bytes.begin(), v.bytes.end());
    }
    EXPECT_EQ(stream.str(), expected);
    for (const Vector& v : Vectors()) {
        int32_t value = 0;
        ASSERT_TRUE(ReadPackedInt(TByteSource(stream), value));
        EXPECT_EQ(value, v.value);
    }
    int32_t value = 55;
    EXPECT_FALSE(ReadPackedInt(TByteSource(stream), value));
    EXPECT_EQ(value, 55);
}

TEST(PackedInteger, StreamReaderRejectsTruncatedAndCorruptForms) {
    const std::vector<std::string> bad = {std::string("\x02\x01", 2), std::string("\x00\x01", 2),
                                          std::string("\x85\x01\x02\x03\x04\x05", 6), std::string()};
    for (const std::string& data : bad) {
        std::istringstream stream(data, std::ios::binary);
        int32_t value = 55;
        EXPECT_FALSE(ReadPackedInt(TByteSource(stream), value));
        EXPECT_EQ(value, 55);
        EXPECT_TRUE(stream.fail());
    }
}

}  // namespace
