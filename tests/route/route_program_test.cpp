#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "game/track_file.h"
#include "tests/support/route_test_support.h"

namespace {

struct TRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program with `arguments` (already quoted for the shell). CTest runs the
// cases of this file in parallel processes, so each keeps its own error file.
// `environment` (assignments for the shell, such as "LC_ALL=C") is set for the program alone.
TRun RunProgram(const std::string& arguments, const std::string& environment = "") {
    const std::string errFile =
        std::string(QUILLORY_TEST_SCRATCH) + "/route_program_stderr_" + std::to_string(getpid()) + ".txt";
    const std::string command =
        environment + " '" + QUILLORY_ROUTE_PROGRAM + "' " + arguments + " 2>'" + errFile + "'";
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream errStream(errFile, std::ios::binary);
    std::stringstream errText;
    errText << errStream.rdbuf();
    run.err = errText.str();
    std::remove(errFile.c_str());
    return run;
}

std::string WriteScratch(const std::string& name, const std::string& bytes) {
    std::string path = std::string(QUILLORY_TEST_SCRATCH) + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

// Checks that `out` is one "%d %d" line per cell of `table`, a route from its start.
void ExpectRouteOutput(const std::string& out, const TQuilloryTable& table, int tableNumber) {
    std::istringstream lines(out);
    std::string line;
    std::vector<TRouteFinder::TPoint> route;
    while (std::getline(lines, line)) {
        int x = 0, y = 0;
        char rest = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %d%c", &x, &y, &rest), 2)
            << "table " << tableNumber << " line '" << line << "'";
        ASSERT_EQ(line, std::to_string(x) + " " + std::to_string(y));
        route.push_back({x, y});
    }
    EXPECT_EQ(route_test::RouteProblem(table, route), "") << "table " << tableNumber;
}

TEST(RouteProgram, EveryTablePrintsARoute) {
    for (int t = 0; t < kBuiltInTableCount; ++t) {
        const TRun run = RunProgram("--table " + std::to_string(t));
        ASSERT_EQ(run.exitCode, 0) << "table " << t << ": " << run.err;
        EXPECT_EQ(run.err, "");
        ExpectRouteOutput(run.out, MakeTable(BuiltInTable(t)), t);
    }
}

TEST(RouteProgram, TimeLineGoesToStandardError) {
    const TRun run = RunProgram("--time --table 0");
    ASSERT_EQ(run.exitCode, 0);
    double ms = -1;
    char unit[8] = {};
    ASSERT_EQ(std::sscanf(run.err.c_str(), "search: %lf %2s", &ms, unit), 2) << run.err;
    EXPECT_STREQ(unit, "ms");
    EXPECT_GE(ms, 0.0);
    EXPECT_EQ(run.err.back(), '\n');
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1);
}

TEST(RouteProgram, ReferenceSearchGivesTheSameRoute) {
    const std::string track = WriteScratch("route_program_small.txt",
                                           "3 3\r\n2 2\r\n3 2\r\n4 2\r\n2 3\r\n3 3\r\n4 3\r\n"
                                           "2 4\r\n3 4\r\n4 4");
    const TRun fast = RunProgram("'" + track + "'");
    const TRun reference = RunProgram("--reference '" + track + "'");
    ASSERT_EQ(fast.exitCode, 0) << fast.err;
    ASSERT_EQ(reference.exitCode, 0) << reference.err;
    EXPECT_EQ(fast.out, "3 3\n3 2\n4 2\n4 3\n4 4\n3 4\n2 4\n2 3\n2 2\n");
    EXPECT_EQ(reference.out, fast.out);
}

// One drawn row: each cell's mark with a space either side, trailing spaces dropped.
std::string DrawnRow(const std::vector<std::string>& marks) {
    std::string row;
    for (const std::string& mark : marks)
        row += (mark.size() == 3 ? mark : " " + mark + " ");
    return row.substr(0, row.find_last_not_of(' ') + 1) + "\n";
}

TEST(RouteProgram, DrawShowsEachCellsStepToTheNextInASCIIOrUnicode) {
    const std::string track = WriteScratch("route_program_draw.txt",
                                           "3 3\r\n2 2\r\n3 2\r\n4 2\r\n2 3\r\n3 3\r\n4 3\r\n"
                                           "2 4\r\n3 4\r\n4 4");
    const std::vector<std::string> empty(18, ".");
    std::string expected = DrawnRow(empty) + DrawnRow(empty);
    for (const std::vector<std::string>& row : {std::vector<std::string>{".", ".", "#", ">", "v"},
                                                std::vector<std::string>{".", ".", "^", "[^]", "v"},
                                                std::vector<std::string>{".", ".", "^", "<", "<"}}) {
        std::vector<std::string> marks = empty;
        std::copy(row.begin(), row.end(), marks.begin());
        expected += DrawnRow(marks);
    }
    for (int y = 5; y < 12; ++y)
        expected += DrawnRow(empty);
    expected += "[ ] start, > < ^ v to the next cell, # last cell, . empty\n";
    const TRun ascii = RunProgram("--draw '" + track + "'", "LC_ALL=C");
    ASSERT_EQ(ascii.exitCode, 0) << ascii.err;
    EXPECT_EQ(ascii.out, expected);

    const TRun unicode = RunProgram("--draw '" + track + "'", "LC_ALL=C.UTF-8");
    ASSERT_EQ(unicode.exitCode, 0) << unicode.err;
    std::string translated = unicode.out;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\u2190", "<"},
                                   {"\u2191", "^"},
                                   {"\u2192", ">"},
                                   {"\u2193", "v"},
                                   {"\u25A0", "#"},
                                   {"\u00B7", "."}})
        for (size_t at = translated.find(from); at != std::string::npos; at = translated.find(from, at))
            translated.replace(at, from.size(), to);
    EXPECT_EQ(translated, expected);
    EXPECT_NE(unicode.out, ascii.out);
}

