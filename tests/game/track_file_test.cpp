#include "game/track_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/support/files.h"

namespace {

using Lines = std::vector<std::string>;

class TrackFileTest : public ::testing::Test {
protected:
    std::string path;
    void SetUp() override {
        path = ::testing::TempDir() + "track_file_test_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    }
    void TearDown() override { std::remove(path.c_str()); }
    void Write(const std::string& bytes) { kest::test::WriteWholeFile(path, bytes); }
    Lines Read(const std::string& bytes) {
        Write(bytes);
        Lines lines{"left over"};
        EXPECT_TRUE(ReadLines(path.c_str(), lines));
        return lines;
    }
};

TEST_F(TrackFileTest, LineEndsOfEveryKind) {
    EXPECT_EQ(Read("a\r\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(Read("a\n\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Read("a\r\rb"), (Lines{"a", "", "b"}));
    EXPECT_EQ(Read("a\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(Read("a\rb"), (Lines{"a", "b"}));
    EXPECT_EQ(Read("\r\n"), (Lines{"", ""}));
    EXPECT_EQ(Read("\r"), (Lines{"", ""}));
}

TEST_F(TrackFileTest, TrailingLineEndGivesALastEmptyLine) {
    EXPECT_EQ(Read("5 5"), (Lines{"5 5"}));
    EXPECT_EQ(Read("5 5\r\n"), (Lines{"5 5", ""}));
    EXPECT_EQ(Read("5 5\n\n"), (Lines{"5 5", "", ""}));
}

TEST_F(TrackFileTest, EmptyFileGivesNoLines) {
    EXPECT_EQ(Read(""), Lines{});
}

TEST_F(TrackFileTest, ZeroBytesAreDroppedAndOtherBytesKept) {
    EXPECT_EQ(Read(std::string("a\0b\r\n\0\0\n \xff\t\0", 12)), (Lines{"ab", "", " \xff\t"}));
}

TEST_F(TrackFileTest, MissingFileLeavesTheListUntouched) {
    Lines lines{"keep"};
    EXPECT_FALSE(ReadLines((path + ".absent").c_str(), lines));
    EXPECT_FALSE(ReadLines(nullptr, lines));
    EXPECT_EQ(lines, Lines{"keep"});
}

TEST_F(TrackFileTest, DirectoryIsNotAReadableFile) {
    Lines lines{"keep"};
    EXPECT_FALSE(ReadLines(::testing::TempDir().c_str(), lines));
    EXPECT_EQ(lines, Lines{"keep"});
}

TEST_F(TrackFileTest, FilesThatAreNoTrackAreRefusedWithTheirCause) {
    // A pipe without a writer would block a plain open; it is refused at once.
    const std::string pipe = path + ".fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    struct TCase {
        std::string name;
        std::string cause;
    };
    for (const TCase& c :
         {TCase{path + ".absent", "No such file or directory"}, TCase{::testing::TempDir(), "is a directory"},
          TCase{pipe, "is not a regular file"}, TCase{"/dev/null", "is not a regular file"}}) {
        Lines lines{"keep"};
        std::string cause;
        EXPECT_FALSE(ReadLines(c.name.c_str(), lines, &cause)) << c.name;
        EXPECT_EQ(cause, c.cause) << c.name;
        EXPECT_EQ(lines, Lines{"keep"});
    }
    std::remove(pipe.c_str());
}

TEST_F(TrackFileTest, OversizedFileIsRefusedWhole) {
    Write(std::string(static_cast<size_t>(kMaxTrackFileBytes), '7'));
    Lines lines{"keep"};
    ASSERT_TRUE(ReadLines(path.c_str(), lines));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), static_cast<size_t>(kMaxTrackFileBytes));
    Write(std::string(static_cast<size_t>(kMaxTrackFileBytes) + 1, '7'));
    lines = {"keep"};
    EXPECT_FALSE(ReadLines(path.c_str(), lines));
    EXPECT_EQ(lines, Lines{"keep"});
    std::string cause;
    EXPECT_FALSE(ReadLines(path.c_str(), lines, &cause));
    EXPECT_EQ(cause, "is larger than a track can be");
}

TEST_F(TrackFileTest, LongLinesAreKeptWhole) {
    const std::string longLine(100000, 'x');
    EXPECT_EQ(Read(longLine + "\n1 2"), (Lines{longLine, "1 2"}));
}

TEST(ScanPair, ReadsLikeTwoDecimalConversions) {
    int a = -7, b = -7;
    EXPECT_EQ(ScanPair("3 4", a, b), 2);
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 4);
    EXPECT_EQ(ScanPair("  \t12   -5 trailing", a, b), 2);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, -5);
    EXPECT_EQ(ScanPair("+6\t+7", a, b), 2);
    EXPECT_EQ(a, 6);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(ScanPair("8,9", a, b), 1);
    EXPECT_EQ(a, 8);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(ScanPair("x 1", a, b), 0);
    EXPECT_EQ(ScanPair("", a, b), 0);
    EXPECT_EQ(ScanPair("-", a, b), 0);
    EXPECT_EQ(ScanPair("- 3", a, b), 0);
    EXPECT_EQ(a, 8);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(ScanPair(std::string("4\0 5", 4), a, b), 1);
    EXPECT_EQ(a, 4);
}

