// Binary and text images of the memory space: exact bytes, round trips on every target,
// and readers fed truncated, oversized and corrupted images.
#include "memory/mem_space.h"

#include <zlib.h>

#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "containers/kest_exception.h"
#include "tests/support/memory_images.h"

namespace {

using memory_test::Bytes;
using memory_test::File;
using memory_test::ToBytes;
using memory_test::ToString;
using memory_test::TRecordingSpace;

const Bytes kAbc = {'a', 'b', 'c'};
const Bytes kAbcStored = {0x03, 0x00, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63};
const Bytes kAbcCompressed = {0x03, 0x00, 0x00, 0x00, 0x01, 0x0B, 0x00, 0x00, 0x00, 0x78,
                              0x9C, 0x4B, 0x4C, 0x4A, 0x06, 0x00, 0x02, 0x4D, 0x01, 0x27};
const Bytes kEmptyImage = {0x00, 0x00, 0x00, 0x00};

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes LittleEndian(int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

Bytes BinaryOnFile(TMemSpace& space) {
    File file = memory_test::TempFile();
    space.WriteBinary(file.get());
    return memory_test::FileBytes(file.get());
}

Bytes BinaryOnStream(TMemSpace& space) {
    std::ostringstream stream(std::ios_base::out | std::ios_base::binary);
    space.WriteBinary(stream);
    return ToBytes(stream.str());
}

std::string TextOnFile(TMemSpace& space) {
    File file = memory_test::TempFile();
    space.WriteText(file.get());
    return ToString(memory_test::FileBytes(file.get()));
}

std::string TextOnStream(TMemSpace& space) {
    std::ostringstream stream;
    space.WriteText(stream);
    return stream.str();
}

// zlib's own compress at the default level, for comparison with the payload written.
Bytes ZlibCompress(const Bytes& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    Bytes out(size);
    EXPECT_EQ(
        compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), Z_DEFAULT_COMPRESSION),
        Z_OK);
    out.resize(size);
    return out;
}

// The places an image can be read from.
enum class Source { File, Stream, Memory, Pipe, ForwardStream };

const char* SourceName(Source source) {
    switch (source) {
    case Source::File: return "File";
    case Source::Stream: return "Stream";
    case Source::Memory: return "Memory";
    case Source::Pipe: return "Pipe";
    case Source::ForwardStream: return "ForwardStream";
    }
    return "?";
}

void LoadBinary(TMemSpace& target, Source source, const Bytes& image) {
    switch (source) {
    case Source::File: {
        File file = memory_test::FileWith(image);
        target.ReadBinary(file.get());
        return;
    }
    case Source::Stream: {
        std::istringstream stream(ToString(image), std::ios_base::in | std::ios_base::binary);
        target.ReadBinary(stream);
        return;
    }
    case Source::Memory: {
        auto space = memory_test::SpaceWithImage(image);
        target.ReadFromSpace(*space);
        return;
    }
    case Source::Pipe: {
        File file = memory_test::PipeWith(image);
        ASSERT_NE(file.get(), nullptr);
        target.ReadBinary(file.get());
        return;
    }
    case Source::ForwardStream: {
        memory_test::TForwardOnlyBuffer buffer(image);
        std::istream stream(&buffer);
        target.ReadBinary(stream);
        return;
    }
    }
}

void LoadText(TMemSpace& target, Source source, const std::string& text) {
    switch (source) {
    case Source::File: {
        File file = memory_test::FileWith(ToBytes(text));
        target.ReadText(file.get());
        return;
    }
    case Source::Stream:
    case Source::Memory: {
        std::istringstream stream(text);
        target.ReadText(stream);
        return;
    }
    case Source::Pipe: {
        File file = memory_test::PipeWith(ToBytes(text));
        ASSERT_NE(file.get(), nullptr);
        target.ReadText(file.get());
        return;
    }
    case Source::ForwardStream: {
        memory_test::TForwardOnlyBuffer buffer(ToBytes(text));
        std::istream stream(&buffer);
        target.ReadText(stream);
        return;
    }
    }
}

// ---------------------------------------------------------------------------------
// Exact bytes.

