#include "route/path_cover.h"

#include <algorithm>
#include <cstdlib>

namespace {

// The colour whose cells send the flow.
constexpr int kSender = 0;

int Opposite(int d) {
    return d ^ 2;
}

// The direction from `cell` to `neighbour`, which lies next to it.
int DirectionTo(int cell, int neighbour) {
    int d = 0;
    while (d + 1 < kDirectionCount && NeighbourCell(cell, d) != neighbour)
        ++d;
    return d;
}

}  // namespace

bool TPathCover::Open(int cell, int d) const {
    return ((bounds_.Used()[cell] | bounds_.Unused()[cell]) & (1u << d)) == 0;
}

void TPathCover::Connect(int cell, int d) {
    const int n = NeighbourCell(cell, d);
    edges_[cell] |= static_cast<uint8_t>(1u << d);
    edges_[n] |= static_cast<uint8_t>(1u << Opposite(d));
}

void TPathCover::Disconnect(int cell, int d) {
    const int n = NeighbourCell(cell, d);
    edges_[cell] &= static_cast<uint8_t>(~(1u << d));
    edges_[n] &= static_cast<uint8_t>(~(1u << Opposite(d)));
}

bool TPathCover::Solve(const uint8_t* cells, int end, TLines lines, unsigned shuffle, int otherEnd) {
    endCell_ = end;
    count_ = 0;
    if (end < 0 || end >= kBoardCells)
        return false;
    int total[2] = {0, 0};
    for (int cell = 0; cell < kBoardCells; ++cell) {
        present_[cell] = cells[cell] != 0 ? 1 : 0;
        edges_[cell] = 0;
        room_[cell] = present_[cell] == 0 ? 0 : cell == end || cell == otherEnd ? 1 : 2;
        total[CellColour(cell)] += room_[cell];
        count_ += present_[cell];
    }
    if (count_ < 2 || present_[end] == 0)
        return count_ == 1 && present_[end] != 0;
    // The other end has one edge: unless it is given, its colour's cells take one edge
    // fewer than they could, and the colours' edges must match.
    if (std::abs(total[0] - total[1]) != (otherEnd < 0 ? 1 : 0))
        return false;
    const int otherEndParity = otherEnd >= 0 ? CellColour(otherEnd) : total[0] > total[1] ? 0 : 1;
    bounds_.Load(cells);
    if (!bounds_.Decide(cells, end, otherEndParity))
        return false;
    const int needed = std::min(total[0], total[1]);
    int flow = 0;
    if (!TakeDecidedEdges(flow))
        return false;
    TakeEdgesAlong(lines, shuffle, flow);
    while (flow < needed && Augment())
        ++flow;
    return flow == needed;
}

// The edges every path uses are in every cover (those no path uses in none: Open); false
// when they give a cell more edges than it may have. Counts them into `flow`.
bool TPathCover::TakeDecidedEdges(int& flow) {
    for (int cell = 0; cell < kBoardCells; ++cell) {
        if (CellColour(cell) != kSender)
            continue;
        for (int d = 0; d < kDirectionCount; ++d) {
            if ((bounds_.Used()[cell] & (1u << d)) == 0)
                continue;
            const int n = NeighbourCell(cell, d);
            if (n < 0 || room_[cell] == 0 || room_[n] == 0)
                return false;
            Connect(cell, d);
            --room_[cell];
            --room_[n];
            ++flow;
        }
    }
    return true;
}

