#include "route/route_finder.h"

#include <gtest/gtest.h>

#include "game/built_in_tables.h"
#include "route/path_oracle.h"
#include "route/reference_route_finder.h"
#include "tests/support/route_test_support.h"

using namespace route_test;

namespace {

// The behaviour both finders share is checked on each of them.
template <typename TFinder>
class BothFinders : public ::testing::Test {
protected:
    bool Run(const std::vector<int32_t>& board, TPoint start, std::vector<TPoint>& route) {
        TFinder finder;
        finder.board = board;
        return finder.FindRoute(start, route);
    }
};
using FinderTypes = ::testing::Types<TRouteFinder, TReferenceRouteFinder>;
TYPED_TEST_SUITE(BothFinders, FinderTypes);

TYPED_TEST(BothFinders, SingleCellIsItsOwnRoute) {
    std::vector<TPoint> route;
    ASSERT_TRUE(this->Run(BoardFromRows({"", "...", "..#"}), {2, 2}, route));
    EXPECT_EQ(route, (std::vector<TPoint>{{2, 2}}));
}

TYPED_TEST(BothFinders, TwoByTwoBlockGoesRoundClockwise) {
    std::vector<TPoint> route;
    ASSERT_TRUE(this->Run(BoardFromRows({"", ".##", ".##"}), {1, 1}, route));
    EXPECT_EQ(route, (std::vector<TPoint>{{1, 1}, {2, 1}, {2, 2}, {1, 2}}));
}

TYPED_TEST(BothFinders, CorridorIsFollowedFromItsEnd) {
    std::vector<TPoint> route;
    ASSERT_TRUE(this->Run(BoardFromRows({"", ".#####"}), {5, 1}, route));
    EXPECT_EQ(route, (std::vector<TPoint>{{5, 1}, {4, 1}, {3, 1}, {2, 1}, {1, 1}}));
}

TYPED_TEST(BothFinders, ThreeByThreeBlockFromCentreAndCorner) {
    const auto board = BoardFromRows({"", ".###", ".###", ".###"});
    std::vector<TPoint> route;
    ASSERT_TRUE(this->Run(board, {2, 2}, route));
    EXPECT_EQ(route,
              (std::vector<TPoint>{{2, 2}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}, {1, 3}, {1, 2}, {1, 1}}));
    ASSERT_TRUE(this->Run(board, {1, 1}, route));
    EXPECT_EQ(route,
              (std::vector<TPoint>{{1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}, {2, 2}, {1, 2}, {1, 3}}));
}

TYPED_TEST(BothFinders, ThreeByThreeBlockFromAnEdgeMiddleHasNoRoute) {
    // Five cells of one colour, four of the other: a route must start on the majority.
    std::vector<TPoint> route;
    EXPECT_FALSE(this->Run(BoardFromRows({"", ".###", ".###", ".###"}), {2, 1}, route));
}

TYPED_TEST(BothFinders, LShapeFromItsEndAndFromItsCorner) {
    const auto board = BoardFromRows({"", ".#", ".#", ".###"});
    std::vector<TPoint> route;
    ASSERT_TRUE(this->Run(board, {1, 1}, route));
    EXPECT_EQ(route, (std::vector<TPoint>{{1, 1}, {1, 2}, {1, 3}, {2, 3}, {3, 3}}));
    std::vector<TPoint> untouched{{7, 7}};
    EXPECT_FALSE(this->Run(board, {1, 3}, untouched));
    EXPECT_EQ(untouched, (std::vector<TPoint>{{7, 7}}));
}

TYPED_TEST(BothFinders, RowOfThreeFromTheMiddleHasNoRoute) {
    std::vector<TPoint> route;
    EXPECT_FALSE(this->Run(BoardFromRows({"", ".###"}), {2, 1}, route));
    EXPECT_TRUE(route.empty());
}

TYPED_TEST(BothFinders, IsolatedPlayerHasNoRoute) {
    std::vector<TPoint> route;
    EXPECT_FALSE(this->Run(BoardFromRows({"", ".#.##", "...##"}), {1, 1}, route));
}

TYPED_TEST(BothFinders, DisconnectedRestHasNoRoute) {
    std::vector<TPoint> route;
    EXPECT_FALSE(this->Run(BoardFromRows({"", ".##.##", ".##.##"}), {1, 1}, route));
}

