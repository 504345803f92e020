// What the board tells assistive technology, and that it follows the game.
#include <gtest/gtest.h>

#include <memory>

#include <QAccessible>
#include <QApplication>

#include "game/board_accessibility.h"
#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "game/quillory_main_form.h"
#include "graphics/client_area.h"
#include "tests/support/recording_dialogs.h"

namespace {

TEST(DescribeBoardTest, NamesTheTableThePlayersCellAndTheCellsLeft) {
    const std::vector<TQuilloryTable> tables = BuildTables();
    const TBoardSpeech first = DescribeBoard(0, tables[0]);
    EXPECT_EQ(first.name, "Table 0");
    EXPECT_EQ(first.description, "Player at column 1, row 9. 128 cells left.");
    const TBoardSpeech second = DescribeBoard(1, tables[1]);
    EXPECT_EQ(second.name, "Table 1");
    EXPECT_EQ(second.description, "Player at column 5, row 2. 108 cells left.");
}

TEST(DescribeBoardTest, OneCellLeftIsSingular) {
    TQuilloryTable table;
    table.SetCell(17, 11, true);
    table.x = 17;
    table.y = 11;
    EXPECT_EQ(DescribeBoard(49, table).description, "Player at column 17, row 11. 1 cell left.");
    table.SetCell(16, 11, true);
    EXPECT_EQ(DescribeBoard(49, table).description, "Player at column 17, row 11. 2 cells left.");
}

TEST(DescribeOutcomeTest, TellsTheResultTheTableAndTheTimeWhenShown) {
    const struct {
        bool won;
        int table;
        bool showTime;
        int seconds;
        const char* name;
        const char* description;
    } cases[] = {
        {true, 3, true, 65, "Table 3 won", "You have won table 3 in 01:05."},
        {true, 3, false, 65, "Table 3 won", "You have won table 3."},
        {false, 0, true, 0, "Table 0 lost", "You have lost table 0 in 00:00."},
        {false, 49, false, 600, "Table 49 lost", "You have lost table 49."},
    };
    for (const auto& c : cases) {
        const TBoardSpeech speech = DescribeOutcome(c.won, c.table, c.showTime, c.seconds);
        EXPECT_EQ(speech.name, c.name);
        EXPECT_EQ(speech.description, c.description);
    }
}

class BoardAnnouncerTest : public ::testing::Test {
protected:
    TRecordingDialogs dialogs;
    std::unique_ptr<TQuilloryMainForm> form = std::make_unique<TQuilloryMainForm>();

    void SetUp() override {
        form->show();
        QApplication::processEvents();
    }
    void Press(uint16_t key) {
        form->FormKeyDown(key, Qt::NoModifier);
        QApplication::processEvents();
    }
    std::string Name() const { return form->clientArea->accessibleName().toStdString(); }
    std::string Description() const { return form->clientArea->accessibleDescription().toStdString(); }
};

TEST_F(BoardAnnouncerTest, BoardIsDescribedFromTheStart) {
    EXPECT_EQ(Name(), "Table 0");
    EXPECT_EQ(Description(), "Player at column 1, row 9. 128 cells left.");
    // The same texts reach assistive technology through the board's interface.
    QAccessibleInterface* board = QAccessible::queryAccessibleInterface(form->clientArea);
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(board->text(QAccessible::Name).toStdString(), "Table 0");
    EXPECT_EQ(board->text(QAccessible::Description).toStdString(),
              "Player at column 1, row 9. 128 cells left.");
}

TEST_F(BoardAnnouncerTest, DescriptionFollowsMovesUndoAndTables) {
    Press(keys::kUp);
    EXPECT_EQ(Description(), "Player at column 1, row 8. 127 cells left.");
    Press(keys::kUp);
    EXPECT_EQ(Description(), "Player at column 1, row 7. 126 cells left.");
    Press(keys::kBackspace);
    EXPECT_EQ(Description(), "Player at column 1, row 8. 127 cells left.");
    // A move onto an empty cell changes nothing.
    Press(keys::kLeft);
    EXPECT_EQ(Description(), "Player at column 1, row 8. 127 cells left.");
    Press(keys::kNext);
    EXPECT_EQ(Name(), "Table 1");
    EXPECT_EQ(Description(), "Player at column 5, row 2. 108 cells left.");
    Press(keys::kPrevious);
    Press(keys::kPrevious);
    EXPECT_EQ(Name(), "Table 49");
}

}  // namespace