TEST(RouteProgram, DrawnArrowsLeadFromTheStartThroughEveryCell) {
    const TQuilloryTable table = MakeTable(BuiltInTable(0));
    const TRun run = RunProgram("--draw --table 0", "LC_ALL=C");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> rows;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line + std::string(54, ' '));
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[static_cast<size_t>(table.y)].substr(static_cast<size_t>(table.x) * 3, 3).front(), '[');
    const auto mark = [&rows](int x, int y) {
        return rows[static_cast<size_t>(y)][static_cast<size_t>(x) * 3 + 1];
    };
    TQuilloryTable left = table;
    int x = table.x, y = table.y, steps = 0;
    while (mark(x, y) != '#') {
        ASSERT_TRUE(left.IsPresent(x, y)) << x << "," << y;
        left.SetCell(x, y, false);
        switch (mark(x, y)) {
        case '<': --x; break;
        case '>': ++x; break;
        case '^': --y; break;
        case 'v': ++y; break;
        default: FAIL() << "mark '" << mark(x, y) << "' at " << x << "," << y;
        }
        ASSERT_TRUE(x >= 0 && x < 18 && y >= 0 && y < 12);
        ++steps;
    }
    EXPECT_EQ(steps + 1, CountPresentCells(table));
}

TEST(RouteProgram, NoRouteExitsWithOne) {
    const std::string track = WriteScratch("route_program_none.txt", "2 1\n1 1\n2 1\n3 1\n");
    const TRun run = RunProgram("'" + track + "'");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "There is no route from here\n");
}

TEST(RouteProgram, UnusableArgumentsAndFilesExitWithTwo) {
    const std::string offBoard = WriteScratch("route_program_off.txt", "1 1\n1 1\n18 1\n");
    const std::string oneLine = WriteScratch("route_program_one.txt", "5 5");
    const std::string missing = std::string(QUILLORY_TEST_SCRATCH) + "/no_such_track.txt";
    for (const std::string& args :
         {std::string(""), std::string("--table"), std::string("--table 50"), std::string("--table -1"),
          std::string("--table x"), std::string("--table 1 --table 2"), std::string("--bogus"),
          "'" + offBoard + "'", "'" + oneLine + "'", "'" + missing + "'", "--table 3 '" + oneLine + "'"}) {
        const TRun run = RunProgram(args);
        EXPECT_EQ(run.exitCode, 2) << "arguments: " << args;
        EXPECT_EQ(run.out, "") << "arguments: " << args;
        ASSERT_FALSE(run.err.empty()) << "arguments: " << args;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "arguments: " << args;
    }
}

TEST(RouteProgram, HelpPrintsTheUsageAndSucceeds) {
    const TRun run = RunProgram("--help");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("usage: quillory-route [--time] [--reference] [--draw] (--table N | FILE)\n", 0),
              0u)
        << run.out;
}

TEST(RouteProgram, RefusalsNameTheCause) {
    const std::string scratch = QUILLORY_TEST_SCRATCH;
    const std::string pipe = scratch + "/route_program_fifo_" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // A sparse file one byte larger than any track is read.
    const std::string huge = scratch + "/route_program_huge_" + std::to_string(getpid()) + ".txt";
    WriteScratch("route_program_huge_" + std::to_string(getpid()) + ".txt", "5 5\n5 5\n");
    ASSERT_EQ(truncate(huge.c_str(), kMaxTrackFileBytes + 1), 0);
    const std::string notATrack = WriteScratch("route_program_words.txt", "left\nright\n");
    const std::string missing = scratch + "/no_such_track.txt";
    struct TCase {
        std::string arguments;
        std::string err;
    };
    for (const TCase& c : {
             TCase{"'" + scratch + "'", "quillory-route: cannot read " + scratch + ": is a directory\n"},
             TCase{"'" + pipe + "'", "quillory-route: cannot read " + pipe + ": is not a regular file\n"},
             TCase{"'" + huge + "'",
                   "quillory-route: cannot read " + huge + ": is larger than a track can be\n"},
             TCase{"'" + missing + "'",
                   "quillory-route: cannot read " + missing + ": No such file or directory\n"},
             TCase{"'" + notATrack + "'", "quillory-route: " + notATrack + " is not a usable track\n"},
             TCase{"--table 0 >/dev/full",
                   "quillory-route: cannot write to standard output: No space left on device\n"},
             TCase{"--help >/dev/full",
                   "quillory-route: cannot write to standard output: No space left on device\n"},
         }) {
        const TRun run = RunProgram(c.arguments);
        EXPECT_EQ(run.exitCode, 2) << c.arguments;
        EXPECT_EQ(run.out, "") << c.arguments;
        EXPECT_EQ(run.err, c.err) << c.arguments;
    }
    std::remove(pipe.c_str());
    std::remove(huge.c_str());
}

}  // namespace
