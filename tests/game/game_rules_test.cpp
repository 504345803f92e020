#include <gtest/gtest.h>

#include "game/built_in_tables.h"
#include "game/game_rules.h"

namespace {

TQuilloryTable TableOf(std::initializer_list<TBoardPoint> cells, TBoardPoint player) {
    TQuilloryTable table;
    for (const TBoardPoint& p : cells)
        table.SetCell(p.x, p.y, true);
    table.x = player.x;
    table.y = player.y;
    return table;
}

TEST(GameRules, ArrowKeysGiveTheirSteps) {
    int dx = 9, dy = 9;
    ASSERT_TRUE(ArrowStep(keys::kLeft, dx, dy));
    EXPECT_EQ(dx, -1); EXPECT_EQ(dy, 0);
    ASSERT_TRUE(ArrowStep(keys::kUp, dx, dy));
    EXPECT_EQ(dx, 0); EXPECT_EQ(dy, -1);
    ASSERT_TRUE(ArrowStep(keys::kRight, dx, dy));
    EXPECT_EQ(dx, 1); EXPECT_EQ(dy, 0);
    ASSERT_TRUE(ArrowStep(keys::kDown, dx, dy));
    EXPECT_EQ(dx, 0); EXPECT_EQ(dy, 1);
    EXPECT_FALSE(ArrowStep(keys::kSpace, dx, dy));
    EXPECT_FALSE(ArrowStep(41, dx, dy));
}

TEST(GameRules, MoveClearsTheCellLeftAndRefusesEmptyNeighbours) {
    TQuilloryTable table = TableOf({{2, 2}, {3, 2}}, {2, 2});
    const TQuilloryTable before = table;
    EXPECT_FALSE(MovePlayer(table, 0, -1));
    EXPECT_FALSE(MovePlayer(table, -1, 0));
    EXPECT_EQ(table, before);
    ASSERT_TRUE(MovePlayer(table, 1, 0));
    EXPECT_FALSE(table.IsPresent(2, 2));
    EXPECT_TRUE(table.IsPresent(3, 2));
    EXPECT_EQ(table.x, 3);
    EXPECT_EQ(table.y, 2);
}

TEST(GameRules, NeighboursOffTheBoardCountAsEmpty) {
    // A player in each corner of the board, with one present neighbour inside.
    const TBoardPoint corners[] = {{0, 0}, {17, 0}, {0, 11}, {17, 11}};
    for (const TBoardPoint& c : corners) {
        SCOPED_TRACE(c.x * 100 + c.y);
        const int inX = c.x == 0 ? 1 : 16;
        TQuilloryTable table = TableOf({c, {inX, c.y}}, c);
        const TQuilloryTable before = table;
        EXPECT_FALSE(MovePlayer(table, c.x == 0 ? -1 : 1, 0));
        EXPECT_FALSE(MovePlayer(table, 0, c.y == 0 ? -1 : 1));
        EXPECT_EQ(table, before);
        EXPECT_TRUE(HasPresentNeighbour(table, c.x, c.y));
        EXPECT_EQ(Outcome(table), TOutcome::Playing);
        table.SetCell(inX, c.y, false);
        table.SetCell(inX == 1 ? 5 : 12, 5, true);
        EXPECT_EQ(Outcome(table), TOutcome::Lost);
    }
}

TEST(GameRules, SetCellIgnoresPositionsOffTheBoard) {
    TQuilloryTable table;
    table.SetCell(-1, 0, true);
    table.SetCell(18, 0, true);
    table.SetCell(0, 12, true);
    table.SetCell(0, -1, true);
    EXPECT_EQ(CountPresentCells(table), 0);
    EXPECT_FALSE(table.IsPresent(-1, -1));
    EXPECT_FALSE(table.IsPresent(18, 11));
}

TEST(GameRules, UndoRestoresMovesOneByOne) {
    TQuilloryTable table = MakeTable(BuiltInTable(0));
    const TQuilloryTable start = table;
    std::vector<TBoardPoint> history;
    EXPECT_FALSE(UndoMove(table, history));
    EXPECT_EQ(table, start);
    // Up the left column from (1, 9) to (1, 4), then right along row 4.
    const int steps[][2] = {{0, -1}, {0, -1}, {0, -1}, {0, -1}, {0, -1}, {1, 0}, {1, 0}};
    std::vector<TQuilloryTable> seen{table};
    for (const auto& s : steps) {
        const TBoardPoint old{table.x, table.y};
        ASSERT_TRUE(MovePlayer(table, s[0], s[1]));
        history.push_back(old);
        seen.push_back(table);
    }
    EXPECT_EQ(CountPresentCells(table), 128 - 7);
    for (size_t i = seen.size() - 1; i > 0; --i) {
        ASSERT_TRUE(UndoMove(table, history));
        EXPECT_EQ(table, seen[i - 1]);
    }
    EXPECT_TRUE(history.empty());
    EXPECT_EQ(table, start);
    EXPECT_FALSE(UndoMove(table, history));
}

TEST(GameRules, OutcomeCountsTheWholeBoard) {
    EXPECT_EQ(Outcome(TableOf({{5, 5}}, {5, 5})), TOutcome::Won);
    EXPECT_EQ(Outcome(TableOf({{5, 5}, {5, 6}}, {5, 5})), TOutcome::Playing);
    EXPECT_EQ(Outcome(TableOf({{5, 5}, {7, 5}}, {5, 5})), TOutcome::Lost);
    // A ring cell far away still counts as a cell left.
    EXPECT_EQ(Outcome(TableOf({{5, 5}, {0, 11}}, {5, 5})), TOutcome::Lost);
    EXPECT_EQ(CountPresentCells(TableOf({{0, 0}, {17, 11}, {9, 6}}, {9, 6})), 3);
}

}  // namespace
