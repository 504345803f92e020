// Looks for the positions that cost the route finder most: an annealing search over track
// positions (cells toggled, holes and walls moved, the start moved) from many kinds of
// starting boards, maximising the finder's work and then its time. Prints the slowest
// positions found with their time, work and peak memory, and writes them as track files.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "game/track_file.h"
#include "route/path_oracle.h"
#include "route/route_finder.h"
#include "route_positions.h"
#include "tests/support/route_test_support.h"

namespace {

using namespace route_positions;
using TClock = std::chrono::steady_clock;

// What one search from a position cost.
struct TCost {
    uint64_t work = 0;  // states of the exact tests and neighbours of the quick searches
    double ms = 0;
    int exactTests = 0;
    bool found = false;
};

TCost Measure(const TQuilloryTable& table, int runs) {
    TCost cost;
    cost.ms = 1e300;
    for (int run = 0; run < runs; ++run) {
        TRouteFinder finder;
        FillBoardFromTable(finder.board, table);
        std::vector<TRouteFinder::TPoint> route;
        const auto begin = TClock::now();
        cost.found = finder.FindRoute({table.x, table.y}, route);
        cost.ms = std::min(cost.ms, std::chrono::duration<double, std::milli>(TClock::now() - begin).count());
        cost.work = finder.Stats().exactStates + static_cast<uint64_t>(finder.Stats().searchBudgetUsed);
        cost.exactTests = finder.Stats().exactTests;
    }
    return cost;
}

// Peak memory in MB one search from `table` adds to the process.
double PeakMegabytes(const TQuilloryTable& table) {
    bench::ResetPeak();
    const double before = bench::ResidentBytes();
    Measure(table, 1);
    return (bench::PeakBytes() - before) / (1024.0 * 1024.0);
}

// The annealing maximises work first; time breaks ties and guides where there is none.
double Energy(const TCost& cost) {
    return std::log(1.0 + static_cast<double>(cost.work)) + 0.05 * std::log(1.0 + 1000.0 * cost.ms);
}

// A wall column with a few doors beside full columns, with the outer ring nearly full and
// a few holes gathered near the wall: the shape that costs the exact test most.
TQuilloryTable WallWithDoors(std::mt19937& rng) {
    TQuilloryTable table = FilledRectangle(0, 0, kBoardColumns, kBoardRows);
    const int column = 2 + RandomBelow(rng, kBoardColumns - 4);
    for (int y = 1; y < kBoardRows - 1; ++y)
        table.SetCell(column, y, false);
    for (int doors = 1 + RandomBelow(rng, 3); doors > 0; --doors)
        table.SetCell(column, 1 + RandomBelow(rng, kBoardRows - 2), true);
    for (int holes = RandomBelow(rng, 8); holes > 0; --holes)
        table.SetCell(column + RandomBelow(rng, 3) - 1, 1 + RandomBelow(rng, kBoardRows - 2), false);
    return table;
}

// A built-in table a few to a hundred legal moves in.
TQuilloryTable AfterRandomPlay(std::mt19937& rng) {
    static const std::vector<TQuilloryTable> tables = BuildTables();
    TQuilloryTable table = tables[static_cast<size_t>(RandomBelow(rng, static_cast<int>(tables.size())))];
    for (int moves = 3 + RandomBelow(rng, 98); moves > 0; --moves) {
        int options[kDirectionCount], count = 0;
        for (int d = 0; d < kDirectionCount; ++d)
            if (table.IsPresent(table.x + kStepX[d], table.y + kStepY[d]))
                options[count++] = d;
        if (count == 0)
            break;
        const int d = options[RandomBelow(rng, count)];
        MovePlayer(table, kStepX[d], kStepY[d]);
    }
    return table;
}

constexpr int kFamilyCount = 7;
const char* const kFamilyNames[kFamilyCount] = {"board, holes", "wall, doors", "patterned", "inner, holes",
                                                "rectangle",    "random play", "empty ring"};

// A starting position of family `family`, with the player on a present cell.
TQuilloryTable StartingPosition(int family, std::mt19937& rng) {
    TQuilloryTable table;
    switch (family) {
    case 0:
        table = WithHoles(FilledRectangle(0, 0, kBoardColumns, kBoardRows), 1 + RandomBelow(rng, 6), rng);
        break;
    case 1: table = WallWithDoors(rng); break;
    case 2: table = PatternedBoard(RandomBelow(rng, 5), rng); break;
    case 3:
        table = WithHoles(FilledRectangle(1, 1, kBoardColumns - 2, kBoardRows - 2), RandomBelow(rng, 6), rng);
        break;
    case 4: {
        const int w = 4 + RandomBelow(rng, kBoardColumns - 3), h = 4 + RandomBelow(rng, kBoardRows - 3);
        table = WithHoles(FilledRectangle(RandomBelow(rng, kBoardColumns + 1 - w),
                                          RandomBelow(rng, kBoardRows + 1 - h), w, h),
                          RandomBelow(rng, 5), rng);
        break;
    }
    case 5: return AfterRandomPlay(rng);
    default: {
        table = PatternedBoard(RandomBelow(rng, 5), rng);
        for (int x = 0; x < kBoardColumns; ++x)
            table.SetCell(x, 0, false), table.SetCell(x, kBoardRows - 1, false);
        for (int y = 0; y < kBoardRows; ++y)
            table.SetCell(0, y, false), table.SetCell(kBoardColumns - 1, y, false);
        break;
    }
    }
    if (CountPresentCells(table) == 0)
        table.SetCell(5, 5, true);
    return WithRandomStart(table, rng);
}

// One random change: a cell toggled, a hole moved to a neighbour, a door moved along its
// column, a whole column or row swapped with its neighbour (a wall moved), or the start
// moved. The player always stands on a present cell.
TQuilloryTable Mutate(TQuilloryTable table, std::mt19937& rng) {
    const int x = RandomBelow(rng, kBoardColumns), y = RandomBelow(rng, kBoardRows);
    switch (RandomBelow(rng, 6)) {
    case 0:
    case 1:
        if (x != table.x || y != table.y)
            table.SetCell(x, y, !table.IsPresent(x, y));
        break;
    case 2: {  // a hole or a cell moves one step
        const int d = RandomBelow(rng, kDirectionCount);
        const int nx = x + kStepX[d], ny = y + kStepY[d];
        if (IsOnBoard(nx, ny) && !(x == table.x && y == table.y) && !(nx == table.x && ny == table.y)) {
            const bool here = table.IsPresent(x, y);
            table.SetCell(x, y, table.IsPresent(nx, ny));
            table.SetCell(nx, ny, here);
        }
        break;
    }
    case 3: {  // a column (or row) swaps with the next one
        const bool columns = RandomBelow(rng, 2) == 0;
        const int a = columns ? RandomBelow(rng, kBoardColumns - 1) : RandomBelow(rng, kBoardRows - 1);
        if (columns && table.x != a && table.x != a + 1)
            for (int r = 0; r < kBoardRows; ++r) {
                const bool here = table.IsPresent(a, r);
                table.SetCell(a, r, table.IsPresent(a + 1, r));
                table.SetCell(a + 1, r, here);
            }
        if (!columns && table.y != a && table.y != a + 1)
            for (int c = 0; c < kBoardColumns; ++c) {
                const bool here = table.IsPresent(c, a);
                table.SetCell(c, a, table.IsPresent(c, a + 1));
                table.SetCell(c, a + 1, here);
            }
        break;
    }
    case 4: {  // the start moves to a neighbour
        const int d = RandomBelow(rng, kDirectionCount);
        if (table.IsPresent(table.x + kStepX[d], table.y + kStepY[d])) {
            table.x += kStepX[d];
            table.y += kStepY[d];
        }
        break;
    }
    default: table = WithRandomStart(table, rng); break;
    }
    return table;
}

// Whether the finder's answer for `table` is the first route of the depth-first search,
// by the sweep alone, asked afresh without limits and apart from the finder's walk: the
// route must clear the board, and wherever it steps no earlier direction may leave a
// board with a path from that neighbour. Without a route, no first step may have one.
bool FirstRouteConfirmed(const TQuilloryTable& table) {
    TRouteFinder finder;
    FillBoardFromTable(finder.board, table);
    std::vector<TRouteFinder::TPoint> route;
    const bool found = finder.FindRoute({table.x, table.y}, route);
    uint8_t left[kBoardCells];
    int count = 0;
    for (int i = 0; i < kBoardCells; ++i)
        count += left[i] = table.cells[i] != 0 ? 1 : 0;
    if (!IsOnBoard(table.x, table.y) || left[CellIndex(table.x, table.y)] == 0)
        return !found;
    if (!found && count == 1)
        return false;
    if (!found)
        route.assign(1, {table.x, table.y});
    else if (!route_test::RouteProblem(table, route).empty())
        return false;
    TPathOracle oracle;
    for (size_t i = 0; i < route.size(); ++i) {
        const int cell = CellIndex(route[i].x, route[i].y);
        left[cell] = 0;
        --count;
        const int next = i + 1 < route.size() ? CellIndex(route[i + 1].x, route[i + 1].y) : -1;
        for (int d = 0; d < kDirectionCount && (next >= 0 || !found); ++d) {
            const int n = NeighbourCell(cell, d);
            if (n == next)
                break;
            if (n >= 0 && left[n] != 0 && (count == 1 || oracle.HasPath(left, CellColumn(n), CellRow(n))))
                return false;
        }
    }
    return true;
}

struct TFound {
    TQuilloryTable table;
    TCost cost;
    int family = 0;
};

// Keeps the `size` slowest positions, each once.
void Keep(std::vector<TFound>& slowest, const TFound& found, size_t size) {
    for (TFound& f : slowest)
        if (f.table == found.table) {
            f.cost.ms = std::min(f.cost.ms, found.cost.ms);
            return;
        }
    slowest.push_back(found);
    std::sort(slowest.begin(), slowest.end(),
              [](const TFound& a, const TFound& b) { return a.cost.ms > b.cost.ms; });
    if (slowest.size() > size)
        slowest.pop_back();
}

// Writes `count` positions (starting positions of every family and random changes of
// them) as track files into `directory`.
void WritePositions(int count, unsigned seed, const std::string& directory) {
    std::mt19937 rng(seed);
    TQuilloryTable table;
    for (int i = 0; i < count; ++i) {
        table = i % 8 == 0 ? StartingPosition(i / 8 % kFamilyCount, rng) : Mutate(table, rng);
        WriteTrack(directory + "/p" + std::to_string(i) + ".track", table);
    }
}

// Confirms the finder's answer for every track file; 0 when all are confirmed.
int VerifyTracks(int count, char** names) {
    int confirmed = 0, routes = 0;
    for (int i = 0; i < count; ++i) {
        std::vector<std::string> lines;
        TQuilloryTable table;
        if (!ReadLines(names[i], lines) || !TableFromTrackLines(lines, table)) {
            std::printf("%s: unreadable\n", names[i]);
            continue;
        }
        const bool ok = FirstRouteConfirmed(table);
        confirmed += ok ? 1 : 0;
        routes += Measure(table, 1).found ? 1 : 0;
        if (!ok)
            std::printf("%s: NOT the first route\n", names[i]);
    }
    std::printf("%d of %d positions (%d with a route) confirmed by the sweep alone\n", confirmed, count,
                routes);
    return confirmed == count ? 0 : 1;
}

// Prints each track's time (best of five), work, exact tests and peak memory, and the
// totals; 0 when every track was readable.
int MeasureTracks(int count, char** names) {
    double totalMs = 0, slowestMs = 0, peak = 0;
    uint64_t totalWork = 0;
    for (int i = 0; i < count; ++i) {
        std::vector<std::string> lines;
        TQuilloryTable table;
        if (!ReadLines(names[i], lines) || !TableFromTrackLines(lines, table)) {
            std::printf("%s: unreadable\n", names[i]);
            return 1;
        }
        const TCost cost = Measure(table, 5);
        const double megabytes = PeakMegabytes(table);
        std::printf("%9.2f ms %11llu work %5d exact %7.1f MB  %s\n", cost.ms,
                    static_cast<unsigned long long>(cost.work), cost.exactTests, megabytes, names[i]);
        totalMs += cost.ms;
        slowestMs = std::max(slowestMs, cost.ms);
        totalWork += cost.work;
        peak = std::max(peak, megabytes);
    }
    std::printf("%d positions: %.2f ms in all, slowest %.2f ms, work %llu, peak %.1f MB\n", count, totalMs,
                slowestMs, static_cast<unsigned long long>(totalWork), peak);
    return 0;
}

constexpr size_t kKept = 12;

// One chain of the annealing from a starting position of `family`: changes are kept when
// they cost more, or by chance when they cost less, less often as the chain cools. The
// slowest positions met go into `slowest`; returns the chain's most costly one.
TFound Chain(int family, std::mt19937& rng, double deadline, const std::function<double()>& elapsed,
             std::vector<TFound>& slowest, long& evaluations) {
    constexpr int kStepsPerChain = 1500;
    TFound current{StartingPosition(family, rng), {}, family};
    current.cost = Measure(current.table, 1);
    TFound best = current;
    for (int step = 0; step < kStepsPerChain && elapsed() < deadline; ++step) {
        const double temperature = 1.0 * (1.0 - static_cast<double>(step) / kStepsPerChain) + 0.02;
        TFound next{Mutate(current.table, rng), {}, family};
        for (int more = RandomBelow(rng, 3); more > 0; --more)
            next.table = Mutate(next.table, rng);
        next.cost = Measure(next.table, 1);
        ++evaluations;
        const double gain = Energy(next.cost) - Energy(current.cost);
        if (gain >= 0 || std::uniform_real_distribution<double>(0, 1)(rng) < std::exp(gain / temperature))
            current = next;
        if (Energy(current.cost) > Energy(best.cost))
            best = current;
        if (slowest.size() < kKept || next.cost.ms > slowest.back().cost.ms)
            Keep(slowest, {next.table, Measure(next.table, 3), family}, kKept);
    }
    return best;
}

// The kept positions again, best of five each, slowest first, each confirmed apart, and
// written as track files into `trackDir` when given.
void PrintSlowest(std::vector<TFound>& slowest, unsigned seed, const char* trackDir) {
    for (TFound& f : slowest)
        f.cost = Measure(f.table, 5);
    std::sort(slowest.begin(), slowest.end(),
              [](const TFound& a, const TFound& b) { return a.cost.ms > b.cost.ms; });
    std::printf("\n%4s %-13s %9s %11s %6s %9s %6s %10s\n", "rank", "family", "ms best5", "work", "exact",
                "peak MB", "route", "first");
    for (size_t i = 0; i < slowest.size(); ++i) {
        const TFound& f = slowest[i];
        std::printf("%4zu %-13s %9.2f %11llu %6d %9.1f %6s %10s\n", i + 1, kFamilyNames[f.family], f.cost.ms,
                    static_cast<unsigned long long>(f.cost.work), f.cost.exactTests, PeakMegabytes(f.table),
                    f.cost.found ? "yes" : "no", FirstRouteConfirmed(f.table) ? "confirmed" : "WRONG");
        if (trackDir != nullptr)
            WriteTrack(std::string(trackDir) + "/adv" + std::to_string(seed) + "_" + std::to_string(i + 1) +
                           ".track",
                       f.table);
    }
}

}  // namespace

