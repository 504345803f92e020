#include "route/path_search.h"

#include <algorithm>

namespace path_search {

namespace {

// The neighbours of every cell in direction order, -1 off the board, and each cell's
// colour as +1 or -1: looked up rather than computed in the tests' inner loops.
struct TGeometryTables {
    int neighbour[kBoardCells][kDirectionCount];
    int sign[kBoardCells];
    constexpr TGeometryTables() : neighbour(), sign() {
        for (int cell = 0; cell < kBoardCells; ++cell) {
            for (int d = 0; d < kDirectionCount; ++d)
                neighbour[cell][d] = NeighbourCell(cell, d);
            sign[cell] = CellColour(cell) == 0 ? 1 : -1;
        }
    }
};
constexpr TGeometryTables kGeometry;

// +1 for one checkerboard colour, -1 for the other.
int Sign(int cell) {
    return kGeometry.sign[cell];
}

// Colour sum (+1 / -1 per cell) a path from a to b over exactly those cells must have.
int PathBalance(int a, int b) {
    return (Sign(a) + Sign(b)) / 2;
}

// A depth-first tree of the present cells from `end`, with what the cut-cell test needs.
// A part of the board split off by cut cell v is the subtree of a child c of v whose
// subtree reaches no higher than v; such a c is called v's split child.
class TCutCells {
public:
    TCutCells(const uint8_t* cells, int end) : cells_(cells), end_(end) {}

    // Walks the tree; false as soon as a cut cell rules every path out.
    bool Walk();

    int Visited() const { return visited_; }
    // The split children in walking order, and the cells with a single neighbour.
    int splitCount = 0;
    int split[kBoardCells];
    int deadEnds = 0;
    int deadEnd = -1;

    int First(int cell) const { return order_[cell]; }
    int Last(int cell) const { return order_[cell] + size_[cell]; }  // one past the subtree
    int Balance(int cell) const { return balance_[cell]; }
    int Parent(int cell) const { return parent_[cell]; }

private:
    const uint8_t* cells_;
    int end_;
    int visited_ = 0;
    int order_[kBoardCells];
    int low_[kBoardCells];
    int size_[kBoardCells];
    int balance_[kBoardCells];
    int parent_[kBoardCells];
    bool hasSplitChild_[kBoardCells];
    int degree_[kBoardCells];

