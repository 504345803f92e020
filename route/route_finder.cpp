#include "route/route_finder.h"

#include <bit>

#include "route/path_oracle.h"

namespace {

constexpr int kColumns = TPathOracle::kColumns;
constexpr int kRows = TPathOracle::kRows;
constexpr int kCells = TPathOracle::kCells;
constexpr int kStepX[4] = {0, 1, 0, -1};
constexpr int kStepY[4] = {-1, 0, 1, 0};

// The neighbour of `cell` in direction d, or -1 off the board.
int Neighbour(int cell, int d) {
    const int x = cell % kColumns + kStepX[d];
    const int y = cell / kColumns + kStepY[d];
    if (x < 0 || x >= kColumns || y < 0 || y >= kRows)
        return -1;
    return y * kColumns + x;
}

// Quick necessary conditions for a path from `end` through all `count` present cells:
// they are connected, at most one cell besides `end` is a dead end, and the colours of
// a checkerboard alternate along the path. False means no such path exists; true
// proves nothing.
bool MayHavePath(const uint8_t* cells, int count, int end) {
    if (count <= 1)
        return true;
    int queue[kCells];
    bool seen[kCells] = {};
    int head = 0, tail = 0;
    queue[tail++] = end;
    seen[end] = true;
    int deadEnds = 0;
    int colourBalance = 0;
    while (head < tail) {
        const int cell = queue[head++];
        colourBalance += ((cell % kColumns + cell / kColumns) & 1) ? 1 : -1;
        int degree = 0;
        for (int d = 0; d < 4; ++d) {
            const int n = Neighbour(cell, d);
            if (n < 0 || cells[n] == 0)
                continue;
            ++degree;
            if (!seen[n]) {
                seen[n] = true;
                queue[tail++] = n;
            }
        }
        if (degree == 1 && cell != end && ++deadEnds > 1)
            return false;
    }
    if (tail != count)
        return false;
    const int endColour = ((end % kColumns + end / kColumns) & 1) ? 1 : -1;
    if (count % 2 == 0)
        return colourBalance == 0;
    return colourBalance == endColour;
}

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
    oracleCalls = 0;
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
        ++oracleCalls;
        const uint32_t ways = oracle->FirstSteps(rest, start.x, start.y);
        if (ways == 0)
            return false;
        // A known route from the current cell. Each step either follows it, when no
        // earlier direction can possibly work, or asks the exact test for the earliest
        // direction that does and takes a fresh witness from it.
        std::vector<int> witness;
        oracle->Witness(std::countr_zero(ways), witness);
        size_t at = 0;
        while (remaining > 1) {
            const int planned = DirectionBetween(current, witness[at + 1]);
            rest[current] = 0;
            bool ask = false;
            for (int d = 0; d < planned && !ask; ++d) {
                const int target = Neighbour(current, d);
                if (target >= 0 && rest[target] != 0 && MayHavePath(rest, remaining - 1, target))
                    ask = true;
            }
            int chosen = planned;
            if (ask) {
                rest[current] = 1;
                ++oracleCalls;
                const uint32_t open =
                    oracle->FirstSteps(rest, current % kColumns, current / kColumns);
                rest[current] = 0;
                chosen = std::countr_zero(open);
                if (chosen != planned) {
                    witness.clear();
                    oracle->Witness(chosen, witness);
                    at = 0;
                }
            }
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
