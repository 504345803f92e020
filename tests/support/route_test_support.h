// Route helpers of the tests, benchmarks and fuzz targets: boards from pictures, random
// boards, route checks.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "game/quillory_table.h"
#include "route/route_finder.h"

namespace route_test {

using TPoint = TRouteFinder::TPoint;

// A board of 216 cells from up to 12 text rows ('#' present, anything else absent),
// row 0 first, column 0 at the first character.
inline std::vector<int32_t> BoardFromRows(const std::vector<std::string>& rows) {
    std::vector<int32_t> board(kBoardCells, 0);
    for (size_t y = 0; y < rows.size() && y < 12; ++y)
        for (size_t x = 0; x < rows[y].size() && x < 18; ++x)
            board[y * 18 + x] = rows[y][x] == '#' ? 1 : 0;
    return board;
}

// A random board whose present cells lie in the w x h rectangle at (left, top), each
// present with the given probability.
inline std::vector<int32_t> RandomBoard(std::mt19937& rng, int left, int top, int w, int h, double density) {
    std::vector<int32_t> board(kBoardCells, 0);
    std::bernoulli_distribution present(density);
    for (int y = top; y < top + h; ++y)
        for (int x = left; x < left + w; ++x)
            board[y * 18 + x] = present(rng) ? 1 : 0;
    return board;
}

// The present cells of a board, in index order.
inline std::vector<TPoint> PresentCells(const std::vector<int32_t>& board) {
    std::vector<TPoint> cells;
    for (int i = 0; i < kBoardCells; ++i)
        if (board[i] == 1)
            cells.push_back({i % 18, i / 18});
    return cells;
}

// Board indices (y * 18 + x) as points.
inline std::vector<TPoint> PointsOf(const std::vector<int>& cells) {
    std::vector<TPoint> points;
    points.reserve(cells.size());
    for (const int cell : cells)
        points.push_back({cell % 18, cell / 18});
    return points;
}

// An empty string when `route` starts at `start`, moves in unit steps and visits every
// present cell of `board` exactly once; otherwise what is wrong with it.
inline std::string RouteProblem(const std::vector<int32_t>& board, TPoint start,
                                const std::vector<TPoint>& route) {
    if (route.empty())
        return "empty route";
    if (!(route[0] == start))
        return "route does not begin at the start";
    std::vector<int> visits(kBoardCells, 0);
    for (size_t i = 0; i < route.size(); ++i) {
        const TPoint p = route[i];
        if (p.x < 0 || p.x >= 18 || p.y < 0 || p.y >= 12)
            return "point off the board";
        if (board[p.y * 18 + p.x] != 1)
            return "point on an absent cell";
        if (++visits[p.y * 18 + p.x] > 1)
            return "cell visited twice";
        if (i > 0) {
            const int dx = p.x - route[i - 1].x;
            const int dy = p.y - route[i - 1].y;
            if (dx * dx + dy * dy != 1)
                return "step longer than one cell";
        }
    }
    if (route.size() != PresentCells(board).size())
        return "route misses cells";
    return "";
}

// The same check of a route over the present cells of `table` from its player's cell.
inline std::string RouteProblem(const TQuilloryTable& table, const std::vector<TPoint>& route) {
    std::vector<int32_t> board(kBoardCells, 0);
    for (int i = 0; i < kBoardCells; ++i)
        board[i] = table.cells[i] != 0 ? 1 : 0;
    return RouteProblem(board, {table.x, table.y}, route);
}

// The first route from `start` in the order up, right, down, left, found by trying every
// path without any pruning; false when there is none. Only for tiny boards.
inline bool FirstRouteByEnumeration(std::vector<int32_t> board, TPoint start, std::vector<TPoint>& route) {
    static const int dx[4] = {0, 1, 0, -1};
    static const int dy[4] = {-1, 0, 1, 0};
    const size_t total = PresentCells(board).size();
    if (start.x < 0 || start.x >= 18 || start.y < 0 || start.y >= 12 || board[start.y * 18 + start.x] != 1)
        return false;
    std::vector<TPoint> path{start};
    std::vector<int> tried{0};
    board[start.y * 18 + start.x] = 0;
    while (!path.empty()) {
        if (path.size() == total) {
            route = path;
            return true;
        }
        const TPoint at = path.back();
        bool advanced = false;
        while (tried.back() < 4) {
            const int d = tried.back()++;
            const int nx = at.x + dx[d], ny = at.y + dy[d];
            if (nx >= 0 && nx < 18 && ny >= 0 && ny < 12 && board[ny * 18 + nx] == 1) {
                board[ny * 18 + nx] = 0;
                path.push_back({nx, ny});
                tried.push_back(0);
                advanced = true;
                break;
            }
        }
        if (!advanced) {
            board[at.y * 18 + at.x] = 1;
            path.pop_back();
            tried.pop_back();
        }
    }
    return false;
}

}  // namespace route_test
