#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "containers/kest_exception.h"
#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "game/quillory_main_form.h"
#include "graphics/application.h"
#include "tests/support/files.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/tables.h"

namespace {

class MainFormTest : public ::testing::Test {
protected:
    TRecordingDialogs dialogs;
    std::unique_ptr<TQuilloryMainForm> form = std::make_unique<TQuilloryMainForm>();

    void Press(uint16_t key, Qt::KeyboardModifiers shift = Qt::NoModifier) { form->FormKeyDown(key, shift); }
    // Puts a table of the given cells into play, as opening a track would.
    void Play(std::initializer_list<TBoardPoint> cells, TBoardPoint player) {
        form->currentTable = quillory_test::TableOf(cells, player);
        form->ResetPlay();
    }
};

TEST_F(MainFormTest, StartsWithTheFirstTable) {
    EXPECT_EQ(form->tableIndex, 0);
    ASSERT_EQ(form->tables.size(), 50u);
    EXPECT_EQ(form->currentTable, form->tables[0]);
    EXPECT_EQ(form->backgroundColor, 0u);
    EXPECT_EQ(form->elapsedSeconds, 0);
    EXPECT_TRUE(form->history.empty());
    EXPECT_TRUE(form->route.empty());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillory"));
}

TEST_F(MainFormTest, NextAndPreviousWrapAround) {
    form->mPrevClick();
    EXPECT_EQ(form->tableIndex, 49);
    EXPECT_EQ(form->currentTable, form->tables[49]);
    form->mNextClick();
    EXPECT_EQ(form->tableIndex, 0);
    EXPECT_EQ(form->currentTable, form->tables[0]);
    Press(keys::kNext);
    Press(keys::kNext);
    EXPECT_EQ(form->tableIndex, 2);
    EXPECT_EQ(form->currentTable, form->tables[2]);
    Press(keys::kPrevious, Qt::ShiftModifier);
    EXPECT_EQ(form->tableIndex, 1);
}

TEST_F(MainFormTest, AgainRestoresTheTableAndResetsPlay) {
    Press(keys::kUp);
    Press(keys::kUp);
    form->elapsedSeconds = 42;
    form->route = {{1, 1}, {2, 1}};
    ASSERT_EQ(form->history.size(), 2u);
    ASSERT_NE(form->currentTable, form->tables[0]);
    Press(keys::kSpace);
    EXPECT_EQ(form->currentTable, form->tables[0]);
    EXPECT_EQ(form->currentTable.x, 1);
    EXPECT_EQ(form->currentTable.y, 9);
    EXPECT_TRUE(form->history.empty());
    EXPECT_TRUE(form->route.empty());
    EXPECT_EQ(form->elapsedSeconds, 0);
    EXPECT_EQ(form->tableIndex, 0);
}

TEST_F(MainFormTest, AgainAfterAnOpenedTrackBringsBackTheBuiltInTable) {
    form->mNextClick();
    Play({{4, 4}, {5, 4}}, {4, 4});
    EXPECT_EQ(form->tableIndex, 1);
    form->mAgainClick();
    EXPECT_EQ(form->currentTable, form->tables[1]);
}

TEST_F(MainFormTest, MovesAndUndosThroughTheKeyHandler) {
    const TQuilloryTable start = form->currentTable;
    // Left of (1, 9) is empty, down is (1, 10): a move onto an empty cell changes nothing.
    Press(keys::kLeft);
    EXPECT_EQ(form->currentTable, start);
    EXPECT_TRUE(form->history.empty());
    Press(keys::kBackspace);
    EXPECT_EQ(form->currentTable, start);

    Press(keys::kDown);
    EXPECT_FALSE(form->currentTable.IsPresent(1, 9));
    EXPECT_EQ(form->currentTable.y, 10);
    ASSERT_EQ(form->history.size(), 1u);
    EXPECT_EQ(form->history[0], (TBoardPoint{1, 9}));
    // Along row 10 to column 5, then up into row 9 (columns 2..4 of row 9 are empty).
    for (int i = 0; i < 4; ++i)
        Press(keys::kRight);
    Press(keys::kUp);
    EXPECT_EQ(form->history.size(), 6u);
    EXPECT_EQ(form->currentTable.x, 5);
    EXPECT_EQ(form->currentTable.y, 9);
    form->elapsedSeconds = 7;
    for (int i = 0; i < 6; ++i)
        Press(keys::kBackspace);
    EXPECT_EQ(form->currentTable, start);
    EXPECT_TRUE(form->history.empty());
    EXPECT_EQ(form->elapsedSeconds, 7);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainFormTest, AClickOnANeighbourPlaysItsArrowKeyAndAnyOtherClickNothing) {
    const TQuilloryTable start = form->currentTable;
    // The player is on (1, 9); (0, 9) on its left is empty.
    const struct {
        int x, y;
    } nothing[] = {{0 * 25 + 12, 9 * 25 + 12},
                   {1 * 25 + 12, 9 * 25 + 12},
                   {2 * 25 + 12, 10 * 25 + 12},
                   {10 * 25, 5 * 25},
                   {449, 299},
                   {-1, 9 * 25 + 12}};
    for (const auto& click : nothing)
        form->FormMouseDown(click.x, click.y);
    EXPECT_EQ(form->currentTable, start);
    EXPECT_TRUE(form->history.empty());
    // Any pixel of the cell below, its corners too: as the down arrow.
    TQuilloryTable moved = start;
    ASSERT_TRUE(MovePlayer(moved, 0, 1));
    form->FormMouseDown(1 * 25, 10 * 25 + 24);
    EXPECT_EQ(form->currentTable, moved);
    ASSERT_EQ(form->history.size(), 1u);
    EXPECT_EQ(form->history[0], (TBoardPoint{1, 9}));
}

TEST_F(MainFormTest, KeysWithoutMeaningChangeNothing) {
    const TQuilloryTable start = form->currentTable;
    for (uint16_t key : {0, 9, 13, 27, 41, 65, 77, 79, 81, 0xFFFF})
        Press(key);
    EXPECT_EQ(form->currentTable, start);
    EXPECT_EQ(form->tableIndex, 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainFormTest, WinningReportsAndPutsTheNextTableInPlay) {
    form->mNextClick();
    form->mNextClick();
    Play({{4, 4}, {5, 4}}, {4, 4});
    form->elapsedSeconds = 30;
    Press(keys::kRight);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Well done...\nTry the next one.");
    EXPECT_EQ(dialogs.messages[0].caption, "Quillory");
    EXPECT_EQ(form->tableIndex, 3);
    EXPECT_EQ(form->currentTable, form->tables[3]);
    EXPECT_TRUE(form->history.empty());
    EXPECT_EQ(form->elapsedSeconds, 0);
}

TEST_F(MainFormTest, WinningOnTheLastTableWrapsToTheFirst) {
    form->mPrevClick();
    Play({{9, 6}, {9, 7}}, {9, 6});
    Press(keys::kDown);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(form->tableIndex, 0);
    EXPECT_EQ(form->currentTable, form->tables[0]);
}

TEST_F(MainFormTest, LosingKeepsTheBoardAndUndoSaysNothing) {
    Play({{4, 4}, {5, 4}, {8, 8}}, {4, 4});
    form->elapsedSeconds = 12;
    Press(keys::kRight);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "You have lost!");
    EXPECT_EQ(dialogs.messages[0].caption, "Quillory");
    const TQuilloryTable lost = form->currentTable;
    EXPECT_EQ(lost.x, 5);
    EXPECT_FALSE(lost.IsPresent(4, 4));
    EXPECT_EQ(form->history.size(), 1u);
    EXPECT_EQ(form->elapsedSeconds, 12);
    // Every arrow does nothing now.
    for (uint16_t key : {keys::kLeft, keys::kUp, keys::kRight, keys::kDown})
        Press(key);
    EXPECT_EQ(form->currentTable, lost);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    Press(keys::kBackspace);
    EXPECT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(form->currentTable.IsPresent(4, 4));
    EXPECT_EQ(form->currentTable.x, 4);
    EXPECT_TRUE(form->history.empty());
}

TEST_F(MainFormTest, PlayOnTheOuterRingStaysOnTheBoard) {
    Play({{0, 0}, {1, 0}, {17, 11}}, {0, 0});
    Press(keys::kLeft);
    Press(keys::kUp);
    EXPECT_EQ(form->currentTable.x, 0);
    EXPECT_EQ(form->currentTable.y, 0);
    EXPECT_TRUE(dialogs.messages.empty());
    Press(keys::kRight);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "You have lost!");
}