    bool Finish(int cell, int degree);
};

bool TCutCells::Walk() {
    for (int i = 0; i < kBoardCells; ++i)
        order_[i] = -1;
    // The cells on the way down to `cell`, each with the next direction it will try;
    // the current cell and its direction stay out of memory.
    struct TFrame {
        int cell;
        int direction;
    };
    TFrame stack[kBoardCells];
    int depth = 0;
    int rootChildren = 0;
    auto enter = [&](int cell, int from) {
        order_[cell] = low_[cell] = visited_++;
        size_[cell] = 1;
        balance_[cell] = Sign(cell);
        parent_[cell] = from;
        hasSplitChild_[cell] = false;
        degree_[cell] = 0;
    };
    int cell = end_;
    int direction = 0;
    enter(end_, -1);
    for (;;) {
        if (direction == kDirectionCount) {
            if (!Finish(cell, degree_[cell]))
                return false;
            if (depth == 0)
                return true;
            --depth;
            cell = stack[depth].cell;
            direction = stack[depth].direction;
            continue;
        }
        const int n = kGeometry.neighbour[cell][direction++];
        if (n < 0 || cells_[n] == 0)
            continue;
        ++degree_[cell];
        if (order_[n] < 0) {
            if (cell == end_ && ++rootChildren > 1)
                return false;  // the path could not come back to the other side of `end`
            stack[depth++] = {cell, direction};
            enter(n, cell);
            cell = n;
            direction = 0;
        } else if (n != parent_[cell]) {
            low_[cell] = std::min(low_[cell], order_[n]);
        }
    }
}

// Called when the subtree of `cell` is complete.
bool TCutCells::Finish(int cell, int degree) {
    if (degree == 1 && cell != end_) {
        if (++deadEnds > 1)
            return false;
        deadEnd = cell;
    }
    const int up = parent_[cell];
    if (up < 0)
        return true;
    low_[up] = std::min(low_[up], low_[cell]);
    size_[up] += size_[cell];
    balance_[up] += balance_[cell];
    if (up != end_ && low_[cell] >= order_[up]) {
        if (hasSplitChild_[up])
            return false;  // the path would have to end in both parts
        hasSplitChild_[up] = true;
        split[splitCount++] = cell;
    }
    return true;
}

}  // namespace

bool MayHavePath(const uint8_t* cells, int count, int end) {
    if (count <= 1)
        return true;
    TCutCells tree(cells, end);
    if (!tree.Walk() || tree.Visited() != count)
        return false;

    // The path ends inside every split-off part, so the parts nest: ordered from the
    // outermost (first entered by the walk) inwards, each lies in the one before.
    int* parts = tree.split;
    const int partCount = tree.splitCount;
    std::sort(parts, parts + partCount, [&](int a, int b) { return tree.First(a) < tree.First(b); });
    for (int i = 1; i < partCount; ++i)
        if (tree.First(parts[i]) >= tree.Last(parts[i - 1]))
            return false;
    const int innermost = partCount > 0 ? parts[partCount - 1] : end;
    if (tree.deadEnd >= 0 && partCount > 0 &&
        (tree.First(tree.deadEnd) < tree.First(innermost) ||
         tree.First(tree.deadEnd) >= tree.Last(innermost)))
        return false;

    // The path runs from `end` to the first cut cell, from there to the next, and so on;
    // each stretch covers exactly the cells between, so along it the colours alternate
    // from one fixed cell to the other.
    int from = end;
    int outside = tree.Balance(end);  // colour sum of the cells not yet assigned
    for (int i = 0; i < partCount; ++i) {
        const int cut = tree.Parent(parts[i]);
        const int stretch = outside - tree.Balance(parts[i]);
        if (stretch != PathBalance(from, cut))
            return false;
        from = cut;
        outside = tree.Balance(parts[i]) + Sign(cut);
    }
    // The last stretch ends anywhere, on the single dead end if there is one.
    if (tree.deadEnd >= 0)
        return outside == PathBalance(from, tree.deadEnd);
    return outside == 0 || outside == Sign(from);
}

int EnclosedPart(const uint8_t* cells, int end, uint8_t* part, int& partSize) {
    TCutCells tree(cells, end);
    if (!tree.Walk() || tree.splitCount == 0)
        return -1;
    // The parts nest: the one that leaves the most cells on its smaller side.
    auto smallerSide = [&](int child) {
        const int size = tree.Last(child) - tree.First(child);
        return std::min(size, tree.Visited() - size);
    };
    int chosen = tree.split[0];
    for (int i = 1; i < tree.splitCount; ++i)
        if (smallerSide(tree.split[i]) > smallerSide(chosen))
            chosen = tree.split[i];
    const int first = tree.First(chosen);
    const int last = tree.Last(chosen);
    partSize = last - first;
    for (int cell = 0; cell < kBoardCells; ++cell)
        part[cell] = tree.First(cell) >= first && tree.First(cell) < last ? 1 : 0;
    return tree.Parent(chosen);
}

namespace {

// One cell on the search's path: the neighbours still to try from it, in order.
struct TSearchFrame {
    int cell;
    int options[4];
    int optionCount;
    int next;
};

// How many present neighbours `cell` has.
int WaysOn(const uint8_t* cells, int cell) {
    int ways = 0;
    for (const int n : kGeometry.neighbour[cell])
        ways += n >= 0 && cells[n] != 0 ? 1 : 0;
    return ways;
}

// Enters `cell`: removes it and lists its present neighbours in direction order.
// Whether the rest may still be walked from one is asked only when it is tried.
void EnterCell(uint8_t* cells, int cell, std::vector<TSearchFrame>& stack) {
    cells[cell] = 0;
    TSearchFrame frame{cell, {-1, -1, -1, -1}, 0, 0};
    for (const int n : kGeometry.neighbour[cell])
        if (n >= 0 && cells[n] != 0)
            frame.options[frame.optionCount++] = n;
    stack.push_back(frame);
}

// Puts every cell on the search's path back and appends them, first to last, to `out`.
void RestoreCells(uint8_t* cells, const std::vector<TSearchFrame>& stack, std::vector<int>* out) {
    for (const TSearchFrame& frame : stack) {
        cells[frame.cell] = 1;
        if (out != nullptr)
            out->push_back(frame.cell);
    }
}

// The eight cells around a cell, clockwise from the one above: the four neighbours at
// even places, the corners between them at odd places.
constexpr int kRingX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int kRingY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

bool PresentAt(const uint8_t* cells, int x, int y) {
    return IsOnBoard(x, y) && cells[CellIndex(x, y)] != 0;
}

// The present cells around (x, y), in ring order.
void Around(const uint8_t* cells, int x, int y, bool* around) {
    for (int i = 0; i < 8; ++i)
        around[i] = PresentAt(cells, x + kRingX[i], y + kRingY[i]);
}

// Whether the neighbours among `around` hang together through the cells around them:
// then taking the middle cell out of the board separates nothing.
bool HangTogether(const bool* around) {
    int groups = 0;
    for (int i = 0; i < 8; i += 2)
        // A neighbour joins the group of the one before it through the corner between.
        if (around[i] && (!around[(i + 6) % 8] || !around[(i + 7) % 8]))
            ++groups;
    return groups <= 1;  // no group: every neighbour joined to the one before, all round
}

bool HangsTogether(const uint8_t* cells, int x, int y) {
    bool around[8];
    Around(cells, x, y, around);
    return HangTogether(around);
}

// Whether the present neighbours of (x, y) are joined to each other by ways through the
// present cells at most two columns and rows away from it, without (x, y) itself: then
// taking it out of the board separates nothing. The 5 x 5 cells around it are bits
// row * 5 + column of a mask, filled step by step from one neighbour.
bool JoinedNearby(const uint8_t* cells, int x, int y) {
    constexpr int kSide = 5;
    constexpr uint32_t kNotFirstColumn = 0b11110'11110'11110'11110'11110u;
    constexpr uint32_t kNotLastColumn = 0b01111'01111'01111'01111'01111u;
    constexpr uint32_t kNeighbours = (1u << 7) | (1u << 11) | (1u << 13) | (1u << 17);
    uint32_t present = 0;
    for (int row = 0; row < kSide; ++row)
        for (int column = 0; column < kSide; ++column)
            if (PresentAt(cells, x + column - 2, y + row - 2))
                present |= 1u << (row * kSide + column);
    present &= ~(1u << 12);
    const uint32_t neighbours = present & kNeighbours;
    uint32_t reached = neighbours & (~neighbours + 1);  // the first of them
    for (uint32_t before = 0; reached != before;) {
        before = reached;
        reached |= ((reached << 1) & kNotFirstColumn) | ((reached >> 1) & kNotLastColumn) |
                   (reached << kSide) | (reached >> kSide);
        reached &= present;
    }
    return (neighbours & ~reached) == 0;
}

// True when, after a step from `from` (already taken out of `cells`) to its neighbour
// `to`, MayHavePath holds for the board from `to` whenever it held from `from`, so that
// the search need not ask it. That is so when no cell became a cut cell or a dead end
// and no part of the board came loose:
// - the neighbours of `from` hang together without it;
// - none of them but `to` is left with a single way on;
// - `to`, now the end, is no cut cell: its neighbours hang together without it;
// - no other cell around `from` became a cut cell: a new cut cell could only lie
//   there, and a cell v does not become one when its neighbours hang together without
//   it, or when those of `from` but v hang together without `from` and v (every way
//   that passed `from` then has a way around it that avoids v).
// The parts beyond the cut cells are then the same, but for `from`, and the colour sums
// compared hold after a step whenever they held before.
bool StepKeepsShape(const uint8_t* cells, int from, int to) {
    const int x = CellColumn(from);
    const int y = CellRow(from);
    bool around[8];
    Around(cells, x, y, around);
    if (!HangTogether(around))
        return false;
    if (!HangsTogether(cells, CellColumn(to), CellRow(to)) &&
        !JoinedNearby(cells, CellColumn(to), CellRow(to)))
        return false;
    for (int i = 0; i < 8; ++i) {
        if (!around[i])
            continue;
        const int cell = CellIndex(x + kRingX[i], y + kRingY[i]);
        if (cell == to)
            continue;
        if (i % 2 == 0 && WaysOn(cells, cell) < 2)
            return false;
        if (HangsTogether(cells, x + kRingX[i], y + kRingY[i]))
            continue;
        bool without[8];
        std::copy(around, around + 8, without);
        without[i] = false;
        if (!HangTogether(without) && !JoinedNearby(cells, x + kRingX[i], y + kRingY[i]))
            return false;
    }
    return true;
}

}  // namespace

TSearch SearchPath(uint8_t* cells, int count, int end, int budget, std::vector<int>& path,
                   std::vector<int>* reached) {
    std::vector<TSearchFrame> stack;
    stack.reserve(count);

    int left = count;
    int tried = 0;
    EnterCell(cells, end, stack);
    while (!stack.empty()) {
        if (left == 1) {
            RestoreCells(cells, stack, &path);
            return TSearch::Found;
        }
        TSearchFrame& top = stack.back();
        if (top.next < top.optionCount) {
            if (++tried > budget) {
                if (reached != nullptr)
                    reached->clear();
                RestoreCells(cells, stack, reached);
                return TSearch::Undecided;
            }
            const int n = top.options[top.next++];
            if (StepKeepsShape(cells, top.cell, n) || MayHavePath(cells, left - 1, n)) {
                --left;
                EnterCell(cells, n, stack);
            }
        } else {
            cells[top.cell] = 1;
            stack.pop_back();
            ++left;
        }
    }
    return TSearch::None;
}

}  // namespace path_search
