#include "route/route_finder.h"

#include <algorithm>

#include "route/path_oracle.h"
#include "route/path_search.h"

namespace {

using path_search::MayHavePath;
using path_search::SearchPath;
using path_search::TOrder;
using path_search::TSearch;

// Neighbours the first quick search of a question may look at. Without a known route:
// enough to walk a whole route with a little backtracking. With one, the exact test
// usually costs about what it did before, so the search only lays out a short path to
// ask about, unless it meets the end of the route on the way.
int SearchBudget(int count, bool knowRoute) {
    return knowRoute ? std::min(count, 24) : 2 * count + 50;
}

// States the exact test may compute for each neighbour the quick search was allowed:
// about what the two cost in time.
constexpr uint64_t kStatesPerLookUp = 256;

// Length of the first prefix asked about when looking for the longest completable one.
constexpr int kFirstPrefix = 4;

// Takes cells out of a board for the length of one question and puts them back after.
class TTakenOut {
public:
    TTakenOut(uint8_t* board, const int* cells, size_t count)
        : board(board), cells(cells), count(count) {
        for (size_t i = 0; i < count; ++i)
            board[cells[i]] = 0;
    }
    ~TTakenOut() {
        for (size_t i = 0; i < count; ++i)
            board[cells[i]] = 1;
    }
    TTakenOut(const TTakenOut&) = delete;
    TTakenOut& operator=(const TTakenOut&) = delete;

private:
    uint8_t* board;
    const int* cells;
    size_t count;
};

}  // namespace

// The walk that builds the first route. The route sought takes, at every cell, the
// earliest direction from which the rest of the board can still be cleared. The walk
// keeps a known route from its cell (a certificate: some completion, not necessarily
// the first); while the earliest direction that passes the quick necessary tests is the
// certificate's next step, that step is right without further proof. Where an earlier
// direction passes them, a bounded depth-first search in direction order from there
// either finds the rest of the route (the first one, so the walk is over), proves the
// direction wrong, or gives up on a path; then the exact test finds how much of that
// path can still be completed, and every step of that part is right. Without a known
// route (at the start) the same questions are asked; the first exact test that
// succeeds gives one. When every direction from the start is ruled out, there is none.
class TRouteFinder::TWalk {
public:
    TWalk(const std::vector<int32_t>& board, TPathOracle& oracle, TStats& stats)
        : oracle(oracle), stats(stats) {
        for (int i = 0; i < kBoardCells; ++i) {
            rest[i] = board[i] == 1 ? 1 : 0;
            remaining += rest[i];
        }
    }

    // The first route from `start`, a present cell, as board indices; false when none.
    bool Run(int start, std::vector<int>& route);

private:
    TPathOracle& oracle;
    TStats& stats;
    uint8_t rest[kBoardCells];  // the cells not yet walked, the current one included
    int remaining = 0;
    std::vector<int> path;       // walked so far; the current cell is the last
    std::vector<int> known;      // a route from the current cell over `rest`, or empty
    uint32_t ruledOut = 0;       // directions from the current cell that cannot be it
    uint64_t largestSweep = 0;   // states of the largest exact test answered so far

    int Current() const { return path.back(); }
    int EarliestOpenDirection();
    bool FollowsKnownRoute(int direction) const {
        return known.size() > 1 && NeighbourCell(Current(), direction) == known[1];
    }
    void Advance(int next);
    void AdvanceAlong(const std::vector<int>& prefix, int length);
    void Finish(const std::vector<int>& tail);
    enum class TAnswer { Yes, No, Stopped };
    bool Question(int direction);
    int LongestCompletablePrefix(const std::vector<int>& prefix);
    TAnswer Completable(const std::vector<int>& prefix, int length, std::vector<int>& witness);
    // Counts the exact test just asked; false when it stopped at its limit.
    bool Count() {
        stats.exactStates += oracle.LastComputedStates();
        if (oracle.LastStopped())
            return false;
        largestSweep = std::max(largestSweep,
                                oracle.LastComputedStates() + oracle.LastReusedStates());
        return true;
    }
};

bool TRouteFinder::TWalk::Run(int start, std::vector<int>& route) {
    path.assign(1, start);
    if (remaining > 1 && !MayHavePath(rest, remaining, start))
        return false;
    while (remaining > 1) {
        const int direction = EarliestOpenDirection();
        if (direction < 0)
            return false;
        if (FollowsKnownRoute(direction)) {
            Advance(known[1]);
            continue;
        }
        if (Question(direction))
            break;
    }
    route = path;
    return true;
}

// The earliest direction from the current cell, not ruled out, whose cell passes the
// quick tests for the rest of the board; -1 when there is none.
int TRouteFinder::TWalk::EarliestOpenDirection() {
    const int current = Current();
    const TTakenOut here(rest, &current, 1);
    for (int d = 0; d < kDirectionCount; ++d) {
        const int target = NeighbourCell(current, d);
        if (target < 0 || rest[target] == 0 || (ruledOut & (1u << d)) != 0)
            continue;
        // The known route's step passes the quick tests without asking them.
        if ((known.size() > 1 && target == known[1]) ||
            MayHavePath(rest, remaining - 1, target))
            return d;
    }
    return -1;
}

void TRouteFinder::TWalk::Advance(int next) {
    rest[Current()] = 0;
    --remaining;
    path.push_back(next);
    ruledOut = 0;
    if (known.size() > 1 && known[1] == next)
        known.erase(known.begin());
    else
        known.clear();
}

// Walks prefix[1..length]; prefix[0] is the current cell.
void TRouteFinder::TWalk::AdvanceAlong(const std::vector<int>& prefix, int length) {
    for (int i = 1; i <= length; ++i)
        Advance(prefix[i]);
}

