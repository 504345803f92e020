// Times the route finder against the plain depth-first search: from the start of every
// built-in table, and from positions reached by random play. Prints its figures.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "route/reference_route_finder.h"
#include "route/route_finder.h"
#include "route_positions.h"

namespace {

using namespace route_positions;
using TClock = std::chrono::steady_clock;
using TPoint = TRouteFinder::TPoint;

double Milliseconds(TClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Best of `runs` searches with a fresh finder each, as the game does it.
double FastSearch(const TQuilloryTable& table, int runs, bool& found, TRouteFinder::TStats* stats = nullptr) {
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        TRouteFinder finder;
        FillBoardFromTable(finder.board, table);
        std::vector<TPoint> route;
        const auto begin = TClock::now();
        found = finder.FindRoute({table.x, table.y}, route);
        best = std::min(best, Milliseconds(TClock::now() - begin));
        if (stats != nullptr)
            *stats = finder.Stats();
    }
    return best;
}

// One plain search, abandoned after `capMs`; negative when it was abandoned.
double ReferenceSearch(const TQuilloryTable& table, double capMs) {
    TReferenceRouteFinder finder;
    FillBoardFromTable(finder.board, table);
    std::vector<TPoint> route;
    const auto begin = TClock::now();
    const auto deadline = begin + std::chrono::duration_cast<TClock::duration>(
                                      std::chrono::duration<double, std::milli>(capMs));
    const auto outcome = finder.Search({table.x, table.y}, route, [&] { return TClock::now() > deadline; });
    const double ms = Milliseconds(TClock::now() - begin);
    return outcome == TReferenceRouteFinder::TOutcome::Stopped ? -1.0 : ms;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(std::lround(fraction * static_cast<double>(values.size() - 1)));
    return values[std::min(at, values.size() - 1)];
}

// A family of positions a track file can hold that the search finds hard.
struct THardFamily {
    const char* name;
    std::vector<TQuilloryTable> positions;
};

// A corridor `width` cells wide winding inwards from the rectangle's edge, clockwise,
// with walls one cell thick between its turns.
TQuilloryTable Spiral(int left, int top, int w, int h, int width) {
    TQuilloryTable table;
    auto carve = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                table.SetCell(x, y, true);
    };
    int l = left, t = top, r = left + w - 1, b = top + h - 1;
    for (bool first = true; l <= r && t <= b; first = false) {
        carve(first ? l : l - width - 1, t, r, std::min(t + width - 1, b));
        carve(std::max(l, r - width + 1), t, r, b);
        carve(l, std::max(t, b - width + 1), r, b);
        carve(l, t + width + 1, std::min(l + width - 1, r), b);
        l += width + 1;
        t += width + 1;
        r -= width + 1;
        b -= width + 1;
    }
    return table;
}

// The fixed families of hard positions, from seed 2024.
std::vector<THardFamily> HardFamilies() {
    std::mt19937 rng(2024);
    const TQuilloryTable board = FilledRectangle(0, 0, kBoardColumns, kBoardRows);
    const TQuilloryTable inner = FilledRectangle(1, 1, kBoardColumns - 2, kBoardRows - 2);
    constexpr int kPerFamily = 24;
    std::vector<THardFamily> families = {
        {"whole board", {}},  {"inner area", {}},        {"board, holes", {}},
        {"inner, holes", {}}, {"no route, colours", {}}, {"walled halves", {}},
        {"spirals", {}},      {"board, 1-3 holes", {}},  {"patterned boards", {}}};
    for (int i = 0; i < kPerFamily; ++i) {
        families[0].positions.push_back(WithRandomStart(board, rng));
        families[1].positions.push_back(WithRandomStart(inner, rng));
        families[2].positions.push_back(
            WithHoles(WithRandomStart(board, rng), 1 + static_cast<int>(rng() % 4), rng));
        families[3].positions.push_back(
            WithHoles(WithRandomStart(inner, rng), 1 + static_cast<int>(rng() % 4), rng));
        // One cell of the player's colour missing from an even board: the player's
        // colour is short by two, so no route exists.
        for (;;) {
            TQuilloryTable t = WithRandomStart(i % 2 == 0 ? board : inner, rng);
            const TBoardPoint hole = RandomPresentCell(t, rng);
            if ((hole.x + hole.y) % 2 != (t.x + t.y) % 2 || (hole.x == t.x && hole.y == t.y))
                continue;
            t.SetCell(hole.x, hole.y, false);
            families[4].positions.push_back(t);
            break;
        }
        // A wall across the board with one or two gaps, and a few holes.
        {
            TQuilloryTable t = i % 2 == 0 ? board : inner;
            const int column = 4 + static_cast<int>(rng() % 10);
            for (int y = 0; y < kBoardRows; ++y)
                t.SetCell(column, y, false);
            const int gaps = 1 + static_cast<int>(rng() % 2);
            for (int g = 0; g < gaps; ++g)
                t.SetCell(column, 1 + static_cast<int>(rng() % (kBoardRows - 2)), true);
            t = WithRandomStart(t, rng);
            families[5].positions.push_back(WithHoles(t, static_cast<int>(rng() % 3), rng));
        }
        {
            const bool whole = i % 2 == 0;
            const int width = 1 + static_cast<int>(i / 2 % 2);
            const TQuilloryTable t = whole ? Spiral(0, 0, kBoardColumns, kBoardRows, width)
                                           : Spiral(1, 1, kBoardColumns - 2, kBoardRows - 2, width);
            families[6].positions.push_back(WithRandomStart(t, rng));
        }
    }
    // Near-full boards are where the exact test is largest: a larger sample of them.
    for (int i = 0; i < 10 * kPerFamily; ++i)
        families[7].positions.push_back(
            WithHoles(WithRandomStart(board, rng), 1 + static_cast<int>(rng() % 3), rng));
    // Boards walled into rooms, combs and lattices, where parts of the board meet in
    // narrow places: a larger sample too.
    for (int i = 0; i < 10 * kPerFamily; ++i)
        families[8].positions.push_back(WithRandomStart(PatternedBoard(i % 5, rng), rng));
    return families;
}