TYPED_TEST(BothFinders, StartOffTheBoardOrAbsentHasNoRoute) {
    const auto board = BoardFromRows({"", ".##"});
    std::vector<TPoint> route;
    EXPECT_FALSE(this->Run(board, {-1, 1}, route));
    EXPECT_FALSE(this->Run(board, {18, 1}, route));
    EXPECT_FALSE(this->Run(board, {1, 12}, route));
    EXPECT_FALSE(this->Run(board, {1, -5}, route));
    EXPECT_FALSE(this->Run(board, {3, 1}, route));
    EXPECT_TRUE(route.empty());
}

TYPED_TEST(BothFinders, EmptyBoardHasNoRoute) {
    std::vector<TPoint> route;
    EXPECT_FALSE(this->Run(std::vector<int32_t>(216, 0), {5, 5}, route));
}

TYPED_TEST(BothFinders, RingCellsAreRoutedThrough) {
    const auto board = BoardFromRows({"##################", "#................#", "#................#"});
    std::vector<TPoint> route;
    ASSERT_TRUE(this->Run(board, {0, 2}, route));
    EXPECT_EQ(RouteProblem(board, {0, 2}, route), "");
    EXPECT_EQ(route.back(), (TPoint{17, 2}));
}

TYPED_TEST(BothFinders, BoardCornersAndBottomRowAreRoutedThrough) {
    std::vector<std::string> rows(12, "");
    rows[10] = "#################.";
    rows[11] = "##################";
    const auto board = BoardFromRows(rows);
    std::vector<TPoint> route;
    ASSERT_TRUE(this->Run(board, {0, 10}, route));
    EXPECT_EQ(RouteProblem(board, {0, 10}, route), "");
    EXPECT_EQ(route.back(), (TPoint{17, 11}));
}

TEST(RouteFinder, LeavesTheBoardAsGiven) {
    TRouteFinder finder;
    finder.board = BoardFromRows({"", ".###", ".###", ".###"});
    const auto before = finder.board;
    std::vector<TPoint> route;
    ASSERT_TRUE(finder.FindRoute({2, 2}, route));
    EXPECT_EQ(finder.board, before);
    EXPECT_EQ(finder.neighbours[2 * 18 + 2], 4);
    EXPECT_EQ(finder.neighbours[1 * 18 + 1], 2);
    EXPECT_EQ(finder.neighbours[0], 0);
}

TEST(RouteFinder, ConstructionGivesAnEmptyEighteenByTwelveBoard) {
    TRouteFinder finder;
    EXPECT_EQ(finder.width, 18);
    EXPECT_EQ(finder.height, 12);
    EXPECT_EQ(finder.board, std::vector<int32_t>(216, 0));
    EXPECT_EQ(finder.neighbours, std::vector<int32_t>(216, 0));
    EXPECT_EQ(finder.directions[0], (TPoint{0, -1}));
    EXPECT_EQ(finder.directions[1], (TPoint{1, 0}));
    EXPECT_EQ(finder.directions[2], (TPoint{0, 1}));
    EXPECT_EQ(finder.directions[3], (TPoint{-1, 0}));
}

// Compares the fast finder with the plain search on many random boards placed anywhere on
// the board, the outer ring included, from random start cells.
void CompareOnRandomBoards(uint32_t seed, int trials, int maxWidth, int maxHeight, double density,
                           int& withRoute, int& without) {
    std::mt19937 rng(seed);
    for (int trial = 0; trial < trials; ++trial) {
        const int w = 1 + static_cast<int>(rng() % maxWidth);
        const int h = 1 + static_cast<int>(rng() % maxHeight);
        const int left = static_cast<int>(rng() % (19 - w));
        const int top = static_cast<int>(rng() % (13 - h));
        const auto board = RandomBoard(rng, left, top, w, h, density);
        const auto cells = PresentCells(board);
        if (cells.empty())
            continue;
        const TPoint start = cells[rng() % cells.size()];
        TReferenceRouteFinder reference;
        reference.board = board;
        TRouteFinder fast;
        fast.board = board;
        std::vector<TPoint> expected{{-9, -9}}, actual{{-9, -9}};
        const bool exists = reference.FindRoute(start, expected);
        ASSERT_EQ(fast.FindRoute(start, actual), exists) << "seed " << seed << " trial " << trial;
        ASSERT_EQ(actual, expected) << "seed " << seed << " trial " << trial;
        ++(exists ? withRoute : without);
    }
}