TEST(MemSpaceBinaryImage, StoredAbcIsExactOnEveryTarget) {
    TRecordingSpace space(kAbc);
    EXPECT_EQ(BinaryOnFile(space), kAbcStored);
    EXPECT_EQ(BinaryOnStream(space), kAbcStored);
    EXPECT_EQ(memory_test::MemoryImage(space), kAbcStored);
}

TEST(MemSpaceBinaryImage, CompressedAbcIsTheZlibStream) {
    TRecordingSpace space(kAbc);
    space.FCompressed = true;
    EXPECT_EQ(BinaryOnFile(space), kAbcCompressed);
    EXPECT_EQ(BinaryOnStream(space), kAbcCompressed);
    EXPECT_EQ(memory_test::MemoryImage(space), kAbcCompressed);
}

TEST(MemSpaceBinaryImage, EmptyWritesTheLengthAlone) {
    TRecordingSpace space;
    EXPECT_EQ(BinaryOnFile(space), kEmptyImage);
    space.FCompressed = true;
    EXPECT_EQ(BinaryOnFile(space), kEmptyImage);
    EXPECT_EQ(BinaryOnStream(space), kEmptyImage);
    EXPECT_EQ(memory_test::MemoryImage(space), kEmptyImage);
}

TEST(MemSpaceBinaryImage, PayloadIsZlibDefaultLevelAndTargetsAgree) {
    const Bytes payloads[] = {Bytes{0x5A}, memory_test::TextLikeBytes(100000, 3),
                              memory_test::RandomBytes(5000, 4)};
    for (const Bytes& payload : payloads) {
        for (bool compressed : {false, true}) {
            TRecordingSpace space(payload);
            space.FCompressed = compressed;
            const Bytes image = BinaryOnFile(space);
            Bytes expected = Concat(LittleEndian(static_cast<int32_t>(payload.size())),
                                    {compressed ? uint8_t{1} : uint8_t{0}});
            if (compressed) {
                const Bytes packed = ZlibCompress(payload);
                expected =
                    Concat(Concat(expected, LittleEndian(static_cast<int32_t>(packed.size()))), packed);
            } else {
                expected = Concat(expected, payload);
            }
            EXPECT_EQ(image, expected) << payload.size() << " compressed " << compressed;
            EXPECT_EQ(BinaryOnStream(space), image);
            EXPECT_EQ(memory_test::MemoryImage(space), image);
        }
    }
}

TEST(MemSpaceTextImage, StoredAbcLines) {
    TRecordingSpace space(kAbc);
    EXPECT_EQ(TextOnFile(space), "3\n0\n61 62 63\n");
    EXPECT_EQ(TextOnStream(space), "3\n0\n61 62 63\n");
}

TEST(MemSpaceTextImage, EmptyIsTheSingleLineZero) {
    TRecordingSpace space;
    space.FCompressed = true;
    EXPECT_EQ(TextOnFile(space), "0\n");
    EXPECT_EQ(TextOnStream(space), "0\n");
}

TEST(MemSpaceTextImage, CompressedAbcCarriesSizeAndHexOfTheZlibStream) {
    TRecordingSpace space(kAbc);
    space.FCompressed = true;
    EXPECT_EQ(TextOnFile(space), "3\n1\n11\n78 9c 4b 4c 4a  6  0  2\n4d  1 27\n");
}

// ---------------------------------------------------------------------------------
// Round trips.

class MemSpaceRoundTrip : public ::testing::TestWithParam<Source> {};

TEST_P(MemSpaceRoundTrip, BinaryKeepsBytesFlagAndCursor) {
    const Bytes payloads[] = {kAbc, memory_test::TextLikeBytes(20000, 5), memory_test::RandomBytes(3000, 6)};
    for (const Bytes& payload : payloads) {
        for (bool compressed : {false, true}) {
            TRecordingSpace source(payload);
            source.FCompressed = compressed;
            const Bytes image = BinaryOnFile(source);
            TRecordingSpace target(Bytes{9, 9});
            target.FCompressed = !compressed;
            target.FPosition = 1;
            LoadBinary(target, GetParam(), image);
            EXPECT_EQ(target.Content(), payload);
            EXPECT_EQ(target.FCompressed, compressed);
            EXPECT_EQ(target.Position(), 1);
            EXPECT_EQ(target.FRequests, std::vector<int32_t>{static_cast<int32_t>(payload.size())});
        }
    }
}

