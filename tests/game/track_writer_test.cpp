#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "containers/kest_exception.h"
#include "game/track_writer.h"
#include "tests/support/failing_save.h"
#include "tests/support/files.h"

namespace {

using kest::test::ReadWholeFile;
using kest::test::TempPath;

TEST(TrackWriter, PositionFirstThenCellsInRowOrder) {
    TQuilloryTable table;
    table.SetCell(4, 4, true);
    table.SetCell(3, 4, true);
    table.SetCell(16, 2, true);
    table.x = 3;
    table.y = 4;
    const std::vector<std::string> expected{"3 4", "16 2", "3 4", "4 4"};
    EXPECT_EQ(TrackLines(table), expected);
}

TEST(TrackWriter, LinesJoinedByCrLfWithoutATrailingLineEnd) {
    const std::string name = TempPath("track_writer");
    SaveLinesFile(name.c_str(), {"3 4", "3 4", "4 4"});
    EXPECT_EQ(ReadWholeFile(name), "3 4\r\n3 4\r\n4 4");
    // Saving again truncates what was there.
    SaveLinesFile(name.c_str(), {"1 1"});
    EXPECT_EQ(ReadWholeFile(name), "1 1");
    std::remove(name.c_str());
}

TEST(TrackWriter, ATrackSaveThatFailsPartWayKeepsTheOldTrack) {
    TQuilloryTable table;
    for (int y = 0; y < kBoardRows; ++y)
        for (int x = 0; x < kBoardColumns; ++x)
            table.SetCell(x, y, true);
    const std::vector<std::string> lines = TrackLines(table);
    kest::test::ExpectFailedSaveKeepsOldFile([&](const char* path) { SaveLinesFile(path, lines); });
    kest::test::TFaultTally tally;
    kest::test::ExpectEveryFailingCallKeepsOldFile([&](const char* path) { SaveLinesFile(path, lines); },
                                                   tally);
    kest::test::PrintTally("track saves with failing calls", 1, tally);
}

TEST(TrackWriter, AFileThatCannotBeCreatedThrows) {
    EXPECT_THROW(SaveLinesFile(::testing::TempDir().c_str(), {"1 1"}), TKestFileException);
    EXPECT_THROW(SaveLinesFile("/nonexistent-folder/track.txt", {"1 1"}), TKestFileException);
}

}  // namespace