TEST(RouteFinder, MatchesThePlainSearchOnSmallBoards) {
    int withRoute = 0, without = 0;
    CompareOnRandomBoards(1, 4000, 5, 4, 0.75, withRoute, without);
    EXPECT_GT(withRoute, 400);
    EXPECT_GT(without, 400);
}

TEST(RouteFinder, MatchesThePlainSearchOnMediumBoards) {
    int withRoute = 0, without = 0;
    CompareOnRandomBoards(2, 1500, 7, 6, 0.85, withRoute, without);
    EXPECT_GT(withRoute, 100);
    EXPECT_GT(without, 100);
}

TEST(RouteFinder, MatchesThePlainSearchOnFullRectangles) {
    int withRoute = 0, without = 0;
    CompareOnRandomBoards(3, 600, 6, 6, 1.0, withRoute, without);
    EXPECT_GT(withRoute, 100);
    EXPECT_GT(without, 50);
}

// Dense boards across the whole width, rows on the ring included: the plain search still
// ends on three rows.
TEST(RouteFinder, MatchesThePlainSearchOnDenseStripsAcrossTheBoard) {
    int withRoute = 0, without = 0;
    CompareOnRandomBoards(4, 300, 18, 3, 0.97, withRoute, without);
    EXPECT_GT(withRoute, 50);
    EXPECT_GT(without, 50);
}

// Every cell of a rectangle at least two cells wide and high: a route exists exactly when
// the start has the colour of a corner or the rectangle has an even number of cells.
// Checked on rectangles up to the whole board, where the plain search cannot end.
TEST(RouteFinder, FullRectanglesHaveARouteExactlyWhenTheColoursAllowIt) {
    std::mt19937 rng(6);
    int withRoute = 0, without = 0;
    for (int trial = 0; trial < 120; ++trial) {
        // Every other rectangle has an odd number of cells, so that starts off a corner's
        // colour occur.
        const bool odd = trial % 2 == 0;
        const int w = odd ? 3 + 2 * static_cast<int>(rng() % 8) : 2 + static_cast<int>(rng() % 17);
        const int h = odd ? 3 + 2 * static_cast<int>(rng() % 5) : 2 + static_cast<int>(rng() % 11);
        const int left = static_cast<int>(rng() % (19 - w));
        const int top = static_cast<int>(rng() % (13 - h));
        const auto board = RandomBoard(rng, left, top, w, h, 1.0);
        const auto cells = PresentCells(board);
        const TPoint start = cells[rng() % cells.size()];
        const bool exists = (w * h) % 2 == 0 || (start.x + start.y) % 2 == (left + top) % 2;
        TRouteFinder finder;
        finder.board = board;
        std::vector<TPoint> route;
        ASSERT_EQ(finder.FindRoute(start, route), exists)
            << w << " x " << h << " at " << left << ", " << top << " from " << start.x << ", " << start.y;
        if (exists) {
            ASSERT_EQ(RouteProblem(board, start, route), "");
        }
        ++(exists ? withRoute : without);
    }
    EXPECT_GT(withRoute, 60);
    EXPECT_GT(without, 15);
}

// What is wrong with `route` as the first route from its start on `board` in the order
// up, right, down, left: it must be a route, and wherever it steps, no earlier direction
// may lead to a route through the cells left (asked of the exact test); empty when
// nothing is.
std::string FirstRouteProblem(const std::vector<int32_t>& board, const std::vector<TPoint>& route) {
    if (std::string problem = RouteProblem(board, route[0], route); !problem.empty())
        return problem;
    uint8_t left[kBoardCells];
    for (int i = 0; i < kBoardCells; ++i)
        left[i] = board[i] == 1 ? 1 : 0;
    TPathOracle oracle;
    for (size_t i = 0; i + 1 < route.size(); ++i) {
        const int cell = CellIndex(route[i].x, route[i].y);
        left[cell] = 0;
        for (int d = 0; d < kDirectionCount; ++d) {
            const int n = NeighbourCell(cell, d);
            if (n == CellIndex(route[i + 1].x, route[i + 1].y))
                break;
            if (n >= 0 && left[n] != 0 && oracle.HasPath(left, CellColumn(n), CellRow(n)))
                return "an earlier direction at step " + std::to_string(i) + " has a route";
        }
    }
    return "";
}