// route_adversary [seconds] [seed] [directory for the slowest positions' tracks]
// route_adversary --write COUNT SEED DIRECTORY: writes COUNT positions (starting positions
// of every family and random changes of them) as track files, for comparing finders.
// route_adversary --verify TRACK...: confirms the finder's answers by the sweep alone.
// route_adversary --measure TRACK...: each track's time, work and peak memory.
int main(int argc, char** argv) {
    // Fixed thresholds: freed large blocks go back to the system, so that each position's
    // peak memory is its own and not what an earlier one left behind.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    if (argc > 1 && std::string(argv[1]) == "--write") {
        if (argc < 5)
            bench::Fail("route_adversary", "usage: --write COUNT SEED DIRECTORY");
        WritePositions(std::atoi(argv[2]), static_cast<unsigned>(std::atoi(argv[3])), argv[4]);
        return 0;
    }
    if (argc > 2 && std::string(argv[1]) == "--verify")
        return VerifyTracks(argc - 2, argv + 2);
    if (argc > 2 && std::string(argv[1]) == "--measure")
        return MeasureTracks(argc - 2, argv + 2);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 1;
    std::mt19937 rng(seed);
    std::printf("Adversarial search: %.0f s, seed %u; annealing on log(work) + 0.05 log(time)\n", seconds,
                seed);
    std::vector<TFound> slowest;
    long evaluations = 0;
    int chains = 0;
    double bestPerFamily[kFamilyCount] = {};
    const auto begin = TClock::now();
    const std::function<double()> elapsed = [&] {
        return std::chrono::duration<double>(TClock::now() - begin).count();
    };
    while (elapsed() < seconds) {
        const int family = chains++ % kFamilyCount;
        const TFound best = Chain(family, rng, seconds, elapsed, slowest, evaluations);
        bestPerFamily[family] = std::max(bestPerFamily[family], best.cost.ms);
    }
    std::printf("%ld positions in %d chains, %.0f s\n", evaluations, chains, elapsed());
    std::printf("slowest per starting family (one run):");
    for (int f = 0; f < kFamilyCount; ++f)
        std::printf(" %s %.2f ms;", kFamilyNames[f], bestPerFamily[f]);
    PrintSlowest(slowest, seed, argc > 3 ? argv[3] : nullptr);
    return 0;
}
