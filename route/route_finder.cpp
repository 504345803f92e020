#include "route/route_finder.h"

#include <algorithm>
#include <cstdlib>

#include "route/path_cover.h"
#include "route/path_oracle.h"
#include "route/path_search.h"
#include "route/route_limits.h"

namespace {

using namespace path_search;

constexpr const TRouteLimits& kLimits = kRouteLimits;

// Takes cells out of a board for the length of one question and puts them back after.
class TTakenOut {
public:
    TTakenOut(uint8_t* board, const int* cells, size_t count) : board_(board), cells_(cells), count_(count) {
        for (size_t i = 0; i < count; ++i)
            board[cells[i]] = 0;
    }
    ~TTakenOut() {
        for (size_t i = 0; i < count_; ++i)
            board_[cells_[i]] = 1;
    }
    TTakenOut(const TTakenOut&) = delete;
    TTakenOut& operator=(const TTakenOut&) = delete;

private:
    uint8_t* board_;
    const int* cells_;
    size_t count_;
};

}  // namespace

// The walk that builds the first route: at every cell, the earliest direction from which
// the rest of the board can still be cleared. It keeps a known route from its cell (some
// completion, not necessarily the first); while the earliest direction that passes the
// quick tests is the known route's next step, that step is right without further proof.
// Where an earlier direction passes them, it asks about that direction (Ask): an ordered
// search from there either finds the rest of the route (the first one), proves the
// direction wrong, or gives up on a path; then the completion test finds how much of
// that path can still be completed, and the walk advances along that part.
//
// Call levels: FindRoute, Run, Ask, LongestCompletablePrefix, Complete, and its stages.
class TRouteFinder::TWalk {
public:
    TWalk(const std::vector<int32_t>& board, TPathOracle& oracle, TPathOracle& partOracle,
          TPathOracle& beamOracle, TStats& stats)
        : oracle_(oracle), partOracle_(partOracle), beamOracle_(beamOracle), stats_(stats) {
        for (int i = 0; i < kBoardCells; ++i) {
            rest_[i] = board[i] == 1 ? 1 : 0;
            remaining_ += rest_[i];
        }
    }

    // The first route from `start`, a present cell, as board indices; false when none.
    bool Run(int start, std::vector<int>& route);

private:
    // A stage's answer: a route exists, none does, or the stage cannot tell (Open).
    enum class TAnswer { Yes, No, Open };
    // A board the stages after the split ask about: the whole board, or one side of a
    // cut cell. `route` is a route from `end` when the answer is Yes.
    struct TPiece {
        uint8_t cells[kBoardCells];
        int end = -1;
        int count = 0;
        TPathOracle* tester = nullptr;
        TAnswer answer = TAnswer::Open;
        std::vector<int> route;
        int alternative = 0;  // the pieces of one alternative are asked about together
        int firstStep = -1;   // the end cell, where the alternative takes the first step apart
    };
    // The whole board, and up to two pieces for each first step from the end.
    static constexpr int kMostPieces = 1 + 2 * kDirectionCount;

    TPathOracle& oracle_;
    TPathOracle& partOracle_;  // for the smaller piece of a split, so that neither loses its layers
    TPathOracle& beamOracle_;  // the narrow sweep
    TStats& stats_;
    TPathCover cover_;
    uint8_t rest_[kBoardCells];  // the cells not yet walked, the current one included
    int remaining_ = 0;
    std::vector<int> path_;   // walked so far; the current cell is the last
    std::vector<int> known_;  // a route from the current cell over `rest_`, or empty
    uint32_t ruledOut_ = 0;   // directions from the current cell that cannot be it
    // The boards, each with its end cell last, that a sweep showed to have no route: the
    // walk asks about some of them again after the layers they reused have gone.
    std::vector<std::vector<uint8_t>> refuted_;