TEST_P(MemSpaceRoundTrip, TextKeepsBytesAndFlag) {
    const Bytes payloads[] = {kAbc, memory_test::TextLikeBytes(5000, 7), memory_test::RandomBytes(2000, 8)};
    for (const Bytes& payload : payloads) {
        for (bool compressed : {false, true}) {
            TRecordingSpace source(payload);
            source.FCompressed = compressed;
            // Written by one writer and read by the other reader too.
            for (const std::string& text : {TextOnFile(source), TextOnStream(source)}) {
                TRecordingSpace target;
                LoadText(target, GetParam(), text);
                EXPECT_EQ(target.Content(), payload);
                EXPECT_EQ(target.FCompressed, compressed);
            }
        }
    }
}

TEST_P(MemSpaceRoundTrip, IncompressibleDataGrowsButRestores) {
    const Bytes payload = memory_test::RandomBytes(4096, 9);
    TRecordingSpace source(payload);
    source.FCompressed = true;
    const Bytes image = BinaryOnFile(source);
    const int32_t size = static_cast<int32_t>(image[5] | image[6] << 8 | image[7] << 16 | image[8] << 24);
    EXPECT_GT(size, 4096);
    EXPECT_LE(size, 4096 + 4096 / 10 + 13);
    TRecordingSpace target;
    LoadBinary(target, GetParam(), image);
    EXPECT_EQ(target.Content(), payload);
}

TEST_P(MemSpaceRoundTrip, LengthZeroAllocatesNothingAndKeepsFlag) {
    TRecordingSpace target(kAbc);
    target.FCompressed = true;
    LoadBinary(target, GetParam(), kEmptyImage);
    EXPECT_EQ(target.Length(), 0);
    EXPECT_EQ(target.Data(), nullptr);
    EXPECT_TRUE(target.FCompressed);
    EXPECT_EQ(target.FRequests, std::vector<int32_t>{0});
    TRecordingSpace text(kAbc);
    LoadText(text, GetParam(), "0\n");
    EXPECT_EQ(text.Length(), 0);
    EXPECT_EQ(text.FRequests, std::vector<int32_t>{0});
}

TEST_P(MemSpaceRoundTrip, AnyNonZeroFlagMeansCompressed) {
    Bytes image = kAbcCompressed;
    image[4] = 7;
    TRecordingSpace target;
    LoadBinary(target, GetParam(), image);
    EXPECT_EQ(target.Content(), kAbc);
    EXPECT_TRUE(target.FCompressed);
    TRecordingSpace text;
    LoadText(text, GetParam(), "3\n5\n11\n78 9c 4b 4c 4a  6  0  2\n4d  1 27\n");
    EXPECT_EQ(text.Content(), kAbc);
    EXPECT_TRUE(text.FCompressed);
}

INSTANTIATE_TEST_SUITE_P(AllSources, MemSpaceRoundTrip,
                         ::testing::Values(Source::File, Source::Stream, Source::Memory, Source::Pipe,
                                           Source::ForwardStream),
                         [](const auto& info) { return std::string(SourceName(info.param)); });

TEST(MemSpaceImageReader, LargeImagesFromAStreamOfUnknownSize) {
    // Several times the step in which such sources are read, and not a multiple of it.
    const Bytes payload = memory_test::RandomBytes((3u << 20) + 17, 14);
    for (bool compressed : {false, true}) {
        TRecordingSpace source(payload);
        source.FCompressed = compressed;
        const Bytes image = BinaryOnStream(source);
        TRecordingSpace target;
        LoadBinary(target, Source::ForwardStream, image);
        EXPECT_EQ(target.Content(), payload);
        // Cut short by one byte it is refused, without keeping anything.
        TRecordingSpace cut(Bytes{1});
        EXPECT_THROW(LoadBinary(cut, Source::ForwardStream, Bytes(image.begin(), image.end() - 1)),
                     TKestSerialization);
        EXPECT_EQ(cut.Content(), Bytes{1});
    }
}

