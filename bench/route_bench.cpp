// Times the route finder against the plain depth-first search: from the start of every
// built-in table, and from positions reached by random play. Prints its figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "route/reference_route_finder.h"
#include "route/route_finder.h"

namespace {

using TClock = std::chrono::steady_clock;
using TPoint = TRouteFinder::TPoint;

double Milliseconds(TClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Best of `runs` searches with a fresh finder each, as the game does it.
double FastSearch(const TQuilloryTable& table, int runs, bool& found,
                  TRouteFinder::TStats* stats = nullptr) {
    double best = 1e300;
    for (int run = 0; run < runs; ++run) {
        TRouteFinder finder;
        for (int i = 0; i < kBoardCells; ++i)
            finder.board[i] = table.cells[i] != 0 ? 1 : 0;
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
    for (int i = 0; i < kBoardCells; ++i)
        finder.board[i] = table.cells[i] != 0 ? 1 : 0;
    std::vector<TPoint> route;
    const auto begin = TClock::now();
    const auto deadline = begin + std::chrono::duration_cast<TClock::duration>(
                                      std::chrono::duration<double, std::milli>(capMs));
    const auto outcome =
        finder.Search({table.x, table.y}, route, [&] { return TClock::now() > deadline; });
    const double ms = Milliseconds(TClock::now() - begin);
    return outcome == TReferenceRouteFinder::TOutcome::Stopped ? -1.0 : ms;
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    const double capMs = argc > 1 ? std::atof(argv[1]) : 500.0;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    const auto tables = BuildTables();

    std::printf("Route search from the start of each table (fast: best of %d runs; "
                "plain search capped at %.0f ms)\n", runs, capMs);
    std::printf("%5s %6s %10s %12s %10s %7s %10s\n", "table", "cells", "fast ms", "plain ms",
                "ratio", "exact", "states");
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
        std::printf("%5d %6d %10.2f %12s %10s %7d %10llu%s\n", t, CountPresentCells(tables[t]),
                    fast, plainText, ratioText, stats.exactTests,
                    static_cast<unsigned long long>(stats.exactStates),
                    found ? "" : "  (no route)");
    }
    std::printf("all fifty tables: %.1f ms in total (target 100 ms), slowest %.2f ms "
                "(target 10 ms per table)\n", total, worst);

    // Positions from random legal play: a few to a hundred moves into a built-in table.
    std::mt19937 rng(12345);
    std::vector<double> times;
    int withRoute = 0;
    while (times.size() < 1000) {
        TQuilloryTable table = tables[rng() % tables.size()];
        const int moves = 3 + static_cast<int>(rng() % 98);
        for (int m = 0; m < moves; ++m) {
            static const int dx[4] = {0, 1, 0, -1};
            static const int dy[4] = {-1, 0, 1, 0};
            int options[4], count = 0;
            for (int d = 0; d < 4; ++d)
                if (table.IsPresent(table.x + dx[d], table.y + dy[d]))
                    options[count++] = d;
            if (count == 0)
                break;
            const int d = options[rng() % count];
            MovePlayer(table, dx[d], dy[d]);
        }
        bool found = false;
        times.push_back(FastSearch(table, 1, found));
        withRoute += found ? 1 : 0;
    }
    const double slowest = *std::max_element(times.begin(), times.end());
    std::printf("1000 positions from random play (seed 12345; %d with a route): "
                "median %.3f ms, p99 %.2f ms (target 10 ms), slowest %.2f ms (target 1000 ms)\n",
                withRoute, Percentile(times, 0.5), Percentile(times, 0.99), slowest);

    // Positions that still have a route: a few to a hundred moves along a table's route.
    std::vector<double> along;
    while (along.size() < 1000) {
        TQuilloryTable table = tables[rng() % tables.size()];
        std::vector<TPoint> route;
        TRouteFinder finder;
        for (int i = 0; i < kBoardCells; ++i)
            finder.board[i] = table.cells[i] != 0 ? 1 : 0;
        if (!finder.FindRoute({table.x, table.y}, route))
            continue;
        const size_t moves = std::min<size_t>(3 + rng() % 98, route.size() - 1);
        for (size_t m = 1; m <= moves; ++m)
            MovePlayer(table, route[m].x - table.x, route[m].y - table.y);
        bool found = false;
        along.push_back(FastSearch(table, 1, found));
    }
    std::printf("1000 positions along the tables' routes (all with a route): median %.3f ms, "
                "p99 %.2f ms, slowest %.2f ms\n",
                Percentile(along, 0.5), Percentile(along, 0.99),
                *std::max_element(along.begin(), along.end()));
    return 0;
}
