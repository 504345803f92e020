#include "route/route_finder.h"

#include <algorithm>
#include <bit>

#include "route/path_oracle.h"
#include "route/path_search.h"

namespace {

using path_search::kCells;
using path_search::kColumns;
using path_search::kRows;
using path_search::MayHavePath;
using path_search::Neighbour;
using path_search::SearchPath;
using path_search::TSearch;

// Neighbours a quick search may look at before the exact test is asked instead: enough
// to walk a whole route with some backtracking. All quick searches of one FindRoute
// together stop at kTotalSearchBudget.
int SearchBudget(int count) { return 4 * count + 100; }
constexpr int kTotalSearchBudget = 6000;
using path_search::TOrder;

int DirectionBetween(int from, int to) {
    for (int d = 0; d < 4; ++d)
        if (Neighbour(from, d) == to)
            return d;
    return -1;
}

}  // namespace

TRouteFinder::TRouteFinder()
    : board(18 * 12, 0),
      neighbours(18 * 12, 0),
      oracle(std::make_unique<TPathOracle>()) {}

TRouteFinder::~TRouteFinder() = default;

bool TRouteFinder::FindRoute(TPoint start, std::vector<TPoint>& route) {
    stats = TStats{};
    if (start.x < 0 || start.x >= kColumns || start.y < 0 || start.y >= kRows ||
        static_cast<int>(board.size()) != kCells)
        return false;

    uint8_t rest[kCells];
    int remaining = 0;
    for (int i = 0; i < kCells; ++i) {
        rest[i] = board[i] == 1 ? 1 : 0;
        remaining += rest[i];
    }
    for (int i = 0; i < kCells; ++i) {
        neighbours[i] = 0;
        if (rest[i] == 0)
            continue;
        for (int d = 0; d < 4; ++d) {
            const int n = Neighbour(i, d);
            if (n >= 0 && rest[n] != 0)
                ++neighbours[i];
        }
    }
    int current = start.y * kColumns + start.x;
    if (rest[current] == 0)
        return false;

    std::vector<int> path;
    path.reserve(remaining);
    path.push_back(current);
    if (remaining > 1) {
        if (!MayHavePath(rest, remaining, current))
            return false;
        // A route found by the quick search in direction order is the answer itself: every
        // branch before it was ruled out. Otherwise the walk below needs a known route.
        int searchLeft = kTotalSearchBudget;
        auto quickSearch = [&](int count, int from, std::vector<int>& found) {
            const int budget = std::min(SearchBudget(count), searchLeft);
            if (budget <= 0)
                return TSearch::Undecided;
            searchLeft -= budget;
            stats.searchBudgetUsed += budget;
            return SearchPath(rest, count, from, budget, TOrder::Directions, found);
        };
        std::vector<int> witness;
        const TSearch first = quickSearch(remaining, current, witness);
        if (first == TSearch::None)
            return false;
        if (first == TSearch::Found) {
            path = witness;
            remaining = 1;
        } else {
            ++stats.exactTests;
            const bool exists = oracle->HasPath(rest, start.x, start.y);
            stats.exactStates += oracle->LastComputedStates();
            if (!exists)
                return false;
            oracle->Witness(witness);
        }
        // Each step follows the known route unless an earlier direction may also work.
        // Such a direction is settled by a quick search from its cell (a route found
        // completes the answer, a proof of none rules the direction out) or, when that
        // search gives up, by the exact test, whose route then becomes the known one.
        size_t at = 0;
        std::vector<int> found;
        while (remaining > 1) {
            const int planned = DirectionBetween(current, witness[at + 1]);
            rest[current] = 0;
            int chosen = planned;
            bool finished = false;
            for (int d = 0; d < planned; ++d) {
                const int target = Neighbour(current, d);
                if (target < 0 || rest[target] == 0 || !MayHavePath(rest, remaining - 1, target))
                    continue;
                found.clear();
                const TSearch outcome = quickSearch(remaining - 1, target, found);
                if (outcome == TSearch::None)
                    continue;
                if (outcome == TSearch::Found) {
                    path.insert(path.end(), found.begin(), found.end());
                    finished = true;
                    break;
                }
                ++stats.exactTests;
                const bool exists = oracle->HasPath(rest, target % kColumns, target / kColumns);
                stats.exactStates += oracle->LastComputedStates();
                if (!exists)
                    continue;
                chosen = d;
                witness.assign(1, current);
                oracle->Witness(witness);
                at = 0;
                break;
            }
            if (finished)
                break;
            current = Neighbour(current, chosen);
            ++at;
            --remaining;
            path.push_back(current);
        }
    }

    route.resize(path.size());
    for (size_t i = 0; i < path.size(); ++i)
        route[i] = {path[i] % kColumns, path[i] / kColumns};
    return true;
}