    int Current() const { return path_.back(); }
    int EarliestOpenDirection();
    void Advance(int next);
    bool Ask(int direction);
    int LongestCompletablePrefix(const std::vector<int>& prefix);
    TAnswer Complete(const uint8_t* cells, int end, int count, std::vector<int>& witness);
    // The completion test's stages, in the order it runs them.
    TAnswer CoverStage(const uint8_t* cells, int end, std::vector<int>& witness);
    int SplitStage(const uint8_t* cells, int end, int count, TPiece* pieces);
    int SplitAt(const uint8_t* cells, int end, int count, TPiece* pieces, int alternative);
    static void JoinRoutes(const TPiece* pieces, int count, std::vector<int>& route);
    TAnswer SweepStage(TPiece& piece);
};

bool TRouteFinder::TWalk::Run(int start, std::vector<int>& route) {
    path_.assign(1, start);
    if (remaining_ > 1 && !MayHavePath(rest_, remaining_, start))
        return false;
    while (remaining_ > 1) {
        const int direction = EarliestOpenDirection();
        if (direction < 0)
            return false;
        if (known_.size() > 1 && NeighbourCell(Current(), direction) == known_[1])
            Advance(known_[1]);
        else if (Ask(direction))
            break;
    }
    route = path_;
    return true;
}

// The earliest direction from the current cell, not ruled out, whose cell passes the
// quick tests for the rest of the board; -1 when there is none.
int TRouteFinder::TWalk::EarliestOpenDirection() {
    const int current = Current();
    const TTakenOut here(rest_, &current, 1);
    for (int d = 0; d < kDirectionCount; ++d) {
        const int target = NeighbourCell(current, d);
        if (target < 0 || rest_[target] == 0 || (ruledOut_ & (1u << d)) != 0)
            continue;
        // The known route's step passes the quick tests without asking them.
        if ((known_.size() > 1 && target == known_[1]) || MayHavePath(rest_, remaining_ - 1, target))
            return d;
    }
    return -1;
}

void TRouteFinder::TWalk::Advance(int next) {
    rest_[Current()] = 0;
    --remaining_;
    path_.push_back(next);
    ruledOut_ = 0;
    if (known_.size() > 1 && known_[1] == next)
        known_.erase(known_.begin());
    else
        known_.clear();
}

// Decides the step in `direction`, the earliest one left that passes the quick tests
// and is not the known route's: rules it out, or walks as far along it as is sure.
// Returns true when that finished the whole route. A bounded ordered search from there
// either finds the rest of the route, the first one, or shows there is none, or gives up
// on a path; the completion test then finds how much of that path can be completed.
bool TRouteFinder::TWalk::Ask(int direction) {
    const int current = Current();
    const int count = remaining_ - 1;
    const int budget = known_.empty() ? kLimits.searchPerCell * count + kLimits.searchBase
                                      : std::min(count, kLimits.searchWithKnownRoute);
    std::vector<int> found, reached;
    TSearch outcome;
    {
        const TTakenOut here(rest_, &current, 1);
        stats_.searchBudgetUsed += budget;
        outcome = SearchPath(rest_, count, NeighbourCell(current, direction), budget, found, &reached);
    }
    if (outcome == TSearch::Found) {
        // Every earlier direction is ruled out; the search's first path is the first.
        path_.insert(path_.end(), found.begin(), found.end());
        remaining_ = 1;
        return true;
    }
    reached.insert(reached.begin(), current);
    if (outcome == TSearch::None || LongestCompletablePrefix(reached) == 0)
        ruledOut_ |= 1u << direction;
    return false;
}

