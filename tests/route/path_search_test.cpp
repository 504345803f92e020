#include "route/path_search.h"

#include <gtest/gtest.h>

#include "tests/support/route_test_support.h"

using namespace route_test;
using namespace path_search;

namespace {

std::vector<uint8_t> Cells(const std::vector<int32_t>& board) {
    return std::vector<uint8_t>(board.begin(), board.end());
}

int Count(const std::vector<int32_t>& board) {
    return static_cast<int>(PresentCells(board).size());
}

TEST(MayHavePath, RefusesWhatCannotBeWalked) {
    const auto split = BoardFromRows({"", ".##.##"});
    EXPECT_FALSE(MayHavePath(Cells(split).data(), Count(split), 1 * 18 + 1));
    const auto row = BoardFromRows({"", ".###"});
    EXPECT_FALSE(MayHavePath(Cells(row).data(), 3, 1 * 18 + 2));  // two dead ends
    EXPECT_TRUE(MayHavePath(Cells(row).data(), 3, 1 * 18 + 1));
    const auto block = BoardFromRows({"", ".###", ".###", ".###"});
    EXPECT_FALSE(MayHavePath(Cells(block).data(), 9, 1 * 18 + 2));  // minority colour
    EXPECT_TRUE(MayHavePath(Cells(block).data(), 9, 2 * 18 + 2));
    const auto square = BoardFromRows({"", ".##", ".##"});
    EXPECT_TRUE(MayHavePath(Cells(square).data(), 4, 1 * 18 + 2));
    const auto single = BoardFromRows({"", ".#"});
    EXPECT_TRUE(MayHavePath(Cells(single).data(), 1, 1 * 18 + 1));
}

// Boards that are connected, have at most one dead end and the right colour count, whose
// cut cells still rule every path out.
TEST(MayHavePath, RefusesWhatCutCellsRuleOut) {
    // (3, 2) splits off two blocks: the path would have to end in both.
    const auto twoParts = BoardFromRows({"", ".##.##", ".#####", "...#"});
    EXPECT_FALSE(MayHavePath(Cells(twoParts).data(), Count(twoParts), 3 * 18 + 3));
    // The end itself is a cut cell between two blocks.
    const auto endBetween = BoardFromRows({"", ".##.##", ".#####"});
    EXPECT_FALSE(MayHavePath(Cells(endBetween).data(), Count(endBetween), 2 * 18 + 3));
    // From (1, 1) the block must be left through (3, 2), but a path over the block from
    // its corner ends on the other colour: the stretch before the cut cell cannot be walked.
    const auto wrongStretch = BoardFromRows({"", ".##", ".####", "....##", "....##"});
    EXPECT_FALSE(MayHavePath(Cells(wrongStretch).data(), Count(wrongStretch), 1 * 18 + 1));
    // A chain of cut cells that can be walked: block, corridor cell, block.
    const auto chain = BoardFromRows({"", "..##", ".###", "##", "##"});
    EXPECT_TRUE(MayHavePath(Cells(chain).data(), Count(chain), 1 * 18 + 2));
}

TEST(MayHavePath, CountsCellsOnTheRing) {
    const auto board = BoardFromRows({"##", "#"});
    EXPECT_TRUE(MayHavePath(Cells(board).data(), 3, 0 * 18 + 1));
    EXPECT_FALSE(MayHavePath(Cells(board).data(), 3, 0));
}

TEST(NeighbourCell, StopsAtTheBoardsEdges) {
    EXPECT_EQ(NeighbourCell(0, 0), -1);
    EXPECT_EQ(NeighbourCell(0, 3), -1);
    EXPECT_EQ(NeighbourCell(0, 1), 1);
    EXPECT_EQ(NeighbourCell(0, 2), 18);
    EXPECT_EQ(NeighbourCell(17, 1), -1);
    EXPECT_EQ(NeighbourCell(215, 2), -1);
    EXPECT_EQ(NeighbourCell(215, 0), 197);
}

// In direction order a decided search must give exactly the first path, or prove there
// is none; a search in the other order must give some valid path. MayHavePath never
// refuses a board that has a path, and refuses some that have none.
TEST(SearchPath, AgreesWithEnumerationOnRandomBoards) {
    std::mt19937 rng(99);
    int found = 0, none = 0, refused = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int w = 1 + static_cast<int>(rng() % 5);
        const int h = 1 + static_cast<int>(rng() % 4);
        const int left = static_cast<int>(rng() % (19 - w));
        const int top = static_cast<int>(rng() % (13 - h));
        const auto board = RandomBoard(rng, left, top, w, h, 0.8);
        const auto present = PresentCells(board);
        if (present.empty())
            continue;
        const TPoint end = present[rng() % present.size()];
        std::vector<TPoint> expected;
        const bool exists = FirstRouteByEnumeration(board, end, expected);
        const bool may = MayHavePath(Cells(board).data(), Count(board), end.y * 18 + end.x);
        ASSERT_TRUE(may || !exists) << "trial " << trial;
        refused += may ? 0 : 1;
        auto cells = Cells(board);
        std::vector<int> path;
        const TSearch outcome = SearchPath(cells.data(), Count(board), end.y * 18 + end.x, 1000000, path);
        ASSERT_EQ(cells, Cells(board)) << "cells not restored, trial " << trial;
        ASSERT_EQ(outcome, exists ? TSearch::Found : TSearch::None) << "trial " << trial;
        std::vector<TPoint> route;
        route.reserve(path.size());
        for (int cell : path)
            route.push_back({cell % 18, cell / 18});
        if (exists) {
            ASSERT_EQ(route, expected) << "trial " << trial;
        }
        ++(exists ? found : none);
    }
    EXPECT_GT(found, 500);
    EXPECT_GT(none, 500);
    EXPECT_GT(refused, 300);
}

TEST(SearchPath, GivesUpAtItsBudgetAndRestoresTheCells) {
    std::vector<std::string> rows(12, "");
    for (int y = 1; y <= 10; ++y)
        rows[y] = ".################";
    const auto board = BoardFromRows(rows);
    auto cells = Cells(board);
    std::vector<int> path;
    EXPECT_EQ(SearchPath(cells.data(), Count(board), 5 * 18 + 8, 10, path), TSearch::Undecided);
    EXPECT_TRUE(path.empty());
    EXPECT_EQ(cells, Cells(board));
}

}  // namespace