// Most of the flow goes the obvious way, along the preferred lines first, as parallel
// edges join pieces; augmenting paths do the rest. Counts the edges into `flow`.
void TPathCover::TakeEdgesAlong(TLines lines, unsigned shuffle, int& flow) {
    for (int cell = 0; cell < kBoardCells; ++cell) {
        if (CellColour(cell) != kSender)
            continue;
        int order[kDirectionCount] = {kRightward, kLeftward, kUpward, kDownward};
        if (lines == TLines::Columns)
            std::rotate(order, order + 2, order + 4);
        if (lines == TLines::Shuffled) {
            uint32_t h = (static_cast<uint32_t>(cell) + 1) * 2654435761u ^ shuffle * 40503u;
            h = (h ^ (h >> 13)) * 0x5bd1e995u;
            h ^= h >> 15;
            for (uint32_t i = kDirectionCount - 1; i > 0; h /= i + 1, --i)
                std::swap(order[i], order[h % (i + 1)]);
        }
        for (const int d : order) {
            if (room_[cell] == 0)
                break;
            const int n = NeighbourCell(cell, d);
            if (n >= 0 && room_[n] > 0 && Open(cell, d)) {
                Connect(cell, d);
                --room_[cell];
                --room_[n];
                ++flow;
            }
        }
    }
}

// One more edge for the cover: a breadth-first search from the senders with room left,
// over unused edges to the other colour and back over used ones, to a cell of the other
// colour with room left; the edges along it are switched.
bool TPathCover::Augment() {
    int from[kBoardCells];
    int queue[kBoardCells];
    int head = 0, tail = 0;
    std::fill(std::begin(from), std::end(from), -2);
    for (int cell = 0; cell < kBoardCells; ++cell) {
        if (room_[cell] > 0 && CellColour(cell) == kSender) {
            from[cell] = -1;
            queue[tail++] = cell;
        }
    }
    while (head < tail) {
        const int cell = queue[head++];
        const bool sender = CellColour(cell) == kSender;
        for (int d = 0; d < kDirectionCount; ++d) {
            const int n = NeighbourCell(cell, d);
            const bool used = (edges_[cell] & (1u << d)) != 0;
            if (n < 0 || present_[n] == 0 || from[n] != -2 || used != !sender || !Open(cell, d))
                continue;
            from[n] = cell;
            if (sender && room_[n] > 0) {
                SwitchAlong(from, n);
                return true;
            }
            queue[tail++] = n;
        }
    }
    return false;
}

// Switches the edges along the augmenting path that `from` leads back from `n`.
void TPathCover::SwitchAlong(const int* from, int n) {
    --room_[n];
    for (int at = n; from[at] >= 0; at = from[at]) {
        const int back = from[at];
        (this->*(CellColour(back) == kSender ? &TPathCover::Connect : &TPathCover::Disconnect))(
            back, DirectionTo(back, at));
        if (from[back] < 0)
            --room_[back];
    }
}

bool TPathCover::Flood(int start, int* label, int value, bool toOtherPiece) const {
    int stack[kBoardCells];
    int top = 0;
    stack[top++] = start;
    label[start] = value;
    while (top > 0) {
        const int at = stack[--top];
        if (toOtherPiece && piece_[at] != piece_[start])
            return true;
        for (int d = 0; d < kDirectionCount; ++d) {
            const int n = NeighbourCell(at, d);
            if ((edges_[at] & (1u << d)) != 0 && label[n] < 0) {
                label[n] = value;
                stack[top++] = n;
            }
        }
    }
    return false;
}

int TPathCover::LabelPieces(int* piece) const {
    std::fill(piece, piece + kBoardCells, -1);
    int pieces = 0;
    for (int cell = 0; cell < kBoardCells; ++cell)
        if (present_[cell] != 0 && piece[cell] < 0)
            Flood(cell, piece, pieces++, false);
    return pieces;
}

// Finds a square whose two opposite sides are edges of different pieces and swaps them
// for the other two sides: the pieces become one. False when there is none.
bool TPathCover::JoinTwoPieces() {
    for (int y = 0; y + 1 < kBoardRows; ++y) {
        for (int x = 0; x + 1 < kBoardColumns; ++x) {
            const int a = CellIndex(x, y);
            const int b = a + 1;
            const int c = a + kBoardColumns;
            const int d = c + 1;
            if (SwapParallelSides(a, b, c, d) || SwapParallelSides(a, c, b, d))
                return true;
        }
    }
    return false;
}