// Finds the longest length L such that the rest of the board can be cleared after
// walking prefix[1..L], walks it, and keeps the completion test's route from prefix[L]
// as the known route; returns L (0: not even the first step can be completed). Asks
// first about the first step alone; grows by doubling while it works, then halves the
// gap to the shortest length known to fail. Lengths that work are cheap to show, as a
// cover mostly shows them; one that fails costs a sweep, and only the one just past L
// is asked about again later (the step the walk then rules out), when the refuted
// boards answer it at once. Starting from 1 rather than at three quarters of the prefix
// spared the adversarial positions a third of their states and two fifths of their time.
int TRouteFinder::TWalk::LongestCompletablePrefix(const std::vector<int>& prefix) {
    const int longest = static_cast<int>(prefix.size()) - 1;
    int good = 0;
    int bad = longest + 1;
    std::vector<int> witness, goodWitness;
    for (int length = 1; length < bad;) {
        TAnswer answer = TAnswer::Yes;
        witness.assign(1, prefix[length]);
        if (remaining_ - length > 1) {
            const TTakenOut walked(rest_, prefix.data(), static_cast<size_t>(length));
            answer = Complete(rest_, prefix[length], remaining_ - length, witness);
        }
        if (answer == TAnswer::Yes) {
            good = length;
            goodWitness.swap(witness);
        } else {
            bad = length;
        }
        // Doubles while no length failed, then halves the gap.
        length = std::max(bad > longest ? std::min(2 * good, longest) : good + (bad - good) / 2, good + 1);
    }
    for (int i = 1; i <= good; ++i)
        Advance(prefix[i]);
    if (good > 0)
        known_.swap(goodWitness);
    return good;
}

// The completion test: whether a route from `end` clears the `count` present cells of
// `cells`; `witness` (replaced) then holds one. Yes or No. Its stages run in
// this order, each only when those before it could not tell. The figures beside them
// are what leaving the stage out changed, in sweep states and time, on three samples:
// the benchmark's 648 hard positions, 3,000 generated ones and 36 adversarial ones.
TRouteFinder::TWalk::TAnswer TRouteFinder::TWalk::Complete(const uint8_t* cells, int end, int count,
                                                           std::vector<int>& witness) {
    ++stats_.exactTests;
    // 1. Quick refutations (MayHavePath): cells cut off, two dead ends, cut cells that
    //    split off two parts, colour sums between cut cells. A few microseconds; what it
    //    refutes the cover refutes too (left out: the same states, 2-4 % less time).
    if (!MayHavePath(cells, count, end))
        return TAnswer::No;
    // 2. Split where the route must pass a cut cell into a part it cannot leave: the board
    //    before the cut cell and the part are asked apart, so that a board walled in two
    //    costs about what its halves cost, not their product (left out: 0.6-3 % more
    //    states, the same time). Where no cut cell splits the board, each first step
    //    from the end that leaves one is an alternative, asked about in two pieces
    //    (the 276 adversarial positions: 9 % fewer states; the slowest, a wall with a
    //    door each side of the end, 6.1 M states to 1,620).
    TPiece pieces[kMostPieces];
    const int pieceCount = SplitStage(cells, end, count, pieces);
    for (int first = 0, last = 0; first < pieceCount; first = last) {
        while (last < pieceCount && pieces[last].alternative == pieces[first].alternative)
            ++last;
        TAnswer answer = TAnswer::Yes;
        for (int i = first; i < last && answer == TAnswer::Yes; ++i) {
            TPiece& piece = pieces[i];
            // 3. Cover by a path and cycles: none means no route; one joined into a path is
            //    one. Tens of microseconds; it settles nearly every question (left out: 2.6 to
            //    1,000 times the states, 1.9 to 10 times the time).
            answer = piece.answer = CoverStage(piece.cells, piece.end, piece.route);
            // 4. Sweep of the board (TPathOracle), exact; past beamAfter states, a narrow
            //    sweep, which finds a route where there are many (left out: the slowest
            //    adversarial position 162 ms instead of 27). The only stage that answers
            //    every question. A whole board that the first steps split is not swept:
            //    their alternatives are.
            if (answer == TAnswer::Open && (first > 0 || last == pieceCount))
                answer = piece.answer = SweepStage(piece);
        }
        if (answer == TAnswer::Yes) {
            JoinRoutes(pieces + first, last - first, witness);
            return TAnswer::Yes;
        }
        if (answer == TAnswer::No && first == 0)
            return TAnswer::No;
    }
    return TAnswer::No;
}

