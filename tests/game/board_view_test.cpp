#include <gtest/gtest.h>

#include <memory>

#include <QEvent>
#include <QImage>
#include <QWindow>

#include "game/board_composition.h"
#include "game/board_texts.h"
#include "game/game_rules.h"
#include "game/quillory_main_form.h"
#include "game/tile_data.h"
#include "graphics/client_area.h"
#include "graphics/window_frame.h"
#include "tests/support/drawing.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/tables.h"

namespace {

constexpr TColor kGrey = 0x808080;

// Counts the paint events of a widget.
class TPaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Message boxes that note how many times the board had been painted when they appeared.
class TPaintNotingDialogs final : public TPlatformDialogs {
public:
    const TPaintCounter& counter;
    std::vector<int> paintsAtMessage;
    explicit TPaintNotingDialogs(const TPaintCounter& c) : counter(c) { SetDialogs(this); }
    ~TPaintNotingDialogs() override { SetDialogs(nullptr); }
    void MessageBox(QWidget*, const std::string&, const std::string&, TMessageIcon) override {
        paintsAtMessage.push_back(counter.paints);
    }
    bool OpenFileName(QWidget*, const TFileDialogOptions&, std::string&) override { return false; }
    bool SaveFileName(QWidget*, const TFileDialogOptions&, std::string&) override { return false; }
    int ShowModal(QDialog&) override { return 1; }
};

// A pixel of the white text or the route: grey, and nearer white than `background`
// (black or grey).
bool Lit(TColor c, TColor background = kBlack) {
    const TColor level = c & 0xFF;
    return c == (level | level << 8 | level << 16) && 2 * level >= (background & 0xFF) + 0x100;
}

class BoardViewTest : public ::testing::Test {
protected:
    TRecordingDialogs dialogs;
    std::unique_ptr<TQuilloryMainForm> form = std::make_unique<TQuilloryMainForm>();

    TColor Frame(int x, int y) { return ImagePixel24(form->viewBitmap, x, y); }
    TColor Tile(TMemBitmap& tile, int x, int y) { return ImagePixel24(tile, x, y); }

    // Where the table number is drawn.
    QRect TableTextBox() {
        TDeviceContext measure;
        auto bitmap = TDeviceBitmap::CreateCompatible(1, 1);
        measure.SelectBitmap(bitmap.get());
        measure.SelectFont(form->font());
        const TTextExtent e = measure.TextExtent(TableText(form->tableIndex));
        return QRect(kBoardWidthPixels - e.width - 2, 2, e.width, e.height);
    }
    // What the table number may draw on: its box, and the one pixel either side that
    // the smoothing of its first and last letters can reach.
    QRect TableTextArea() { return TableTextBox().adjusted(-1, 0, 1, 0); }

