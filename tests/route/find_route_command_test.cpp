#include "route/find_route_command.h"

#include <gtest/gtest.h>

#include "game/built_in_tables.h"
#include "game/game_rules.h"

namespace {

using TPoint = TRouteFinder::TPoint;

TEST(FindRouteOnTable, PlayerOnTheOnlyCell) {
    TQuilloryTable table;
    table.SetCell(4, 6, true);
    table.x = 4;
    table.y = 6;
    std::vector<TPoint> route{{1, 1}, {2, 2}};
    ASSERT_TRUE(FindRouteOnTable(table, route));
    EXPECT_EQ(route, (std::vector<TPoint>{{4, 6}}));
}

TEST(FindRouteOnTable, FailureLeavesTheRouteEmpty) {
    TQuilloryTable table;
    table.SetCell(4, 6, true);
    table.SetCell(8, 6, true);
    table.x = 4;
    table.y = 6;
    std::vector<TPoint> route{{1, 1}, {2, 2}};
    EXPECT_FALSE(FindRouteOnTable(table, route));
    EXPECT_TRUE(route.empty());
}

TEST(FindRouteOnTable, SameRouteTwiceAndTheTableUnchanged) {
    const TQuilloryTable table = MakeTable(BuiltInTable(12));
    const TQuilloryTable before = table;
    std::vector<TPoint> first, second;
    ASSERT_TRUE(FindRouteOnTable(table, first));
    ASSERT_TRUE(FindRouteOnTable(table, second));
    EXPECT_EQ(first, second);
    EXPECT_EQ(table, before);
    EXPECT_EQ(first.size(), static_cast<size_t>(CountPresentCells(table)));
}

TEST(FindRouteOnTable, SearchesFromThePlayersCurrentCell) {
    // Walking the first steps of the start route leaves a position whose route is the rest.
    TQuilloryTable table = MakeTable(BuiltInTable(3));
    std::vector<TPoint> whole;
    ASSERT_TRUE(FindRouteOnTable(table, whole));
    for (int i = 1; i <= 5; ++i)
        ASSERT_TRUE(MovePlayer(table, whole[i].x - table.x, whole[i].y - table.y));
    std::vector<TPoint> rest;
    ASSERT_TRUE(FindRouteOnTable(table, rest));
    EXPECT_EQ(rest, std::vector<TPoint>(whole.begin() + 5, whole.end()));
}

TEST(FindRouteOnTable, AnyNonZeroCellCountsAsPresent) {
    TQuilloryTable table;
    table.cells[CellIndex(2, 2)] = 7;
    table.cells[CellIndex(3, 2)] = 255;
    table.x = 2;
    table.y = 2;
    std::vector<TPoint> route;
    ASSERT_TRUE(FindRouteOnTable(table, route));
    EXPECT_EQ(route, (std::vector<TPoint>{{2, 2}, {3, 2}}));
}

}  // namespace
