// Images of the memory buffer: the memory-space image plus the growth step on C files and
// streams (not in memory images), named files, and readers fed bad images.
#include "memory/mem_buffer.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "containers/kest_exception.h"
#include "tests/support/files.h"
#include "tests/support/memory_images.h"

namespace {

using memory_test::Bytes;
using memory_test::File;
using memory_test::ToBytes;
using memory_test::ToString;

const Bytes kAbc = {'a', 'b', 'c'};
const Bytes kAbcBufferImage = {0x03, 0x00, 0x00, 0x00, 0x00, 0x61, 0x62, 0x63, 0x00, 0x01, 0x00, 0x00};
const Bytes kEmptyBufferImage = {0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00};

Bytes Content(const TMemBuffer& buffer) {
    return Bytes(buffer.Data(), buffer.Data() + buffer.Length());
}

Bytes BinaryOnFile(TContainerItem& item) {
    File file = memory_test::TempFile();
    item.WriteBinary(file.get());
    return memory_test::FileBytes(file.get());
}

Bytes BinaryOnStream(TContainerItem& item) {
    std::ostringstream stream(std::ios_base::out | std::ios_base::binary);
    item.Write(stream, std::ios_base::binary);
    return ToBytes(stream.str());
}

std::string TextOnFile(TContainerItem& item) {
    File file = memory_test::TempFile();
    item.WriteText(file.get());
    return ToString(memory_test::FileBytes(file.get()));
}

std::string TextOnStream(TContainerItem& item) {
    std::ostringstream stream;
    item.Write(stream, std::ios_base::out);
    return stream.str();
}

using kest::test::TScratchFolder;

Bytes ReadWholeFile(const std::string& path) {
    return ToBytes(kest::test::ReadWholeFile(path));
}

// ---------------------------------------------------------------------------------
// Exact images.

TEST(MemBufferImage, AbcBinaryIsTwelveBytesOnFileAndStream) {
    auto buffer = memory_test::BufferWith(kAbc);
    EXPECT_EQ(BinaryOnFile(*buffer), kAbcBufferImage);
    EXPECT_EQ(BinaryOnStream(*buffer), kAbcBufferImage);
}

TEST(MemBufferImage, MemoryImageCarriesNoStep) {
    auto buffer = memory_test::BufferWith(kAbc);
    buffer->FGrowBy = 1000;
    EXPECT_EQ(memory_test::MemoryImage(*buffer), Bytes(kAbcBufferImage.begin(), kAbcBufferImage.begin() + 8));
}

TEST(MemBufferImage, AbcTextIsFourLines) {
    auto buffer = memory_test::BufferWith(kAbc);
    EXPECT_EQ(TextOnFile(*buffer), "3\n0\n61 62 63\n256\n");
    EXPECT_EQ(TextOnStream(*buffer), "3\n0\n61 62 63\n256\n");
}

TEST(MemBufferImage, EmptyBufferImages) {
    TMemBuffer buffer;
    EXPECT_EQ(BinaryOnFile(buffer), kEmptyBufferImage);
    EXPECT_EQ(BinaryOnStream(buffer), kEmptyBufferImage);
    EXPECT_EQ(TextOnFile(buffer), "0\n256\n");
    EXPECT_EQ(TextOnStream(buffer), "0\n256\n");
}

TEST(MemBufferImage, StepIsWrittenAsStored) {
    auto buffer = memory_test::BufferWith(kAbc);
    buffer->FGrowBy = 0x01020304;
    const Bytes image = BinaryOnFile(*buffer);
    EXPECT_EQ(Bytes(image.end() - 4, image.end()), (Bytes{0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(TextOnFile(*buffer), "3\n0\n61 62 63\n16909060\n");
}

// ---------------------------------------------------------------------------------
// Round trips.

TEST(MemBufferRoundTrip, BinaryOnFileKeepsBytesFlagAndStep) {
    for (bool compressed : {false, true}) {
        auto source = memory_test::BufferWith(memory_test::TextLikeBytes(70000, 21), compressed);
        source->FGrowBy = 1000;
        EXPECT_GT(source->FCapacity, source->Length());
        File file = memory_test::TempFile();
        source->WriteBinary(file.get());
        std::rewind(file.get());
        TMemBuffer target;
        target.ReadBinary(file.get());
        EXPECT_EQ(Content(target), Content(*source));
        EXPECT_EQ(target.FCompressed, compressed);
        EXPECT_EQ(target.FGrowBy, 1000);
        EXPECT_EQ(target.FCapacity, target.Length());
        EXPECT_EQ(std::fgetc(file.get()), EOF);
    }
}

TEST(MemBufferRoundTrip, StreamAndTextFormsThroughTheItemInterface) {
    for (bool compressed : {false, true}) {
        auto source = memory_test::BufferWith(memory_test::RandomBytes(3000, 22), compressed);
        source->FGrowBy = 77;
        TContainerItem& item = *source;
        {
            std::istringstream stream(ToString(BinaryOnStream(item)),
                                      std::ios_base::in | std::ios_base::binary);
            TMemBuffer target;
            static_cast<TContainerItem&>(target).Read(stream, std::ios_base::binary);
            EXPECT_EQ(Content(target), Content(*source));
            EXPECT_EQ(target.FCompressed, compressed);
            EXPECT_EQ(target.FGrowBy, 77);
        }
        for (const std::string& text : {TextOnFile(item), TextOnStream(item)}) {
            std::istringstream stream(text);
            TMemBuffer fromStream;
            static_cast<TContainerItem&>(fromStream).Read(stream, std::ios_base::in);
            EXPECT_EQ(Content(fromStream), Content(*source));
            EXPECT_EQ(fromStream.FGrowBy, 77);
            File file = memory_test::FileWith(ToBytes(text));
            TMemBuffer fromFile;
            fromFile.ReadText(file.get());
            EXPECT_EQ(Content(fromFile), Content(*source));
            EXPECT_EQ(fromFile.FCompressed, compressed);
            EXPECT_EQ(fromFile.FGrowBy, 77);
        }
    }
}

TEST(MemBufferRoundTrip, ThreeBinaryTargetsAgree) {
    for (bool compressed : {false, true}) {
        auto source = memory_test::BufferWith(memory_test::TextLikeBytes(9000, 23), compressed);
        const Bytes memory = memory_test::MemoryImage(*source);
        const Bytes onFile = BinaryOnFile(*source);
        EXPECT_EQ(onFile, BinaryOnStream(*source));
        ASSERT_EQ(onFile.size(), memory.size() + 4);
        EXPECT_EQ(Bytes(onFile.begin(), onFile.end() - 4), memory);
    }
}

TEST(MemBufferRoundTrip, MemoryImageLoadSizesStorageExactly) {
    auto source = memory_test::BufferWith(memory_test::RandomBytes(1000, 24), true);
    TMemBuffer image;
    source->WriteToBuffer(image);
    image.Rewind();
    TMemBuffer target;
    target.FGrowBy = 5;
    target.ReadFromSpace(image);
    EXPECT_EQ(Content(target), Content(*source));
    EXPECT_EQ(target.FCapacity, 1000);
    EXPECT_EQ(target.FGrowBy, 5);
    EXPECT_TRUE(target.FCompressed);
}

TEST(MemBufferRoundTrip, StoredLengthZeroReleasesThenReadsStep) {
    auto target = memory_test::BufferWith(kAbc);
    target->FGrowBy = 9;
    File file = memory_test::FileWith({0x00, 0x00, 0x00, 0x00, 0x4D, 0x00, 0x00, 0x00});
    target->ReadBinary(file.get());
    EXPECT_EQ(target->Data(), nullptr);
    EXPECT_EQ(target->FCapacity, 0);
    EXPECT_EQ(target->FGrowBy, 77);

    auto fromMemory = memory_test::BufferWith(kAbc);
    fromMemory->FGrowBy = 9;
    auto space = memory_test::SpaceWithImage({0, 0, 0, 0});
    fromMemory->ReadFromSpace(*space);
    EXPECT_EQ(fromMemory->FCapacity, 0);
    EXPECT_EQ(fromMemory->FGrowBy, 256);
}

TEST(MemBufferRoundTrip, NonPositiveStoredStepBecomesDefault) {
    for (int32_t step : {0, -1, -256, std::numeric_limits<int32_t>::min()}) {
        const auto v = static_cast<uint32_t>(step);
        const Bytes image = {0x03,
                             0x00,
                             0x00,
                             0x00,
                             0x00,
                             0x61,
                             0x62,
                             0x63,
                             static_cast<uint8_t>(v),
                             static_cast<uint8_t>(v >> 8),
                             static_cast<uint8_t>(v >> 16),
                             static_cast<uint8_t>(v >> 24)};
        File file = memory_test::FileWith(image);
        TMemBuffer binary;
        binary.ReadBinary(file.get());
        EXPECT_EQ(binary.FGrowBy, 256) << step;
        EXPECT_EQ(Content(binary), kAbc);

        const std::string text = "3\n0\n61 62 63\n" + std::to_string(step) + "\n";
        std::istringstream stream(text);
        TMemBuffer fromStream;
        fromStream.ReadText(stream);
        EXPECT_EQ(fromStream.FGrowBy, 256) << step;
        File textFile = memory_test::FileWith(ToBytes(text));
        TMemBuffer fromFile;
        fromFile.ReadText(textFile.get());
        EXPECT_EQ(fromFile.FGrowBy, 256) << step;
        // And the step taken is usable: growth terminates with whole steps.
        fromFile.SetLength(300);
        EXPECT_EQ(fromFile.FCapacity, 515);
    }
}

// ---------------------------------------------------------------------------------
// Named files.

TEST(MemBufferFiles, SaveAndLoadEveryNamedForm) {
    TScratchFolder dir;
    auto source = memory_test::BufferWith(memory_test::TextLikeBytes(5000, 25), true);
    source->FGrowBy = 300;
    TContainerItem& item = *source;

    item.SaveBinaryFile(dir.Path("b.bin").c_str());
    EXPECT_EQ(ReadWholeFile(dir.Path("b.bin")), BinaryOnFile(item));
    item.SaveTextFile(dir.Path("t.txt").c_str());
    EXPECT_EQ(ToString(ReadWholeFile(dir.Path("t.txt"))), TextOnFile(item));
    item.SaveToStreamFile(dir.Path("s.bin").c_str(), std::ios_base::binary);
    EXPECT_EQ(ReadWholeFile(dir.Path("s.bin")), BinaryOnFile(item));
    item.SaveToStreamFile(dir.Path("s.txt").c_str(), std::ios_base::openmode{});
    EXPECT_EQ(ToString(ReadWholeFile(dir.Path("s.txt"))), TextOnStream(item));

    const auto check = [&](const char* what, auto load) {
        TMemBuffer target;
        load(static_cast<TContainerItem&>(target));
        EXPECT_EQ(Content(target), Content(*source)) << what;
        EXPECT_TRUE(target.FCompressed) << what;
        EXPECT_EQ(target.FGrowBy, 300) << what;
    };
    check("binary", [&](TContainerItem& t) { t.LoadBinaryFile(dir.Path("b.bin").c_str()); });
    check("text", [&](TContainerItem& t) { t.LoadTextFile(dir.Path("t.txt").c_str()); });
    check("stream binary",
          [&](TContainerItem& t) { t.LoadFromStreamFile(dir.Path("s.bin").c_str(), std::ios_base::binary); });
    check("stream text", [&](TContainerItem& t) {
        t.LoadFromStreamFile(dir.Path("s.txt").c_str(), std::ios_base::openmode{});
    });
}

TEST(MemBufferFiles, MissingFileIsAFileException) {
    TScratchFolder dir;
    TMemBuffer buffer;
    EXPECT_THROW(buffer.LoadBinaryFile(dir.Path("absent.bin").c_str()), TKestFileException);
    EXPECT_THROW(buffer.SaveBinaryFile(dir.Path("no/such/dir.bin").c_str()), TKestFileException);
}

TEST(MemBufferFiles, TruncatedNamedFileIsRejected) {
    TScratchFolder dir;
    const std::string path = dir.Path("cut.bin");
    kest::test::WriteWholeFile(path, Bytes(kAbcBufferImage.begin(), kAbcBufferImage.begin() + 7));
    TMemBuffer buffer;
    EXPECT_THROW(buffer.LoadBinaryFile(path.c_str()), TKestSerialization);
    EXPECT_EQ(buffer.Length(), 0);
}

// ---------------------------------------------------------------------------------
// Bad images.

TEST(MemBufferBadImage, EveryTruncationOfTheBinaryImageIsRejected) {
    auto compressedSource = memory_test::BufferWith(kAbc, true);
    const Bytes images[] = {kAbcBufferImage, kEmptyBufferImage, BinaryOnFile(*compressedSource)};
    for (const Bytes& image : images) {
        for (size_t cut = 0; cut < image.size(); ++cut) {
            SCOPED_TRACE(cut);
            const Bytes part(image.begin(), image.begin() + static_cast<long>(cut));
            File file = memory_test::FileWith(part);
            TMemBuffer fromFile;
            EXPECT_THROW(fromFile.ReadBinary(file.get()), TKestSerialization);
            std::istringstream stream(ToString(part), std::ios_base::in | std::ios_base::binary);
            TMemBuffer fromStream;
            EXPECT_THROW(fromStream.ReadBinary(stream), TKestSerialization);
            File pipe = memory_test::PipeWith(part);
            TMemBuffer fromPipe;
            EXPECT_THROW(fromPipe.ReadBinary(pipe.get()), TKestSerialization);
            EXPECT_EQ(fromPipe.Length(), 0);
        }
    }
}

TEST(MemBufferBadImage, EveryTruncationOfTheTextImageBeforeItsStepIsRejected) {
    auto compressedSource = memory_test::BufferWith(kAbc, true);
    const std::string texts[] = {"3\n0\n61 62 63\n256\n", "0\n256\n", TextOnFile(*compressedSource)};
    for (const std::string& text : texts) {
        // Cut before the step begins, a part of the image is missing; cut inside the
        // step's digits it is merely a different step.
        const size_t stepStart = text.rfind("256");
        for (size_t cut = 0; cut < stepStart; ++cut) {
            SCOPED_TRACE(text.substr(0, cut));
            const std::string part = text.substr(0, cut);
            File file = memory_test::FileWith(ToBytes(part));
            TMemBuffer fromFile;
            try {
                fromFile.ReadText(file.get());
                ADD_FAILURE() << "accepted from a file";
            } catch (const TKestSerialization&) {
            } catch (const TKestCompressException&) {
            }
            std::istringstream stream(part);
            TMemBuffer fromStream;
            try {
                fromStream.ReadText(stream);
                ADD_FAILURE() << "accepted from a stream";
            } catch (const TKestSerialization&) {
            } catch (const TKestCompressException&) {
            }
        }
    }
}

TEST(MemBufferBadImage, MissingStepLeavesTheBufferEmpty) {
    File file = memory_test::FileWith(Bytes(kAbcBufferImage.begin(), kAbcBufferImage.begin() + 8));
    auto buffer = memory_test::BufferWith({1, 2});
    EXPECT_THROW(buffer->ReadBinary(file.get()), TKestSerialization);
    EXPECT_EQ(buffer->Length(), 0);
    EXPECT_EQ(buffer->FCapacity, 0);
    std::istringstream stream("3\n0\n61 62 63\n");
    EXPECT_THROW(buffer->ReadText(stream), TKestSerialization);
    std::istringstream badStep("3\n0\n61 62 63\nx\n");
    EXPECT_THROW(buffer->ReadText(badStep), TKestSerialization);
    EXPECT_EQ(buffer->Length(), 0);
}

TEST(MemBufferBadImage, OversizedLengthNeverReachesTheAllocator) {
    // A stored length of 2 GB with a handful of bytes behind it must not be allocated:
    // the buffer keeps its old storage, which a successful SetCapacity would have replaced.
    const Bytes image = {0xFF, 0xFF, 0xFF, 0x7F, 0x00, 1, 2, 3, 0, 1, 0, 0};
    auto buffer = memory_test::BufferWith({5, 6, 7});
    const uint8_t* before = buffer->Data();
    File file = memory_test::FileWith(image);
    EXPECT_THROW(buffer->ReadBinary(file.get()), TKestSerialization);
    std::istringstream stream(ToString(image), std::ios_base::in | std::ios_base::binary);
    EXPECT_THROW(buffer->ReadBinary(stream), TKestSerialization);
    auto space = memory_test::SpaceWithImage(image);
    EXPECT_THROW(buffer->ReadFromSpace(*space), TKestSerialization);
    EXPECT_EQ(buffer->Data(), before);
    EXPECT_EQ(Content(*buffer), (Bytes{5, 6, 7}));
    EXPECT_EQ(buffer->FCapacity, 256);
}

TEST(MemBufferBadImage, CorruptedCompressedImageEmptiesTheBuffer) {
    auto source = memory_test::BufferWith(memory_test::TextLikeBytes(2000, 26), true);
    Bytes image = BinaryOnFile(*source);
    image[image.size() - 6] ^= 0x55;  // inside the zlib stream's checksum
    File file = memory_test::FileWith(image);
    auto buffer = memory_test::BufferWith({1});
    EXPECT_THROW(buffer->ReadBinary(file.get()), TKestCompressException);
    EXPECT_EQ(buffer->Length(), 0);
    EXPECT_EQ(buffer->Data(), nullptr);
    EXPECT_EQ(buffer->FCapacity, 0);
}

}  // namespace