TEST(MemSpaceImageReader, StopsAfterItsImage) {
    TRecordingSpace source(kAbc);
    const Bytes tail = {0xEE};
    // C file: the byte after the image is still there.
    File file = memory_test::FileWith(Concat(kAbcStored, tail));
    TRecordingSpace target;
    target.ReadBinary(file.get());
    EXPECT_EQ(std::fgetc(file.get()), 0xEE);
    // Memory: two images one after the other, read in turn at the cursor.
    auto space = memory_test::SpaceWithImage(Concat(kAbcCompressed, kEmptyImage));
    target.ReadFromSpace(*space);
    EXPECT_EQ(space->Position(), static_cast<int32_t>(kAbcCompressed.size()));
    EXPECT_EQ(target.Content(), kAbc);
    target.ReadFromSpace(*space);
    EXPECT_EQ(target.Length(), 0);
    EXPECT_EQ(space->Position(), space->Length());
    EXPECT_THROW(target.ReadFromSpace(*space), TKestSerialization);
}

TEST(MemSpaceImageReader, ImageOfItselfInItself) {
    auto buffer = memory_test::BufferWith(kAbc);
    buffer->WriteToBuffer(*buffer);
    EXPECT_EQ(Bytes(buffer->Data(), buffer->Data() + buffer->Length()), Concat(kAbc, kAbcStored));
    buffer->FPosition = 3;
    buffer->ReadFromSpace(*buffer);
    EXPECT_EQ(Bytes(buffer->Data(), buffer->Data() + buffer->Length()), kAbc);
    EXPECT_EQ(buffer->Position(), 3 + static_cast<int32_t>(kAbcStored.size()));
}

// ---------------------------------------------------------------------------------
// Bad images.

class MemSpaceBadImage : public ::testing::TestWithParam<Source> {
protected:
    // Loading must throw E and leave the target as it was, without asking for storage.
    template <typename E>
    void ExpectRejectedUnchanged(const Bytes& image) {
        TRecordingSpace target(Bytes{0x7A, 0x7A});
        target.FCompressed = true;
        try {
            LoadBinary(target, GetParam(), image);
            ADD_FAILURE() << "loaded";
        } catch (const E& e) {
            EXPECT_FALSE(e.Detail().empty()) << e.what();
        }
        EXPECT_EQ(target.Content(), (Bytes{0x7A, 0x7A}));
        EXPECT_TRUE(target.FCompressed);
        EXPECT_TRUE(target.FRequests.empty());
    }

    template <typename E>
    void ExpectTextRejectedUnchanged(const std::string& text) {
        TRecordingSpace target(Bytes{0x7A, 0x7A});
        try {
            LoadText(target, GetParam(), text);
            ADD_FAILURE() << "loaded " << text;
        } catch (const E& e) {
            EXPECT_FALSE(e.Detail().empty()) << text << ": " << e.what();
        }
        EXPECT_EQ(target.Content(), (Bytes{0x7A, 0x7A})) << text;
        EXPECT_TRUE(target.FRequests.empty()) << text;
    }
};

TEST_P(MemSpaceBadImage, EveryTruncationOfABinaryImageIsRejected) {
    const Bytes images[] = {kAbcStored, kAbcCompressed, kEmptyImage};
    for (const Bytes& image : images) {
        for (size_t cut = 0; cut < image.size(); ++cut) {
            SCOPED_TRACE(cut);
            ExpectRejectedUnchanged<TKestSerialization>(
                Bytes(image.begin(), image.begin() + static_cast<long>(cut)));
        }
    }
}