TEST(ScanPair, HugeNumbersSaturate) {
    int a = 0, b = 0;
    EXPECT_EQ(ScanPair("99999999999999999999999 -99999999999999999999", a, b), 2);
    EXPECT_EQ(a, INT_MAX);
    EXPECT_EQ(b, INT_MIN);
    EXPECT_EQ(ScanPair("2147483647 -2147483648", a, b), 2);
    EXPECT_EQ(a, INT_MAX);
    EXPECT_EQ(b, INT_MIN);
    EXPECT_EQ(ScanPair("2147483648 4294967301", a, b), 2);
    EXPECT_EQ(a, INT_MAX);
    EXPECT_EQ(b, INT_MAX);
}

TQuilloryTable Marked() {
    TQuilloryTable table;
    table.SetCell(9, 9, true);
    table.x = 9;
    table.y = 9;
    return table;
}

TEST(TableFromTrackLines, PositionAndCells) {
    TQuilloryTable table = Marked();
    ASSERT_TRUE(TableFromTrackLines({"3 4", "3 4", "4 4"}, table));
    TQuilloryTable expected;
    expected.SetCell(3, 4, true);
    expected.SetCell(4, 4, true);
    expected.x = 3;
    expected.y = 4;
    EXPECT_EQ(table, expected);
}

TEST(TableFromTrackLines, SingleLineWithAndWithoutLineEnd) {
    TQuilloryTable table = Marked();
    EXPECT_FALSE(TableFromTrackLines({"5 5"}, table));
    EXPECT_FALSE(TableFromTrackLines({}, table));
    EXPECT_EQ(table, Marked());
    ASSERT_TRUE(TableFromTrackLines({"5 5", ""}, table));
    TQuilloryTable expected;
    expected.SetCell(5, 5, true);
    expected.x = 5;
    expected.y = 5;
    EXPECT_EQ(table, expected);
}

TEST(TableFromTrackLines, BlankAndWordLinesChangeNothing) {
    TQuilloryTable table;
    ASSERT_TRUE(TableFromTrackLines({"2 3", "", "6 7", "   ", "abc 1 1", ""}, table));
    TQuilloryTable expected;
    expected.SetCell(2, 3, true);
    expected.SetCell(6, 7, true);
    expected.x = 2;
    expected.y = 3;
    EXPECT_EQ(table, expected);
}