    int LitIn(const QRect& box) {
        int n = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                n += Lit(Frame(x, y));
        return n;
    }
    // Every pixel of cell (cx, cy) matches `tile`, or the background where `tile` is null;
    // pixels inside `skip` are not compared.
    void ExpectCell(int cx, int cy, TMemBitmap* tile, TColor background, const QRect& skip = QRect()) {
        int wrong = 0;
        for (int y = 0; y < kCellPixels; ++y)
            for (int x = 0; x < kCellPixels; ++x) {
                const int fx = cx * kCellPixels + x, fy = cy * kCellPixels + y;
                if (skip.contains(fx, fy))
                    continue;
                const TColor expected = tile != nullptr ? Tile(*tile, x, y) : background;
                wrong += Frame(fx, fy) != expected;
            }
        EXPECT_EQ(wrong, 0) << "cell " << cx << "," << cy;
    }
};

TEST_F(BoardViewTest, PicturesAreMadeWithTheirSizes) {
    EXPECT_EQ(form->viewBitmap.width, 450);
    EXPECT_EQ(form->viewBitmap.height, 300);
    EXPECT_EQ(form->viewBitmap.bitsPerPixel, 24);
    EXPECT_TRUE(form->viewBitmap.loaded);
    for (TMemBitmap* tile : {&form->cellTile, &form->playerTile}) {
        EXPECT_EQ(tile->width, 25);
        EXPECT_EQ(tile->height, 25);
        EXPECT_EQ(tile->bitsPerPixel, 24);
        EXPECT_EQ(tile->lockCount, 0);
        EXPECT_TRUE(tile->loaded);
    }
    EXPECT_FALSE(form->viewBitmap.drawDC);
}

TEST_F(BoardViewTest, TilesHoldTheirValuesWithTheBackgroundWhereTheyHaveNone) {
    for (TColor background : {kBlack, kGrey}) {
        if (background == kGrey)
            form->Gray1Click();
        for (int y = 0; y < kTileSize; ++y)
            for (int x = 0; x < kTileSize; ++x) {
                const std::uint32_t c = CellTileValue(x, y), p = PlayerTileValue(x, y);
                ASSERT_EQ(Tile(form->cellTile, x, y), c != 0 ? c : background) << x << "," << y;
                ASSERT_EQ(Tile(form->playerTile, x, y), p != 0 ? p : background) << x << "," << y;
            }
    }
    form->Black1Click();
    EXPECT_EQ(form->backgroundColor, 0u);
    EXPECT_EQ(Tile(form->cellTile, 24, 24), 0u);
}

TEST_F(BoardViewTest, StartFrameShowsCellsPlayerAndBackground) {
    const QRect text = TableTextArea();
    const TQuilloryTable& table = form->currentTable;
    for (int y = 0; y < kBoardRows; ++y)
        for (int x = 0; x < kBoardColumns; ++x) {
            if (x == table.x && y == table.y)
                ExpectCell(x, y, &form->playerTile, kBlack, text);
            else if (table.IsPresent(x, y))
                ExpectCell(x, y, &form->cellTile, kBlack, text);
            else
                ExpectCell(x, y, nullptr, kBlack, text);
        }
    EXPECT_EQ(table.x, 1);
    EXPECT_EQ(table.y, 9);
}

TEST_F(BoardViewTest, TableNumberIsWhiteAtTheTopRightAndTheTimeHidden) {
    const QRect text = TableTextBox();
    EXPECT_GT(text.width(), 20);
    EXPECT_EQ(text.right(), 450 - 2 - 1);
    EXPECT_GT(LitIn(text), 20);
    // Nothing white anywhere else on the start board (no route, no time).
    EXPECT_EQ(LitIn(QRect(0, 0, 450, 300)), LitIn(text));
    EXPECT_EQ(LitIn(QRect(0, 0, 60, 20)), 0);
    // The letters themselves end near the right edge, 2 pixels in, and start below the top.
    int right = -1, top = 300;
    for (int y = 0; y < 30; ++y)
        for (int x = 300; x < 450; ++x)
            if (Lit(Frame(x, y))) {
                right = std::max(right, x);
                top = std::min(top, y);
            }
    EXPECT_LE(right, 447);
    EXPECT_GE(right, 440);
    EXPECT_GE(top, 2);
    EXPECT_LE(top, 8);
}

TEST_F(BoardViewTest, TableNumberFollowsTheTable) {
    const int whiteAtZero = LitIn(TableTextBox());
    form->mNextClick();
    form->mNextClick();
    form->mNextClick();
    form->mNextClick();
    form->mNextClick();
    form->mNextClick();
    form->mNextClick();
    form->mNextClick();
    form->mNextClick();
    form->mNextClick();
    form->mNextClick();  // table 11: two characters
    const QRect box = TableTextBox();
    EXPECT_GT(LitIn(box), whiteAtZero);
    EXPECT_EQ(LitIn(QRect(0, 0, 450, 300)), LitIn(box));
}

TEST_F(BoardViewTest, ShowTimeDrawsTheTimeAtTheTopLeft) {
    EXPECT_FALSE(form->ui.mShowTime->isChecked());
    form->mShowTimeClick();
    EXPECT_TRUE(form->ui.mShowTime->isChecked());
    const QRect timeBox(2, 2, 60, 16);
    const int atZero = LitIn(timeBox);
    EXPECT_GT(atZero, 10);
    const std::vector<std::uint8_t> before = ImageBytes(form->viewBitmap);
    form->TimerTimer();
    EXPECT_EQ(form->elapsedSeconds, 1);
    EXPECT_NE(ImageBytes(form->viewBitmap), before);  // "00:01" differs from "00:00"
    form->mShowTimeClick();
    EXPECT_FALSE(form->ui.mShowTime->isChecked());
    EXPECT_EQ(LitIn(timeBox), 0);
}

TEST_F(BoardViewTest, TimerCountsAndRedrawsEvenWithTheTimeHidden) {
    const std::vector<std::uint8_t> before = ImageBytes(form->viewBitmap);
    form->currentTable.SetCell(5, 5, false);  // not drawn until the next redraw
    form->TimerTimer();
    form->TimerTimer();
    EXPECT_EQ(form->elapsedSeconds, 2);
    EXPECT_NE(ImageBytes(form->viewBitmap), before);
    ExpectCell(5, 5, nullptr, kBlack);
    EXPECT_EQ(form->Timer.interval(), 1000);
    EXPECT_TRUE(form->Timer.isActive());
}

TEST_F(BoardViewTest, AfterAMoveTheLeftCellShowsTheBackground) {
    form->FormKeyDown(keys::kUp, Qt::NoModifier);
    ASSERT_EQ(form->currentTable.y, 8);
    ExpectCell(1, 9, nullptr, kBlack);
    ExpectCell(1, 8, &form->playerTile, kBlack);
    form->FormKeyDown(keys::kBackspace, Qt::NoModifier);
    ExpectCell(1, 9, &form->playerTile, kBlack);
    ExpectCell(1, 8, &form->cellTile, kBlack);
}

TEST_F(BoardViewTest, RouteLinePassesThroughEveryCellCentre) {
    form->route = {{1, 9}, {1, 8}, {1, 7}, {2, 7}, {3, 7}, {3, 6}};
    form->DrawBoard();
    for (const TRouteFinder::TPoint& p : form->route)
        EXPECT_EQ(Frame(p.x * 25 + 13, p.y * 25 + 13), kWhite) << p.x << "," << p.y;
    // Straight between centres: the pixel between (1, 9) and (1, 8), and not the 12 offset.
    EXPECT_EQ(Frame(38, 225), kWhite);
    EXPECT_NE(Frame(12 + 25, 12 + 225), kWhite);
    // The route survives a move and goes with a reset.
    form->FormKeyDown(keys::kUp, Qt::NoModifier);
    EXPECT_EQ(Frame(3 * 25 + 13, 6 * 25 + 13), kWhite);
    form->mAgainClick();
    EXPECT_EQ(LitIn(QRect(0, 30, 450, 270)), 0);
}

TEST_F(BoardViewTest, ARouteOfOnePointDrawsNothing) {
    form->route = {{1, 9}};
    form->DrawBoard();
    EXPECT_NE(Frame(38, 238), kWhite);
    EXPECT_EQ(LitIn(QRect(0, 30, 450, 270)), 0);
}

TEST_F(BoardViewTest, GreyBackgroundShowsInEmptyCellsAndAroundTheDiscs) {
    form->Gray1Click();
    EXPECT_EQ(form->backgroundColor, kGrey);
    const QRect text = TableTextArea();
    for (int y = 0; y < kBoardRows; ++y)
        for (int x = 0; x < kBoardColumns; ++x)
            if (!form->currentTable.IsPresent(x, y))
                ExpectCell(x, y, nullptr, kGrey, text);
    EXPECT_EQ(Frame(2 * 25 + 24, 1 * 25 + 24), kGrey);  // the corner a present cell's disc leaves
    EXPECT_EQ(Frame(1 * 25, 9 * 25), kGrey);            // row 0 of the player tile
    form->Black1Click();
    EXPECT_EQ(Frame(0, 0), kBlack);
    EXPECT_EQ(Frame(2 * 25 + 24, 1 * 25 + 24), kBlack);
}

TEST_F(BoardViewTest, FormPaintCopiesTheComposedBoard) {
    QImage canvas(450, 300, TDeviceBitmap::kFormat);
    canvas.fill(Qt::red);
    {
        TDeviceContext dc(&canvas);
        form->FormPaint(dc);
    }
    int wrong = 0;
    for (int y = 0; y < 300; y += 3)
        for (int x = 0; x < 450; x += 3)
            wrong += FromQRgb(canvas.pixel(x, y)) != Frame(x, y);
    EXPECT_EQ(wrong, 0);
}

TEST_F(BoardViewTest, TheWindowShowsTheBoardItPaints) {
    ShowExposed(*form);
    const QImage shown = form->clientArea->grab().toImage().convertToFormat(TDeviceBitmap::kFormat);
    ASSERT_EQ(shown.width(), 450);
    ASSERT_EQ(shown.height(), 300);
    int wrong = 0;
    for (int y = 0; y < 300; y += 5)
        for (int x = 0; x < 450; x += 5)
            wrong += FromQRgb(shown.pixel(x, y)) != Frame(x, y);
    EXPECT_EQ(wrong, 0);
}

TEST(BoardViewOrder, TheNewBoardIsPaintedBeforeTheMessageOfTheSameKey) {
    TPaintCounter counter;
    TPaintNotingDialogs dialogs(counter);
    TQuilloryMainForm form;
    ShowExposed(form);
    ASSERT_TRUE(form.windowHandle()->isExposed());
    form.clientArea->installEventFilter(&counter);
    // Two cells: the move onto the second wins.
    TQuilloryTable table;
    table.SetCell(4, 4, true);
    table.SetCell(5, 4, true);
    table.x = 4;
    table.y = 4;
    form.currentTable = table;
    form.ResetPlay();
    const int before = counter.paints;
    form.FormKeyDown(keys::kRight, Qt::NoModifier);
    ASSERT_EQ(dialogs.paintsAtMessage.size(), 1u);
    EXPECT_GT(dialogs.paintsAtMessage[0], before);
}

// The composition alone, on a memory bitmap, with no window; the same state in the
// window gives the same picture.
TEST(BoardComposition, ComposesAMemoryBitmapWithoutAWindow) {
    TMemBitmap cellTile, playerTile, view;
    BuildBoardTiles(cellTile, playerTile, kGrey);
    ASSERT_TRUE(view.Create(kBoardWidthPixels, kBoardHeightPixels, 24));
    const TQuilloryTable table = quillory_test::TableOf({{1, 3}, {2, 3}, {3, 3}, {3, 4}}, {2, 3});
    const std::vector<TRouteFinder::TPoint> route{{2, 3}, {3, 3}, {3, 4}};
    const QFont font = WindowFont();
    const TBoardScene scene{table, 7, kGrey, true, 65, route, kBoardWidthPixels, kBoardHeightPixels, font};
    TDeviceContext* dc = view.BeginDraw(false, nullptr);
    ASSERT_NE(dc, nullptr);
    ComposeBoard(*dc, cellTile, playerTile, scene);
    view.EndDraw();

    EXPECT_EQ(ImagePixel24(view, 5 * kCellPixels + 12, 8 * kCellPixels + 12), kGrey);
    EXPECT_EQ(ImagePixel24(view, 1 * kCellPixels + 12, 3 * kCellPixels + 4), CellTileValue(12, 4));
    EXPECT_EQ(ImagePixel24(view, 2 * kCellPixels + 6, 3 * kCellPixels + 20), PlayerTileValue(6, 20));
    EXPECT_EQ(ImagePixel24(view, 1 * kCellPixels + 24, 3 * kCellPixels + 24), kGrey);
    // The route runs right from the player's centre, then down.
    for (int x = 2 * kCellPixels + 13; x <= 3 * kCellPixels + 13; ++x)
        EXPECT_EQ(ImagePixel24(view, x, 3 * kCellPixels + 13), kWhite) << x;
    for (int y = 3 * kCellPixels + 13; y <= 4 * kCellPixels + 13; ++y)
        EXPECT_EQ(ImagePixel24(view, 3 * kCellPixels + 13, y), kWhite) << y;
    int whiteLeft = 0, whiteRight = 0;
    for (int y = 0; y < kCellPixels; ++y)
        for (int x = 0; x < 4 * kCellPixels; ++x) {
            whiteLeft += Lit(ImagePixel24(view, x, y), kGrey);
            whiteRight += Lit(ImagePixel24(view, kBoardWidthPixels - 1 - x, y), kGrey);
        }
    EXPECT_GT(whiteLeft, 0);
    EXPECT_GT(whiteRight, 0);

    TRecordingDialogs dialogs;
    TQuilloryMainForm form;
    form.Gray1Click();
    form.mShowTimeClick();
    form.tableIndex = 7;
    form.currentTable = table;
    form.elapsedSeconds = 65;
    form.route = route;
    form.DrawBoard();
    EXPECT_EQ(ImageBytes(form.viewBitmap), ImageBytes(view));
}

}  // namespace
