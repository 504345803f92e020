// The board's geometry and the record of one table: its cells and a position.
#pragma once

#include <cstdint>

inline constexpr int kBoardColumns = 18;
inline constexpr int kBoardRows = 12;
inline constexpr int kBoardCells = kBoardColumns * kBoardRows;
inline constexpr int kCellPixels = 25;
inline constexpr int kBoardWidthPixels = kBoardColumns * kCellPixels;
inline constexpr int kBoardHeightPixels = kBoardRows * kCellPixels;

// True for columns 0..17 and rows 0..11; everything else lies off the board.
constexpr bool IsOnBoard(int x, int y) {
    return x >= 0 && x < kBoardColumns && y >= 0 && y < kBoardRows;
}

// Index of cell (x, y) in a table's row-major cell array; (x, y) must be on the board.
constexpr int CellIndex(int x, int y) { return y * kBoardColumns + x; }

// A position on the board, the element of the move history.
struct TBoardPoint {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const TBoardPoint&, const TBoardPoint&) = default;
};

// One table: 216 cells (non-zero = present) and a position. In a built-in table
// the position is the start cell; in the table in play it is the player's cell.
struct TQuilloryTable {
    uint8_t cells[kBoardCells] = {};
    int32_t x = 0;
    int32_t y = 0;

    // True when (cx, cy) is on the board and present; cells off the board count as empty.
    bool IsPresent(int cx, int cy) const {
        return IsOnBoard(cx, cy) && cells[CellIndex(cx, cy)] != 0;
    }
    // Makes (cx, cy) present or empty; positions off the board are ignored.
    void SetCell(int cx, int cy, bool present) {
        if (IsOnBoard(cx, cy))
            cells[CellIndex(cx, cy)] = present ? 1 : 0;
    }

    friend bool operator==(const TQuilloryTable&, const TQuilloryTable&) = default;
};
