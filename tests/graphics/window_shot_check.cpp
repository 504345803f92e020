// Checks screenshots of the game's windows. Two forms:
//
//   window_shot_check board SCREENSHOT TABLE KEYS
//     SCREENSHOT  a picture of the main window (menu bar above, 450 x 300 board below)
//     TABLE       index of the built-in table that was put into play
//     KEYS        the keys pressed since: U D L R arrows, B Backspace, - none
//     Every cell must show the player's red tile, a blue cell tile or the background
//     as the table stands after those keys, and the table number must be there.
//
//   window_shot_check picture SCREENSHOT PICTURE
//     SCREENSHOT  a picture of the result dialog
//     PICTURE     the picture file it shows
//     The dialog must be 8 pixels wider and 37 higher than the picture and show it,
//     pixel for pixel, at (4, 4).
//
//   window_shot_check texts STRIP [SCREENSHOT TABLE]...
//     STRIP       where to write the texts, white on black, one per row
//     SCREENSHOT  a picture of the main window showing built-in table TABLE
//     Composes boards with the game's own drawing and font for every table number and a
//     spread of times, and cuts out the texts they show; then "Table: N" at the top
//     right of each screenshot. Prints the text of each row in order, for an OCR reader
//     to be compared with.
//
//   window_shot_check about SCREENSHOT
//     SCREENSHOT  a picture of the about dialog's client area (274 x 120)
//     The label "Last build:" must be drawn whole in its 48 x 13 box, as far as the
//     text reaches when drawn in the window font without a box, and the credit text
//     must show as five lines inside its box, with no scroll bar.
//
// Exits 0 when the screenshot matches, 1 with a list of differences when it does not,
// and 2 when the arguments or the pictures cannot be used.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRect>

#include "game/board_composition.h"
#include "game/board_texts.h"
#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "graphics/device_bitmap.h"
#include "graphics/device_context.h"
#include "graphics/mem_bitmap.h"
#include "graphics/window_frame.h"

