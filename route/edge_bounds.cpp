#include "route/edge_bounds.h"

#include <initializer_list>

int TEdgeBounds::Load(const uint8_t* cells) {
    int present = 0;
    pendingCount_ = 0;
    for (int cell = 0; cell < kBoardCells; ++cell) {
        used_[cell] = unused_[cell] = neighbours_[cell] = 0;
        queued_[cell] = false;
        for (int d = 0; d < kDirectionCount && cells[cell] != 0; ++d) {
            const int n = NeighbourCell(cell, d);
            if (n >= 0 && cells[n] != 0)
                neighbours_[cell] |= static_cast<uint8_t>(1u << d);
        }
        present += cells[cell] != 0 ? 1 : 0;
    }
    return present;
}

bool TEdgeBounds::Decide(const uint8_t* cells, int endIndex, int otherEndParity) {
    for (int cell = 0; cell < kBoardCells; ++cell) {
        if (cells[cell] == 0)
            continue;
        least_[cell] = cell != endIndex && CellColour(cell) != otherEndParity ? 2 : 1;
        most_[cell] = cell == endIndex ? 1 : 2;
        Queue(cell);
    }
    while (pendingCount_ > 0) {
        const int cell = pending_[--pendingCount_];
        queued_[cell] = false;
        if (!Tighten(cell))
            return false;
    }
    return !UsedEdgesCloseLoop(cells);
}

// Whether the edges every path uses close a loop, which no path can hold.
bool TEdgeBounds::UsedEdgesCloseLoop(const uint8_t* cells) const {
    int root[kBoardCells];
    for (int i = 0; i < kBoardCells; ++i)
        root[i] = i;
    auto find = [&root](int cell) {
        while (root[cell] != cell)
            cell = root[cell] = root[root[cell]];
        return cell;
    };
    for (int cell = 0; cell < kBoardCells; ++cell) {
        if (cells[cell] == 0)
            continue;
        for (const int d : {kRightward, kDownward}) {
            if ((used_[cell] & (1u << d)) == 0)
                continue;
            const int a = find(cell);
            const int b = find(NeighbourCell(cell, d));
            if (a == b)
                return true;
            root[a] = b;
        }
    }
    return false;
}

void TEdgeBounds::Queue(int cell) {
    if (!queued_[cell]) {
        queued_[cell] = true;
        pending_[pendingCount_++] = cell;
    }
}

bool TEdgeBounds::Tighten(int cell) {
    const int fixed = EdgeCount(used_[cell]);
    const unsigned open = neighbours_[cell] & ~(used_[cell] | unused_[cell]) & 0xFu;
    const int undecided = EdgeCount(open);
    if (fixed > most_[cell] || fixed + undecided < least_[cell])
        return false;
    if (undecided == 0 || (fixed < most_[cell] && fixed + undecided > least_[cell]))
        return true;
    uint8_t* side = fixed == most_[cell] ? unused_ : used_;
    for (int d = 0; d < kDirectionCount; ++d) {
        if ((open & (1u << d)) == 0)
            continue;
        const int n = NeighbourCell(cell, d);
        side[cell] |= static_cast<uint8_t>(1u << d);
        side[n] |= static_cast<uint8_t>(1u << (d ^ 2));
        Queue(n);
    }
    return true;
}
