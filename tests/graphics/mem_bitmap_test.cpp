#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "graphics/mem_bitmap.h"
#include "tests/support/drawing.h"

namespace {

// Restores the allocation limit when a test that lowered it ends.
struct TBlockLimit {
    std::size_t previous;
    explicit TBlockLimit(std::size_t limit) : previous(TMemoryBlock::SetMaxBlockSize(limit)) {}
    ~TBlockLimit() { TMemoryBlock::SetMaxBlockSize(previous); }
};

std::size_t RowStart(const TMemBitmap& p, int y) {
    return static_cast<std::size_t>(p.PixelAreaOffset()) +
           static_cast<std::size_t>(p.stride) * static_cast<std::size_t>(p.height - 1 - y);
}

TEST(MemoryBlock, StartsZeroFilledAndCountsLocks) {
    std::unique_ptr<TMemoryBlock> block = TMemoryBlock::Allocate(100);
    ASSERT_TRUE(block);
    EXPECT_EQ(block->Size(), 100u);
    EXPECT_EQ(block->LockCount(), 0);
    std::uint8_t* p = block->Lock();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(p[i], 0) << i;
    EXPECT_EQ(block->Lock(), p);
    EXPECT_EQ(block->LockCount(), 2);
    EXPECT_TRUE(block->Unlock());
    EXPECT_FALSE(block->Unlock());
    EXPECT_FALSE(block->Unlock());
    EXPECT_EQ(block->LockCount(), 0);
}

TEST(MemoryBlock, ReportsBlocksOverTheLimitAsFailures) {
    TBlockLimit limit(1000);
    EXPECT_TRUE(TMemoryBlock::Allocate(1000));
    EXPECT_FALSE(TMemoryBlock::Allocate(1001));
}

TEST(MemBitmap, NewPictureIsEmptyLoadedAndDrawsNothing) {
    TMemBitmap picture;
    EXPECT_FALSE(picture.bitmap);
    EXPECT_FALSE(picture.memory);
    EXPECT_FALSE(picture.drawDC);
    EXPECT_EQ(picture.lockCount, 0);
    EXPECT_EQ(picture.data, nullptr);
    EXPECT_EQ(picture.width, 0);
    EXPECT_EQ(picture.height, 0);
    EXPECT_EQ(picture.bitsPerPixel, 24);
    EXPECT_TRUE(picture.loaded);
    EXPECT_EQ(picture.bitsGap, 0);
    TTarget target(4, 4, 0x123456);
    picture.Draw(target.dc, 0, 0, rop::kSrcCopy);
    EXPECT_EQ(target.Pixel(0, 0), 0x123456u);
}

TEST(MemBitmap, CreateSizesStrideAndBlock) {
    struct Case {
        int w, h, bits, stride;
        std::size_t block;
    };
    const Case cases[] = {
        {25, 25, 24, 76, 1940},      {450, 300, 24, 1352, 405640},
        {5, 1, 4, 4, 108},           {1, 1, 24, 4, 44},
        {3, 2, 8, 4, 40 + 1024 + 8}, {8, 3, 4, 4, 40 + 64 + 12},
        {9, 3, 4, 8, 40 + 64 + 24},  {0, 0, 24, 0, 40},
    };
    for (const Case& c : cases) {
        TMemBitmap picture;
        ASSERT_TRUE(picture.Create(c.w, c.h, c.bits)) << c.w << "x" << c.h << "x" << c.bits;
        EXPECT_EQ(picture.stride, c.stride) << c.w << "x" << c.h << "x" << c.bits;
        ASSERT_TRUE(picture.memory);
        EXPECT_EQ(picture.memory->Size(), c.block) << c.w << "x" << c.h << "x" << c.bits;
        EXPECT_EQ(picture.width, c.w);
        EXPECT_EQ(picture.height, c.h);
        EXPECT_EQ(picture.bitsPerPixel, c.bits);
        EXPECT_EQ(picture.bitsGap, 0);
        EXPECT_TRUE(picture.loaded);
        EXPECT_TRUE(picture.bitmap);
        EXPECT_EQ(picture.lockCount, 0);
        EXPECT_EQ(picture.data, nullptr);
    }
}

TEST(MemBitmap, CreateWritesTheHeaderByteForByteAndZeroesTheRest) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(450, 300, 24));
    const std::vector<std::uint8_t> bytes = ImageBytes(picture);
    const std::uint8_t header[40] = {40, 0, 0, 0, 0xC2, 0x01, 0, 0, 0x2C, 0x01, 0, 0, 1, 0,
                                     24, 0, 0, 0, 0,    0,    0, 0, 0,    0,    0, 0, 0, 0,
                                     0,  0, 0, 0, 0,    0,    0, 0, 0,    0,    0, 0};
    ASSERT_EQ(bytes.size(), 405640u);
    EXPECT_EQ(std::memcmp(bytes.data(), header, 40), 0);
    for (std::size_t i = 40; i < bytes.size(); ++i)
        ASSERT_EQ(bytes[i], 0) << i;

    TMemBitmap indexed;
    ASSERT_TRUE(indexed.Create(5, 1, 4));
    const std::vector<std::uint8_t> small = ImageBytes(indexed);
    const std::uint8_t header4[16] = {40, 0, 0, 0, 5, 0, 0, 0, 1, 0, 0, 0, 1, 0, 4, 0};
    EXPECT_EQ(std::memcmp(small.data(), header4, 16), 0);
    for (std::size_t i = 16; i < small.size(); ++i)
        ASSERT_EQ(small[i], 0) << i;
}