namespace {

enum class TLook { Background, Cell, Player, Other };

const char* LookName(TLook look) {
    switch (look) {
    case TLook::Background: return "background";
    case TLook::Cell: return "cell";
    case TLook::Player: return "player";
    case TLook::Other: return "something else";
    }
    return "?";
}

// The cell tile is a blue disc and the player's tile a red one on a black background;
// at a cell's middle both are strongly coloured.
TLook Classify(QRgb pixel) {
    const int r = qRed(pixel);
    const int g = qGreen(pixel);
    const int b = qBlue(pixel);
    if (r < 0x20 && g < 0x20 && b < 0x20)
        return TLook::Background;
    if (b >= 0xA0 && r < 0x60 && g < 0x60)
        return TLook::Cell;
    if (r >= 0xA0 && b < 0x60 && g < 0x60)
        return TLook::Player;
    return TLook::Other;
}

// Plays `keys` on `table` with the game's own rules; false for an unknown key.
bool Play(TQuilloryTable& table, const std::string& keys) {
    std::vector<TBoardPoint> history;
    for (const char key : keys) {
        const TBoardPoint old{table.x, table.y};
        int dx = 0;
        int dy = 0;
        switch (key) {
        case 'U': dy = -1; break;
        case 'D': dy = 1; break;
        case 'L': dx = -1; break;
        case 'R': dx = 1; break;
        case 'B': UndoMove(table, history); continue;
        case '-': continue;
        default: return false;
        }
        if (MovePlayer(table, dx, dy))
            history.push_back(old);
    }
    return true;
}

// The table number is written at the top right, over the empty outer ring.
bool UnderTableNumber(int x, int y) {
    return y == 0 && x >= 12;
}

// The built-in table numbered `text`; false when there is no such table.
bool ParseTableIndex(const char* text, long& index) {
    char* end = nullptr;
    index = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && index >= 0 && index < kBuiltInTableCount;
}

// What cell (x, y) of `table` must show.
TLook ExpectedLook(const TQuilloryTable& table, int x, int y) {
    if (x == table.x && y == table.y)
        return TLook::Player;
    return table.IsPresent(x, y) ? TLook::Cell : TLook::Background;
}

// Compares each cell of the board at (left, top) of `shot` with `table`, printing each
// cell that shows something else; returns how many do.
int CountCellDifferences(const QImage& shot, const TQuilloryTable& table, int left, int top) {
    int differences = 0;
    for (int y = 0; y < kBoardRows; ++y) {
        for (int x = 0; x < kBoardColumns; ++x) {
            if (UnderTableNumber(x, y))
                continue;
            const TLook expected = ExpectedLook(table, x, y);
            // Two points well inside the disc of either tile.
            for (const int probe : {10, 14}) {
                const QRgb pixel = shot.pixel(left + x * kCellPixels + probe, top + y * kCellPixels + probe);
                const TLook seen = Classify(pixel);
                if (seen != expected) {
                    ++differences;
                    std::printf("cell (%d, %d): expected %s, shows %s (#%06X)\n", x, y, LookName(expected),
                                LookName(seen), pixel & 0xFFFFFFu);
                    break;
                }
            }
        }
    }
    return differences;
}

// True when the board at (left, top) of `shot` shows white in the top right corner,
// where "Table: N" is written.
bool ShowsTableNumber(const QImage& shot, int left, int top) {
    bool white = false;
    for (int y = top + 2; y < top + 20 && !white; ++y)
        for (int x = left + kBoardWidthPixels - 80; x < left + kBoardWidthPixels - 2 && !white; ++x)
            white = qRed(shot.pixel(x, y)) > 0xE0 && qGreen(shot.pixel(x, y)) > 0xE0 &&
                    qBlue(shot.pixel(x, y)) > 0xE0;
    return white;
}

int CheckBoard(char** argv) {
    long index = 0;
    if (!ParseTableIndex(argv[2], index)) {
        std::fprintf(stderr, "window_shot_check: no table %s\n", argv[2]);
        return 2;
    }
    TQuilloryTable table = MakeTable(BuiltInTable(static_cast<int>(index)));
    if (!Play(table, argv[3])) {
        std::fprintf(stderr, "window_shot_check: unknown key in %s\n", argv[3]);
        return 2;
    }
    const QImage shot = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    if (shot.isNull() || shot.width() < kBoardWidthPixels || shot.height() < kBoardHeightPixels) {
        std::fprintf(stderr, "window_shot_check: %s is not a picture of the window\n", argv[1]);
        return 2;
    }
    // The board fills the bottom of the window, below the menu bar.
    const int left = (shot.width() - kBoardWidthPixels) / 2;
    const int top = shot.height() - kBoardHeightPixels;
    int differences = CountCellDifferences(shot, table, left, top);
    if (!ShowsTableNumber(shot, left, top)) {
        ++differences;
        std::printf("no white table number at the top right\n");
    }
    if (differences > 0) {
        std::printf("%d differences from table %ld after \"%s\"\n", differences, index, argv[3]);
        return 1;
    }
    std::printf("board matches table %ld after \"%s\"\n", index, argv[3]);
    return 0;
}

int CheckPicture(char** argv) {
    const QImage shot = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QImage picture = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
    if (shot.isNull() || picture.isNull()) {
        std::fprintf(stderr, "window_shot_check: cannot read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    const QSize expected(picture.width() + 8, picture.height() + 37);
    if (shot.size() != expected) {
        std::printf("the dialog is %dx%d, not %dx%d\n", shot.width(), shot.height(), expected.width(),
                    expected.height());
        return 1;
    }
    long differences = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if ((shot.pixel(x + 4, y + 4) & 0xFFFFFFu) != (picture.pixel(x, y) & 0xFFFFFFu))
                ++differences;
    if (differences > 0) {
        std::printf("%ld pixels of the picture differ\n", differences);
        return 1;
    }
    std::printf("the dialog shows the %dx%d picture at (4, 4)\n", picture.width(), picture.height());
    return 0;
}

// Dark text on the light dialog or the white text box; anti-aliased edges count when
// they are more than half dark.
bool IsInk(QRgb pixel) {
    return qRed(pixel) < 0x90 && qGreen(pixel) < 0x90 && qBlue(pixel) < 0x90;
}

// The first and last columns of `area` in `image` that hold ink; false when none does.
bool InkColumns(const QImage& image, const QRect& area, int& first, int& last) {
    first = area.right() + 1;
    last = area.left() - 1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (IsInk(image.pixel(x, y))) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return first <= last;
}

// True when every pixel of `area` has the same colour.
bool Uniform(const QImage& image, const QRect& area) {
    const QRgb colour = image.pixel(area.topLeft());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != colour)
                return false;
    return true;
}

int CheckAbout(char** argv) {
    const QImage shot = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    if (shot.isNull()) {
        std::fprintf(stderr, "window_shot_check: cannot read %s\n", argv[1]);
        return 2;
    }
    if (shot.size() != QSize(274, 120)) {
        std::printf("the dialog is %dx%d, not 274x120\n", shot.width(), shot.height());
        return 1;
    }
    int differences = 0;

    // The label's text drawn whole, left-aligned with no box, reaches this far.
    QImage whole(200, 13, QImage::Format_RGB32);
    whole.fill(Qt::white);
    {
        QPainter painter(&whole);
        painter.setFont(WindowFont());
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, 0, whole.width(), whole.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("Last build:"));
    }
    int wholeFirst = 0, wholeLast = 0, first = 0, last = 0;
    const QRect label(0, 88, 48, 13);
    if (!InkColumns(whole, whole.rect(), wholeFirst, wholeLast) || wholeLast >= label.width()) {
        ++differences;
        std::printf("\"Last build:\" is %d pixels wide in the window font, more than its box\n",
                    wholeLast + 1);
    } else if (!InkColumns(shot, label, first, last)) {
        ++differences;
        std::printf("no text in the box of \"Last build:\"\n");
    } else if (std::abs(first - wholeFirst) > 1 || std::abs(last - wholeLast) > 1) {
        ++differences;
        std::printf("\"Last build:\" shows from column %d to %d; drawn whole it spans %d to %d\n", first,
                    last, wholeFirst, wholeLast);
    }
    // The build stamp follows the label.
    if (!InkColumns(shot, QRect(56, 88, 130, 13), first, last)) {
        ++differences;
        std::printf("no build stamp after \"Last build:\"\n");
    }

    // The credit text: bands of rows with ink inside the box's frame, one per line.
    const QRect text(3, 3, 267, 75);
    int bands = 0;
    bool inBand = false;
    int lastInkRow = -1;
    for (int y = text.top(); y <= text.bottom(); ++y) {
        int f = 0, l = 0;
        const bool ink = InkColumns(shot, QRect(text.left(), y, text.width(), 1), f, l);
        if (ink && !inBand)
            ++bands;
        if (ink)
            lastInkRow = y;
        inBand = ink;
    }
    if (bands != 5) {
        ++differences;
        std::printf("the credit text shows %d lines, not 5\n", bands);
    }
    // Nothing at the box's right and bottom edges: no line runs out of it and there is
    // no scroll bar.
    const QRect rightEdge(text.right() - 14, text.top(), 15, text.height());
    const QRect bottomEdge(text.left(), lastInkRow + 2, text.width(), text.bottom() - lastInkRow - 1);
    if (!Uniform(shot, rightEdge) || bottomEdge.height() < 2 || !Uniform(shot, bottomEdge)) {
        ++differences;
        std::printf("the credit text runs into the edge of its box or has a scroll bar\n");
    }
    if (differences > 0)
        return 1;
    std::printf("\"Last build:\" and the five credit lines are drawn whole\n");
    return 0;
}

// Rows of the text strip: room for one line of the window font with a gap.
constexpr int kStripRowHeight = 16;
constexpr int kStripWidth = 120;
// The parts of the board the texts are drawn in: the time at the top left, the table
// number at the top right.
const QRect kTimeBox(0, 0, 60, kStripRowHeight);
const QRect kTableBox(kBoardWidthPixels - kStripWidth, 0, kStripWidth, kStripRowHeight);

// Times that put every digit in every place: the hours' worth of seconds from 0 to 59:59.
std::vector<int> SpreadOfTimes(int count) {
    std::vector<int> seconds{0, 8 * 60 + 18, 38 * 60 + 58, 59 * 60 + 59, 65, 600, 36 * 60 + 16, 48 * 60 + 8};
    for (int i = 0; static_cast<int>(seconds.size()) < count; ++i)
        seconds.push_back((i * 1187 + 431) % 3600);
    return seconds;
}

int WriteTexts(int argc, char** argv) {
    std::vector<QImage> rows;
    std::vector<std::string> texts;
    const std::vector<int> times = SpreadOfTimes(kBuiltInTableCount);
    TMemBitmap cellTile, playerTile;
    BuildBoardTiles(cellTile, playerTile, 0);
    const QFont font = WindowFont();
    // No cell and no player on the board: the texts alone over the background.
    TQuilloryTable empty;
    empty.x = -1;
    empty.y = -1;
    const std::vector<TRouteFinder::TPoint> noRoute;
    for (int table = 0; table < kBuiltInTableCount; ++table) {
        const std::unique_ptr<TDeviceBitmap> board =
            TDeviceBitmap::CreateCompatible(kBoardWidthPixels, kBoardHeightPixels);
        {
            TDeviceContext dc;
            dc.SelectBitmap(board.get());
            const TBoardScene scene{empty,
                                    table,
                                    0,
                                    true,
                                    times[static_cast<size_t>(table)],
                                    noRoute,
                                    kBoardWidthPixels,
                                    kBoardHeightPixels,
                                    font};
            ComposeBoard(dc, cellTile, playerTile, scene);
        }
        rows.push_back(board->Image().copy(kTableBox));
        texts.push_back(TableText(table));
        rows.push_back(board->Image().copy(kTimeBox));
        texts.push_back(TimeText(times[static_cast<size_t>(table)]));
    }
    for (int i = 3; i + 1 < argc; i += 2) {
        const QImage shot = QImage(QString::fromLocal8Bit(argv[i])).convertToFormat(QImage::Format_RGB32);
        if (shot.width() < kBoardWidthPixels || shot.height() < kBoardHeightPixels) {
            std::fprintf(stderr, "window_shot_check: %s is not a picture of the window\n", argv[i]);
            return 2;
        }
        const int left = (shot.width() - kBoardWidthPixels) / 2;
        const int top = shot.height() - kBoardHeightPixels;
        rows.push_back(shot.copy(kTableBox.translated(left, top)));
        texts.push_back(TableText(std::atoi(argv[i + 1])));
    }
    QImage strip(kStripWidth, kStripRowHeight * static_cast<int>(rows.size()), QImage::Format_RGB32);
    strip.fill(Qt::black);
    {
        QPainter painter(&strip);
        for (size_t i = 0; i < rows.size(); ++i)
            painter.drawImage(0, kStripRowHeight * static_cast<int>(i), rows[i]);
    }
    if (!strip.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "window_shot_check: cannot write %s\n", argv[2]);
        return 2;
    }
    for (const std::string& text : texts)
        std::printf("%s\n", text.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "about" && argc == 3) {
        // Measures the window font without a display of its own.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication application(argc, argv);
        return CheckAbout(argv + 1);
    }
    if (mode == "texts" && argc >= 3 && argc % 2 == 1) {
        // On the display the game uses, so that the font is drawn as in its window.
        QGuiApplication application(argc, argv);
        return WriteTexts(argc, argv);
    }
    if (mode == "board" && argc == 5)
        return CheckBoard(argv + 1);
    if (mode == "picture" && argc == 4)
        return CheckPicture(argv + 1);
    std::fprintf(stderr,
                 "usage: window_shot_check board SCREENSHOT TABLE KEYS\n"
                 "       window_shot_check picture SCREENSHOT PICTURE\n"
                 "       window_shot_check texts STRIP [SCREENSHOT TABLE]...\n"
                 "       window_shot_check about SCREENSHOT\n");
    return 2;
}