// Where the sides a-b and c-d of a square (a next to c, b next to d) are edges of
// different pieces, swaps them for its sides a-c and b-d. False when they are not.
bool TPathCover::SwapParallelSides(int a, int b, int c, int d) {
    const int along = DirectionTo(a, b);
    const int across = DirectionTo(a, c);
    if ((edges_[a] & (1u << along)) == 0 || (edges_[c] & (1u << along)) == 0 || piece_[a] == piece_[c])
        return false;
    edges_[a] ^= static_cast<uint8_t>((1u << along) | (1u << across));
    edges_[b] ^= static_cast<uint8_t>((1u << Opposite(along)) | (1u << across));
    edges_[c] ^= static_cast<uint8_t>((1u << along) | (1u << Opposite(across)));
    edges_[d] ^= static_cast<uint8_t>((1u << Opposite(along)) | (1u << Opposite(across)));
    return true;
}

// Swaps the edges along an alternating cycle (an edge of the cover taken out, one not in
// it put in, and so on back to the start) where that leaves fewer pieces. A cycle that is
// joined loses an edge and gains one to another piece, next to each other: the search
// starts by taking out an edge of a cycle and putting in one from it to another piece.
// False when none of at most kRouteLimits.alternatingPairs pairs is found.
bool TPathCover::JoinAlongAlternatingCycle() {
    const int pieces = LabelPieces();
    const int pathPiece = piece_[endCell_];
    for (int a = 0; a < kBoardCells; ++a) {
        if (present_[a] == 0 || piece_[a] == pathPiece)
            continue;
        for (int d = 0; d < kDirectionCount; ++d) {
            if ((edges_[a] & (1u << d)) == 0)
                continue;
            const int b = NeighbourCell(a, d);
            Disconnect(a, d);
            if (Alternate(a, b, kRouteLimits.alternatingPairs, pieces))
                return true;
            Connect(a, d);
        }
    }
    return false;
}

// Cell `at` has lost an edge: puts one in from it (the first to another piece) and,
// unless that closes the cycle at `start`, takes one out of the cell reached and goes on
// from the cell at its other side.
bool TPathCover::Alternate(int start, int at, int pairsLeft, int pieces) {
    const bool first = pairsLeft == kRouteLimits.alternatingPairs;
    if (--alternateSteps_ < 0)
        return false;
    for (int d = 0; d < kDirectionCount; ++d) {
        const int c = NeighbourCell(at, d);
        if (c < 0 || present_[c] == 0 || (edges_[at] & (1u << d)) != 0 ||
            (first && piece_[c] == piece_[start]))
            continue;
        Connect(at, d);
        int label[kBoardCells];
        if (c == start && ReachesOtherPiece(start) && LabelPieces(label) < pieces)
            return true;
        for (int e = 0; c != start && pairsLeft > 1 && e < kDirectionCount; ++e) {
            const int next = NeighbourCell(c, e);
            // From `next` the cycle needs one edge in, then a pair per two cells.
            if ((edges_[c] & (1u << e)) == 0 || e == Opposite(d) ||
                std::abs(CellColumn(next) - CellColumn(start)) + std::abs(CellRow(next) - CellRow(start)) >
                    2 * pairsLeft - 3)
                continue;
            Disconnect(c, e);
            if (Alternate(start, next, pairsLeft - 1, pieces))
                return true;
            Connect(c, e);
        }
        Disconnect(at, d);
    }
    return false;
}

// Whether the cells joined to `start` by edges now include one of another piece than its
// own, as labelled before: only then may the pieces have become fewer.
bool TPathCover::ReachesOtherPiece(int start) const {
    int seen[kBoardCells];
    std::fill(std::begin(seen), std::end(seen), -1);
    return Flood(start, seen, 0, true);
}

// Where the path's other end lies next to a cycle, opens the cycle there and lets the
// path go round it: the cycle's cell beside the old end becomes the new end's way in.
int TPathCover::FreeEnd() const {
    for (int cell = 0; cell < kBoardCells; ++cell)
        if (present_[cell] != 0 && cell != endCell_ && EdgeCount(edges_[cell]) == 1)
            return cell;
    return -1;
}