TEST(MemBitmap, CreateRefusesOtherDepthsAndBadSizes) {
    const int depths[] = {16, 32, 1, 0, -24, 25};
    for (int bits : depths) {
        TMemBitmap picture;
        EXPECT_FALSE(picture.Create(10, 10, bits)) << bits;
        EXPECT_FALSE(picture.loaded) << bits;
        EXPECT_FALSE(picture.memory) << bits;
        EXPECT_FALSE(picture.bitmap) << bits;
    }
    TMemBitmap negative;
    EXPECT_FALSE(negative.Create(-1, 10, 24));
    EXPECT_FALSE(negative.Create(10, -1, 24));
    EXPECT_FALSE(negative.Create(1 << 20, 1 << 20, 24));
    EXPECT_FALSE(negative.memory);
}

TEST(MemBitmap, CreateDiscardsThePreviousPictureAndReportsExhaustedMemory) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(25, 25, 24));
    picture.Lock();
    {
        TBlockLimit limit(1000);
        EXPECT_FALSE(picture.Create(25, 25, 24));
    }
    EXPECT_FALSE(picture.loaded);
    EXPECT_FALSE(picture.memory);
    EXPECT_FALSE(picture.bitmap);
    EXPECT_EQ(picture.lockCount, 0);
    EXPECT_EQ(picture.data, nullptr);
    EXPECT_TRUE(picture.Create(2, 2, 8));
    EXPECT_TRUE(picture.loaded);
}

TEST(MemBitmap, SetPixel24WritesBlueGreenRedIntoBottomUpRows) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(25, 25, 24));
    picture.SetPixel(0, 0, 0x0000FF);
    picture.SetPixel(2, 1, 0x123456);
    picture.SetPixel(24, 24, 0xFFFFFF);
    const std::vector<std::uint8_t> bytes = ImageBytes(picture);
    // Row 0 of the picture is the last row of the pixel area.
    const std::size_t top = 40 + 76 * 24;
    EXPECT_EQ(bytes[top + 0], 0x00);
    EXPECT_EQ(bytes[top + 1], 0x00);
    EXPECT_EQ(bytes[top + 2], 0xFF);
    const std::size_t second = 40 + 76 * 23 + 6;
    EXPECT_EQ(bytes[second + 0], 0x12);
    EXPECT_EQ(bytes[second + 1], 0x34);
    EXPECT_EQ(bytes[second + 2], 0x56);
    const std::size_t last = 40 + 72;
    EXPECT_EQ(bytes[last + 0], 0xFF);
    EXPECT_EQ(bytes[last + 1], 0xFF);
    EXPECT_EQ(bytes[last + 2], 0xFF);
    // Everything else, the row padding included, stays zero.
    std::size_t nonZero = 0;
    for (std::uint8_t b : bytes)
        nonZero += b != 0;
    EXPECT_EQ(nonZero, 5u + 1u + 3u + 3u);  // header fields, then the three pixels
}