// The route of an alternative's `count` pieces, from the end.
void TRouteFinder::TWalk::JoinRoutes(const TPiece* pieces, int count, std::vector<int>& route) {
    const TPiece& beyond = pieces[0];
    const TPiece& before = pieces[count - 1];
    route.clear();
    if (beyond.firstStep >= 0)
        route.push_back(beyond.firstStep);
    route.insert(route.end(), before.route.begin(), before.route.end() - (count - 1));
    if (count > 1)  // the entry cell left out: the cut cell is last now
        route.insert(route.end(), beyond.route.begin() + 1, beyond.route.end());
}

// The cover with its edges taken along rows, along columns, then in shuffled orders
// (joined without the costly moves: what they add is another cover), then with the
// other end in a cycle the last one left: No when there is none, Yes when one joins into
// a path (`witness`), else Open.
TRouteFinder::TWalk::TAnswer TRouteFinder::TWalk::CoverStage(const uint8_t* cells, int end,
                                                             std::vector<int>& witness) {
    if (!cover_.Solve(cells, end))
        return TAnswer::No;
    if (cover_.JoinIntoPath(witness) ||
        (cover_.Solve(cells, end, TPathCover::TLines::Columns) && cover_.JoinIntoPath(witness)))
        return TAnswer::Yes;
    for (int shuffle = 1; shuffle <= kLimits.shuffledCovers; ++shuffle)
        if (cover_.Solve(cells, end, TPathCover::TLines::Shuffled, static_cast<unsigned>(shuffle)) &&
            cover_.JoinIntoPath(witness, false))
            return TAnswer::Yes;
    if (cover_.JoinWithEndInCycle(cells, end, witness))
        return TAnswer::Yes;
    witness.clear();
    return TAnswer::Open;
}

// One piece, the whole board, when no cut cell splits it; else two: the part beyond the
// cut cell, from the cut cell, and the board before it, which keeps one cell of the part
// next to the cut cell: with a single neighbour, that cell must be the route's last.
// Where no cut cell splits the board but one splits what a first step from the end
// leaves, each first step is an alternative of its own after the whole board, which is
// then only covered: a board walled in two by a wall with a door each side of the end
// costs about what its smaller sides cost.
int TRouteFinder::TWalk::SplitStage(const uint8_t* cells, int end, int count, TPiece* pieces) {
    if (SplitAt(cells, end, count, pieces, 0) > 1)
        return 2;
    uint8_t rest[kBoardCells];
    std::copy(cells, cells + kBoardCells, rest);
    rest[end] = 0;
    int pieceCount = 1;
    bool split = false;
    for (int d = 0; d < kDirectionCount; ++d) {
        const int next = NeighbourCell(end, d);
        if (next < 0 || rest[next] == 0)
            continue;
        const int made = SplitAt(rest, next, count - 1, pieces + pieceCount, d + 1);
        split = split || made > 1;
        pieces[pieceCount].firstStep = end;
        pieceCount += made;
    }
    return split ? pieceCount : 1;
}