TEST_F(MainFormTest, TheRouteStaysWhileThePlayerMoves) {
    form->route = {{1, 9}, {1, 10}};
    Press(keys::kDown);
    Press(keys::kBackspace);
    EXPECT_EQ(form->route.size(), 2u);
}

TEST_F(MainFormTest, FindRouteStoresTheRouteFromThePlayersCell) {
    Play({{1, 1}, {2, 1}, {1, 2}, {2, 2}}, {1, 1});
    form->mFindRouteClick();
    const std::vector<TRouteFinder::TPoint> expected{{1, 1}, {2, 1}, {2, 2}, {1, 2}};
    EXPECT_EQ(form->route, expected);
    EXPECT_TRUE(dialogs.messages.empty());
    // After a move the search starts from where the player stands now.
    Press(keys::kRight);
    form->mFindRouteClick();
    const std::vector<TRouteFinder::TPoint> fromHere{{2, 1}, {2, 2}, {1, 2}};
    EXPECT_EQ(form->route, fromHere);
    EXPECT_EQ(form->history.size(), 1u);
}

TEST_F(MainFormTest, FindRouteOnTheLastCellIsThatCell) {
    Play({{7, 7}}, {7, 7});
    form->mFindRouteClick();
    EXPECT_EQ(form->route, (std::vector<TRouteFinder::TPoint>{{7, 7}}));
}