TEST(MemBitmap, SetPixel4And8BitsWriteNibblesAndBytes) {
    TMemBitmap indexed;
    ASSERT_TRUE(indexed.Create(5, 2, 4));
    indexed.SetPixel(0, 1, 5);
    std::vector<std::uint8_t> bytes = ImageBytes(indexed);
    const std::size_t row1 = RowStart(indexed, 1);
    EXPECT_EQ(row1, 40u + 64u);
    EXPECT_EQ(bytes[row1], 0x50);
    indexed.SetPixel(1, 1, 5);
    EXPECT_EQ(ImageBytes(indexed)[row1], 0x55);
    indexed.SetPixel(0, 1, 0xF3);  // only the low four bits count
    EXPECT_EQ(ImageBytes(indexed)[row1], 0x35);
    indexed.SetPixel(4, 0, 0xA);
    bytes = ImageBytes(indexed);
    EXPECT_EQ(bytes[RowStart(indexed, 0) + 2], 0xA0);
    EXPECT_EQ(bytes[row1 + 2], 0x00);

    TMemBitmap bytePixels;
    ASSERT_TRUE(bytePixels.Create(3, 2, 8));
    bytePixels.SetPixel(2, 0, 0x1234AB);
    EXPECT_EQ(ImageBytes(bytePixels)[RowStart(bytePixels, 0) + 2], 0xAB);
    EXPECT_EQ(RowStart(bytePixels, 0), 40u + 1024u + 4u);
}

TEST(MemBitmap, SetPixelOutsideThePictureChangesNothing) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(5, 4, 24));
    const std::vector<std::uint8_t> before = ImageBytes(picture);
    const int outside[][2] = {{5, 0}, {0, 4}, {-1, 0}, {0, -1}, {5, 4}, {1000000, 2}, {2, -1000000}};
    for (const auto& p : outside)
        picture.SetPixel(p[0], p[1], 0xFFFFFF);
    EXPECT_EQ(ImageBytes(picture), before);

    TMemBitmap indexed;
    ASSERT_TRUE(indexed.Create(5, 1, 4));
    const std::vector<std::uint8_t> before4 = ImageBytes(indexed);
    indexed.SetPixel(5, 0, 0xF);
    indexed.SetPixel(0, 1, 0xF);
    EXPECT_EQ(ImageBytes(indexed), before4);
}

TEST(MemBitmap, LockAndUnlockCount) {
    TMemBitmap empty;
    EXPECT_EQ(empty.Lock(), nullptr);
    EXPECT_EQ(empty.lockCount, 0);
    EXPECT_FALSE(empty.Unlock());

    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(3, 3, 24));
    std::uint8_t* p = picture.Lock();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(picture.data, p);
    EXPECT_EQ(picture.Lock(), p);
    EXPECT_EQ(picture.lockCount, 2);
    EXPECT_EQ(picture.memory->LockCount(), 2);
    picture.SetPixel(1, 1, 0x010203);
    EXPECT_EQ(p[40 + 12 + 3], 0x01);
    EXPECT_TRUE(picture.Unlock());
    EXPECT_EQ(picture.data, p);
    EXPECT_FALSE(picture.Unlock());
    EXPECT_EQ(picture.data, nullptr);
    EXPECT_EQ(picture.memory->LockCount(), 0);
    EXPECT_FALSE(picture.Unlock());
    EXPECT_EQ(picture.lockCount, 0);
    // A write without a lock takes and gives back its own.
    picture.SetPixel(0, 0, 0x0A0B0C);
    EXPECT_EQ(picture.memory->LockCount(), 0);
    EXPECT_EQ(picture.data, nullptr);
}

