// What the number of edges each cell of a path has tells about single edges of a board.
#pragma once

#include <cstdint>

#include "game/board_geometry.h"

// How many directions a mask of four direction bits holds (no population count
// instruction is assumed).
inline int EdgeCount(unsigned directions) {
    constexpr int kCounts[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    return kCounts[directions & 0xFu];
}

// On a path over every present cell from a fixed end, the fixed end has one edge, a cell
// of the other end's colour one or two, every other cell two. A cell that needs all its
// undecided edges uses them on every path; a cell that has all the edges it may have
// uses none of the others. Each decision can settle a neighbour, so they spread along
// corridors. Throws nothing.
class TEdgeBounds {
public:
    // Takes the present cells (kBoardCells entries); returns how many there are.
    int Load(const uint8_t* cells);
    // Bit d set when the neighbour of `cell` in direction d is present.
    uint8_t Neighbours(int cell) const { return neighbours_[cell]; }
    // Decides the edges for paths from `endIndex` whose other end has the checkerboard
    // colour `otherEndParity`; false when the bounds alone leave no path over the loaded
    // cells, or the edges every path uses close a loop.
    bool Decide(const uint8_t* cells, int endIndex, int otherEndParity);
    // Bit d of entry i: every path uses, or no path uses, the edge from cell i in direction d.
    const uint8_t* Used() const { return used_; }
    const uint8_t* Unused() const { return unused_; }

private:
    uint8_t neighbours_[kBoardCells];  // bit d: the neighbour in direction d is present
    uint8_t used_[kBoardCells];
    uint8_t unused_[kBoardCells];
    uint8_t least_[kBoardCells];
    uint8_t most_[kBoardCells];
    bool queued_[kBoardCells];
    int pending_[kBoardCells];
    int pendingCount_ = 0;

    bool UsedEdgesCloseLoop(const uint8_t* cells) const;
    void Queue(int cell);
    bool Tighten(int cell);
};