TEST_F(MainFormTest, NoRouteSaysSoAndEmptiesTheRoute) {
    Play({{1, 1}, {2, 1}, {3, 1}, {5, 5}}, {1, 1});
    form->route = {{1, 1}, {2, 1}};
    const TQuilloryTable before = form->currentTable;
    form->mFindRouteClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "There is no route from here");
    EXPECT_EQ(dialogs.messages[0].caption, "Quillory");
    EXPECT_EQ(dialogs.messages[0].icon, TMessageIcon::Exclamation);
    EXPECT_TRUE(form->route.empty());
    EXPECT_EQ(form->currentTable, before);
}

class TrackCommandsTest : public MainFormTest {
protected:
    std::string name = kest::test::TempPath("main_form_track.txt");
    ~TrackCommandsTest() override { std::remove(name.c_str()); }
    void WriteFile(const std::string& bytes) { kest::test::WriteWholeFile(name, bytes); }
};

TEST_F(TrackCommandsTest, SavedTrackOpensAsTheSamePosition) {
    form->mNextClick();
    Press(keys::kDown);
    Press(keys::kDown);
    const TQuilloryTable saved = form->currentTable;
    dialogs.nextFileName = name;
    form->mSaveTrackClick();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].title, "Save track");
    EXPECT_EQ(dialogs.fileDialogs[0].defaultExtension, "txt");
    EXPECT_EQ(dialogs.fileDialogs[0].filter, "Text files (*.txt)|*.txt");
    // Saving changes nothing in the game.
    EXPECT_EQ(form->currentTable, saved);
    EXPECT_EQ(form->history.size(), 2u);

    form->mAgainClick();
    form->elapsedSeconds = 5;
    form->route = {{5, 2}};
    form->mOpenTrackClick();
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs[1].title, "Open track");
    EXPECT_EQ(dialogs.fileDialogs[1].filter, "Text files (*.txt)|*.txt|Any file (*.*)|*.*");
    // The first dialog starts in the working directory, the next where the track went.
    EXPECT_EQ(dialogs.fileDialogs[0].initialDir, std::filesystem::current_path().string());
    EXPECT_EQ(dialogs.fileDialogs[1].initialDir, FolderOf(name));
    EXPECT_FALSE(dialogs.fileDialogs[1].initialDir.empty());
    EXPECT_EQ(form->currentTable, saved);
    EXPECT_TRUE(form->history.empty());
    EXPECT_TRUE(form->route.empty());
    EXPECT_EQ(form->elapsedSeconds, 0);
    EXPECT_EQ(form->tableIndex, 1);
    EXPECT_TRUE(dialogs.messages.empty());
}

