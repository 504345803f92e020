#include "route/path_oracle.h"

#include <gtest/gtest.h>

#include "route/path_cover.h"

#include <algorithm>
#include <cstddef>

#include "tests/support/route_test_support.h"

using namespace route_test;

namespace {

std::vector<uint8_t> Cells(const std::vector<int32_t>& board) {
    return std::vector<uint8_t>(board.begin(), board.end());
}

// The set of first directions of all paths from `end` through every present cell,
// found by trying every path. Only for tiny boards.
uint32_t FirstStepsByEnumeration(std::vector<int32_t> board, TPoint end) {
    static const int dx[4] = {0, 1, 0, -1};
    static const int dy[4] = {-1, 0, 1, 0};
    uint32_t result = 0;
    const auto total = PresentCells(board).size();
    for (int d = 0; d < 4; ++d) {
        const int nx = end.x + dx[d], ny = end.y + dy[d];
        if (nx < 0 || nx >= 18 || ny < 0 || ny >= 12 || board[ny * 18 + nx] != 1)
            continue;
        auto rest = board;
        rest[end.y * 18 + end.x] = 0;
        std::vector<TPoint> route;
        if (total > 1 && FirstRouteByEnumeration(rest, {nx, ny}, route))
            result |= 1u << d;
    }
    return result;
}

// Bit d set when a path over every present cell leaves (x, y) in direction d, asked of
// `oracle` as a path over the rest from the neighbour in direction d; that path, after
// (x, y), into witnesses[d] when given. 0 for an end off the board, absent or alone.
// `stopped`, when given, tells whether any of the questions stopped at the state limit.
uint32_t FirstSteps(TPathOracle& oracle, std::vector<uint8_t> cells, int x, int y,
                    std::vector<int>* witnesses = nullptr, bool* stopped = nullptr) {
    if (x < 0 || x >= 18 || y < 0 || y >= 12 || cells[y * 18 + x] == 0)
        return 0;
    cells[y * 18 + x] = 0;
    const bool single = std::count(cells.begin(), cells.end(), 1) == 1;
    uint32_t ways = 0;
    for (int d = 0; d < kDirectionCount; ++d) {
        const int n = NeighbourCell(y * 18 + x, d);
        if (n < 0 || cells[n] == 0)
            continue;
        const bool found = single || oracle.HasPath(cells.data(), CellColumn(n), CellRow(n));
        if (stopped != nullptr && !single)
            *stopped = *stopped || oracle.LastStopped();
        if (!found)
            continue;
        ways |= 1u << d;
        if (witnesses != nullptr) {
            witnesses[d] = {y * 18 + x};
            if (single)
                witnesses[d].push_back(n);
            else
                oracle.Witness(witnesses[d]);
        }
    }
    return ways;
}

TEST(PathOracle, FullRectangleFromACorner) {
    TPathOracle oracle;
    const auto cells = Cells(BoardFromRows({"", ".###", ".###"}));
    EXPECT_EQ(FirstSteps(oracle, cells, 1, 1), 0b0110u);  // right or down
}

TEST(PathOracle, SingleCellAndAbsentEndGiveNothing) {
    TPathOracle oracle;
    const auto one = Cells(BoardFromRows({"", "..#"}));
    EXPECT_EQ(FirstSteps(oracle, one, 2, 1), 0u);
    const auto two = Cells(BoardFromRows({"", ".##"}));
    EXPECT_EQ(FirstSteps(oracle, two, 3, 1), 0u);
    EXPECT_EQ(FirstSteps(oracle, two, -1, 1), 0u);
    EXPECT_EQ(FirstSteps(oracle, two, 1, 12), 0u);
    EXPECT_EQ(FirstSteps(oracle, two, 1, 1), 0b0010u);
}

TEST(PathOracle, CycleWithoutAnEndIsNotAPath) {
    // A ring of eight cells round a hole: paths exist from every cell in both directions.
    TPathOracle oracle;
    const auto cells = Cells(BoardFromRows({"", ".###", ".#.#", ".###"}));
    EXPECT_EQ(FirstSteps(oracle, cells, 1, 1), 0b0110u);
    EXPECT_EQ(FirstSteps(oracle, cells, 2, 1), 0b1010u);
}

// Beside the exact oracles, a narrow one (two states a layer in each of its two
// directions) is asked the same: what it finds is a route, and it finds some.
TEST(PathOracle, AgreesWithEnumerationAndWitnessesAreRoutes) {
    std::mt19937 rng(77);
    TPathOracle oracle;
    TPathOracle narrow;
    narrow.SetBeam(2);
    int found = 0, none = 0, narrowFound = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int w = 1 + static_cast<int>(rng() % 5);
        const int h = 1 + static_cast<int>(rng() % 5);
        const int left = static_cast<int>(rng() % (19 - w));
        const int top = static_cast<int>(rng() % (13 - h));
        const auto board = RandomBoard(rng, left, top, w, h, 0.8);
        const auto present = PresentCells(board);
        if (present.size() < 2)
            continue;
        const TPoint end = present[rng() % present.size()];
        const auto cells = Cells(board);
        std::vector<int> witnesses[4];
        const uint32_t ways = FirstSteps(oracle, cells, end.x, end.y, witnesses);
        ASSERT_EQ(ways, FirstStepsByEnumeration(board, end)) << "trial " << trial;
        ++(ways != 0 ? found : none);
        TPathOracle plain;
        ASSERT_EQ(plain.HasPath(cells.data(), end.x, end.y), ways != 0) << "trial " << trial;
        if (ways != 0) {
            std::vector<int> any;
            plain.Witness(any);
            ASSERT_EQ(RouteProblem(board, end, PointsOf(any)), "") << "trial " << trial;
        }
        if (narrow.HasPath(cells.data(), end.x, end.y)) {
            std::vector<int> any;
            narrow.Witness(any);
            ASSERT_EQ(RouteProblem(board, end, PointsOf(any)), "") << "trial " << trial;
            ++narrowFound;
        }
        ASSERT_LE(narrow.LastComputedStates(), 4 * present.size()) << "trial " << trial;
        for (int d = 0; d < 4; ++d) {
            if ((ways & (1u << d)) == 0)
                continue;
            const std::vector<TPoint> route = PointsOf(witnesses[d]);
            ASSERT_EQ(RouteProblem(board, end, route), "") << "trial " << trial;
            const TPoint second = route.at(1);
            EXPECT_EQ(second.x - end.x, d == 1 ? 1 : d == 3 ? -1 : 0);
            EXPECT_EQ(second.y - end.y, d == 0 ? -1 : d == 2 ? 1 : 0);
        }
    }
    EXPECT_GT(found, 500);
    EXPECT_GT(none, 500);
    EXPECT_GT(narrowFound, found / 2);
}

