#include "route/route_finder.h"

#include <algorithm>

#include "route/path_oracle.h"
#include "route/path_search.h"

namespace {

using path_search::kCells;
using path_search::kColumns;
using path_search::kRows;
using path_search::MayHavePath;
using path_search::Neighbour;
using path_search::SearchPath;
using path_search::TOrder;
using path_search::TSearch;

// Neighbours the opening quick search may look at: enough to walk a whole route with a
// little backtracking, small beside one exact test.
int SearchBudget(int count) { return 2 * count + 50; }

// Length of the first greedy prefix the walk asks about where it leaves its known route.
// Later questions that only change the far end of a prefix reuse most of the exact test's
// work, so a long first question that fails costs little more than a short one.
constexpr int kFirstPrefix = 4;

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

// The route sought is, at every cell, the earliest direction from which the rest can
// still be cleared. A direction that fails the quick necessary tests cannot be it. So
// the walk keeps a known route from the current cell (none at the start, until the
// first exact test gives one) and a greedy prefix: the path that always takes the
// earliest direction passing the quick tests. Where they agree the
// step is right. Where they part, the greedy direction is earlier than the known one;
// the exact test then looks for the longest greedy prefix from there that can still be
// completed. Every
// step of a prefix that can be completed is the earliest possible one, so the longest
// such prefix found is taken whole and the exact test's route from its end becomes the
// known route. When even one greedy step cannot be completed, that direction is ruled
// out at this cell and the next one is looked at.
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

    std::vector<int> path{current};
    if (remaining > 1) {
        if (!MayHavePath(rest, remaining, current))
            return false;
        // A route found by the quick search in direction order is the answer itself:
        // every branch before it was ruled out.
        std::vector<int> witness;
        stats.searchBudgetUsed = SearchBudget(remaining);
        const TSearch first =
            SearchPath(rest, remaining, current, SearchBudget(remaining), TOrder::Directions,
                       witness);
        if (first == TSearch::None)
            return false;
        if (first == TSearch::Found) {
            path = witness;
            remaining = 1;
        }
        witness.clear();

        // The exact test on the rest of the board after `prefix[0..length-1]` is walked,
        // from prefix[length]; a route found replaces the known one.
        auto prefixWorks = [&](const std::vector<int>& prefix, int length) {
            for (int i = 0; i < length; ++i)
                rest[prefix[i]] = 0;
            const int end = prefix[length];
            bool works = true;
            std::vector<int> found;
            if (remaining - length > 1) {
                ++stats.exactTests;
                works = oracle->HasPath(rest, end % kColumns, end / kColumns);
                stats.exactStates += oracle->LastComputedStates();
                if (works)
                    oracle->Witness(found);
            } else {
                found.push_back(end);
            }
            for (int i = 0; i < length; ++i)
                rest[prefix[i]] = 1;
            if (works)
                witness.swap(found);
            return works;
        };

        size_t at = 0;
        uint32_t ruledOut = 0;  // directions from the current cell known to fail
        std::vector<int> greedy;
        while (remaining > 1) {
            // Without a known route yet every direction is open to question.
            const int planned = witness.empty() ? 4 : DirectionBetween(current, witness[at + 1]);
            rest[current] = 0;
            int earliest = planned;
            for (int d = 0; d < planned; ++d) {
                const int target = Neighbour(current, d);
                if (target >= 0 && rest[target] != 0 && (ruledOut & (1u << d)) == 0 &&
                    MayHavePath(rest, remaining - 1, target)) {
                    earliest = d;
                    break;
                }
            }
            rest[current] = 1;
            if (earliest == 4)
                return false;
            if (earliest == planned) {
                rest[current] = 0;
                current = witness[++at];
                --remaining;
                path.push_back(current);
                ruledOut = 0;
                continue;
            }

            // The greedy prefix from here, grown as the exact tests ask for more of it.
            greedy.assign(1, current);
            greedy.push_back(Neighbour(current, earliest));
            rest[current] = 0;
            auto grow = [&](size_t length) {
                while (greedy.size() <= length && static_cast<int>(greedy.size()) < remaining) {
                    const int from = greedy.back();
                    rest[from] = 0;
                    const int left = remaining - static_cast<int>(greedy.size());
                    int next = -1;
                    for (int d = 0; d < 4 && next < 0; ++d) {
                        const int target = Neighbour(from, d);
                        if (target >= 0 && rest[target] != 0 && MayHavePath(rest, left, target))
                            next = target;
                    }
                    if (next < 0)
                        break;
                    greedy.push_back(next);
                }
            };
            // Longest prefix that can be completed: grow from kFirstPrefix by doubling
            // while it works, then halve the gap to the shortest one known to fail.
            int good = 0;
            int bad = -1;
            int length = kFirstPrefix;
            for (;;) {
                grow(static_cast<size_t>(length));
                length = std::min(length, static_cast<int>(greedy.size()) - 1);
                if (length <= good || (bad >= 0 && length >= bad))
                    break;
                for (int cell : greedy)
                    rest[cell] = 1;
                const bool works = prefixWorks(greedy, length);
                rest[current] = 0;
                for (size_t i = 1; i < greedy.size(); ++i)
                    rest[greedy[i]] = 0;
                if (works)
                    good = length;
                else
                    bad = length;
                if (bad < 0)
                    length = 2 * good;
                else if (bad - good <= 1)
                    break;
                else
                    length = good + (bad - good) / 2;
            }
            for (size_t i = 0; i < greedy.size(); ++i)
                rest[greedy[i]] = 1;

            if (good == 0) {
                ruledOut |= 1u << earliest;
                continue;
            }
            for (int i = 0; i < good; ++i) {
                rest[greedy[i]] = 0;
                path.push_back(greedy[i + 1]);
                --remaining;
            }
            current = greedy[good];
            at = 0;
            ruledOut = 0;
        }
    }

    route.resize(path.size());
    for (size_t i = 0; i < path.size(); ++i)
        route[i] = {path[i] % kColumns, path[i] / kColumns};
    return true;
}
