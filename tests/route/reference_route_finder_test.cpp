#include "route/reference_route_finder.h"

#include <gtest/gtest.h>

#include "tests/support/route_test_support.h"

using namespace route_test;

namespace {

bool RunReference(const std::vector<int32_t>& board, TPoint start, std::vector<TPoint>& route) {
    TReferenceRouteFinder finder;
    finder.board = board;
    return finder.FindRoute(start, route);
}

TEST(ReferenceRouteFinder, TwoDeadEndsAreRefusedBeforeAnyStep) {
    TReferenceRouteFinder finder;
    finder.board = BoardFromRows({"", ".#", ".#", ".###"});
    std::vector<TPoint> untouched{{7, 7}};
    EXPECT_FALSE(finder.FindRoute({1, 3}, untouched));
    EXPECT_EQ(finder.Steps(), 0u);
    EXPECT_EQ(untouched, (std::vector<TPoint>{{7, 7}}));
}

TEST(ReferenceRouteFinder, StopCallbackEndsTheSearch) {
    std::vector<std::string> rows(12, "");
    for (int y = 1; y <= 9; ++y)
        rows[y] = ".####";
    const auto board = BoardFromRows(rows);
    TReferenceRouteFinder finder;
    finder.board = board;
    std::vector<TPoint> route;
    int asked = 0;
    const auto outcome = finder.Search(
        {2, 2}, route, [&] { return ++asked >= 3; }, 1);
    EXPECT_EQ(outcome, TReferenceRouteFinder::TOutcome::Stopped);
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(route.empty());
}

// The pruned search must return exactly the first route in direction order.
TEST(ReferenceRouteFinder, MatchesUnprunedEnumerationOnRandomBoards) {
    std::mt19937 rng(20261208);
    int withRoute = 0, without = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int w = 2 + static_cast<int>(rng() % 4);
        const int h = 2 + static_cast<int>(rng() % 3);
        const int left = static_cast<int>(rng() % (19 - w));
        const int top = static_cast<int>(rng() % (13 - h));
        auto board = RandomBoard(rng, left, top, w, h, 0.8);
        const auto cells = PresentCells(board);
        if (cells.empty())
            continue;
        const TPoint start = cells[rng() % cells.size()];
        std::vector<TPoint> expected, actual;
        const bool exists = FirstRouteByEnumeration(board, start, expected);
        ASSERT_EQ(RunReference(board, start, actual), exists) << "trial " << trial;
        if (exists) {
            ASSERT_EQ(actual, expected) << "trial " << trial;
            ++withRoute;
        } else {
            ++without;
        }
    }
    EXPECT_GT(withRoute, 300);
    EXPECT_GT(without, 300);
}

}  // namespace