TEST(MemBitmap, ReleaseDropsTheImageAndLocksButKeepsTheSize) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(7, 3, 8));
    picture.Lock();
    picture.Lock();
    picture.Release();
    EXPECT_FALSE(picture.memory);
    EXPECT_FALSE(picture.bitmap);
    EXPECT_EQ(picture.lockCount, 0);
    EXPECT_EQ(picture.data, nullptr);
    EXPECT_EQ(picture.width, 7);
    EXPECT_EQ(picture.height, 3);
    EXPECT_EQ(picture.bitsPerPixel, 8);
    EXPECT_EQ(picture.stride, 8);
    EXPECT_TRUE(picture.loaded);
    TTarget target(8, 4, 0x445566);
    picture.Draw(target.dc, 0, 0, rop::kSrcCopy);
    EXPECT_EQ(target.Pixel(0, 0), 0x445566u);
}

TEST(MemBitmap, UpdateBitmapCarriesPixelsToTheDeviceBitmap) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(3, 2, 24));
    picture.SetPixel(1, 0, 0x00FF00);
    picture.SetPixel(2, 1, 0x0000FF);
    TTarget before(3, 2, 0x777777);
    picture.Draw(before.dc, 0, 0, rop::kSrcCopy);
    EXPECT_EQ(before.Pixel(1, 0), 0u);
    picture.UpdateBitmap();
    TTarget after(3, 2, 0x777777);
    picture.Draw(after.dc, 0, 0, rop::kSrcCopy);
    EXPECT_EQ(after.Pixel(1, 0), 0x00FF00u);
    EXPECT_EQ(after.Pixel(2, 1), 0x0000FFu);
    EXPECT_EQ(after.Pixel(0, 0), 0u);
}

TEST(MemBitmap, UpdateBitmapUsesTheColourTableAtFourAndEightBits) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(3, 1, 8));
    std::uint8_t* image = picture.Lock();
    // Entry 7: blue 0x11, green 0x22, red 0x33.
    image[40 + 7 * 4 + 0] = 0x11;
    image[40 + 7 * 4 + 1] = 0x22;
    image[40 + 7 * 4 + 2] = 0x33;
    picture.SetPixel(1, 0, 7);
    picture.Unlock();
    picture.UpdateBitmap();
    TTarget target(3, 1, 0xFFFFFF);
    picture.Draw(target.dc, 0, 0, rop::kSrcCopy);
    EXPECT_EQ(target.Pixel(1, 0), 0x112233u);
    EXPECT_EQ(target.Pixel(0, 0), 0u);

    TMemBitmap nibbles;
    ASSERT_TRUE(nibbles.Create(3, 1, 4));
    image = nibbles.Lock();
    image[40 + 2 * 4 + 2] = 0xFF;  // entry 2 is red
    nibbles.SetPixel(1, 0, 2);
    nibbles.Unlock();
    nibbles.UpdateBitmap();
    TTarget target4(3, 1, 0xFFFFFF);
    nibbles.Draw(target4.dc, 0, 0, rop::kSrcCopy);
    EXPECT_EQ(target4.Pixel(1, 0), 0x0000FFu);
    EXPECT_EQ(target4.Pixel(2, 0), 0u);
}

TEST(MemBitmap, ASecondBeginDrawReturnsNullAndChangesNothing) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(4, 4, 24));
    TDeviceContext* dc = picture.BeginDraw(false, nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(picture.drawDC.get(), dc);
    dc->FillRect(0, 0, 4, 4, 0x00FF00);
    EXPECT_EQ(picture.BeginDraw(false, nullptr), nullptr);
    EXPECT_EQ(picture.drawDC.get(), dc);
    picture.EndDraw();
    EXPECT_FALSE(picture.drawDC);
    EXPECT_EQ(ImagePixel24(picture, 3, 3), 0x00FF00u);
    EXPECT_NE(picture.BeginDraw(true, nullptr), nullptr);
    picture.EndDraw();
    picture.EndDraw();  // without an open context: nothing
    EXPECT_EQ(ImagePixel24(picture, 0, 0), 0x00FF00u);
}

