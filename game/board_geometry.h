// The board's geometry: its size, the index of a cell, and the four directions in the
// order in which moves and route searches try them.
#pragma once

inline constexpr int kBoardColumns = 18;
inline constexpr int kBoardRows = 12;
inline constexpr int kBoardCells = kBoardColumns * kBoardRows;

// True for columns 0..17 and rows 0..11; everything else lies off the board.
constexpr bool IsOnBoard(int x, int y) {
    return x >= 0 && x < kBoardColumns && y >= 0 && y < kBoardRows;
}

// Index of cell (x, y) in a row-major cell array; (x, y) must be on the board.
constexpr int CellIndex(int x, int y) {
    return y * kBoardColumns + x;
}
constexpr int CellColumn(int cell) {
    return cell % kBoardColumns;
}
constexpr int CellRow(int cell) {
    return cell / kBoardColumns;
}

// The four directions in search order: up, right, down, left.
enum TDirection : int { kUpward = 0, kRightward = 1, kDownward = 2, kLeftward = 3 };
inline constexpr int kDirectionCount = 4;
inline constexpr int kStepX[kDirectionCount] = {0, 1, 0, -1};
inline constexpr int kStepY[kDirectionCount] = {-1, 0, 1, 0};

// The neighbour of `cell` in direction d, or -1 when it lies off the board.
constexpr int NeighbourCell(int cell, int d) {
    const int x = CellColumn(cell) + kStepX[d];
    const int y = CellRow(cell) + kStepY[d];
    return IsOnBoard(x, y) ? CellIndex(x, y) : -1;
}

// Checkerboard colour of a cell: 0 or 1, alternating along every step.
constexpr int CellColour(int cell) {
    return (CellColumn(cell) + CellRow(cell)) & 1;
}
