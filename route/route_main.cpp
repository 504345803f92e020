// quillory-route: prints the route that clears a built-in table or a saved track.
#include <langinfo.h>
#include <cerrno>

#include <charconv>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "game/built_in_tables.h"
#include "game/track_file.h"
#include "route/find_route_command.h"
#include "route/reference_route_finder.h"

namespace {

constexpr int kExitNoRoute = 1;
constexpr int kExitUsage = 2;
constexpr const char* kUsage = "usage: quillory-route [--time] [--reference] [--draw] (--table N | FILE)";
constexpr const char* kHelp =
    "Prints the route that clears built-in table N (0 to 49) or the track saved in FILE,\n"
    "one \"column row\" line per cell, from the player's cell to the last one.\n"
    "  --time       also print the search time on standard error\n"
    "  --reference  search with the plain depth-first finder\n"
    "  --draw       instead, draw the board with an arrow in each cell to the next one\n"
    "               (in plain ASCII unless the locale's character set is UTF-8)\n"
    "Exit status: 0 route printed, 1 no route, 2 bad arguments, input or output.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "quillory-route: %s\n", message.c_str());
    return kExitUsage;
}

// Parses a table number 0..49 written as one or two plain decimal digits.
bool ParseTableNumber(const char* text, int& number) {
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, number);
    return end - text <= 2 && text[0] != '-' && error == std::errc() && stop == end &&
           number < kBuiltInTableCount;
}

// Flushes standard output; a failed write (a full disk, a closed pipe) is an error.
int FinishOutput(int exitCode) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        return Fail(std::string("cannot write to standard output: ") + std::strerror(error));
    }
    return exitCode;
}

// What the command line asks for.
struct TOptions {
    bool showTime = false;
    bool reference = false;
    bool draw = false;
    int tableNumber = -1;
    const char* fileName = nullptr;
};

// Sentinel of the steps below: go on to the next step.
constexpr int kGoOn = -1;

// Reads the command line into `options`; kGoOn, or the exit status when the program ends
// here (help printed, or bad arguments).
int ParseArguments(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s\n%s", kUsage, kHelp);
            return FinishOutput(0);
        } else if (arg == "--time") {
            options.showTime = true;
        } else if (arg == "--reference") {
            options.reference = true;
        } else if (arg == "--draw") {
            options.draw = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "--table") {
            return Fail("unknown option " + arg + "; " + kUsage);
        } else if (options.tableNumber >= 0 || options.fileName != nullptr) {
            return Fail(kUsage);  // a second table or file
        } else if (arg == "--table") {
            if (i + 1 >= argc || !ParseTableNumber(argv[i + 1], options.tableNumber))
                return Fail("--table needs a table number from 0 to 49");
            ++i;
        } else {
            options.fileName = argv[i];
        }
    }
    return kGoOn;
}

// Makes the table the options name; kGoOn, or the exit status of a failure.
int LoadTable(const TOptions& options, TQuilloryTable& table) {
    if (options.tableNumber >= 0) {
        table = MakeTable(BuiltInTable(options.tableNumber));
        return kGoOn;
    }
    if (options.fileName == nullptr)
        return Fail(kUsage);
    std::vector<std::string> lines;
    std::string cause;
    if (!ReadLines(options.fileName, lines, &cause))
        return Fail(std::string("cannot read ") + options.fileName + ": " + cause);
    if (!TableFromTrackLines(lines, table))
        return Fail(std::string(options.fileName) + " is not a usable track");
    return kGoOn;
}

// The marks of a drawn route, in UTF-8 or in ASCII.
struct TRouteMarks {
    const char *left, *up, *right, *down, *last, *empty;
};
constexpr TRouteMarks kUnicodeMarks{"\u2190", "\u2191", "\u2192", "\u2193", "\u25A0", "\u00B7"};
constexpr TRouteMarks kAsciiMarks{"<", "^", ">", "v", "#", "."};

// True when the locale's character set (LC_ALL, LC_CTYPE, LANG) is UTF-8.
bool LocaleShowsUnicode() {
    return std::setlocale(LC_CTYPE, "") != nullptr && std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
}

// The mark of the step from `p` to `next`.
const char* StepMark(TRouteFinder::TPoint p, TRouteFinder::TPoint next, const TRouteMarks& marks) {
    return next.x < p.x ? marks.left : next.x > p.x ? marks.right : next.y < p.y ? marks.up : marks.down;
}

// The board, 18 cells of three characters across and 12 rows down, each cell of the
// route with the mark of the step to the next cell (the last with its own mark), the
// start in brackets, empty cells dotted; then a line that says so.
std::string DrawRoute(const std::vector<TRouteFinder::TPoint>& route, const TRouteMarks& marks) {
    std::vector<std::string> cells(static_cast<size_t>(kBoardColumns) * kBoardRows, marks.empty);
    const auto at = [](int x, int y) { return static_cast<size_t>(CellIndex(x, y)); };
    for (size_t i = 0; i < route.size(); ++i)
        if (IsOnBoard(route[i].x, route[i].y))
            cells[at(route[i].x, route[i].y)] =
                i + 1 < route.size() ? StepMark(route[i], route[i + 1], marks) : marks.last;
    std::string drawing;
    const bool started = !route.empty();
    for (int y = 0; y < kBoardRows; ++y) {
        for (int x = 0; x < kBoardColumns; ++x) {
            const bool start = started && route[0].x == x && route[0].y == y;
            drawing += start ? "[" : " ";
            drawing += cells[at(x, y)];
            drawing += start ? "]" : " ";
        }
        while (!drawing.empty() && drawing.back() == ' ')
            drawing.pop_back();
        drawing += '\n';
    }
    drawing += std::string("[ ] start, ") + marks.right + " " + marks.left + " " + marks.up + " " +
               marks.down + " to the next cell, " + marks.last + " last cell, " + marks.empty + " empty\n";
    return drawing;
}

}  // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (const int status = ParseArguments(argc, argv, options); status != kGoOn)
        return status;
    TQuilloryTable table;
    if (const int status = LoadTable(options, table); status != kGoOn)
        return status;

    std::vector<TRouteFinder::TPoint> route;
    const auto begin = std::chrono::steady_clock::now();
    const bool found = options.reference ? FindRouteOnTable<TReferenceRouteFinder>(table, route)
                                         : FindRouteOnTable(table, route);
    const auto end = std::chrono::steady_clock::now();

    if (options.showTime)
        std::fprintf(stderr, "search: %.2f ms\n",
                     std::chrono::duration<double, std::milli>(end - begin).count());
    if (!found) {
        std::fprintf(stderr, "There is no route from here\n");
        return kExitNoRoute;
    }
    if (options.draw) {
        const std::string drawing = DrawRoute(route, LocaleShowsUnicode() ? kUnicodeMarks : kAsciiMarks);
        std::fputs(drawing.c_str(), stdout);
        return FinishOutput(0);
    }
    for (const TRouteFinder::TPoint& p : route)
        std::printf("%d %d\n", p.x, p.y);
    return FinishOutput(0);
}