TEST(MemBitmap, EndDrawReadsTheDrawingBackBottomUp) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(5, 3, 24));
    TDeviceContext* dc = picture.BeginDraw(false, nullptr);
    dc->FillRect(0, 0, 5, 1, 0x0000FF);  // top row red
    dc->FillRect(4, 2, 5, 3, 0xFF0000);  // bottom-right pixel blue
    picture.EndDraw();
    const std::vector<std::uint8_t> bytes = ImageBytes(picture);
    // Pixel area: bottom row first, stride 16.
    const std::uint8_t bottomRow[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0};
    const std::uint8_t topRow[16] = {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0};
    EXPECT_EQ(std::memcmp(bytes.data() + 40, bottomRow, 16), 0);
    EXPECT_EQ(std::memcmp(bytes.data() + 40 + 32, topRow, 16), 0);
}

TEST(MemBitmap, BeginDrawWithoutKeepingPaintsBlack) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(3, 3, 24));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            picture.SetPixel(x, y, 0xABCDEF);
    picture.UpdateBitmap();
    picture.BeginDraw(true, nullptr);
    picture.EndDraw();
    EXPECT_EQ(ImagePixel24(picture, 2, 2), 0xABCDEFu);
    picture.BeginDraw(false, nullptr);
    picture.EndDraw();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(ImagePixel24(picture, x, y), 0u) << x << "," << y;
}

TEST(MemBitmap, BeginDrawWithAReferenceMakesANewBitmap) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(4, 2, 24));
    picture.SetPixel(3, 1, 0x102030);
    picture.UpdateBitmap();
    TTarget screen(1, 1);
    const TDeviceBitmap* old = picture.bitmap.get();
    TDeviceContext* dc = picture.BeginDraw(true, &screen.dc);
    ASSERT_NE(dc, nullptr);
    EXPECT_NE(picture.bitmap.get(), old);
    EXPECT_EQ(dc->SelectedBitmap(), picture.bitmap.get());
    picture.EndDraw();
    EXPECT_EQ(ImagePixel24(picture, 3, 1), 0x102030u);

    picture.BeginDraw(false, &screen.dc);
    picture.EndDraw();
    EXPECT_EQ(ImagePixel24(picture, 3, 1), 0u);
}

TEST(MemBitmap, EndDrawAtEightBitsPicksTheNearestTableColour) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(4, 1, 8));
    std::uint8_t* image = picture.Lock();
    image[40 + 1 * 4 + 2] = 0xFF;  // entry 1 red
    image[40 + 2 * 4 + 0] = 0xFF;  // entry 2 blue
    image[40 + 3 * 4 + 0] = 0xFF;  // entry 3 white
    image[40 + 3 * 4 + 1] = 0xFF;
    image[40 + 3 * 4 + 2] = 0xFF;
    picture.Unlock();
    picture.UpdateBitmap();
    TDeviceContext* dc = picture.BeginDraw(false, nullptr);
    dc->FillRect(0, 0, 1, 1, 0x0000F0);  // nearly red
    dc->FillRect(1, 0, 2, 1, 0xE00000);  // nearly blue
    dc->FillRect(2, 0, 3, 1, 0xF0F0F0);  // nearly white
    picture.EndDraw();
    const std::vector<std::uint8_t> bytes = ImageBytes(picture);
    const std::uint8_t row[4] = {1, 2, 3, 0};
    EXPECT_EQ(std::memcmp(bytes.data() + 40 + 1024, row, 4), 0);
}

TEST(MemBitmap, DrawCopiesTheWholePictureAtAPosition) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(2, 2, 24));
    picture.SetPixel(0, 0, 0x0000FF);
    picture.SetPixel(1, 1, 0x00FF00);
    picture.UpdateBitmap();
    TTarget target(5, 5, 0xFFFFFF);
    picture.Draw(target.dc, 3, 3, rop::kSrcCopy);
    EXPECT_EQ(target.Pixel(3, 3), 0x0000FFu);
    EXPECT_EQ(target.Pixel(4, 4), 0x00FF00u);
    EXPECT_EQ(target.Pixel(4, 3), 0u);
    EXPECT_EQ(target.Pixel(2, 2), 0xFFFFFFu);
    picture.Draw(target.dc, -1, -1, rop::kSrcCopy);  // clipped at the edges
    EXPECT_EQ(target.Pixel(0, 0), 0x00FF00u);
    picture.Draw(target.dc, 0, 3, rop::kSrcInvert);
    EXPECT_EQ(target.Pixel(0, 3), 0xFFFF00u);
    EXPECT_EQ(target.Pixel(1, 3), 0xFFFFFFu);

    picture.loaded = false;
    TTarget untouched(2, 2, 0x333333);
    picture.Draw(untouched.dc, 0, 0, rop::kSrcCopy);
    EXPECT_EQ(untouched.Pixel(0, 0), 0x333333u);
}

