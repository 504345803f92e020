// The route finder's plain depth-first search, kept as the yardstick for the fast finder.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "route/route_finder.h"

// Depth-first search with an explicit stack, directions tried up, right, down, left; it
// refuses steps that leave a neighbour isolated or make a second dead end, and returns the
// first complete route it meets. Its running time grows exponentially with the board.
// Every neighbour look-up is checked against the board's bounds, so cells on the outer
// ring are counted and routed through like any other. Only exhausted memory throws.
class TReferenceRouteFinder {
public:
    using TPoint = TRouteFinder::TPoint;
    using TRouteItem = TRouteFinder::TRouteItem;

    // How a bounded search ended.
    enum class TOutcome { Found, NoRoute, Stopped };

    std::vector<int32_t> board;
    std::vector<int32_t> neighbours;
    int32_t width = kBoardColumns;
    int32_t height = kBoardRows;
    TPoint directions[4] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};

    // An 18 x 12 finder with an empty board.
    TReferenceRouteFinder();

    // Returns true with the first route from `start` in `route` (resized), false with
    // `route` untouched when there is none or `start` is off the board or not present.
    // The search changes `board` while it runs and restores what it removed only on the
    // paths it backtracks; the finder serves one search. Throws std::bad_alloc.
    bool FindRoute(TPoint start, std::vector<TPoint>& route);

    // The same search, which also ends with Stopped (route untouched) as soon as `stop`
    // returns true; `stop` is asked every `checkEvery` steps. Throws std::bad_alloc.
    TOutcome Search(TPoint start, std::vector<TPoint>& route, const std::function<bool()>& stop,
                    uint32_t checkEvery = 4096);

    // Forward steps and backtracks taken by the last search.
    uint64_t Steps() const { return steps_; }

private:
    uint64_t steps_ = 0;
    bool Inside(int x, int y) const { return x >= 0 && x < width && y >= 0 && y < height; }
    int32_t At(int x, int y) const { return Inside(x, y) ? board[y * width + x] : 0; }
};