// Times every hard position (best of `runs`), prints each family's median, p99 and
// slowest, and writes each family's slowest position into `trackDir` when one is given.
void TimeHardFamilies(int runs, const char* trackDir) {
    std::printf(
        "Hard positions (seed 2024, 24 per family, 240 in the last two; best of %d runs each; target: "
        "every one at most 100 ms)\n",
        runs);
    std::printf("%-18s %7s %9s %9s %9s %7s %10s\n", "family", "routes", "median", "p99", "slowest", "exact",
                "states");
    double overall = 0;
    int familyNumber = 0;
    for (const THardFamily& family : HardFamilies()) {
        std::vector<double> times;
        int routes = 0;
        size_t slowestAt = 0;
        TRouteFinder::TStats slowestStats;
        for (size_t i = 0; i < family.positions.size(); ++i) {
            bool found = false;
            TRouteFinder::TStats stats;
            times.push_back(FastSearch(family.positions[i], runs, found, &stats));
            routes += found ? 1 : 0;
            if (times.back() >= times[slowestAt]) {
                slowestAt = i;
                slowestStats = stats;
            }
        }
        overall = std::max(overall, times[slowestAt]);
        std::printf("%-18s %4d/%-2zu %9.2f %9.2f %9.2f %7d %10llu\n", family.name, routes, times.size(),
                    Percentile(times, 0.5), Percentile(times, 0.99), times[slowestAt],
                    slowestStats.exactTests, static_cast<unsigned long long>(slowestStats.exactStates));
        if (trackDir != nullptr)
            WriteTrack(std::string(trackDir) + "/hard" + std::to_string(familyNumber) + ".track",
                       family.positions[slowestAt]);
        ++familyNumber;
    }
    std::printf("slowest hard position: %.2f ms (target 100 ms)\n", overall);
}

// Writes every hard position into `trackDir`, numbered in order, for comparing finders.
void WriteEveryHardTrack(const char* trackDir) {
    int number = 0;
    for (const THardFamily& family : HardFamilies())
        for (const TQuilloryTable& position : family.positions)
            WriteTrack(std::string(trackDir) + "/family" + std::to_string(number++) + ".track", position);
}

