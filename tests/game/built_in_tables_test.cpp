#include <gtest/gtest.h>

#include "game/built_in_tables.h"
#include "game/game_rules.h"

namespace {

// Cell counts and start cells as each table is announced, kept apart from the grids
// so that a mistyped grid shows up here.
const int kExpectedCounts[kBuiltInTableCount] = {
    128, 108, 112, 108, 120, 118, 120, 120, 120, 122, 120, 101, 116, 120, 124, 139, 116,
    120, 128, 136, 132, 130, 126, 130, 124, 131, 128, 133, 128, 116, 134, 132, 121, 120,
    138, 133, 134, 137, 127, 123, 112, 133, 128, 122, 130, 108, 132, 140, 132, 100};
const TBoardPoint kExpectedStarts[kBuiltInTableCount] = {
    {1, 9},  {5, 2},  {15, 9}, {1, 7},  {9, 8},  {9, 9},  {16, 10}, {8, 10}, {16, 8},  {9, 5},
    {2, 1},  {1, 6},  {1, 6},  {3, 1},  {5, 2},  {6, 1},  {1, 9},   {1, 4},  {1, 10},  {10, 1},
    {11, 5}, {3, 8},  {3, 6},  {5, 6},  {2, 10}, {12, 3}, {12, 4},  {15, 3}, {16, 10}, {3, 9},
    {10, 8}, {16, 5}, {2, 9},  {7, 3},  {5, 3},  {9, 6},  {9, 4},   {3, 2},  {3, 3},   {9, 5},
    {5, 6},  {14, 4}, {1, 3},  {8, 10}, {14, 9}, {1, 6},  {8, 6},   {10, 5}, {1, 10},  {9, 6}};

TEST(BuiltInTables, FiftyTablesWithTheirCountsAndStarts) {
    const std::vector<TQuilloryTable> tables = BuildTables();
    ASSERT_EQ(tables.size(), 50u);
    for (int t = 0; t < kBuiltInTableCount; ++t) {
        SCOPED_TRACE(t);
        const TQuilloryTable& table = tables[t];
        EXPECT_EQ(CountPresentCells(table), kExpectedCounts[t]);
        EXPECT_EQ(table.x, kExpectedStarts[t].x);
        EXPECT_EQ(table.y, kExpectedStarts[t].y);
        EXPECT_TRUE(table.IsPresent(table.x, table.y));
        for (int x = 0; x < kBoardColumns; ++x) {
            EXPECT_FALSE(table.IsPresent(x, 0));
            EXPECT_FALSE(table.IsPresent(x, kBoardRows - 1));
        }
        for (int y = 0; y < kBoardRows; ++y) {
            EXPECT_FALSE(table.IsPresent(0, y));
            EXPECT_FALSE(table.IsPresent(kBoardColumns - 1, y));
        }
        for (uint8_t cell : table.cells)
            EXPECT_TRUE(cell == 0 || cell == 1);
    }
}

TEST(BuiltInTables, FirstTableRowsAndStart) {
    const TQuilloryTable table = MakeTable(BuiltInTable(0));
    for (int x = 0; x < kBoardColumns; ++x)
        EXPECT_EQ(table.IsPresent(x, 1), x >= 1 && x <= 16) << x;
    // Row 2 is ".#...########...#.".
    const char* row2 = ".#...########...#.";
    for (int x = 0; x < kBoardColumns; ++x)
        EXPECT_EQ(table.IsPresent(x, 2), row2[x] == '#') << x;
    EXPECT_EQ(table.x, 1);
    EXPECT_EQ(table.y, 9);
}

TEST(BuiltInTables, LastTableIsTheSmallest) {
    const TQuilloryTable table = MakeTable(BuiltInTable(49));
    EXPECT_EQ(CountPresentCells(table), 100);
    EXPECT_EQ(table.x, 9);
    EXPECT_EQ(table.y, 6);
    // Row 6 is "..#######S######..": 14 present cells from column 2 to 15.
    for (int x = 0; x < kBoardColumns; ++x)
        EXPECT_EQ(table.IsPresent(x, 6), x >= 2 && x <= 15) << x;
}

TEST(BuiltInTables, AnyNonDotCharacterIsPresent) {
    TBuiltInTable data{3, 4, {}};
    const char* empty = "..................";
    for (auto& row : data.rows)
        row = empty;
    data.rows[4] = "...S1.............";
    const TQuilloryTable table = MakeTable(data);
    EXPECT_EQ(CountPresentCells(table), 2);
    EXPECT_TRUE(table.IsPresent(3, 4));
    EXPECT_TRUE(table.IsPresent(4, 4));
    EXPECT_EQ(table.cells[CellIndex(4, 4)], 1);
}

}  // namespace