// The route ends with `tail`, which begins at the current cell.
void TRouteFinder::TWalk::Finish(const std::vector<int>& tail) {
    path.insert(path.end(), tail.begin() + 1, tail.end());
    remaining = 1;
}

// Decides the step in `direction`, the earliest one left that passes the quick tests
// and is not the known route's: rules it out, or walks as far along it as is sure.
// Returns true when that finished the whole route. The quick search and the exact test
// take turns, each allowed twice the work of its turn before, so that the question
// costs about what the cheaper of the two needs.
bool TRouteFinder::TWalk::Question(int direction) {
    const int current = Current();
    const int target = NeighbourCell(current, direction);
    for (int budget = SearchBudget(remaining - 1, !known.empty());; budget *= 2) {
        std::vector<int> found, reached;
        TSearch outcome;
        {
            const TTakenOut here(rest, &current, 1);
            stats.searchBudgetUsed += budget;
            outcome = SearchPath(rest, remaining - 1, target, budget, TOrder::Directions,
                                 found, &reached);
        }
        if (outcome == TSearch::Found) {
            // Every earlier direction is ruled out; the search's first path is the first.
            found.insert(found.begin(), current);
            Finish(found);
            return true;
        }
        if (outcome == TSearch::None) {
            ruledOut |= 1u << direction;
            return false;
        }
        // An exact test as large as one already answered is let run to its end.
        oracle.SetStateLimit(
            std::max(kStatesPerLookUp * static_cast<uint64_t>(budget), 2 * largestSweep));
        reached.insert(reached.begin(), current);
        const int length = LongestCompletablePrefix(reached);
        if (length == 0)
            ruledOut |= 1u << direction;
        if (length >= 0)
            return false;
    }
}

// Finds the longest length L such that the rest of the board can be cleared after
// walking prefix[1..L], walks it, and keeps the exact test's route from prefix[L] as the
// known route; returns L (0: not even the first step can be completed), or -1 when the
// exact test stopped before it had shown any length to work. Grows from kFirstPrefix by
// doubling while it works, then halves the gap to the shortest length known to fail.
int TRouteFinder::TWalk::LongestCompletablePrefix(const std::vector<int>& prefix) {
    const int longest = static_cast<int>(prefix.size()) - 1;
    int good = 0;
    int bad = longest + 1;
    std::vector<int> witness, goodWitness;
    int length = std::min(kFirstPrefix, longest);
    while (bad - good > 1) {
        const TAnswer answer = Completable(prefix, length, witness);
        if (answer == TAnswer::Stopped) {
            if (good == 0)
                return -1;
            break;
        }
        if (answer == TAnswer::Yes) {
            good = length;
            goodWitness.swap(witness);
            length = bad > longest ? std::min(2 * good, longest) : good + (bad - good) / 2;
            if (length == good)
                length = good + 1;
        } else {
            bad = length;
            length = good + (bad - good) / 2;
        }
        if (length >= bad)
            break;
    }
    if (good > 0) {
        AdvanceAlong(prefix, good);
        known.swap(goodWitness);
    }
    return good;
}

// Whether the board can be cleared from prefix[length] once prefix[0..length-1] are
// walked; `witness` then holds such a route from prefix[length].
TRouteFinder::TWalk::TAnswer TRouteFinder::TWalk::Completable(const std::vector<int>& prefix,
                                                              int length,
                                                              std::vector<int>& witness) {
    witness.clear();
    const int end = prefix[length];
    if (remaining - length <= 1) {
        witness.push_back(end);
        return TAnswer::Yes;
    }
    const TTakenOut walked(rest, prefix.data(), static_cast<size_t>(length));
    ++stats.exactTests;
    const bool works = oracle.HasPath(rest, CellColumn(end), CellRow(end));
    if (!Count())
        return TAnswer::Stopped;
    if (!works)
        return TAnswer::No;
    oracle.Witness(witness);
    return TAnswer::Yes;
}

TRouteFinder::TRouteFinder()
    : board(kBoardCells, 0),
      neighbours(kBoardCells, 0),
      oracle(std::make_unique<TPathOracle>()) {}

TRouteFinder::~TRouteFinder() = default;

void TRouteFinder::CountNeighbours() {
    for (int i = 0; i < kBoardCells; ++i) {
        neighbours[i] = 0;
        if (board[i] != 1)
            continue;
        for (int d = 0; d < kDirectionCount; ++d) {
            const int n = NeighbourCell(i, d);
            if (n >= 0 && board[n] == 1)
                ++neighbours[i];
        }
    }
}

bool TRouteFinder::FindRoute(TPoint start, std::vector<TPoint>& route) {
    stats = TStats{};
    if (!IsOnBoard(start.x, start.y) || static_cast<int>(board.size()) != kBoardCells ||
        static_cast<int>(neighbours.size()) != kBoardCells)
        return false;
    CountNeighbours();
    const int startCell = CellIndex(start.x, start.y);
    if (board[startCell] != 1)
        return false;
    TWalk walk(board, *oracle, stats);
    std::vector<int> cells;
    if (!walk.Run(startCell, cells))
        return false;
    route.resize(cells.size());
    for (size_t i = 0; i < cells.size(); ++i)
        route[i] = {CellColumn(cells[i]), CellRow(cells[i])};
    return true;
}

void FillBoardFromTable(std::vector<int32_t>& board, const TQuilloryTable& table) {
    board.assign(kBoardCells, 0);
    for (int i = 0; i < kBoardCells; ++i)
        board[i] = table.cells[i] != 0 ? 1 : 0;
}