// Times the search from the start of every built-in table against the plain search
// (abandoned after `capMs`) and prints a line per table and the totals.
void TimeTableStarts(const std::vector<TQuilloryTable>& tables, int runs, double capMs) {
    std::printf(
        "Route search from the start of each table (fast: best of %d runs; "
        "plain search capped at %.0f ms)\n",
        runs, capMs);
    std::printf("%5s %6s %10s %12s %10s %7s %10s\n", "table", "cells", "fast ms", "plain ms", "ratio",
                "exact", "states");
    double total = 0, worst = 0;
    for (int t = 0; t < kBuiltInTableCount; ++t) {
        bool found = false;
        TRouteFinder::TStats stats;
        const double fast = FastSearch(tables[t], runs, found, &stats);
        const double plain = ReferenceSearch(tables[t], capMs);
        total += fast;
        worst = std::max(worst, fast);
        char plainText[32], ratioText[32];
        if (plain < 0) {
            std::snprintf(plainText, sizeof plainText, "> %.0f", capMs);
            std::snprintf(ratioText, sizeof ratioText, "> %.0f", capMs / std::max(fast, 1e-3));
        } else {
            std::snprintf(plainText, sizeof plainText, "%.2f", plain);
            std::snprintf(ratioText, sizeof ratioText, "%.1f", plain / std::max(fast, 1e-3));
        }
        std::printf("%5d %6d %10.2f %12s %10s %7d %10llu%s\n", t, CountPresentCells(tables[t]), fast,
                    plainText, ratioText, stats.exactTests,
                    static_cast<unsigned long long>(stats.exactStates), found ? "" : "  (no route)");
    }
    std::printf(
        "all fifty tables: %.1f ms in total (target 30 ms), slowest %.2f ms "
        "(target 3 ms per table)\n",
        total, worst);
}

// Plays up to `moves` random legal moves on `table`, stopping where the player is stuck.
void PlayRandomMoves(TQuilloryTable& table, int moves, std::mt19937& rng) {
    static const int dx[4] = {0, 1, 0, -1};
    static const int dy[4] = {-1, 0, 1, 0};
    for (int m = 0; m < moves; ++m) {
        int options[4], count = 0;
        for (int d = 0; d < 4; ++d)
            if (table.IsPresent(table.x + dx[d], table.y + dy[d]))
                options[count++] = d;
        if (count == 0)
            break;
        const int d = options[rng() % count];
        MovePlayer(table, dx[d], dy[d]);
    }
}

// Positions from random legal play: a few to a hundred moves into a built-in table.
void TimeRandomPlay(const std::vector<TQuilloryTable>& tables, int runs, std::mt19937& rng) {
    std::vector<double> times;
    int withRoute = 0;
    while (times.size() < 1000) {
        TQuilloryTable table = tables[rng() % tables.size()];
        PlayRandomMoves(table, 3 + static_cast<int>(rng() % 98), rng);
        bool found = false;
        times.push_back(FastSearch(table, runs, found));
        withRoute += found ? 1 : 0;
    }
    const double slowest = *std::max_element(times.begin(), times.end());
    std::printf(
        "1000 positions from random play (seed 12345; %d with a route; best of %d "
        "runs each): median %.3f ms, p99 %.2f ms (target 1 ms), slowest %.2f ms "
        "(target 10 ms)\n",
        withRoute, runs, Percentile(times, 0.5), Percentile(times, 0.99), slowest);
}

// Positions that still have a route: a few to a hundred moves along a table's route.
void TimeAlongRoutes(const std::vector<TQuilloryTable>& tables, std::mt19937& rng) {
    std::vector<double> along;
    while (along.size() < 1000) {
        TQuilloryTable table = tables[rng() % tables.size()];
        std::vector<TPoint> route;
        TRouteFinder finder;
        FillBoardFromTable(finder.board, table);
        if (!finder.FindRoute({table.x, table.y}, route))
            continue;
        const size_t moves = std::min<size_t>(3 + rng() % 98, route.size() - 1);
        for (size_t m = 1; m <= moves; ++m)
            MovePlayer(table, route[m].x - table.x, route[m].y - table.y);
        bool found = false;
        along.push_back(FastSearch(table, 1, found));
    }
    std::printf(
        "1000 positions along the tables' routes (all with a route): median %.3f ms, "
        "p99 %.2f ms, slowest %.2f ms\n",
        Percentile(along, 0.5), Percentile(along, 0.99), *std::max_element(along.begin(), along.end()));
}

}  // namespace

// route_bench [plain-search cap in ms] [runs] [hard | hard-only | tracks] [directory for
// the slowest hard positions' tracks, or with "tracks" for every hard position's]
int main(int argc, char** argv) {
    const double capMs = argc > 1 ? std::atof(argv[1]) : 500.0;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const std::string hard = argc > 3 ? argv[3] : "hard";
    const char* trackDir = argc > 4 ? argv[4] : nullptr;
    if (hard == "tracks" && trackDir != nullptr) {
        WriteEveryHardTrack(trackDir);
        return 0;
    }
    if (hard == "hard-only") {
        TimeHardFamilies(runs, trackDir);
        return 0;
    }
    const auto tables = BuildTables();
    TimeTableStarts(tables, runs, capMs);
    std::mt19937 rng(12345);
    TimeRandomPlay(tables, runs, rng);
    TimeAlongRoutes(tables, rng);
    if (hard == "hard")
        TimeHardFamilies(runs, trackDir);
    return 0;
}