bool TPathCover::TakeInCycleAtEnd() {
    const int freeEnd = FreeEnd();
    if (freeEnd < 0)
        return false;
    for (int d = 0; d < kDirectionCount; ++d) {
        const int n = NeighbourCell(freeEnd, d);
        if (n < 0 || present_[n] == 0 || piece_[n] == piece_[freeEnd])
            continue;
        int cycleSide = 0;
        while ((edges_[n] & (1u << cycleSide)) == 0)
            ++cycleSide;
        Disconnect(n, cycleSide);
        Connect(freeEnd, d);
        return true;
    }
    return false;
}

// Moves the path's other end where the end lies next to a cell of the path other than
// the one before it: that edge is taken and the edge from that cell towards the end
// dropped, which turns the stretch between them round. Each move goes to the end reached
// least often so far; one join makes at most twice as many moves as there are cells.
// True once the end lies next to a cycle.
bool TPathCover::MoveEndNextToCycle() {
    std::vector<int> path;
    TracePath(path);
    int at[kBoardCells];
    std::fill(std::begin(at), std::end(at), -1);
    for (size_t i = 0; i < path.size(); ++i)
        at[path[i]] = static_cast<int>(i);
    uint8_t reached[kBoardCells] = {};
    const int last = static_cast<int>(path.size()) - 1;
    for (; movesLeft_ > 0; --movesLeft_) {
        const int end = path.back();
        int pivot = -1;
        for (int d = 0; d < kDirectionCount; ++d) {
            const int n = NeighbourCell(end, d);
            if (n < 0 || present_[n] == 0)
                continue;
            if (at[n] < 0)
                return true;  // on a cycle
            // The fixed end keeps its single edge.
            if (at[n] > 0 && at[n] < last - 1 &&
                (pivot < 0 || reached[path[at[n] + 1]] < reached[path[at[pivot] + 1]]))
                pivot = n;
        }
        if (pivot < 0)
            return false;
        const int i = at[pivot];
        Disconnect(pivot, DirectionTo(pivot, path[i + 1]));
        Connect(end, DirectionTo(end, pivot));
        std::reverse(path.begin() + i + 1, path.end());
        for (int j = i + 1; j <= last; ++j)
            at[path[j]] = j;
        ++reached[path.back()];
    }
    return false;
}

void TPathCover::TracePath(std::vector<int>& path) const {
    path.clear();
    for (int cell = endCell_, previous = -1; cell >= 0 && static_cast<int>(path.size()) < count_;) {
        path.push_back(cell);
        int next = -1;
        for (int d = 0; d < kDirectionCount; ++d) {
            const int n = NeighbourCell(cell, d);
            if ((edges_[cell] & (1u << d)) != 0 && n != previous)
                next = n;
        }
        previous = cell;
        cell = next;
    }
}

bool TPathCover::JoinIntoPath(std::vector<int>& path, bool thorough) {
    movesLeft_ = kRouteLimits.endMovesPerCell * count_;
    alternateSteps_ = kRouteLimits.alternatingSteps;
    while (LabelPieces() > 1)
        if (!JoinTwoPieces() && !TakeInCycleAtEnd() && !(thorough && JoinAlongAlternatingCycle()) &&
            !(thorough && MoveEndNextToCycle() && TakeInCycleAtEnd()))
            return false;
    TracePath(path);
    return static_cast<int>(path.size()) == count_;
}

bool TPathCover::JoinWithEndInCycle(const uint8_t* cells, int end, std::vector<int>& path) {
    const int freeEnd = FreeEnd();
    if (freeEnd < 0 || LabelPieces() < 2)
        return false;
    std::vector<int> ends;
    for (int cell = 0; cell < kBoardCells; ++cell)
        if (present_[cell] != 0 && piece_[cell] != piece_[end] && CellColour(cell) == CellColour(freeEnd))
            ends.push_back(cell);
    const size_t tries = std::min(ends.size(), static_cast<size_t>(kRouteLimits.endsInCycle));
    for (size_t i = 0; i < tries; ++i)
        if (Solve(cells, end, TLines::Rows, 0, ends[i * ends.size() / tries]) && JoinIntoPath(path))
            return true;
    return false;
}
