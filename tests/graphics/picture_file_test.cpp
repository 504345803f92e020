#include <gtest/gtest.h>

#include <random>

#include "graphics/mem_bitmap.h"
#include "tests/support/bmp_test_files.h"
#include "tests/support/drawing.h"

namespace {

// Loads `bytes` written under `name`.
void Load(TMemBitmap& picture, const std::string& name, const std::vector<std::uint8_t>& bytes,
          int format = -1) {
    picture.LoadFromFile(WriteTempFile(name, bytes).c_str(), format);
}

TColor Shown(const TMemBitmap& picture, int x, int y) {
    TTarget target(picture.bitmap ? picture.bitmap->Width() : 1,
                   picture.bitmap ? picture.bitmap->Height() : 1, 0x5A5A5A);
    picture.Draw(target.dc, 0, 0, rop::kSrcCopy);
    return target.Pixel(x, y);
}

// Every pixel the picture shows, row-major from the top row.
std::vector<TColor> ShownPixels(const TMemBitmap& picture) {
    TTarget target(picture.width, picture.height, 0x5A5A5A);
    picture.Draw(target.dc, 0, 0, rop::kSrcCopy);
    std::vector<TColor> pixels;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            pixels.push_back(target.Pixel(x, y));
    return pixels;
}

// The colours `intended` stored as `variant` is meant to show, in ShownPixels order.
std::vector<TColor> IntendedPixels(const TBmpVariant& variant, const TBmpPicture& intended) {
    std::vector<TColor> pixels;
    for (int y = 0; y < intended.height; ++y)
        for (int x = 0; x < intended.width; ++x)
            pixels.push_back(IntendedColour(variant, intended, x, y));
    return pixels;
}

void ExpectEmpty(const TMemBitmap& picture, const std::string& why) {
    EXPECT_FALSE(picture.loaded) << why;
    EXPECT_FALSE(picture.memory) << why;
    EXPECT_FALSE(picture.bitmap) << why;
}

TEST(PictureFile, Loads24BitFileWithItsSizeAndPixels) {
    std::vector<std::uint8_t> file = MakeBmpFile(100, 80, 24);
    // Top-left pixel: last stored row, blue 1, green 2, red 3.
    const std::size_t topLeft = 54 + 300 * 79;
    file[topLeft] = 1;
    file[topLeft + 1] = 2;
    file[topLeft + 2] = 3;
    TMemBitmap picture;
    Load(picture, "load24.bmp", file);
    ASSERT_TRUE(picture.loaded);
    EXPECT_EQ(picture.width, 100);
    EXPECT_EQ(picture.height, 80);
    EXPECT_EQ(picture.bitsPerPixel, 24);
    EXPECT_EQ(picture.stride, 300);
    EXPECT_EQ(picture.bitsGap, 0);
    EXPECT_EQ(picture.lockCount, 0);
    EXPECT_EQ(picture.data, nullptr);
    ASSERT_TRUE(picture.memory);
    EXPECT_EQ(picture.memory->Size(), file.size() - 14);
    EXPECT_EQ(ImageBytes(picture), std::vector<std::uint8_t>(file.begin() + 14, file.end()));
    EXPECT_EQ(Shown(picture, 0, 0), 0x010203u);
    EXPECT_EQ(Shown(picture, 1, 0), 0u);
}

TEST(PictureFile, ALargerPixelOffsetBecomesTheGap) {
    std::vector<std::uint8_t> file = MakeBmpFile(2, 2, 24, 0, 10);
    for (std::size_t i = 54; i < 64; ++i)
        file[i] = 0xEE;   // the gap must not be read as pixels
    file[64 + 8] = 0xFF;  // top row, first pixel, blue
    TMemBitmap picture;
    Load(picture, "gap.bmp", file);
    ASSERT_TRUE(picture.loaded);
    EXPECT_EQ(picture.bitsGap, 10);
    EXPECT_EQ(picture.PixelAreaOffset(), 50);
    EXPECT_EQ(Shown(picture, 0, 0), 0xFF0000u);
    EXPECT_EQ(Shown(picture, 0, 1), 0u);
}

TEST(PictureFile, LoadsIndexedAndPackedDepths) {
    // 8 bits, two colours used: the pixel rows follow a short table.
    std::vector<std::uint8_t> eight = MakeBmpFile(3, 1, 8, 2);
    eight[54 + 4 + 2] = 0xFF;  // entry 1 red
    eight[62] = 1;
    TMemBitmap p8;
    Load(p8, "eight.bmp", eight);
    ASSERT_TRUE(p8.loaded);
    EXPECT_EQ(p8.bitsGap, 8 - 1024);
    EXPECT_EQ(p8.stride, 4);
    EXPECT_EQ(Shown(p8, 0, 0), 0x0000FFu);
    EXPECT_EQ(Shown(p8, 1, 0), 0u);

    std::vector<std::uint8_t> four = MakeBmpFile(3, 1, 4, 16);
    four[54 + 5 * 4 + 1] = 0xFF;  // entry 5 green
    four[54 + 64] = 0x05;         // pixel 1
    TMemBitmap p4;
    Load(p4, "four.bmp", four);
    ASSERT_TRUE(p4.loaded);
    EXPECT_EQ(Shown(p4, 1, 0), 0x00FF00u);
    EXPECT_EQ(Shown(p4, 0, 0), 0u);

    std::vector<std::uint8_t> one = MakeBmpFile(9, 1, 1, 2);
    one[54 + 4] = one[54 + 5] = one[54 + 6] = 0xFF;  // entry 1 white
    one[62] = 0x40;
    one[63] = 0x80;
    TMemBitmap p1;
    Load(p1, "one.bmp", one);
    ASSERT_TRUE(p1.loaded);
    EXPECT_EQ(p1.stride, 4);
    EXPECT_EQ(Shown(p1, 1, 0), 0xFFFFFFu);
    EXPECT_EQ(Shown(p1, 8, 0), 0xFFFFFFu);
    EXPECT_EQ(Shown(p1, 0, 0), 0u);

    std::vector<std::uint8_t> wide = MakeBmpFile(1, 1, 32);
    wide[54] = 0x30;
    wide[55] = 0x20;
    wide[56] = 0x10;
    TMemBitmap p32;
    Load(p32, "wide.bmp", wide);
    ASSERT_TRUE(p32.loaded);
    EXPECT_EQ(Shown(p32, 0, 0), 0x302010u);
}

TEST(PictureFile, SixteenBitPixelsPackFiveBitsPerChannel) {
    TMemBitmap picture;
    Load(picture, "sixteen.bmp", MakeBmpFile(4, 1, 16));
    ASSERT_TRUE(picture.loaded);
    EXPECT_EQ(picture.stride, 8);
    picture.SetPixel(0, 0, 0xFF0000);  // blue
    picture.SetPixel(1, 0, 0x00FF00);  // green
    picture.SetPixel(2, 0, 0x0000FF);  // red
    picture.SetPixel(3, 0, 0x0F0F08);
    const std::vector<std::uint8_t> bytes = ImageBytes(picture);
    const std::uint8_t expected[8] = {0x1F, 0x00, 0xE0, 0x03, 0x00, 0x7C, 0x21, 0x04};
    ASSERT_EQ(bytes.size(), 40u + 8u);
    EXPECT_EQ(std::memcmp(bytes.data() + 40, expected, 8), 0);
    picture.UpdateBitmap();
    EXPECT_EQ(Shown(picture, 0, 0), 0xFF0000u);
    EXPECT_EQ(Shown(picture, 2, 0), 0x0000FFu);
}

TEST(PictureFile, TopDownFileShowsTheRightWayUp) {
    std::vector<std::uint8_t> file = MakeBmpFile(2, -2, 24);
    file[54 + 2] = 0xFF;  // first stored row is the top: red at (0, 0)
    TMemBitmap picture;
    Load(picture, "topdown.bmp", file);
    ASSERT_TRUE(picture.loaded);
    EXPECT_EQ(Shown(picture, 0, 0), 0x0000FFu);
    EXPECT_EQ(Shown(picture, 0, 1), 0u);
    EXPECT_EQ(picture.height, 2);
    picture.SetPixel(0, 0, 0xFFFFFF);  // the top row is the first one stored
    EXPECT_EQ(ImageBytes(picture)[40], 0xFF);
    EXPECT_EQ(ImageBytes(picture)[48], 0);
    // Drawing goes back into the rows in their stored order.
    TDeviceContext* dc = picture.BeginDraw(true, nullptr);
    ASSERT_NE(dc, nullptr);
    dc->FillRect(1, 0, 2, 1, 0xFF0000);
    picture.EndDraw();
    std::vector<std::uint8_t> bytes = ImageBytes(picture);
    EXPECT_EQ(bytes[42], 0xFF);  // (0, 0) still red
    EXPECT_EQ(bytes[43], 0xFF);  // (1, 0) now blue
    EXPECT_EQ(bytes[48 + 2], 0);
    picture.BeginDraw(false, nullptr);
    picture.EndDraw();
    bytes = ImageBytes(picture);
    EXPECT_EQ(bytes[42], 0);
    EXPECT_EQ(bytes[43], 0);
}

TEST(PictureFile, JpegAndGifNamesAndFormatsAreRefusedUnopened) {
    const std::vector<std::uint8_t> good = MakeBmpFile(2, 2, 24);
    const char* names[] = {"a.jpg", "b.JPG", "c.jpeg", "d.JpEg", "e.gif", "f.GIF"};
    for (const char* name : names) {
        TMemBitmap picture;
        ASSERT_TRUE(picture.Create(3, 3, 24));
        Load(picture, name, good);
        ExpectEmpty(picture, name);
    }
    TMemBitmap asJpeg, asGif, asOther;
    Load(asJpeg, "g.bmp", good, 1);
    Load(asGif, "g.bmp", good, 2);
    Load(asOther, "g.bmp", good, 0);
    ExpectEmpty(asJpeg, "format 1");
    ExpectEmpty(asGif, "format 2");
    EXPECT_TRUE(asOther.loaded);
    TMemBitmap noExtension;
    Load(noExtension, "picture", good);
    EXPECT_TRUE(noExtension.loaded);
}

TEST(PictureFile, MissingAndForeignFilesLeaveThePictureEmpty) {
    TMemBitmap missing;
    missing.LoadFromFile("/nonexistent/folder/success.bmp", -1);
    ExpectEmpty(missing, "missing");
    TMemBitmap nullName;
    nullName.LoadFromFile(nullptr, -1);
    ExpectEmpty(nullName, "null name");
    std::vector<std::uint8_t> file = MakeBmpFile(2, 2, 24);
    file[0] = 'M';
    file[1] = 'B';
    TMemBitmap foreign;
    Load(foreign, "foreign.bmp", file);
    ExpectEmpty(foreign, "not BM");
    TMemBitmap empty;
    Load(empty, "empty.bmp", {});
    ExpectEmpty(empty, "empty file");
}

TEST(PictureFile, EveryTruncationIsRefused) {
    const std::vector<std::uint8_t> file = MakeBmpFile(5, 3, 24);
    for (std::size_t length = 0; length < file.size(); ++length) {
        TMemBitmap picture;
        Load(picture, "cut.bmp",
             std::vector<std::uint8_t>(file.begin(), file.begin() + static_cast<long>(length)));
        ExpectEmpty(picture, "length " + std::to_string(length));
    }
    const std::vector<std::uint8_t> indexed = MakeBmpFile(5, 3, 8, 256);
    for (std::size_t length = 0; length < indexed.size(); length += 7) {
        TMemBitmap picture;
        Load(picture, "cut8.bmp",
             std::vector<std::uint8_t>(indexed.begin(), indexed.begin() + static_cast<long>(length)));
        ExpectEmpty(picture, "8-bit length " + std::to_string(length));
    }
}

TEST(PictureFile, HeadersThatPromiseMoreThanTheFileHoldsAreRefused) {
    struct Case {
        const char* why;
        std::size_t at;
        std::uint32_t value;
        bool wide;
    };
    const Case cases[] = {
        {"height beyond the rows", 22, 4, true},
        {"huge height", 22, 0x7FFFFFFF, true},
        {"most negative height", 22, 0x80000000u, true},
        {"huge width", 18, 0x40000000, true},
        {"negative width", 18, 0xFFFFFFFFu, true},
        {"pixel offset past the end", 10, 10000, true},
        {"pixel offset inside the header", 10, 20, true},
        {"odd depth", 28, 7, false},
        {"no depth", 28, 0, false},
        {"run-length compression", 30, 1, true},
        {"header size too small", 14, 12, true},
        {"header size past the end", 14, 5000, true},
        {"header size between core and info", 14, 24, true},
        {"zero width", 18, 0, true},
        {"zero height", 22, 0, true},
        {"JPEG inside", 30, 4, true},
        {"PNG inside", 30, 5, true},
        {"bit fields at 24 bits", 30, 3, true},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> file = MakeBmpFile(4, 3, 24);
        if (c.wide)
            PutU32(file, c.at, c.value);
        else
            PutU16(file, c.at, static_cast<std::uint16_t>(c.value));
        TMemBitmap picture;
        Load(picture, "bad.bmp", file);
        ExpectEmpty(picture, c.why);
    }
    // A few bytes of run-length stream may not make us allocate for more pixels than
    // a screen shows.
    const TBmpVariant rle{.name = "rle", .bits = 8, .compression = 1};
    std::vector<std::uint8_t> huge = WriteBmpVariant(rle, MakeBmpPicture(rle, 4, 3));
    PutU32(huge, 18, 4097);
    PutU32(huge, 22, 4096);
    TMemBitmap picture;
    Load(picture, "huge.bmp", huge);
    ExpectEmpty(picture, "4097 x 4096 run-length picture");
}

TEST(PictureFile, ShowsEveryVariantCommonToolsWrite) {
    for (const TBmpVariant& variant : CommonBmpVariants()) {
        const TBmpPicture intended = MakeBmpPicture(variant, 13, 6);
        TMemBitmap picture;
        Load(picture, "variant.bmp", WriteBmpVariant(variant, intended));
        ASSERT_TRUE(picture.loaded) << variant.name;
        EXPECT_EQ(picture.width, 13) << variant.name;
        EXPECT_EQ(picture.height, 6) << variant.name;
        EXPECT_EQ(picture.bitsPerPixel, variant.bits) << variant.name;
        EXPECT_EQ(ShownPixels(picture), IntendedPixels(variant, intended)) << variant.name;
    }
}

TEST(PictureFile, FormatsNobodyWritesAreRefused) {
    struct Case {
        TBmpVariant variant;
        std::size_t at;
        std::uint32_t value;
        int bytes;
    };
    const Case cases[] = {
        // Code 3 means bit fields only in the 40-byte header and its successors.
        {{.name = "1-D Huffman", .bits = 32, .header = TBmpHeaderKind::Other64, .compression = 3}, 0, 0, 0},
        {{.name = "64 bits", .bits = 32}, 28, 64, 2},
        {{.name = "JPEG inside", .bits = 24}, 30, 4, 4},
        {{.name = "PNG inside", .bits = 24}, 30, 5, 4},
        {{.name = "RLE8 at 4 bits", .bits = 4, .compression = 2}, 30, 1, 4},
        {{.name = "RLE4 at 8 bits", .bits = 8, .compression = 1}, 30, 2, 4},
        {{.name = "RLE8 top down", .bits = 8, .compression = 1}, 22, static_cast<std::uint32_t>(-6), 4},
        {{.name = "16 bits in a core header", .bits = 16, .header = TBmpHeaderKind::Core}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> file = WriteBmpVariant(c.variant, MakeBmpPicture(c.variant, 13, 6));
        if (c.bytes == 4)
            PutU32(file, c.at, c.value);
        else if (c.bytes == 2)
            PutU16(file, c.at, static_cast<std::uint16_t>(c.value));
        TMemBitmap picture;
        Load(picture, "nobody.bmp", file);
        ExpectEmpty(picture, c.variant.name);
    }
    // 64 bits with all the bytes its rows need.
    TMemBitmap wide;
    Load(wide, "wide64.bmp", MakeBmpFile(4, 3, 64));
    ExpectEmpty(wide, "64 bits, full size");
}

TEST(PictureFile, RunLengthStreamsStayInsideThePicture) {
    // A 4 x 3 picture; `shown` names each pixel from the top row: '.' black, a digit
    // the palette entry.
    struct Case {
        const char* why;
        int bits;
        std::vector<std::uint8_t> stream;
        const char* shown;
    };
    const Case cases[] = {
        {"run past the right edge is cut, not wrapped", 8, {255, 1, 0, 0, 2, 2, 0, 1}, "....22..1111"},
        {"literal past the right edge", 8, {0, 6, 1, 2, 3, 4, 5, 6, 0, 0, 1, 7, 0, 1}, "....7...1234"},
        {"move past the right edge", 8, {0, 2, 200, 0, 3, 3, 0, 0, 3, 3, 0, 1}, "....333....."},
        {"move past the top", 8, {2, 1, 0, 2, 0, 200, 4, 4, 0, 1}, "........11.."},
        {"more rows than the picture",
         8,
         {4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 0, 4, 4, 0, 0, 4, 5, 0, 1},
         "333322221111"},
        {"end of line on the top row",
         8,
         {4, 1, 0, 0, 4, 2, 0, 0, 4, 3, 0, 0, 0, 0, 0, 0, 1, 9},
         "333322221111"},
        {"cut inside a literal", 8, {0, 5, 1, 2}, "........12.."},
        {"cut inside a move", 8, {1, 1, 0, 2, 3}, "........1..."},
        {"no end mark", 8, {2, 1}, "........11.."},
        {"odd byte at the end", 8, {2, 1, 0}, "........11.."},
        {"empty stream", 8, {}, "............"},
        {"nibble runs alternate and are cut", 4, {7, 0x12, 0, 0, 0, 1}, "........1212"},
        {"literal nibbles", 4, {0, 3, 0x12, 0x30, 1, 0x40, 0, 1}, "........1234"},
        {"literal nibbles past the edge, padded",
         4,
         {0, 6, 0x12, 0x34, 0x56, 0, 0, 0, 2, 0x77, 0, 1},
         "....77..1234"},
        {"cut inside literal nibbles", 4, {0, 4, 0x12}, "........12.."},
    };
    for (const Case& c : cases) {
        const TBmpVariant variant{.name = c.why, .bits = c.bits, .compression = c.bits == 8 ? 1u : 2u};
        const TBmpPicture palette = MakeBmpPicture(variant, 4, 3);
        std::vector<std::uint8_t> file = WriteBmpVariant(variant, palette);
        file.resize(file[10] | file[11] << 8);
        file.insert(file.end(), c.stream.begin(), c.stream.end());
        TMemBitmap picture;
        Load(picture, "stream.bmp", file);
        ASSERT_TRUE(picture.loaded) << c.why;
        std::vector<TColor> expected;
        for (const char* p = c.shown; *p != '\0'; ++p)
            expected.push_back(*p == '.' ? 0u : palette.palette[static_cast<std::size_t>(*p - '0')]);
        EXPECT_EQ(ShownPixels(picture), expected) << c.why;
        // Nothing can be drawn into a stream: drawing leaves the image as it was.
        const std::vector<std::uint8_t> before = ImageBytes(picture);
        picture.SetPixel(0, 0, 0xFFFFFF);
        TDeviceContext* dc = picture.BeginDraw(false, nullptr);
        ASSERT_NE(dc, nullptr);
        picture.EndDraw();
        EXPECT_EQ(ImageBytes(picture), before) << c.why;
    }
}

TEST(PictureFile, EveryTruncationOfARunLengthFileStaysInside) {
    for (std::uint32_t compression : {1u, 2u}) {
        const TBmpVariant variant{
            .name = "cut", .bits = compression == 1 ? 8 : 4, .compression = compression};
        const TBmpPicture intended = MakeBmpPicture(variant, 13, 6);
        const std::vector<std::uint8_t> file = WriteBmpVariant(variant, intended);
        const std::size_t pixelOffset = file[10] | file[11] << 8;
        const std::vector<TColor> whole = IntendedPixels(variant, intended);
        // Cuts inside the headers and the colour table are refused like any other file's.
        for (std::size_t length = pixelOffset - 1; length < file.size(); ++length) {
            TMemBitmap picture;
            Load(picture, "cutrle.bmp",
                 std::vector<std::uint8_t>(file.begin(), file.begin() + static_cast<long>(length)));
            ASSERT_EQ(picture.loaded, length >= pixelOffset) << length;
            if (!picture.loaded)
                continue;
            // What the stream reached shows as meant; the rest stays black.
            const std::vector<TColor> shown = ShownPixels(picture);
            for (std::size_t i = 0; i < shown.size(); ++i)
                ASSERT_TRUE(shown[i] == whole[i] || shown[i] == 0) << length << " pixel " << i;
        }
    }
}

TEST(PictureFile, RandomCorruptionNeverEscapesTheImage) {
    std::mt19937 random(20261208);
    const std::vector<std::uint8_t> base = MakeBmpFile(7, 5, 8, 256, 0, 3);
    int loadedCount = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> file = base;
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i)
            file[2 + random() % 52] = static_cast<std::uint8_t>(random());
        if (random() % 3 == 0)
            file.resize(random() % file.size());
        TMemBitmap picture;
        Load(picture, "random.bmp", file);
        if (picture.loaded) {
            ++loadedCount;
            ASSERT_TRUE(picture.bitmap);
            TTarget target(8, 8);
            picture.Draw(target.dc, 0, 0, rop::kSrcCopy);
            for (int y = -1; y <= 8; ++y)
                for (int x = -1; x <= 8; ++x)
                    picture.SetPixel(x, y, 0xFFFFFF);
            TDeviceContext* dc = picture.BeginDraw(true, nullptr);
            ASSERT_NE(dc, nullptr);
            picture.EndDraw();
        } else {
            ASSERT_FALSE(picture.memory);
        }
    }
    EXPECT_GT(loadedCount, 0);
}

TEST(DeviceBitmap, LayoutChecksTheWholePixelArea) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(5, 3, 24));
    const std::vector<std::uint8_t> image = ImageBytes(picture);
    TImageLayout layout;
    ASSERT_TRUE(ParseImageLayout(image.data(), image.size(), 40, layout));
    EXPECT_EQ(layout.width, 5);
    EXPECT_EQ(layout.height, 3);
    EXPECT_TRUE(layout.bottomUp);
    EXPECT_EQ(layout.stride, 16u);
    EXPECT_FALSE(ParseImageLayout(image.data(), image.size() - 1, 40, layout));
    EXPECT_FALSE(ParseImageLayout(image.data(), image.size(), 41, layout));
    EXPECT_FALSE(ParseImageLayout(image.data(), 39, 0, layout));
    EXPECT_FALSE(ParseImageLayout(nullptr, 100, 40, layout));
    EXPECT_FALSE(TDeviceBitmap::FromMemoryImage(image.data(), image.size() - 1, 40));
    EXPECT_FALSE(TDeviceBitmap::CreateCompatible(-1, 1));
    EXPECT_TRUE(TDeviceBitmap::CreateCompatible(0, 0));
}

}  // namespace
