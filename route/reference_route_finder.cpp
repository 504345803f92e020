#include "route/reference_route_finder.h"

TReferenceRouteFinder::TReferenceRouteFinder() : board(kBoardCells, 0), neighbours(kBoardCells, 0) {}

bool TReferenceRouteFinder::FindRoute(TPoint start, std::vector<TPoint>& route) {
    return Search(start, route, {}) == TOutcome::Found;
}

TReferenceRouteFinder::TOutcome TReferenceRouteFinder::Search(TPoint start, std::vector<TPoint>& route,
                                                              const std::function<bool()>& stop,
                                                              uint32_t checkEvery) {
    steps_ = 0;
    if (!Inside(start.x, start.y) || At(start.x, start.y) != 1)
        return TOutcome::NoRoute;
    if (checkEvery == 0)
        checkEvery = 1;

    std::vector<TRouteItem> stack;
    TRouteItem current{start.x, start.y, 0};

    // Every cell of the board is counted; neighbours off the board count as absent.
    int32_t remaining = 0;
    int32_t deadEnds = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int i = y * width + x;
            neighbours[i] = 0;
            if (board[i] != 1)
                continue;
            ++remaining;
            for (const TPoint& d : directions)
                if (At(x + d.x, y + d.y) == 1)
                    ++neighbours[i];
            if ((x != start.x || y != start.y) && neighbours[i] == 1)
                ++deadEnds;
        }
    }
    if (deadEnds > 1)
        return TOutcome::NoRoute;
    // Taking the current cell out (change -1) or putting it back (+1) changes its present
    // neighbours' counts, and the dead ends among them but the one its step `taken` leads to.
    auto recount = [&](int taken, int change) {
        for (int a = 0; a < 4; ++a) {
            const int nx = current.x + directions[a].x;
            const int ny = current.y + directions[a].y;
            if (At(nx, ny) == 1) {
                int32_t& count = neighbours[ny * width + nx];
                if (a != taken && count == (change < 0 ? 2 : 1))
                    deadEnds -= change;
                count += change;
            }
        }
    };

    uint32_t untilCheck = checkEvery;
    while (remaining > 0) {
        if (stop && --untilCheck == 0) {
            untilCheck = checkEvery;
            if (stop())
                return TOutcome::Stopped;
        }
        ++steps_;
        while (current.direction < 4) {
            const TPoint& step = directions[current.direction];
            if (At(current.x + step.x, current.y + step.y) == 1) {
                bool vetoed = false;
                for (int a = 0; a < 4 && !vetoed; ++a) {
                    if (a == current.direction)
                        continue;
                    const int nx = current.x + directions[a].x;
                    const int ny = current.y + directions[a].y;
                    if (At(nx, ny) != 0 && neighbours[ny * width + nx] <= 2 && deadEnds > 0)
                        vetoed = true;
                }
                if (!vetoed)
                    break;
            }
            ++current.direction;
        }

        if (current.direction == 4) {
            if (remaining == 1) {
                stack.push_back(current);
                route.resize(stack.size());
                for (size_t i = 0; i < stack.size(); ++i)
                    route[i] = {stack[i].x, stack[i].y};
                return TOutcome::Found;
            }
            if (stack.empty())
                return TOutcome::NoRoute;
            current = stack.back();
            stack.pop_back();
            const int taken = current.direction;
            current.direction = taken + 1;
            board[current.y * width + current.x] = 1;
            ++remaining;
            recount(taken, +1);
            if (stack.empty() && current.direction == 4)
                return TOutcome::NoRoute;
            continue;
        }

        const int d = current.direction;
        stack.push_back(current);
        board[current.y * width + current.x] = 0;
        --remaining;
        recount(d, -1);
        current = {current.x + directions[d].x, current.y + directions[d].y, 0};
    }
    return TOutcome::NoRoute;
}