TEST(MemBitmap, AssignMakesAnIndependentDeepCopy) {
    TMemBitmap source;
    ASSERT_TRUE(source.Create(6, 3, 24));
    source.SetPixel(2, 1, 0x123456);
    source.UpdateBitmap();
    TMemBitmap copy;
    copy.Assign(source);
    EXPECT_TRUE(copy.loaded);
    EXPECT_EQ(copy.width, 6);
    EXPECT_EQ(copy.height, 3);
    EXPECT_EQ(copy.stride, 20);
    EXPECT_EQ(copy.bitsPerPixel, 24);
    EXPECT_EQ(copy.bitsGap, 0);
    ASSERT_TRUE(copy.memory);
    EXPECT_NE(copy.memory.get(), source.memory.get());
    EXPECT_NE(copy.bitmap.get(), source.bitmap.get());
    EXPECT_EQ(ImageBytes(copy), ImageBytes(source));

    source.SetPixel(2, 1, 0xFFFFFF);
    source.UpdateBitmap();
    TDeviceContext* dc = source.BeginDraw(false, nullptr);
    dc->FillRect(0, 0, 6, 3, 0x00FF00);
    source.EndDraw();
    EXPECT_EQ(ImagePixel24(copy, 2, 1), 0x123456u);
    TTarget target(6, 3, 0xFFFFFF);
    copy.Draw(target.dc, 0, 0, rop::kSrcCopy);
    EXPECT_EQ(target.Pixel(2, 1), 0x123456u);
    EXPECT_EQ(target.Pixel(0, 0), 0u);

    source.Release();
    EXPECT_EQ(ImagePixel24(copy, 2, 1), 0x123456u);
}

TEST(MemBitmap, AssignmentOperatorAndCopyConstructorAreDeep) {
    TMemBitmap source;
    ASSERT_TRUE(source.Create(3, 3, 4));
    source.SetPixel(1, 1, 9);
    TMemBitmap assigned;
    ASSERT_TRUE(assigned.Create(100, 100, 24));
    TMemBitmap& result = (assigned = source);
    EXPECT_EQ(&result, &assigned);
    EXPECT_EQ(assigned.width, 3);
    EXPECT_EQ(assigned.bitsPerPixel, 4);
    EXPECT_EQ(ImageBytes(assigned), ImageBytes(source));
    TMemBitmap constructed(source);
    EXPECT_EQ(ImageBytes(constructed), ImageBytes(source));
    source.SetPixel(1, 1, 2);
    EXPECT_NE(ImageBytes(constructed), ImageBytes(source));
    EXPECT_EQ(ImageBytes(constructed), ImageBytes(assigned));
}

TEST(MemBitmap, AssignCopiesTheLockCountIntoItsOwnImage) {
    TMemBitmap source;
    ASSERT_TRUE(source.Create(2, 2, 24));
    source.Lock();
    source.Lock();
    TMemBitmap copy;
    copy.Assign(source);
    EXPECT_EQ(copy.lockCount, 2);
    ASSERT_NE(copy.data, nullptr);
    EXPECT_NE(copy.data, source.data);
    EXPECT_EQ(copy.memory->LockCount(), 2);
    EXPECT_TRUE(copy.Unlock());
    EXPECT_FALSE(copy.Unlock());
    EXPECT_EQ(copy.data, nullptr);
}

