#include "route/route_finder.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "route/path_cover.h"
#include "route/path_oracle.h"
#include "route/path_search.h"

namespace {

using path_search::EnclosedPart;
using path_search::MayCrossEnclosedParts;
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

// Shortest first prefix asked about when looking for the longest completable one.
constexpr int kFirstPrefix = 4;

// Boards the search that asks the cover at every step may ask about when a sweep has
// stopped at `stateLimit` states: about an eighth of the sweep's time, within bounds.
int CoverSearchBudget(uint64_t stateLimit) {
    return static_cast<int>(std::clamp<uint64_t>(stateLimit / 2048, 16, 512));
}

// Cells a part beyond a cut cell, and the board before it, need for the exact test to
// ask about them separately.
constexpr int kSplitPart = 8;

// Neighbours the search for a route through a part beyond a cut cell may look at before
// the exact test decides: such parts are often dense, where a route is easy to find.
int PartSearchBudget(int count) {
    return 4 * count + 100;
}

// Takes cells out of a board for the length of one question and puts them back after.
class TTakenOut {
public:
    TTakenOut(uint8_t* board, const int* cells, size_t count) : board(board), cells(cells), count(count) {
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
// An exact test splits where the route must pass a cut cell into a part it cannot leave
// (ExactTest, SplitTest, PartTest), so that a dense board walled in two costs about what
// its halves cost, not their product.
class TRouteFinder::TWalk {
public:
    TWalk(const std::vector<int32_t>& board, TPathOracle& oracle, TPathOracle& partOracle, TStats& stats)
        : oracle(oracle), partOracle(partOracle), stats(stats) {
        for (int i = 0; i < kBoardCells; ++i) {
            rest[i] = board[i] == 1 ? 1 : 0;
            remaining += rest[i];
        }
    }

    // The first route from `start`, a present cell, as board indices; false when none.
    bool Run(int start, std::vector<int>& route);

private:
    TPathOracle& oracle;
    TPathOracle& partOracle;  // for parts beyond a cut cell, so that neither loses its layers
    TStats& stats;
    TPathCover cover;
    uint8_t rest[kBoardCells];  // the cells not yet walked, the current one included
    int remaining = 0;
    std::vector<int> path;      // walked so far; the current cell is the last
    std::vector<int> known;     // a route from the current cell over `rest`, or empty
    uint32_t ruledOut = 0;      // directions from the current cell that cannot be it
    uint64_t largestSweep = 0;  // states of the largest exact test answered so far
    // Whether the refutation by enclosed parts, asked when an exact test stopped at its
    // limit, has decided a question: then it is asked before each exact test.
    bool enclosuresRefute = false;
    // The last part beyond a cut cell asked about (its cells and the cut cell), its
    // answer, and a route through it from the cut cell: it holds while the walk is
    // elsewhere.
    struct TPartAnswer {
        bool known = false;
        uint8_t cells[kBoardCells];
        bool completable = false;
        std::vector<int> route;
    } lastPart;

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
    // What the exact tests of one question found out about the path its quick search
    // reached; it holds for the next path reached as far as the two agree.
    struct TPrefixFindings {
        std::vector<int> prefix;
        int bad = INT_MAX;  // the shortest length known not to be completable
        int stopped = -1;   // a length whose exact test stopped at its limit
    };
    int LongestCompletablePrefix(const std::vector<int>& prefix, TPrefixFindings& findings);
    TAnswer Completable(const std::vector<int>& prefix, int length, std::vector<int>& witness);
    TAnswer ExactTest(int end, int count, std::vector<int>& witness);
    TAnswer SplitTest(int end, int cut, const uint8_t* part, int partSize, std::vector<int>& witness);
    TAnswer PartTest(int cut, const uint8_t* part, int count);
    TAnswer OracleTest(TPathOracle& tester, const uint8_t* cells, int end, std::vector<int>& witness);
    uint64_t stateLimit = UINT64_MAX;
    void SetStateLimit(uint64_t limit) {
        stateLimit = limit;
        oracle.SetStateLimit(limit);
        partOracle.SetStateLimit(limit);
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
        if ((known.size() > 1 && target == known[1]) || MayHavePath(rest, remaining - 1, target))
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
    TPrefixFindings findings;
    for (int budget = SearchBudget(remaining - 1, !known.empty());; budget *= 2) {
        std::vector<int> found, reached;
        TSearch outcome;
        {
            const TTakenOut here(rest, &current, 1);
            stats.searchBudgetUsed += budget;
            outcome = SearchPath(rest, remaining - 1, target, budget, TOrder::Directions, found, &reached);
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
        SetStateLimit(std::max(kStatesPerLookUp * static_cast<uint64_t>(budget), 2 * largestSweep));
        reached.insert(reached.begin(), current);
        const int length = LongestCompletablePrefix(reached, findings);
        if (length == 0)
            ruledOut |= 1u << direction;
        if (length >= 0)
            return false;
    }
}

// Finds the longest length L such that the rest of the board can be cleared after
// walking prefix[1..L], walks it, and keeps the exact test's route from prefix[L] as the
// known route; returns L (0: not even the first step can be completed), or -1 when the
// exact test stopped before it had shown any length to work. Asks first about a
// stopped length of `findings` (its exact test goes on where it stopped), else about a
// long prefix without a known route (the search in direction order backs up near its
// end, so the first route shares most of its path, and the boards left after long
// prefixes are small) and a short one with a known route; grows by doubling while it
// works, then halves the gap to the shortest length known to fail.
int TRouteFinder::TWalk::LongestCompletablePrefix(const std::vector<int>& prefix, TPrefixFindings& findings) {
    const int longest = static_cast<int>(prefix.size()) - 1;
    const int agreed = static_cast<int>(
        std::mismatch(prefix.begin(), prefix.end(), findings.prefix.begin(), findings.prefix.end()).first -
        prefix.begin());
    int good = 0;
    int bad = findings.bad < agreed ? findings.bad : longest + 1;
    std::vector<int> witness, goodWitness;
    int length = std::max(std::min(kFirstPrefix, longest), longest * (known.empty() ? 3 : 1) / 4);
    if (findings.stopped >= 0 && findings.stopped < agreed)
        length = findings.stopped;
    length = std::min(length, bad - 1);
    findings.stopped = -1;
    while (bad - good > 1) {
        const TAnswer answer = Completable(prefix, length, witness);
        if (answer == TAnswer::Stopped) {
            if (good == 0)
                findings.stopped = length;
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
    findings.prefix = prefix;
    findings.bad = bad;
    if (findings.stopped >= 0)
        return -1;
    if (good > 0) {
        AdvanceAlong(prefix, good);
        known.swap(goodWitness);
    }
    return good;
}

// Whether the board can be cleared from prefix[length] once prefix[0..length-1] are
// walked; `witness` then holds such a route from prefix[length].
TRouteFinder::TWalk::TAnswer TRouteFinder::TWalk::Completable(const std::vector<int>& prefix, int length,
                                                              std::vector<int>& witness) {
    witness.clear();
    const int end = prefix[length];
    if (remaining - length <= 1) {
        witness.push_back(end);
        return TAnswer::Yes;
    }
    const TTakenOut walked(rest, prefix.data(), static_cast<size_t>(length));
    return ExactTest(end, remaining - length, witness);
}

// Whether a route from `end` clears the `count` cells of `rest`; `witness` then holds
// one. Where such a route must pass a cut cell into a part of some size that it cannot
// leave, the board before the cut cell and the part are tested apart.
TRouteFinder::TWalk::TAnswer TRouteFinder::TWalk::ExactTest(int end, int count, std::vector<int>& witness) {
    if (enclosuresRefute && !MayCrossEnclosedParts(rest, end))
        return TAnswer::No;
    uint8_t part[kBoardCells];
    int partSize = 0;
    const int cut = EnclosedPart(rest, end, part, partSize);
    if (cut >= 0 && partSize >= kSplitPart && count - partSize >= kSplitPart)
        return SplitTest(end, cut, part, partSize, witness);
    return OracleTest(oracle, rest, end, witness);
}

// The route from `end` clears everything outside `part` and ends at `cut`, then clears
// `part` from there. The first half is asked as a board that keeps one cell of the part
// next to the cut cell: with a single neighbour, that cell must be the route's last.
TRouteFinder::TWalk::TAnswer TRouteFinder::TWalk::SplitTest(int end, int cut, const uint8_t* part,
                                                            int partSize, std::vector<int>& witness) {
    const TAnswer beyond = PartTest(cut, part, partSize + 1);
    if (beyond != TAnswer::Yes)
        return beyond;
    int entry = -1;
    for (int d = 0; d < kDirectionCount && entry < 0; ++d) {
        const int n = NeighbourCell(cut, d);
        if (n >= 0 && part[n] != 0)
            entry = n;
    }
    uint8_t before[kBoardCells];
    for (int i = 0; i < kBoardCells; ++i)
        before[i] = rest[i] != 0 && part[i] == 0 ? 1 : 0;
    before[entry] = 1;
    const TAnswer answer = OracleTest(oracle, before, end, witness);
    if (answer != TAnswer::Yes)
        return answer;
    witness.pop_back();  // the entry cell: the cut cell is last now
    witness.insert(witness.end(), lastPart.route.begin() + 1, lastPart.route.end());
    return TAnswer::Yes;
}

// Whether a route from `cut` clears `part` and `cut` (`count` cells); the answer and
// such a route are kept in lastPart. A search that prefers the cells with the fewest
// ways on goes first.
TRouteFinder::TWalk::TAnswer TRouteFinder::TWalk::PartTest(int cut, const uint8_t* part, int count) {
    uint8_t cells[kBoardCells];
    std::copy(part, part + kBoardCells, cells);
    cells[cut] = 2;  // tells the cut cell apart in the kept copy
    if (lastPart.known && std::memcmp(cells, lastPart.cells, kBoardCells) == 0)
        return lastPart.completable ? TAnswer::Yes : TAnswer::No;
    std::copy(cells, cells + kBoardCells, lastPart.cells);
    lastPart.known = false;
    cells[cut] = 1;
    lastPart.route.clear();
    TAnswer answer;
    switch (SearchPath(cells, count, cut, PartSearchBudget(count), TOrder::FewestWays, lastPart.route)) {
    case TSearch::Found: answer = TAnswer::Yes; break;
    case TSearch::None: answer = TAnswer::No; break;
    default: answer = OracleTest(partOracle, cells, cut, lastPart.route); break;
    }
    lastPart.known = answer != TAnswer::Stopped;
    lastPart.completable = answer == TAnswer::Yes;
    return answer;
}

// Whether a route from `end` clears `cells`; `witness` then holds one. A cover of the
// cells by a path and cycles answers first where it can: when there is none, there is no
// route; when it joins into one path (its cells laid along rows, else along columns),
// that is a route. Only where it decides neither does `tester` sweep the board: on dense
// boards that can take a million states, where the cover takes about a millisecond.
TRouteFinder::TWalk::TAnswer TRouteFinder::TWalk::OracleTest(TPathOracle& tester, const uint8_t* cells,
                                                             int end, std::vector<int>& witness) {
    ++stats.exactTests;
    witness.clear();
    if (!cover.Solve(cells, end))
        return TAnswer::No;
    if (cover.JoinIntoPath(witness) ||
        (cover.Solve(cells, end, TPathCover::TLines::Columns) && cover.JoinIntoPath(witness)))
        return TAnswer::Yes;
    witness.clear();
    const bool works = tester.HasPath(cells, CellColumn(end), CellRow(end));
    stats.exactStates += tester.LastComputedStates();
    if (tester.LastStopped()) {
        // A large question: a few steps from the end, asking the cover at each, often
        // settle it. Its share grows with the sweep's.
        switch (cover.Search(cells, end, CoverSearchBudget(stateLimit), witness)) {
        case TSearch::Found: return TAnswer::Yes;
        case TSearch::None: return TAnswer::No;
        case TSearch::Undecided: witness.clear(); break;
        }
        if (MayCrossEnclosedParts(cells, end))
            return TAnswer::Stopped;
        enclosuresRefute = true;
        return TAnswer::No;
    }
    largestSweep = std::max(largestSweep, tester.LastComputedStates() + tester.LastReusedStates());
    if (!works)
        return TAnswer::No;
    tester.Witness(witness);
    return TAnswer::Yes;
}

TRouteFinder::TRouteFinder()
    : board(kBoardCells, 0),
      neighbours(kBoardCells, 0),
      oracle(std::make_unique<TPathOracle>()),
      partOracle(std::make_unique<TPathOracle>()) {}

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
    TWalk walk(board, *oracle, *partOracle, stats);
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
