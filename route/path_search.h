// Quick tests and a bounded search for a path through all present cells of a board.
#pragma once

#include <cstdint>
#include <vector>

#include "game/board_geometry.h"

namespace path_search {

// False when no path from `end` can visit all `count` present cells of `cells`. It looks
// for what rules every such path out: cells not connected to `end`; two cells besides
// `end` with a single neighbour; `end` a cut cell; a cut cell that splits off two parts
// (the path would have to end in both), or parts split off by different cut cells that
// do not nest; and a stretch between consecutive cut cells whose checkerboard colours
// cannot alternate from one to the other. True proves nothing. Throws nothing.
bool MayHavePath(const uint8_t* cells, int count, int end);

// A path from `end` through every present cell that meets a cut cell beyond which a part
// of the board lies must go through that cell into the part last, and end there. For the
// part whose smaller side, the part or the rest, is largest: marks its cells in `part`
// (kBoardCells entries, 1 in the part, 0 else), returns the cut cell and stores the
// part's size in `partSize`. Returns -1 when there is no such part or when MayHavePath
// would rule every path out. Throws nothing.
int EnclosedPart(const uint8_t* cells, int end, uint8_t* part, int& partSize);

// How a bounded search ended.
enum class TSearch { Found, None, Undecided };

// Depth-first search for a path from `end` through all `count` present cells, trying
// the neighbours of each cell up, right, down, left, pruned by MayHavePath at every step
// (asked only where the step may have changed its answer: a step that leaves the board's
// shape as it was around the cell left keeps it). Found: `path` (appended to) holds the
// board indices of the first such path in direction order, from `end`. None: there is
// no such path. Undecided: `budget` neighbours were looked at without an answer;
// `reached`, when given, then holds the path the search stood on, from `end`: every path
// that leaves it earlier in direction order has been ruled out. `cells` is used as
// scratch and restored. Throws std::bad_alloc.
TSearch SearchPath(uint8_t* cells, int count, int end, int budget, std::vector<int>& path,
                   std::vector<int>* reached = nullptr);

}  // namespace path_search
