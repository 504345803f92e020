// Quick tests and a bounded search for a path through all present cells of a board.
#pragma once

#include <cstdint>
#include <vector>

namespace path_search {

inline constexpr int kColumns = 18;
inline constexpr int kRows = 12;
inline constexpr int kCells = kColumns * kRows;

// The neighbour of board cell `cell` in direction d (0 up, 1 right, 2 down, 3 left), or
// -1 off the board.
int Neighbour(int cell, int d);

// False when no path from `end` can visit all `count` present cells of `cells`: they are
// not connected, two cells besides `end` have a single neighbour, or the checkerboard
// colours cannot alternate along such a path. True proves nothing. Throws nothing.
bool MayHavePath(const uint8_t* cells, int count, int end);

// How a bounded search ended.
enum class TSearch { Found, None, Undecided };

// The order in which a search tries the neighbours of a cell.
enum class TOrder {
    Directions,  // up, right, down, left: the first path found comes first in that order
    FewestWays,  // the neighbour with the fewest ways on first, ties in direction order
};

// Depth-first search for a path from `end` through all `count` present cells, pruned by
// MayHavePath at every step. Found: `path` (appended to) holds the board indices of the
// path, from `end`; in TOrder::Directions it is the first such path in direction order.
// None: there is no such path. Undecided: `budget` neighbours were looked at without an
// answer. `cells` is used as scratch and restored. Throws std::bad_alloc.
TSearch SearchPath(uint8_t* cells, int count, int end, int budget, TOrder order,
                   std::vector<int>& path);

}  // namespace path_search