// The pieces of one alternative: the board from `end` split at a cut cell, or whole.
int TRouteFinder::TWalk::SplitAt(const uint8_t* cells, int end, int count, TPiece* pieces, int alternative) {
    uint8_t part[kBoardCells];
    int partSize = 0;
    const int cut = EnclosedPart(cells, end, part, partSize);
    pieces[0].alternative = alternative;
    if (cut < 0 || partSize < kLimits.splitPart || count - partSize < kLimits.splitPart) {
        std::copy(cells, cells + kBoardCells, pieces[0].cells);
        pieces[0].end = end;
        pieces[0].count = count;
        pieces[0].tester = &oracle_;
        return 1;
    }
    TPiece& beyond = pieces[0];
    std::copy(part, part + kBoardCells, beyond.cells);
    beyond.cells[cut] = 1;
    beyond.end = cut;
    beyond.count = partSize + 1;
    // The larger piece is the board most like those asked before: its sweeps go on from theirs.
    beyond.tester = 2 * partSize > count ? &oracle_ : &partOracle_;
    TPiece& before = pieces[1];
    before.alternative = alternative;
    int entry = -1;
    for (int d = kDirectionCount - 1; d >= 0; --d)
        if (NeighbourCell(cut, d) >= 0 && part[NeighbourCell(cut, d)] != 0)
            entry = NeighbourCell(cut, d);
    for (int i = 0; i < kBoardCells; ++i)
        before.cells[i] = (cells[i] != 0 && part[i] == 0) || i == entry ? 1 : 0;
    before.end = end;
    before.count = count - partSize + 1;
    before.tester = beyond.tester == &oracle_ ? &partOracle_ : &oracle_;
    return 2;
}

// The sweep, exact. It stops first at beamAfter states, where the narrow sweep
// (beamWidth states a layer) is tried once: a route it finds is a route, and one it
// misses costs it little. The sweep then goes on where it stopped, to its end: putting
// the question off at a limit, to ask it again after a longer ordered search, cost the
// 324 adversarial positions as many states and as much time, and no table or benchmark
// family reached the limit.
TRouteFinder::TWalk::TAnswer TRouteFinder::TWalk::SweepStage(TPiece& piece) {
    TPathOracle& tester = *piece.tester;
    std::vector<uint8_t> key(piece.cells, piece.cells + kBoardCells);
    key.push_back(static_cast<uint8_t>(piece.end));
    if (std::find(refuted_.begin(), refuted_.end(), key) != refuted_.end())
        return TAnswer::No;
    const int x = CellColumn(piece.end);
    const int y = CellRow(piece.end);
    tester.SetStateLimit(kLimits.beamAfter);
    bool works = tester.HasPath(piece.cells, x, y);
    stats_.exactStates += tester.LastComputedStates();
    if (tester.LastStopped()) {
        const bool found = beamOracle_.HasPath(piece.cells, x, y);
        stats_.exactStates += beamOracle_.LastComputedStates();
        if (found) {
            beamOracle_.Witness(piece.route);
            return TAnswer::Yes;
        }
        tester.SetStateLimit(UINT64_MAX);
        works = tester.HasPath(piece.cells, x, y);
        stats_.exactStates += tester.LastComputedStates();
    }
    if (works)
        tester.Witness(piece.route);
    else
        refuted_.push_back(std::move(key));
    return works ? TAnswer::Yes : TAnswer::No;
}

TRouteFinder::TRouteFinder()
    : board(kBoardCells, 0),
      neighbours(kBoardCells, 0),
      oracle_(std::make_unique<TPathOracle>()),
      partOracle_(std::make_unique<TPathOracle>()),
      beamOracle_(std::make_unique<TPathOracle>()) {
    beamOracle_->SetBeam(kLimits.beamWidth);
}

TRouteFinder::~TRouteFinder() = default;

void TRouteFinder::CountNeighbours() {
    for (int i = 0; i < kBoardCells; ++i) {
        neighbours[i] = 0;
        for (int d = 0; d < kDirectionCount && board[i] == 1; ++d)
            neighbours[i] += NeighbourCell(i, d) >= 0 && board[NeighbourCell(i, d)] == 1 ? 1 : 0;
    }
}

bool TRouteFinder::FindRoute(TPoint start, std::vector<TPoint>& route) {
    stats_ = TStats{};
    if (!IsOnBoard(start.x, start.y) || static_cast<int>(board.size()) != kBoardCells ||
        static_cast<int>(neighbours.size()) != kBoardCells)
        return false;
    CountNeighbours();
    const int startCell = CellIndex(start.x, start.y);
    if (board[startCell] != 1)
        return false;
    TWalk walk(board, *oracle_, *partOracle_, *beamOracle_, stats_);
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
