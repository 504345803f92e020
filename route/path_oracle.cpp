#include "route/path_oracle.h"

#include <algorithm>

namespace {

// Plug values: how a piece of the partial path crosses one edge of the sweep line.
constexpr uint32_t kNone = 0;
constexpr uint32_t kOpen = 1;     // left end of a piece whose both ends cross the line
constexpr uint32_t kClose = 2;    // right end of such a piece
constexpr uint32_t kLoose = 3;    // a piece whose other end is an end of the whole path

constexpr uint32_t kPlugBits = 26;
constexpr uint32_t kPlugMask = (1u << kPlugBits) - 1;
constexpr uint32_t kFreeEndUsed = 1u << 28;
constexpr int kTagShift = 29;

constexpr uint8_t kRightEdge = 1;
constexpr uint8_t kDownEdge = 2;

enum : int { kUp = 0, kRight = 1, kDown = 2, kLeft = 3 };

uint32_t Plug(uint32_t state, int pos) { return (state >> (2 * pos)) & 3u; }

uint32_t WithPlug(uint32_t state, int pos, uint32_t value) {
    return (state & ~(3u << (2 * pos))) | (value << (2 * pos));
}

// Position of the plug paired with the open plug at `pos`.
int MatchRight(uint32_t state, int pos) {
    int depth = 0;
    for (int p = pos;; ++p) {
        const uint32_t v = Plug(state, p);
        if (v == kOpen)
            ++depth;
        else if (v == kClose && --depth == 0)
            return p;
    }
}

// Position of the plug paired with the close plug at `pos`.
int MatchLeft(uint32_t state, int pos) {
    int depth = 0;
    for (int p = pos;; --p) {
        const uint32_t v = Plug(state, p);
        if (v == kClose)
            ++depth;
        else if (v == kOpen && --depth == 0)
            return p;
    }
}

// Position of the plug paired with the open or close plug at `pos`.
int Partner(uint32_t state, int pos) {
    return Plug(state, pos) == kOpen ? MatchRight(state, pos) : MatchLeft(state, pos);
}

}  // namespace

void TPathOracle::ResetHash(size_t expected) {
    size_t size = 64;
    while (size < 2 * expected)
        size *= 2;
    if (slots.size() < size) {
        slots.assign(size, 0);
        slotStamp.assign(size, 0);
        stamp = 0;
    }
    slotMask = static_cast<uint32_t>(slots.size() - 1);
    if (++stamp == 0) {
        std::fill(slotStamp.begin(), slotStamp.end(), 0);
        stamp = 1;
    }
}

void TPathOracle::Emit(uint32_t state, uint32_t parent, uint8_t choice) {
    uint32_t h = state * 2654435761u;
    h ^= h >> 15;
    for (uint32_t slot = h & slotMask;; slot = (slot + 1) & slotMask) {
        if (slotStamp[slot] != stamp) {
            slotStamp[slot] = stamp;
            slots[slot] = static_cast<uint32_t>(next.size());
            next.push_back(state);
            parents.push_back(parent);
            choices.push_back(choice);
            return;
        }
        if (next[slots[slot]] == state)
            return;
    }
}

