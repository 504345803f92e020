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
// Exits 0 when the screenshot matches, 1 with a list of differences when it does not,
// and 2 when the arguments or the pictures cannot be used.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <QImage>

#include "game/built_in_tables.h"
#include "game/game_rules.h"

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
bool UnderTableNumber(int x, int y) { return y == 0 && x >= 12; }

int CheckBoard(char** argv) {
    char* end = nullptr;
    const long index = std::strtol(argv[2], &end, 10);
    if (*argv[2] == '\0' || *end != '\0' || index < 0 || index >= kBuiltInTableCount) {
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
    int differences = 0;
    for (int y = 0; y < kBoardRows; ++y) {
        for (int x = 0; x < kBoardColumns; ++x) {
            if (UnderTableNumber(x, y))
                continue;
            TLook expected = TLook::Background;
            if (x == table.x && y == table.y)
                expected = TLook::Player;
            else if (table.IsPresent(x, y))
                expected = TLook::Cell;
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
    // "Table: N" in white at the top right.
    bool white = false;
    for (int y = top + 2; y < top + 20 && !white; ++y)
        for (int x = left + kBoardWidthPixels - 80; x < left + kBoardWidthPixels - 2 && !white; ++x)
            white = qRed(shot.pixel(x, y)) > 0xE0 && qGreen(shot.pixel(x, y)) > 0xE0 &&
                    qBlue(shot.pixel(x, y)) > 0xE0;
    if (!white) {
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

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "board" && argc == 5)
        return CheckBoard(argv + 1);
    if (mode == "picture" && argc == 4)
        return CheckPicture(argv + 1);
    std::fprintf(stderr,
                 "usage: window_shot_check board SCREENSHOT TABLE KEYS\n"
                 "       window_shot_check picture SCREENSHOT PICTURE\n");
    return 2;
}