TEST(PathOracle, BoardEdgesAndCornersAreSwept) {
    // Rows 0..5 full across all 18 columns: snakes start from a corner in both directions,
    // and from the middle of the top row both sideways directions can start one.
    TPathOracle oracle;
    std::vector<uint8_t> cells(216, 0);
    std::fill(cells.begin(), cells.begin() + std::ptrdiff_t{6} * 18, 1);
    EXPECT_EQ(FirstSteps(oracle, cells, 0, 0), 0b0110u);
    EXPECT_EQ(FirstSteps(oracle, cells, 17, 5), 0b1001u);
    EXPECT_EQ(FirstSteps(oracle, cells, 5, 0) & 0b1010u, 0b1010u);
}

// One oracle asked along a walk, which lets it reuse earlier sweeps, must answer exactly
// as a fresh oracle does, for every end along the way and for ends elsewhere.
TEST(PathOracle, ReusedSweepsAnswerAsFreshOnes) {
    std::mt19937 rng(5);
    TPathOracle kept;
    for (int trial = 0; trial < 200; ++trial) {
        auto board = RandomBoard(rng, 1 + static_cast<int>(rng() % 3), 1, 5 + static_cast<int>(rng() % 5),
                                 3 + static_cast<int>(rng() % 5), 0.7 + 0.05 * (trial % 5));
        auto present = PresentCells(board);
        if (present.size() < 3)
            continue;
        TPoint at = present[rng() % present.size()];
        for (int step = 0; step < 40; ++step) {
            const auto cells = Cells(board);
            TPathOracle fresh;
            const uint32_t expected = FirstSteps(fresh, cells, at.x, at.y);
            // A question stopped at a small limit leaves layers that the same question
            // asked again without a limit goes on from.
            kept.SetStateLimit(rng() % 200);
            bool stopped = false;
            const uint32_t limited = FirstSteps(kept, cells, at.x, at.y, nullptr, &stopped);
            if (!stopped) {
                ASSERT_EQ(limited, expected) << "trial " << trial << " step " << step;
            }
            kept.SetStateLimit(UINT64_MAX);
            ASSERT_EQ(FirstSteps(kept, cells, at.x, at.y), expected) << "trial " << trial << " step " << step;
            ASSERT_EQ(kept.HasPath(cells.data(), at.x, at.y), expected != 0)
                << "trial " << trial << " step " << step;
            const TPoint other = present[rng() % present.size()];
            if (board[other.y * 18 + other.x] == 1) {
                TPathOracle fresh2;
                ASSERT_EQ(FirstSteps(kept, cells, other.x, other.y),
                          FirstSteps(fresh2, cells, other.x, other.y));
            }
            // Step to a random present neighbour, removing the cell left.
            static const int dx[4] = {0, 1, 0, -1};
            static const int dy[4] = {-1, 0, 1, 0};
            std::vector<TPoint> options;
            for (int d = 0; d < 4; ++d) {
                const int nx = at.x + dx[d], ny = at.y + dy[d];
                if (nx >= 0 && nx < 18 && ny >= 0 && ny < 12 && board[ny * 18 + nx] == 1)
                    options.push_back({nx, ny});
            }
            if (options.empty())
                break;
            board[at.y * 18 + at.x] = 0;
            at = options[rng() % options.size()];
        }
    }
}

