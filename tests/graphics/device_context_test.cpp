#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

#include "graphics/device_context.h"
#include "tests/support/drawing.h"

namespace {

int CountColour(TTarget& t, int left, int top, int right, int bottom, TColor colour) {
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += t.Pixel(x, y) == colour;
    return n;
}

TEST(Colours, ConvertRedInTheLowByte) {
    const QColor c = ToQColor(0x00336699);
    EXPECT_EQ(c.red(), 0x99);
    EXPECT_EQ(c.green(), 0x66);
    EXPECT_EQ(c.blue(), 0x33);
    EXPECT_EQ(FromQRgb(qRgb(0x99, 0x66, 0x33)), 0x336699u);
}

TEST(DeviceContext, FillRectLeavesTheRightAndBottomEdgesOut) {
    TTarget t(6, 6, kBlack);
    t.dc.FillRect(1, 2, 4, 5, 0x808080);
    EXPECT_EQ(CountColour(t, 0, 0, 6, 6, 0x808080), 9);
    EXPECT_EQ(t.Pixel(1, 2), 0x808080u);
    EXPECT_EQ(t.Pixel(3, 4), 0x808080u);
    EXPECT_EQ(t.Pixel(4, 4), 0u);
    EXPECT_EQ(t.Pixel(3, 5), 0u);
    t.dc.FillRect(4, 4, 4, 6, 0xFFFFFF);  // empty
    t.dc.FillRect(5, 5, 2, 2, 0xFFFFFF);  // inverted
    EXPECT_EQ(CountColour(t, 0, 0, 6, 6, 0xFFFFFF), 0);
}

TEST(DeviceContext, LinesIncludeBothEnds) {
    TTarget t(40, 40, kBlack);
    t.dc.SelectStockPen(TStockPen::White);
    t.dc.MoveTo(13, 13);
    EXPECT_EQ(CountColour(t, 0, 0, 40, 40, kWhite), 0);
    t.dc.LineTo(38, 13);
    t.dc.LineTo(38, 38);
    for (int x = 13; x <= 38; ++x)
        EXPECT_EQ(t.Pixel(x, 13), kWhite) << x;
    for (int y = 13; y <= 38; ++y)
        EXPECT_EQ(t.Pixel(38, y), kWhite) << y;
    EXPECT_EQ(t.Pixel(12, 13), 0u);
    EXPECT_EQ(t.Pixel(38, 39), 0u);
    EXPECT_EQ(t.Pixel(13, 14), 0u);
    EXPECT_EQ(CountColour(t, 0, 0, 40, 40, kWhite), 26 + 25);

    TTarget d(10, 10, kBlack);
    d.dc.SelectStockPen(TStockPen::White);
    d.dc.MoveTo(1, 1);
    d.dc.LineTo(6, 6);
    for (int i = 1; i <= 6; ++i)
        EXPECT_EQ(d.Pixel(i, i), kWhite) << i;
    EXPECT_EQ(CountColour(d, 0, 0, 10, 10, kWhite), 6);
    d.dc.SelectStockPen(TStockPen::Null);
    d.dc.LineTo(9, 0);
    EXPECT_EQ(CountColour(d, 0, 0, 10, 10, kWhite), 6);
}

TEST(DeviceContext, RectangleFillsWithTheBrushAndEdgesWithThePen) {
    TTarget t(8, 8, 0x00FF00);
    t.dc.SelectStockPen(TStockPen::Black);
    t.dc.SelectStockBrush(TStockBrush::White);
    t.dc.Rectangle(1, 1, 6, 5);
    EXPECT_EQ(CountColour(t, 0, 0, 8, 8, kWhite), 3 * 2);
    EXPECT_EQ(CountColour(t, 0, 0, 8, 8, kBlack), 5 * 4 - 6);
    EXPECT_EQ(t.Pixel(1, 1), kBlack);
    EXPECT_EQ(t.Pixel(5, 4), kBlack);
    EXPECT_EQ(t.Pixel(6, 4), 0x00FF00u);
    EXPECT_EQ(t.Pixel(5, 5), 0x00FF00u);

    TTarget black(4, 4, 0x00FF00);
    black.dc.SelectStockPen(TStockPen::Black);
    black.dc.SelectStockBrush(TStockBrush::Black);
    black.dc.Rectangle(0, 0, 4, 4);
    EXPECT_EQ(CountColour(black, 0, 0, 4, 4, kBlack), 16);
}

TEST(DeviceContext, TransparentTextDrawsOnlyLetterPixelsInsideItsExtent) {
    TTarget t(200, 40, kBlack);
    QFont font = QApplication::font();
    font.setPixelSize(11);
    t.dc.SelectFont(font);
    const TTextExtent extent = t.dc.TextExtent("Table: 0");
    EXPECT_GT(extent.width, 20);
    EXPECT_GT(extent.height, 5);
    EXPECT_LT(extent.height, 40);
    EXPECT_EQ(t.dc.TextExtent("").width, 0);
    EXPECT_GT(t.dc.TextExtent("Table: 10").width, extent.width);
    t.dc.SetTextColor(kWhite);
    EXPECT_FALSE(t.dc.SetBkModeTransparent(true));
    t.dc.TextOut(10, 5, "Table: 0");
    const int inside = CountColour(t, 10, 5, 10 + extent.width, 5 + extent.height, kWhite);
    EXPECT_GT(inside, 20);
    EXPECT_EQ(CountColour(t, 0, 0, 200, 40, kWhite), inside);
    // Nothing but white and the untouched black: no smoothing, no box.
    EXPECT_EQ(CountColour(t, 0, 0, 200, 40, kBlack), 200 * 40 - inside);
}

TEST(DeviceContext, OpaqueTextFillsItsBoxWithTheBackgroundColour) {
    TTarget t(100, 30, kBlack);
    QFont font = QApplication::font();
    font.setPixelSize(11);
    t.dc.SelectFont(font);
    t.dc.SetTextColor(kWhite);
    t.dc.SetBkColor(0x0000FF);
    t.dc.TextOut(2, 2, "Ab");
    const TTextExtent e = t.dc.TextExtent("Ab");
    const int box = e.width * e.height;
    const int red = CountColour(t, 0, 0, 100, 30, 0x0000FF);
    const int white = CountColour(t, 0, 0, 100, 30, kWhite);
    EXPECT_GT(white, 0);
    EXPECT_EQ(red + white, box);
}

TEST(DeviceContext, BitBltCombinesByRasterOperation) {
    TTarget source(2, 1, 0x0F0F0F);
    source.dc.FillRect(1, 0, 2, 1, 0xF0F0F0);
    source.dc.SelectBitmap(source.bitmap.get());
    struct Case {
        std::uint32_t op;
        TColor expected0, expected1;
    };
    const TColor d = 0x3C3C3C;
    const Case cases[] = {
        {rop::kSrcCopy, 0x0F0F0F, 0xF0F0F0},    {rop::kSrcPaint, 0x3F3F3F, 0xFCFCFC},
        {rop::kSrcAnd, 0x0C0C0C, 0x303030},     {rop::kSrcInvert, 0x333333, 0xCCCCCC},
        {rop::kNotSrcCopy, 0xF0F0F0, 0x0F0F0F}, {rop::kBlackness, 0x000000, 0x000000},
        {rop::kWhiteness, 0xFFFFFF, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        TTarget t(2, 1, d);
        EXPECT_TRUE(t.dc.BitBlt(0, 0, 2, 1, source.dc, 0, 0, c.op)) << std::hex << c.op;
        EXPECT_EQ(t.Pixel(0, 0), c.expected0) << std::hex << c.op;
        EXPECT_EQ(t.Pixel(1, 0), c.expected1) << std::hex << c.op;
    }
    TTarget t(2, 1, d);
    EXPECT_FALSE(t.dc.BitBlt(0, 0, 2, 1, source.dc, 0, 0, 0x00BB0226));
    EXPECT_EQ(t.Pixel(0, 0), d);
}

TEST(DeviceContext, BitBltClipsAtBothSidesAndCopiesNothingWithoutABitmap) {
    TTarget source(3, 3, 0x111111);
    source.dc.FillRect(2, 2, 3, 3, 0x222222);
    TTarget t(4, 4, kBlack);
    t.dc.BitBlt(-2, -2, 3, 3, source.dc, 0, 0, rop::kSrcCopy);
    EXPECT_EQ(t.Pixel(0, 0), 0x222222u);
    EXPECT_EQ(t.Pixel(1, 0), 0u);
    t.dc.BitBlt(2, 2, 5, 5, source.dc, 1, 1, rop::kSrcCopy);  // source runs out after two pixels
    EXPECT_EQ(t.Pixel(2, 2), 0x111111u);
    EXPECT_EQ(t.Pixel(3, 3), 0x222222u);
    t.dc.BitBlt(0, 2, 2, 2, source.dc, 5, 5, rop::kSrcCopy);  // nothing of the source
    EXPECT_EQ(t.Pixel(0, 2), 0u);
    TDeviceContext empty;
    EXPECT_TRUE(t.dc.BitBlt(0, 0, 4, 4, empty, 0, 0, rop::kSrcCopy));
    EXPECT_EQ(t.Pixel(0, 0), 0x222222u);
}

TEST(DeviceContext, ContextWithoutABitmapIgnoresDrawing) {
    TDeviceContext dc;
    dc.FillRect(0, 0, 10, 10, kWhite);
    dc.TextOut(0, 0, "x");
    dc.LineTo(5, 5);
    dc.Rectangle(0, 0, 3, 3);
    EXPECT_EQ(dc.SelectedBitmap(), nullptr);
    EXPECT_TRUE(dc.IsMemory());
    TDeviceContext onDevice(static_cast<QPaintDevice*>(nullptr));
    EXPECT_FALSE(onDevice.IsMemory());
    EXPECT_EQ(onDevice.SelectBitmap(nullptr), nullptr);
    onDevice.FillRect(0, 0, 1, 1, kWhite);
}

TEST(DeviceContext, DrawsOntoAPaintDevice) {
    QImage image(4, 4, TDeviceBitmap::kFormat);
    image.fill(Qt::black);
    {
        TDeviceContext dc(&image);
        dc.FillRect(1, 1, 3, 3, 0x0000FF);
    }
    EXPECT_EQ(FromQRgb(image.pixel(1, 1)), 0x0000FFu);
    EXPECT_EQ(FromQRgb(image.pixel(3, 3)), 0u);
}

}  // namespace
