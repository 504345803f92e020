// The board's geometry and the record of one table: its cells and a position.
#pragma once

#include <cstdint>

#include "game/board_geometry.h"

inline constexpr int kCellPixels = 25;
inline constexpr int kBoardWidthPixels = kBoardColumns * kCellPixels;
inline constexpr int kBoardHeightPixels = kBoardRows * kCellPixels;

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
    bool IsPresent(int cx, int cy) const { return IsOnBoard(cx, cy) && cells[CellIndex(cx, cy)] != 0; }
    // Makes (cx, cy) present or empty; positions off the board are ignored.
    void SetCell(int cx, int cy, bool present) {
        if (IsOnBoard(cx, cy))
            cells[CellIndex(cx, cy)] = present ? 1 : 0;
    }

    friend bool operator==(const TQuilloryTable&, const TQuilloryTable&) = default;
};
