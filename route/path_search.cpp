#include "route/path_search.h"

namespace path_search {

int Neighbour(int cell, int d) {
    static constexpr int kStepX[4] = {0, 1, 0, -1};
    static constexpr int kStepY[4] = {-1, 0, 1, 0};
    const int x = cell % kColumns + kStepX[d];
    const int y = cell / kColumns + kStepY[d];
    if (x < 0 || x >= kColumns || y < 0 || y >= kRows)
        return -1;
    return y * kColumns + x;
}

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
    // Along a path the colours alternate: with an even count both colours occur equally
    // often, with an odd count the end's colour once more.
    const int endColour = ((end % kColumns + end / kColumns) & 1) ? 1 : -1;
    if (count % 2 == 0)
        return colourBalance == 0;
    return colourBalance == endColour;
}

TSearch SearchPath(uint8_t* cells, int count, int end, int budget, TOrder order,
                   std::vector<int>& path) {
    struct TFrame {
        int cell;
        int options[4];
        int optionCount;
        int next;
    };
    std::vector<TFrame> stack;
    stack.reserve(count);
    int tried = 0;
    bool stopped = false;

    // Enters `cell`: removes it and lists the neighbours from which the rest may still be
    // walked, in the search's order.
    auto enter = [&](int cell, int left) {
        cells[cell] = 0;
        TFrame frame{cell, {-1, -1, -1, -1}, 0, 0};
        int ways[4] = {};
        for (int d = 0; d < 4; ++d) {
            const int n = Neighbour(cell, d);
            if (n < 0 || cells[n] == 0)
                continue;
            if (++tried > budget) {
                stopped = true;
                break;
            }
            if (!MayHavePath(cells, left - 1, n))
                continue;
            int onward = 0;
            if (order == TOrder::FewestWays)
                for (int e = 0; e < 4; ++e) {
                    const int m = Neighbour(n, e);
                    onward += (m >= 0 && cells[m] != 0) ? 1 : 0;
                }
            int at = frame.optionCount++;
            while (at > 0 && ways[at - 1] > onward) {
                frame.options[at] = frame.options[at - 1];
                ways[at] = ways[at - 1];
                --at;
            }
            frame.options[at] = n;
            ways[at] = onward;
        }
        stack.push_back(frame);
    };

    auto restore = [&] {
        for (const TFrame& frame : stack)
            cells[frame.cell] = 1;
    };

    int left = count;
    enter(end, left);
    while (!stack.empty()) {
        if (left == 1) {
            for (const TFrame& frame : stack)
                path.push_back(frame.cell);
            restore();
            return TSearch::Found;
        }
        if (stopped) {
            restore();
            return TSearch::Undecided;
        }
        TFrame& top = stack.back();
        if (top.next < top.optionCount) {
            const int n = top.options[top.next++];
            --left;
            enter(n, left);
        } else {
            cells[top.cell] = 1;
            stack.pop_back();
            ++left;
        }
    }
    return TSearch::None;
}

}  // namespace path_search