TEST_P(MemSpaceBadImage, NegativeOrOversizedLengthIsRejectedBeforeAllocation) {
    ExpectRejectedUnchanged<TKestSerialization>(Concat(LittleEndian(-1), {0, 1, 2, 3}));
    ExpectRejectedUnchanged<TKestSerialization>(
        Concat(LittleEndian(std::numeric_limits<int32_t>::min()), {0}));
    ExpectRejectedUnchanged<TKestSerialization>(
        Concat(LittleEndian(std::numeric_limits<int32_t>::max()), {0, 1, 2, 3}));
    ExpectRejectedUnchanged<TKestSerialization>(Concat(LittleEndian(4), {0, 'a', 'b', 'c'}));
}

TEST_P(MemSpaceBadImage, NegativeOrOversizedCompressedSizeIsRejected) {
    Bytes image = kAbcCompressed;
    const Bytes sizes[] = {LittleEndian(-1), LittleEndian(std::numeric_limits<int32_t>::max()),
                           LittleEndian(12)};
    for (const Bytes& size : sizes) {
        std::copy(size.begin(), size.end(), image.begin() + 5);
        ExpectRejectedUnchanged<TKestSerialization>(image);
    }
}

TEST_P(MemSpaceBadImage, LengthNoPayloadCouldRestoreIsRejectedBeforeAllocation) {
    // Eleven bytes of zlib stream cannot restore to anything near 2 GB.
    Bytes image = kAbcCompressed;
    const Bytes length = LittleEndian(std::numeric_limits<int32_t>::max());
    std::copy(length.begin(), length.end(), image.begin());
    ExpectRejectedUnchanged<TKestCompressException>(image);
    // An empty payload restores to nothing.
    ExpectRejectedUnchanged<TKestCompressException>(Concat(Concat(LittleEndian(3), {1}), LittleEndian(0)));
}

// A megabyte of zeros is a kilobyte of zlib stream: the caller's cap on restored
// lengths refuses it before anything is allocated; the default cap of 256 MiB takes it.
TEST_P(MemSpaceBadImage, LengthAboveTheRestoreCapIsRejectedBeforeAllocation) {
    TRecordingSpace source(Bytes(size_t{1} << 20, 0));
    source.FCompressed = true;
    const Bytes image = BinaryOnFile(source);
    ASSERT_LT(image.size(), size_t{1} << 12);
    const int32_t previous = TMemSpace::SetMaxRestoredLength(1 << 19);
    ExpectRejectedUnchanged<TKestCompressException>(image);
    TMemSpace::SetMaxRestoredLength(previous);
    EXPECT_EQ(previous, 256 << 20);
    TRecordingSpace target;
    LoadBinary(target, GetParam(), image);
    EXPECT_EQ(target.Length(), 1 << 20);
}

TEST_P(MemSpaceBadImage, WrongStoredLengthLeavesTheObjectEmpty) {
    for (int32_t length : {2, 4, 1000}) {
        Bytes image = kAbcCompressed;
        const Bytes stored = LittleEndian(length);
        std::copy(stored.begin(), stored.end(), image.begin());
        TRecordingSpace target(Bytes{0x7A});
        target.FPosition = 1;
        EXPECT_THROW(LoadBinary(target, GetParam(), image), TKestCompressException) << length;
        EXPECT_EQ(target.Length(), 0);
        EXPECT_EQ(target.Data(), nullptr);
        EXPECT_EQ(target.Position(), 1);
    }
}

TEST_P(MemSpaceBadImage, EveryCorruptedPayloadByteIsDetected) {
    for (size_t at = 9; at < kAbcCompressed.size(); ++at) {
        Bytes image = kAbcCompressed;
        image[at] ^= 0xFF;
        TRecordingSpace target(Bytes{0x7A});
        EXPECT_THROW(LoadBinary(target, GetParam(), image), TKestCompressException) << at;
        EXPECT_EQ(target.Length(), 0);
        EXPECT_EQ(target.Data(), nullptr);
    }
}

TEST_P(MemSpaceBadImage, CorruptedLargePayloadIsDetected) {
    TRecordingSpace source(memory_test::TextLikeBytes(30000, 12));
    source.FCompressed = true;
    const Bytes image = BinaryOnFile(source);
    std::mt19937 engine(13);
    for (int trial = 0; trial < 20; ++trial) {
        Bytes corrupted = image;
        const size_t at = 9 + engine() % (image.size() - 9);
        corrupted[at] ^= static_cast<uint8_t>(1 + engine() % 255);
        TRecordingSpace target;
        EXPECT_THROW(LoadBinary(target, GetParam(), corrupted), TKestCompressException) << at;
        EXPECT_EQ(target.Length(), 0);
    }
}

