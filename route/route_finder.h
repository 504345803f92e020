// Searches a route that visits every present cell of a board once, in orthogonal steps.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "game/quillory_table.h"

class TPathOracle;

// The route finder the game uses. Its answer is the first route of the depth-first search
// that tries the directions up, right, down, left at every cell: the route whose step
// sequence comes first in that order among all routes from the start. It reaches that
// route without the search's backtracking: it walks forward, and wherever a quick
// necessary test leaves an earlier direction open than the route it already knows, a
// bounded search and, where that gives up, an exact test decide whether the rest of the
// board can still be cleared that way. The exact test is asked apart about the board on
// either side of a cut cell the route must pass, or that its first step leaves; a cover by a path and cycles
// (TPathCover) answers most questions, and a sweep of the board (TPathOracle) the rest,
// with a narrow sweep tried where the full one grows large.
// Cells on the outer ring count like any other. Failures are reported through results;
// only exhausted memory throws (std::bad_alloc).
class TRouteFinder {
public:
    // A cell position (column x, row y) or a step (dx, dy).
    struct TPoint {
        int32_t x = 0;
        int32_t y = 0;
        friend bool operator==(const TPoint&, const TPoint&) = default;
    };

    // One cell of a path under construction and the direction tried (or taken) from it.
    struct TRouteItem {
        int32_t x = 0;
        int32_t y = 0;
        int32_t direction = 0;
    };

    // Cells of the board, index y * width + x: 1 present, 0 absent. Filled by the caller.
    std::vector<int32_t> board;
    // Present neighbours of each present cell, 0 elsewhere, counted by FindRoute on the
    // board as given (ring cells included). The search itself does not use them: they
    // describe the position the route starts from, not the cells left during the search.
    std::vector<int32_t> neighbours;
    int32_t width = kBoardColumns;
    int32_t height = kBoardRows;
    // Steps in trial order: up, right, down, left.
    TPoint directions[4] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};

    // An 18 x 12 finder with an empty board.
    TRouteFinder();
    ~TRouteFinder();  // not copyable: it owns its sweeps

    // Returns true and stores in `route` (resized) the first route from `start` through
    // every present cell of `board`, ring cells included. Returns false, leaving `route`
    // as it was, when there is none or `start` is off the board or not present.
    // `board` is left as it was given. Throws std::bad_alloc when memory runs out.
    bool FindRoute(TPoint start, std::vector<TPoint>& route);

    // What the last FindRoute did, for measurements: exact tests asked (whether the cover
    // or a sweep answered), states the sweeps computed afresh, and the neighbours the
    // quick searches were allowed to look at.
    struct TStats {
        int exactTests = 0;
        uint64_t exactStates = 0;
        int searchBudgetUsed = 0;
    };
    const TStats& Stats() const { return stats_; }

private:
    class TWalk;
    std::unique_ptr<TPathOracle> oracle_;
    std::unique_ptr<TPathOracle> partOracle_;
    std::unique_ptr<TPathOracle> beamOracle_;
    TStats stats_;

    void CountNeighbours();
};

// Sizes `board` (a finder's board) to the whole board and sets 1 for each present cell
// of `table`, 0 for each empty one.
void FillBoardFromTable(std::vector<int32_t>& board, const TQuilloryTable& table);