TEST(MemBitmap, AssignFromAnEmptyPictureOrWithoutMemoryLeavesItEmpty) {
    TMemBitmap empty;
    TMemBitmap copy;
    ASSERT_TRUE(copy.Create(4, 4, 24));
    copy.Assign(empty);
    EXPECT_FALSE(copy.loaded);
    EXPECT_FALSE(copy.memory);
    EXPECT_FALSE(copy.bitmap);

    TMemBitmap source;
    ASSERT_TRUE(source.Create(30, 30, 24));
    TMemBitmap starved;
    {
        TBlockLimit limit(100);
        starved.Assign(source);
    }
    EXPECT_FALSE(starved.loaded);
    EXPECT_FALSE(starved.memory);
}

TEST(MemBitmap, AssigningAPictureToItselfKeepsIt) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(3, 3, 24));
    picture.SetPixel(0, 0, 0x010203);
    const std::vector<std::uint8_t> before = ImageBytes(picture);
    TMemBitmap& alias = picture;
    picture = alias;
    EXPECT_TRUE(picture.loaded);
    EXPECT_EQ(ImageBytes(picture), before);
}

TEST(MemBitmap, ReleaseCreateAndAssignWhileDrawingLeaveTheContextUsable) {
    TMemBitmap other;
    ASSERT_TRUE(other.Create(3, 3, 24));
    const std::string missing = WriteTempFile("dangling.bmp", {});
    struct Case {
        const char* why;
        std::function<void(TMemBitmap&)> step;
    };
    const Case cases[] = {
        {"Release", [](TMemBitmap& p) { p.Release(); }},
        {"Create", [](TMemBitmap& p) { ASSERT_TRUE(p.Create(5, 5, 24)); }},
        {"Assign", [&](TMemBitmap& p) { p.Assign(other); }},
        {"LoadFromFile", [&](TMemBitmap& p) { p.LoadFromFile(missing.c_str(), -1); }},
    };
    for (const Case& c : cases) {
        TMemBitmap picture;
        ASSERT_TRUE(picture.Create(10, 10, 24));
        TDeviceContext* dc = picture.BeginDraw(false, nullptr);
        ASSERT_NE(dc, nullptr);
        dc->FillRect(0, 0, 10, 10, 0xFFFFFF);
        c.step(picture);
        EXPECT_EQ(picture.drawDC.get(), dc) << c.why;
        EXPECT_EQ(picture.BeginDraw(false, nullptr), nullptr) << c.why;
        // The context still draws on the bitmap it was opened on.
        dc->FillRect(0, 0, 10, 10, 0x00FF00);
        dc->MoveTo(0, 0);
        dc->LineTo(9, 9);
        dc->TextOut(0, 0, "Q");
        const std::vector<std::uint8_t> before = ImageBytes(picture);
        picture.EndDraw();
        EXPECT_FALSE(picture.drawDC) << c.why;
        // None of that drawing reaches what the picture holds now.
        EXPECT_EQ(ImageBytes(picture), before) << c.why;
        if (picture.bitmap) {
            TTarget target(1, 1, 0x123456);
            picture.Draw(target.dc, 0, 0, rop::kSrcCopy);
            EXPECT_EQ(target.Pixel(0, 0), 0u) << c.why;
        }
        EXPECT_NE(picture.BeginDraw(false, nullptr), nullptr) << c.why;
        picture.EndDraw();
    }
    // A picture destroyed with its context still open after a Release.
    TMemBitmap dropped;
    ASSERT_TRUE(dropped.Create(4, 4, 24));
    dropped.BeginDraw(false, nullptr)->FillRect(0, 0, 4, 4, 0xFFFFFF);
    dropped.Release();
}

TEST(MemBitmap, UpdateBitmapWhileDrawingKeepsTheContextOnTheNewBitmap) {
    TMemBitmap picture;
    ASSERT_TRUE(picture.Create(3, 3, 24));
    TDeviceContext* dc = picture.BeginDraw(true, nullptr);
    dc->FillRect(2, 2, 3, 3, 0x00FF00);  // the context is painting when the bitmap goes
    picture.UpdateBitmap();
    EXPECT_EQ(dc->SelectedBitmap(), picture.bitmap.get());
    dc->FillRect(0, 0, 1, 1, 0x0000FF);
    picture.EndDraw();
    EXPECT_EQ(ImagePixel24(picture, 0, 0), 0x0000FFu);
}

}  // namespace