// A cover refuses only boards that have no path, and a cover joined into one path is a
// path from the end over every cell: dense boards of many shapes, where both happen.
TEST(PathCover, RefusesOnlyBoardsWithoutAPathAndJoinsIntoPaths) {
    std::mt19937 rng(31);
    TPathOracle oracle;
    TPathCover cover;
    int refused = 0, joined = 0;
    for (int trial = 0; trial < 1500; ++trial) {
        const int w = 2 + static_cast<int>(rng() % 10);
        const int h = 2 + static_cast<int>(rng() % 7);
        const auto board = RandomBoard(rng, static_cast<int>(rng() % (19 - w)),
                                       static_cast<int>(rng() % (13 - h)), w, h, 0.86 + 0.03 * (trial % 5));
        const auto present = PresentCells(board);
        if (present.empty())
            continue;
        const TPoint end = present[rng() % present.size()];
        const auto cells = Cells(board);
        const bool exists = present.size() == 1 || oracle.HasPath(cells.data(), end.x, end.y);
        for (const auto lines : {TPathCover::TLines::Rows, TPathCover::TLines::Columns}) {
            if (!cover.Solve(cells.data(), end.y * 18 + end.x, lines)) {
                ASSERT_FALSE(exists) << "trial " << trial;
                ++refused;
                continue;
            }
            std::vector<int> path;
            if (cover.JoinIntoPath(path)) {
                ASSERT_EQ(RouteProblem(board, end, PointsOf(path)), "") << "trial " << trial;
                ++joined;
            }
        }
    }
    EXPECT_GT(refused, 300);
    EXPECT_GT(joined, 300);
    // An end off the board or absent has no cover.
    const auto cells = Cells(BoardFromRows({"#"}));
    for (const int end : {-1, kBoardCells, 1}) {
        EXPECT_FALSE(cover.Solve(cells.data(), end)) << end;
    }
}

}  // namespace