uint32_t TPathOracle::FirstSteps(const uint8_t* cells, int endX, int endY) {
    firstX = kColumns;
    lastX = -1;
    firstY = kRows;
    lastY = -1;
    for (int y = 0; y < kRows; ++y)
        for (int x = 0; x < kColumns; ++x)
            if (cells[y * kColumns + x] != 0) {
                firstX = std::min(firstX, x);
                lastX = std::max(lastX, x);
                firstY = std::min(firstY, y);
                lastY = std::max(lastY, y);
            }
    parents.clear();
    choices.clear();
    layerStart.clear();
    std::fill(std::begin(finalFound), std::end(finalFound), false);
    if (lastX < 0 || endX < 0 || endX >= kColumns || endY < 0 || endY >= kRows ||
        cells[endY * kColumns + endX] == 0)
        return 0;

    endIndex = endY * kColumns + endX;
    const int rows = lastY - firstY + 1;
    const int endCell = (endX - firstX) * rows + (endY - firstY);
    lastCell = 0;
    for (int x = firstX; x <= lastX; ++x)
        for (int y = firstY; y <= lastY; ++y)
            if (cells[y * kColumns + x] != 0)
                lastCell = (x - firstX) * rows + (y - firstY);
    if (firstX == lastX && firstY == lastY)
        return 0;

    auto present = [&](int x, int y) {
        return x <= lastX && y <= lastY && cells[y * kColumns + x] != 0;
    };
    const uint32_t columnMask = (1u << (2 * rows)) - 1;

    current.assign(1, 0);
    for (int k = 0; k <= lastCell; ++k) {
        const int x = firstX + k / rows;
        const int r = k % rows;
        const int y = firstY + r;
        if (r == 0)
            for (uint32_t& s : current)
                s = (s & ~kPlugMask) | ((s & columnMask) << 2);

        next.clear();
        ResetHash(3 * current.size() + 1);
        layerStart.push_back(static_cast<uint32_t>(parents.size()));

        const bool here = cells[y * kColumns + x] != 0;
        const bool canRight = here && present(x + 1, y);
        const bool canDown = here && present(x, y + 1);
        const bool isEnd = k == endCell;
        const bool isLast = k == lastCell;

        for (uint32_t i = 0; i < current.size(); ++i) {
            const uint32_t s = current[i];
            const uint32_t up = Plug(s, r);
            const uint32_t left = Plug(s, r + 1);
            if (!here) {
                if (up == kNone && left == kNone)
                    Emit(s, i, 0);
                continue;
            }
            const uint32_t cleared = WithPlug(WithPlug(s, r, kNone), r + 1, kNone);

            // The cell in the middle of the path: two of its edges are used.
            if (!isEnd) {
                if (up == kNone && left == kNone) {
                    if (canRight && canDown)
                        Emit(WithPlug(WithPlug(s, r, kOpen), r + 1, kClose), i,
                             kRightEdge | kDownEdge);
                } else if (up == kNone || left == kNone) {
                    const uint32_t v = up != kNone ? up : left;
                    if (canRight)
                        Emit(WithPlug(cleared, r, v), i, kRightEdge);
                    if (canDown)
                        Emit(WithPlug(cleared, r + 1, v), i, kDownEdge);
                } else if (up == kOpen && left == kOpen) {
                    Emit(WithPlug(cleared, Partner(s, r + 1), kOpen), i, 0);
                } else if (up == kClose && left == kClose) {
                    Emit(WithPlug(cleared, Partner(s, r), kClose), i, 0);
                } else if (up == kClose && left == kOpen) {
                    Emit(cleared, i, 0);
                } else if (up == kLoose && left == kLoose) {
                    if (isLast && (cleared & kPlugMask) == 0)
                        Emit(cleared, i, 0);
                } else if (up == kLoose) {
                    Emit(WithPlug(cleared, Partner(s, r + 1), kLoose), i, 0);
                } else if (left == kLoose) {
                    Emit(WithPlug(cleared, Partner(s, r), kLoose), i, 0);
                }
                // up open and left close pair with each other: joining them closes a cycle.
            }

            // An end of the whole path: one edge is used.
            if (isEnd || (s & kFreeEndUsed) == 0) {
                const uint32_t mark = isEnd ? 0 : kFreeEndUsed;
                auto tagged = [&](uint32_t state, int direction) {
                    return isEnd ? (state | (static_cast<uint32_t>(direction) << kTagShift))
                                 : (state | mark);
                };
                if (up == kNone && left == kNone) {
                    if (canRight)
                        Emit(tagged(WithPlug(s, r, kLoose), kRight), i, kRightEdge);
                    if (canDown)
                        Emit(tagged(WithPlug(s, r + 1, kLoose), kDown), i, kDownEdge);
                } else if (up == kNone || left == kNone) {
                    const int pos = up != kNone ? r : r + 1;
                    const uint32_t v = up != kNone ? up : left;
                    const int direction = up != kNone ? kUp : kLeft;
                    if (v == kLoose) {
                        if (isLast && (cleared & kPlugMask) == 0)
                            Emit(tagged(cleared, direction), i, 0);
                    } else {
                        Emit(tagged(WithPlug(cleared, Partner(s, pos), kLoose), direction), i,
                             0);
                    }
                }
            }
        }
        current.swap(next);
        if (current.empty())
            return 0;
    }

    uint32_t result = 0;
    for (uint32_t i = 0; i < current.size(); ++i) {
        if ((current[i] & kPlugMask) != 0)
            continue;
        const int tag = static_cast<int>((current[i] >> kTagShift) & 3u);
        if (!finalFound[tag]) {
            finalFound[tag] = true;
            finalStates[tag] = i;
            result |= 1u << tag;
        }
    }
    return result;
}

void TPathOracle::Witness(int direction, std::vector<int>& path) const {
    const int rows = lastY - firstY + 1;
    // Each cell's one or two path neighbours, rebuilt from the edges chosen along the trace.
    int links[kCells][2];
    for (auto& l : links)
        l[0] = l[1] = -1;
    auto link = [&](int a, int b) {
        links[a][links[a][0] >= 0 ? 1 : 0] = b;
        links[b][links[b][0] >= 0 ? 1 : 0] = a;
    };
    uint32_t index = finalStates[direction];
    for (int k = lastCell; k >= 0; --k) {
        const uint32_t g = layerStart[k] + index;
        const int cell = (firstY + k % rows) * kColumns + firstX + k / rows;
        if (choices[g] & kRightEdge)
            link(cell, cell + 1);
        if (choices[g] & kDownEdge)
            link(cell, cell + kColumns);
        index = parents[g];
    }
    int previous = -1;
    for (int cell = endIndex; cell >= 0;) {
        path.push_back(cell);
        const int following = links[cell][0] != previous ? links[cell][0] : links[cell][1];
        previous = cell;
        cell = following;
    }
}