// Positions too large for the plain search where the quick search gives up and the
// narrow sweep and full sweeps decide: the route must still be the first one. The last
// ones, from the adversarial search, have holes scattered over the whole board, where
// covers are joined along alternating cycles.
TEST(RouteFinder, RouteIsTheFirstWhereTheQuickSearchGivesUp) {
    const auto tables = BuildTables();
    std::vector<int32_t> tableBoard;
    FillBoardFromTable(tableBoard, tables[47]);
    std::vector<int32_t> wholeBoard(kBoardCells, 1);
    wholeBoard[CellIndex(7, 2)] = 0;
    const struct {
        std::vector<int32_t> board;
        TPoint start;
    } positions[] = {
        {tableBoard, {5, 7}},
        {wholeBoard, {10, 6}},
        {BoardFromRows({"##.##.############", "#####.##..########", "##################",
                        "#######..###.#####", "###########.######", "######.######.###.",
                        "#########.########", "#####.#.####..##.#", "#.################",
                        "#.########.#######", "##################", ".########.###.####"}),
         {14, 9}},
        {BoardFromRows({"##.#########.#####", "#####.####.#.#####", "###.##############",
                        "#####.############", ".##############.##", "#########.##.####.",
                        "###.##############", "##.#####.##.######", "##.#####.##.##.###",
                        ".#################", "#########.####.###", "#########.##.#####"}),
         {12, 9}},
        // A board a sweep refuted from one end is asked about again from another.
        {BoardFromRows({"##################", "########.#########", "##################",
                        "############.####.", "##.#.#############", "######.####.######",
                        "#######..#########", "#.######.##..#####", "##################",
                        "####.##.##########", ".###.#####..######", "####.###.#########"}),
         {1, 6}},
        // No cut cell splits the board, but each first step from the end leaves one.
        {BoardFromRows({"######.###########", "##################", "##################",
                        "#.################", "##################", "#######.##########",
                        "##################", "##################", "##################",
                        "####.#############", "#.################", "########.#########"}),
         {7, 9}},
    };
    for (const auto& position : positions) {
        TRouteFinder finder;
        finder.board = position.board;
        std::vector<TPoint> route;
        ASSERT_TRUE(finder.FindRoute(position.start, route));
        EXPECT_EQ(FirstRouteProblem(position.board, route), "")
            << position.start.x << ", " << position.start.y;
    }
}

TEST(RouteFinder, EveryBuiltInTableHasAValidRouteFromItsStart) {
    const auto tables = BuildTables();
    ASSERT_EQ(tables.size(), 50u);
    for (size_t t = 0; t < tables.size(); ++t) {
        TRouteFinder finder;
        FillBoardFromTable(finder.board, tables[t]);
        const auto board = finder.board;
        std::vector<TPoint> route;
        ASSERT_TRUE(finder.FindRoute({tables[t].x, tables[t].y}, route)) << "table " << t;
        EXPECT_EQ(RouteProblem(board, {tables[t].x, tables[t].y}, route), "") << "table " << t;
    }
}

// On the tables where the plain search ends within a fixed number of steps, both give
// the same route point for point.
TEST(RouteFinder, MatchesThePlainSearchOnTheTablesItFinishes) {
    const auto tables = BuildTables();
    int compared = 0;
    for (size_t t = 0; t < tables.size(); ++t) {
        TReferenceRouteFinder reference;
        TRouteFinder fast;
        FillBoardFromTable(reference.board, tables[t]);
        FillBoardFromTable(fast.board, tables[t]);
        const TPoint start{tables[t].x, tables[t].y};
        std::vector<TPoint> expected, actual;
        int checks = 0;
        const auto outcome = reference.Search(
            start, expected, [&] { return ++checks > 500; }, 4096);
        if (outcome == TReferenceRouteFinder::TOutcome::Stopped)
            continue;
        ASSERT_EQ(outcome, TReferenceRouteFinder::TOutcome::Found) << "table " << t;
        ASSERT_TRUE(fast.FindRoute(start, actual)) << "table " << t;
        EXPECT_EQ(actual, expected) << "table " << t;
        ++compared;
    }
    EXPECT_GE(compared, 15);
}

}  // namespace
