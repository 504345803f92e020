// quillory-route: prints the route that clears a built-in table or a saved track.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "game/built_in_tables.h"
#include "game/track_file.h"
#include "route/reference_route_finder.h"
#include "route/route_finder.h"

namespace {

constexpr int kExitNoRoute = 1;
constexpr int kExitUsage = 2;
constexpr const char* kUsage = "usage: quillory-route [--time] [--reference] (--table N | FILE)";
constexpr const char* kHelp =
    "Prints the route that clears built-in table N (0 to 49) or the track saved in FILE,\n"
    "one \"column row\" line per cell, from the player's cell to the last one.\n"
    "  --time       also print the search time on standard error\n"
    "  --reference  search with the plain depth-first finder\n"
    "Exit status: 0 route printed, 1 no route, 2 bad arguments, input or output.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "quillory-route: %s\n", message.c_str());
    return kExitUsage;
}

// Parses a table number 0..49 written as plain decimal digits.
bool ParseTableNumber(const char* text, int& number) {
    const size_t length = std::strlen(text);
    if (length == 0 || length > 2)
        return false;
    number = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        number = number * 10 + (text[i] - '0');
    }
    return number < kBuiltInTableCount;
}

// Flushes standard output; a failed write (a full disk, a closed pipe) is an error.
int FinishOutput(int exitCode) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        return Fail(std::string("cannot write to standard output: ") + std::strerror(error));
    }
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    bool showTime = false;
    bool reference = false;
    int tableNumber = -1;
    const char* fileName = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s\n%s", kUsage, kHelp);
            return FinishOutput(0);
        } else if (arg == "--time") {
            showTime = true;
        } else if (arg == "--reference") {
            reference = true;
        } else if (arg == "--table") {
            if (tableNumber >= 0 || fileName != nullptr)
                return Fail(kUsage);
            if (i + 1 >= argc || !ParseTableNumber(argv[i + 1], tableNumber))
                return Fail("--table needs a table number from 0 to 49");
            ++i;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Fail("unknown option " + arg + "; " + kUsage);
        } else {
            if (tableNumber >= 0 || fileName != nullptr)
                return Fail(kUsage);
            fileName = argv[i];
        }
    }

    TQuilloryTable table;
    if (tableNumber >= 0) {
        table = MakeTable(BuiltInTable(tableNumber));
    } else if (fileName != nullptr) {
        std::vector<std::string> lines;
        std::string cause;
        if (!ReadLines(fileName, lines, &cause))
            return Fail(std::string("cannot read ") + fileName + ": " + cause);
        if (!TableFromTrackLines(lines, table))
            return Fail(std::string(fileName) + " is not a usable track");
    } else {
        return Fail(kUsage);
    }

    std::vector<TRouteFinder::TPoint> route;
    bool found = false;
    const auto begin = std::chrono::steady_clock::now();
    if (reference) {
        TReferenceRouteFinder finder;
        for (int i = 0; i < kBoardCells; ++i)
            finder.board[i] = table.cells[i] != 0 ? 1 : 0;
        found = finder.FindRoute({table.x, table.y}, route);
    } else {
        TRouteFinder finder;
        for (int i = 0; i < kBoardCells; ++i)
            finder.board[i] = table.cells[i] != 0 ? 1 : 0;
        found = finder.FindRoute({table.x, table.y}, route);
    }
    const auto end = std::chrono::steady_clock::now();

    if (showTime)
        std::fprintf(stderr, "search: %.2f ms\n",
                     std::chrono::duration<double, std::milli>(end - begin).count());
    if (!found) {
        std::fprintf(stderr, "There is no route from here\n");
        return kExitNoRoute;
    }
    for (const TRouteFinder::TPoint& p : route)
        std::printf("%d %d\n", p.x, p.y);
    return FinishOutput(0);
}