TEST(TableFromTrackLines, SingleNumberTakesTheRowOfTheLineBefore) {
    TQuilloryTable table;
    ASSERT_TRUE(TableFromTrackLines({"2 3", "6 7", "10", "0 0"}, table));
    EXPECT_TRUE(table.IsPresent(10, 7));
    EXPECT_TRUE(table.IsPresent(6, 7));
    EXPECT_TRUE(table.IsPresent(0, 0));
    EXPECT_EQ(table.x, 2);
    EXPECT_EQ(table.y, 3);
}

TEST(TableFromTrackLines, RingAndCornerCellsAreAccepted) {
    TQuilloryTable table;
    ASSERT_TRUE(TableFromTrackLines({"0 0", "17 11", "17 0", "0 11"}, table));
    EXPECT_TRUE(table.IsPresent(0, 0));
    EXPECT_TRUE(table.IsPresent(17, 11));
    EXPECT_TRUE(table.IsPresent(17, 0));
    EXPECT_TRUE(table.IsPresent(0, 11));
}

TEST(TableFromTrackLines, AnyPairOffTheBoardRefusesTheFile) {
    for (const Lines& lines : {Lines{"18 0", "1 1"}, Lines{"0 12", "1 1"}, Lines{"-1 0", "1 1"},
                               Lines{"1 1", "1 -1"}, Lines{"1 1", "2 2", "18"}, Lines{"1 1", "99999999999 1"},
                               Lines{"1 1", "1 2147483648"}, Lines{"1 1", "-2147483649 1"}}) {
        TQuilloryTable table = Marked();
        EXPECT_FALSE(TableFromTrackLines(lines, table)) << lines.back();
        EXPECT_EQ(table, Marked());
    }
}

TEST(TableFromTrackLines, FirstLineWithoutTwoNumbersRefusesTheFile) {
    for (const Lines& lines : {Lines{"", "1 1"}, Lines{"7", "1 1"}, Lines{"a b", "1 1"}}) {
        TQuilloryTable table = Marked();
        EXPECT_FALSE(TableFromTrackLines(lines, table));
        EXPECT_EQ(table, Marked());
    }
}

TEST_F(TrackFileTest, ReadAndBuildFromWrittenTrack) {
    Write("1 2\r\n1 2\r\n2 2\r\n2 3");
    Lines lines;
    ASSERT_TRUE(ReadLines(path.c_str(), lines));
    TQuilloryTable table;
    ASSERT_TRUE(TableFromTrackLines(lines, table));
    EXPECT_TRUE(table.IsPresent(1, 2));
    EXPECT_TRUE(table.IsPresent(2, 2));
    EXPECT_TRUE(table.IsPresent(2, 3));
    EXPECT_EQ(table.x, 1);
    EXPECT_EQ(table.y, 2);
}

// Every prefix of a good track and every single-byte change of it is read without harm;
// whatever is accepted has its position on a present cell of the board.
TEST_F(TrackFileTest, TruncatedAndCorruptedTracksAreSafe) {
    const std::string good = "3 4\r\n3 4\r\n4 4\r\n5 4\r\n5 5";
    std::vector<std::string> variants;
    for (size_t n = 0; n <= good.size(); ++n)
        variants.push_back(good.substr(0, n));
    const char replacements[] = {'\0', '\r', '\n', '-', '9', 'x', ' ', '\xff'};
    for (size_t i = 0; i < good.size(); ++i)
        for (char c : replacements) {
            std::string changed = good;
            changed[i] = c;
            variants.push_back(changed);
        }
    int accepted = 0;
    for (const std::string& bytes : variants) {
        Write(bytes);
        Lines lines;
        ASSERT_TRUE(ReadLines(path.c_str(), lines));
        TQuilloryTable table = Marked();
        if (TableFromTrackLines(lines, table)) {
            ++accepted;
            EXPECT_TRUE(table.IsPresent(table.x, table.y));
        } else {
            EXPECT_EQ(table, Marked());
        }
    }
    EXPECT_GT(accepted, 50);
    EXPECT_LT(accepted, static_cast<int>(variants.size()));
}

}  // namespace