// The state of the process that the folder test changes, put back however it ends.
class TReadOnlyWorkingDirectory {
public:
    explicit TReadOnlyWorkingDirectory(const std::string& folder, const std::string& home)
        : previous_(std::filesystem::current_path()), home_(std::getenv("HOME") ? std::getenv("HOME") : "") {
        std::filesystem::permissions(
            folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec |
                        std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
                        std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
        std::filesystem::current_path(folder);
        ::setenv("HOME", home.c_str(), 1);
        // Root may write anywhere: act as an ordinary account while the dialogs ask.
        if (::geteuid() == 0)
            ordinary_ = ::seteuid(kNobody) == 0;
        EXPECT_NE(::geteuid(), 0u) << "cannot take an ordinary account's rights";
    }
    ~TReadOnlyWorkingDirectory() {
        if (ordinary_) {
            EXPECT_EQ(::seteuid(0), 0);
        }
        std::filesystem::current_path(previous_);
        ::setenv("HOME", home_.c_str(), 1);
    }
    TReadOnlyWorkingDirectory(const TReadOnlyWorkingDirectory&) = delete;
    TReadOnlyWorkingDirectory& operator=(const TReadOnlyWorkingDirectory&) = delete;

private:
    static constexpr uid_t kNobody = 65534;
    std::filesystem::path previous_;
    std::string home_;
    bool ordinary_ = false;
};

TEST_F(TrackCommandsTest, DialogsStartAtHomeWhenTheWorkingDirectoryIsReadOnly) {
    kest::test::TScratchFolder readOnly, home;
    {
        TReadOnlyWorkingDirectory cwd(readOnly.Path("."), home.Path("."));
        form->mSaveTrackClick();
        form->mOpenTrackClick();
        // Once a track has been opened, both start in its folder.
        WriteFile("5 5\n");
        form->OpenTrack(name);
        form->mSaveTrackClick();
    }
    ASSERT_EQ(dialogs.fileDialogs.size(), 3u);
    EXPECT_EQ(dialogs.fileDialogs[0].initialDir, home.Path("."));
    EXPECT_EQ(dialogs.fileDialogs[1].initialDir, home.Path("."));
    EXPECT_EQ(dialogs.fileDialogs[2].initialDir, FolderOf(name));
    EXPECT_TRUE(form->currentTable.IsPresent(5, 5));
}

TEST_F(TrackCommandsTest, CancelledDialogsChangeNothing) {
    Press(keys::kUp);
    const TQuilloryTable before = form->currentTable;
    form->mSaveTrackClick();
    form->mOpenTrackClick();
    EXPECT_EQ(form->currentTable, before);
    EXPECT_EQ(form->history.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs.size(), 2u);
}

TEST_F(TrackCommandsTest, UnusableTracksAreIgnored) {
    Press(keys::kUp);
    const TQuilloryTable before = form->currentTable;
    for (const std::string& bytes : {std::string(), std::string("5 5"), std::string("x y\r\n1 1"),
                                     std::string("5 5\r\n99 3"), std::string("\0\0\0", 3)}) {
        WriteFile(bytes);
        form->LoadTrack(name.c_str());
        EXPECT_EQ(form->currentTable, before);
        EXPECT_EQ(form->history.size(), 1u);
    }
    form->LoadTrack("/nonexistent-folder/track.txt");
    EXPECT_EQ(form->currentTable, before);
    WriteFile("5 5\n");
    form->LoadTrack(name.c_str());
    EXPECT_EQ(CountPresentCells(form->currentTable), 1);
    EXPECT_TRUE(form->currentTable.IsPresent(5, 5));
    EXPECT_EQ(form->currentTable.x, 5);
    EXPECT_TRUE(form->history.empty());
}

TEST_F(TrackCommandsTest, SavingWhereNoFileCanBeMadeThrowsAndChangesNothing) {
    Press(keys::kUp);
    const TQuilloryTable before = form->currentTable;
    dialogs.nextFileName = "/nonexistent-folder/track.txt";
    try {
        form->mSaveTrackClick();
        ADD_FAILURE() << "the save did not throw";
    } catch (const TKestFileException&) {
        EXPECT_EQ(ExceptionMessage(std::current_exception()),
                  "Could not save /nonexistent-folder/track.txt: No such file or directory");
    }
    EXPECT_EQ(form->currentTable, before);
    EXPECT_EQ(form->history.size(), 1u);
    // The next dialog does not start in the folder the save failed in.
    dialogs.nextFileName.clear();
    form->mSaveTrackClick();
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs[1].initialDir, dialogs.fileDialogs[0].initialDir);
}

}  // namespace
