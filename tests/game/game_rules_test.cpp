#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "tests/support/tables.h"

namespace {

using quillory_test::TableOf;

TEST(GameRules, ArrowKeysGiveTheirSteps) {
    int dx = 9, dy = 9;
    ASSERT_TRUE(ArrowStep(keys::kLeft, dx, dy));
    EXPECT_EQ(dx, -1);
    EXPECT_EQ(dy, 0);
    ASSERT_TRUE(ArrowStep(keys::kUp, dx, dy));
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, -1);
    ASSERT_TRUE(ArrowStep(keys::kRight, dx, dy));
    EXPECT_EQ(dx, 1);
    EXPECT_EQ(dy, 0);
    ASSERT_TRUE(ArrowStep(keys::kDown, dx, dy));
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(dy, 1);
    EXPECT_FALSE(ArrowStep(keys::kSpace, dx, dy));
    EXPECT_FALSE(ArrowStep(41, dx, dy));
}

TEST(GameRules, TheArrowTowardsACellIsThatOfItsNeighbour) {
    TQuilloryTable table;
    table.x = 4;
    table.y = 7;
    const struct {
        int x, y;
        std::uint16_t key;
    } cases[] = {
        {3, 7, keys::kLeft}, {4, 6, keys::kUp},   {5, 7, keys::kRight},
        {4, 8, keys::kDown}, {4, 7, keys::kNone}, {3, 6, keys::kNone},
        {6, 7, keys::kNone}, {4, 9, keys::kNone}, {-1, 7, keys::kNone},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ArrowTowards(table, c.x, c.y), c.key) << c.x << "," << c.y;
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

TEST(GameRules, KeyTable) {
    const std::pair<std::uint16_t, TKeyCommand> table[] = {
        {8, TKeyCommand::Undo},         {32, TKeyCommand::Again},     {37, TKeyCommand::MoveLeft},
        {38, TKeyCommand::MoveUp},      {39, TKeyCommand::MoveRight}, {40, TKeyCommand::MoveDown},
        {78, TKeyCommand::Next},        {80, TKeyCommand::Previous},  {0, TKeyCommand::None},
        {9, TKeyCommand::None},         {13, TKeyCommand::None},      {36, TKeyCommand::None},
        {41, TKeyCommand::None},        {'n', TKeyCommand::None},     {'p', TKeyCommand::None},
        {'N' + 256, TKeyCommand::None}, {0xFFFF, TKeyCommand::None},
    };
    for (const auto& [key, command] : table)
        EXPECT_EQ(KeyCommand(key), command) << "key " << key;
}

TEST(GameRules, NextAndPreviousIndexWrapAround) {
    EXPECT_EQ(NextTableIndex(0, 50), 1);
    EXPECT_EQ(NextTableIndex(48, 50), 49);
    EXPECT_EQ(NextTableIndex(49, 50), 0);
    EXPECT_EQ(PreviousTableIndex(49, 50), 48);
    EXPECT_EQ(PreviousTableIndex(1, 50), 0);
    EXPECT_EQ(PreviousTableIndex(0, 50), 49);
    EXPECT_EQ(NextTableIndex(0, 1), 0);
    EXPECT_EQ(PreviousTableIndex(0, 1), 0);
    EXPECT_EQ(NextTableIndex(0, 0), 0);
    EXPECT_EQ(PreviousTableIndex(0, 0), 0);
}

TEST(GameRules, PlayKeyRecordsAndReturnsWhatHappened) {
    struct TCase {
        const char* what;
        std::uint16_t key;
        std::vector<TBoardPoint> cells;
        TBoardPoint player;
        std::vector<TBoardPoint> history;
        TPlayResult result;
        TBoardPoint after;
        size_t historyAfter;
    };
    const TCase cases[] = {
        {"onto an empty cell",
         keys::kUp,
         {{5, 5}, {6, 5}, {7, 5}},
         {6, 5},
         {},
         TPlayResult::Nothing,
         {6, 5},
         0},
        {"a move that leaves cells",
         keys::kRight,
         {{5, 5}, {6, 5}, {7, 5}},
         {5, 5},
         {},
         TPlayResult::Moved,
         {6, 5},
         1},
        {"the winning move", keys::kDown, {{5, 5}, {5, 6}}, {5, 5}, {{5, 4}}, TPlayResult::Won, {5, 6}, 2},
        {"into a dead end", keys::kUp, {{5, 5}, {5, 4}, {9, 9}}, {5, 5}, {}, TPlayResult::Lost, {5, 4}, 1},
        {"undo", keys::kBackspace, {{5, 5}}, {5, 5}, {{5, 6}}, TPlayResult::Undone, {5, 6}, 0},
        {"undo without history",
         keys::kBackspace,
         {{5, 5}, {5, 6}},
         {5, 5},
         {},
         TPlayResult::Nothing,
         {5, 5},
         0},
        {"space", keys::kSpace, {{5, 5}, {5, 6}}, {5, 5}, {{4, 5}}, TPlayResult::Again, {5, 5}, 1},
        {"N", keys::kNext, {{5, 5}, {5, 6}}, {5, 5}, {}, TPlayResult::Next, {5, 5}, 0},
        {"P", keys::kPrevious, {{5, 5}, {5, 6}}, {5, 5}, {}, TPlayResult::Previous, {5, 5}, 0},
        {"another key", keys::kReturn, {{5, 5}, {5, 6}}, {5, 5}, {}, TPlayResult::Nothing, {5, 5}, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TQuilloryTable table = TableOf({}, c.player);
        for (const TBoardPoint& p : c.cells)
            table.SetCell(p.x, p.y, true);
        std::vector<TBoardPoint> history = c.history;
        EXPECT_EQ(PlayKey(c.key, table, history), c.result);
        EXPECT_EQ(table.x, c.after.x);
        EXPECT_EQ(table.y, c.after.y);
        EXPECT_TRUE(table.IsPresent(c.after.x, c.after.y));
        ASSERT_EQ(history.size(), c.historyAfter);
        if (c.historyAfter > c.history.size()) {
            EXPECT_EQ(history.back().x, c.player.x);
            EXPECT_EQ(history.back().y, c.player.y);
            EXPECT_FALSE(table.IsPresent(c.player.x, c.player.y));
        }
    }
}

}  // namespace