TEST_P(MemSpaceBadImage, TextTruncationsAreRejectedOrLoadWhatIsThere) {
    // Cut anywhere before the last hex byte begins, a text image is incomplete.
    const std::string stored = "3\n0\n61 62 63\n";
    for (size_t cut = 0; cut < stored.find("63"); ++cut) {
        ExpectTextRejectedUnchanged<TKestSerialization>(stored.substr(0, cut));
    }
    const std::string compressed = "3\n1\n11\n78 9c 4b 4c 4a  6  0  2\n4d  1 27\n";
    for (size_t cut = 0; cut < compressed.find("27"); ++cut) {
        TRecordingSpace target(Bytes{0x7A});
        const std::string text = compressed.substr(0, cut);
        try {
            LoadText(target, GetParam(), text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const TKestSerialization&) {
        } catch (const TKestCompressException&) {
        }
    }
}

TEST_P(MemSpaceBadImage, MalformedTextIsRejected) {
    ExpectTextRejectedUnchanged<TKestSerialization>("abc\n");
    ExpectTextRejectedUnchanged<TKestSerialization>("-3\n0\n61 62 63\n");
    ExpectTextRejectedUnchanged<TKestSerialization>("99999999999\n0\n61\n");
    ExpectTextRejectedUnchanged<TKestSerialization>("4294967299\n0\n61 62 63\n");  // 2^32 + 3
    ExpectTextRejectedUnchanged<TKestSerialization>("2147483647\n0\n61 62 63\n");
    ExpectTextRejectedUnchanged<TKestSerialization>("3\nx\n61 62 63\n");
    ExpectTextRejectedUnchanged<TKestSerialization>("3\n1\n-1\n78\n");
    ExpectTextRejectedUnchanged<TKestSerialization>("3\n1\n999999\n78 9c\n");
    ExpectTextRejectedUnchanged<TKestCompressException>("3\n1\n0\n");
    ExpectTextRejectedUnchanged<TKestCompressException>(
        "2147483647\n1\n11\n78 9c 4b 4c 4a  6  0  2\n4d  1 27\n");
}

TEST_P(MemSpaceBadImage, BadHexKeepsAndCorruptTextPayloadEmptiesTheObject) {
    ExpectTextRejectedUnchanged<TKestSerialization>("3\n0\n61 zz 63\n");
    TRecordingSpace corrupt(Bytes{0x7A});
    EXPECT_THROW(LoadText(corrupt, GetParam(), "3\n1\n11\n78 9c 4b 4c 4a  6  0  2\n4d  1 28\n"),
                 TKestCompressException);
    EXPECT_EQ(corrupt.Length(), 0);
    TRecordingSpace wrong(Bytes{0x7A});
    EXPECT_THROW(LoadText(wrong, GetParam(), "4\n1\n11\n78 9c 4b 4c 4a  6  0  2\n4d  1 27\n"),
                 TKestCompressException);
    EXPECT_EQ(wrong.Length(), 0);
}

INSTANTIATE_TEST_SUITE_P(AllSources, MemSpaceBadImage,
                         ::testing::Values(Source::File, Source::Stream, Source::Memory, Source::Pipe,
                                           Source::ForwardStream),
                         [](const auto& info) { return std::string(SourceName(info.param)); });

TEST(MemSpaceBadImage, ImageCutByTheEndOfASpaceLeavesItsCursor) {
    auto space = memory_test::SpaceWithImage(Concat({0xAA}, Bytes(kAbcStored.begin(), kAbcStored.end() - 1)));
    space->FPosition = 1;
    TRecordingSpace target;
    EXPECT_THROW(target.ReadFromSpace(*space), TKestSerialization);
    EXPECT_LE(space->Position(), space->Length());
}

}  // namespace
