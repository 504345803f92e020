#include "route/path_oracle.h"

#include <algorithm>
#include <cstring>

#include "game/board_geometry.h"
#include "route/edge_bounds.h"

namespace {

// Plug values: how a piece of the partial path crosses one edge of the sweep line.
constexpr uint32_t kNone = 0;
constexpr uint32_t kOpen = 1;   // left end of a piece whose both ends cross the line
constexpr uint32_t kClose = 2;  // right end of such a piece
constexpr uint32_t kLoose = 3;  // a piece whose other end is an end of the whole path

// Positions 0..12 on the sweep line: the edges right of the cells already swept in this
// column, the edge into the current cell from above, and the edges into the cells still
// to come from the left.
constexpr int kRows = TPathOracle::kRows;
constexpr uint32_t kPlugMask = (1u << (2 * (kRows + 1))) - 1;
constexpr uint32_t kColumnMask = (1u << (2 * kRows)) - 1;
constexpr uint32_t kFreeEndUsed = 1u << 28;

constexpr uint32_t kRightEdge = 1;
constexpr uint32_t kDownEdge = 2;
constexpr int kChoiceShift = 30;
constexpr uint32_t kParentMask = (1u << kChoiceShift) - 1;

constexpr int kMinReusedLayers = kRouteLimits.minReusedColumns * TPathOracle::kRows;

uint32_t Plug(uint32_t state, int pos) {
    return (state >> (2 * pos)) & 3u;
}

uint32_t WithPlug(uint32_t state, int pos, uint32_t value) {
    return (state & ~(3u << (2 * pos))) | (value << (2 * pos));
}

// Position of the plug paired with the open or close plug at `pos`.
int Partner(uint32_t state, int pos) {
    const uint32_t own = Plug(state, pos);
    const int step = own == kOpen ? 1 : -1;
    int depth = 0;
    for (int p = pos;; p += step) {
        const uint32_t v = Plug(state, p);
        if (v == own)
            ++depth;
        else if (v == (kOpen ^ kClose ^ own) && --depth == 0)
            return p;
    }
}

// The state after a middle cell at row r joins the pieces whose plugs `up` and `left`
// (both set) lead into it; kNoState when that would close a cycle or finish the path
// before the last cell.
constexpr uint32_t kNoState = 0xFFFFFFFFu;
uint32_t Join(uint32_t s, int r, uint32_t up, uint32_t left, bool isLast) {
    const uint32_t cleared = WithPlug(WithPlug(s, r, kNone), r + 1, kNone);
    if (up == kOpen && left == kOpen)
        return WithPlug(cleared, Partner(s, r + 1), kOpen);
    if (up == kClose && left == kClose)
        return WithPlug(cleared, Partner(s, r), kClose);
    if (up == kClose && left == kOpen)
        return cleared;
    if (up == kLoose && left == kLoose)  // the two ends meet: only the last cell may
        return isLast && (cleared & kPlugMask) == 0 ? cleared : kNoState;
    if (up == kLoose || left == kLoose)
        return WithPlug(cleared, Partner(s, up == kLoose ? r + 1 : r), kLoose);
    return kNoState;  // an open plug above a close plug: the two ends of one piece
}

// Board index of sweep cell k.
int BoardCell(int k, int sweep) {
    const int column = k / kRows;
    const int x = sweep == 0 ? column : TPathOracle::kColumns - 1 - column;
    return (k % kRows) * TPathOracle::kColumns + x;
}

// The right and down edges in sweep order (kRightEdge, kDownEdge) of a cell's edges given
// as board direction bits, for either sweep.
uint8_t SweepEdges(unsigned edges, int sweep) {
    const unsigned right = (edges >> (sweep == 0 ? kRightward : kLeftward)) & 1u;
    return static_cast<uint8_t>(right * kRightEdge | ((edges >> kDownward) & 1u) * kDownEdge);
}

}  // namespace

TPathOracle::TPathOracle() {
    for (TSweep& sweep : sweeps_) {
        sweep.states.resize(1);  // the empty state, before the first cell
        sweep.links.resize(1);
        sweep.stateStart = {0};
        sweep.layerStart = {0, 1};
    }
}

void TPathOracle::ResetHash(size_t expected) {
    size_t size = 32;
    while (size < 2 * expected)
        size *= 2;
    if (slots_.size() < size)
        slots_.resize(size);
    std::fill(slots_.data(), slots_.data() + size, kEmptySlot);
    slotMask_ = static_cast<uint32_t>(size - 1);
    slotCount_ = 0;
}

void TPathOracle::GrowHash(const uint32_t* layer, size_t count) {
    ResetHash(static_cast<size_t>(slotMask_) + 1);  // twice the size
    slotCount_ = static_cast<uint32_t>(count);
    for (size_t i = 0; i < count; ++i) {
        uint32_t slot = Hash(layer[i]) & slotMask_;
        while (slots_[slot] != kEmptySlot)
            slot = (slot + 1) & slotMask_;
        slots_[slot] = layer[i];
    }
}

bool TPathOracle::HasPath(const uint8_t* cells, int endX, int endY) {
    computedStates_ = reusedStates_ = 0;
    const bool lastStopped = stopped_;
    stopped_ = false;
    TQuestion question;
    if (!Prepare(cells, endX, endY, question))
        return false;
    const int chosen = ChooseSweep(question, lastStopped);
    // The other sweep meets the fixed end from the other side. Where the board around
    // one side allows no path, the sweep from that side may show it after a few columns
    // while the other sweeps most of the board. So the two take turns, each going on
    // where it stopped, each share twice the last, until one answers or the limit is
    // reached. The chosen one has chosenShare times the other's share, but the same for
    // the first few turns when the other answered the question before: the walk asks
    // about boards much like the last, and a side that refuted one within a few columns
    // tends to refute the next.
    const int other = 1 - chosen;
    const bool otherAnsweredLast = other == lastSweep_;
    const uint64_t limit = stateLimit_;
    uint64_t spent = 0;
    for (uint64_t share = kRouteLimits.firstShare;; share *= 2) {
        const bool equal = otherAnsweredLast && share < kRouteLimits.equalShares;
        const uint64_t chosenShare = equal ? share : kRouteLimits.chosenShare * share;
        for (const int s : {other, chosen}) {
            stateLimit_ = std::min(s == chosen ? chosenShare : share, limit - spent);
            SetUpSweep(s, question);
            const bool found = Run(sweeps_[s], sweeps_[s].validLayers);
            spent += sweeps_[s].links.size() - reusedStates_;
            if (!stopped_ || spent >= limit) {
                stateLimit_ = limit;
                computedStates_ = spent;
                return found;
            }
            stopped_ = false;
        }
    }
}

bool TPathOracle::Prepare(const uint8_t* cells, int endX, int endY, TQuestion& question) {
    if (endX < 0 || endX >= kColumns || endY < 0 || endY >= kRows || cells[endY * kColumns + endX] == 0)
        return false;
    TEdgeBounds bounds;
    const int present = bounds.Load(cells);
    if (present < 2)
        return false;
    // A cell with a single present neighbour can only be an end of the path; besides
    // the fixed end there is room for one such cell, which is then the other end.
    const int endIndex = endY * kColumns + endX;
    int deadEnd = -1;
    for (int i = 0; i < kCells; ++i) {
        if (cells[i] != 0 && i != endIndex && EdgeCount(bounds.Neighbours(i)) == 1) {
            if (deadEnd >= 0)
                return false;
            deadEnd = i;
        }
    }
    // Along a path the colours of a checkerboard alternate, so the other end has the
    // fixed end's colour when the count is odd and the other colour when it is even.
    const int endParity = CellColour(endIndex);
    question.otherEndParity = present % 2 == 1 ? endParity : 1 - endParity;
    if (!bounds.Decide(cells, endIndex, question.otherEndParity))
        return false;
    FillOrders(cells, bounds.Used(), bounds.Unused(), question);
    question.endCell[0] = endX * kRows + endY;
    question.endCell[1] = (kColumns - 1 - endX) * kRows + endY;
    if (deadEnd >= 0) {
        question.freeEndCell[0] = CellColumn(deadEnd) * kRows + CellRow(deadEnd);
        question.freeEndCell[1] = (kColumns - 1 - CellColumn(deadEnd)) * kRows + CellRow(deadEnd);
    }
    return true;
}

void TPathOracle::FillOrders(const uint8_t* cells, const uint8_t* used, const uint8_t* unused,
                             TQuestion& question) {
    for (int x = 0; x < kColumns; ++x) {
        const int first[2] = {x * kRows, (kColumns - 1 - x) * kRows};
        for (int s = 0; s < 2; ++s) {
            for (int y = 0; y < kRows; ++y) {
                const int cell = y * kColumns + x;
                question.order[s][first[s] + y] = cells[cell] != 0 ? 1 : 0;
                question.forced[s][first[s] + y] = SweepEdges(used[cell], s);
                question.barred[s][first[s] + y] = SweepEdges(unused[cell], s);
            }
        }
    }
    for (int s = 0; s < 2; ++s) {
        int k = kCells - 1;
        while (k >= 0 && question.order[s][k] == 0)
            --k;
        question.lastCell[s] = k;
    }
}

int TPathOracle::ReusableLayers(int s, const TQuestion& question) const {
    const TSweep& old = sweeps_[s];
    int firstChange = kCells;
    int firstForcedChange = kCells;
    for (int k = 0; k < kCells; ++k)
        if (old.cells[k] != question.order[s][k]) {
            firstChange = k;
            break;
        }
    // A layer swept with fewer edges decided keeps more states, never fewer: the states
    // that go against an edge decided now cannot complete.
    for (int k = 0; k < kCells; ++k)
        if ((old.forced[k] & ~question.forced[s][k]) != 0 || (old.barred[k] & ~question.barred[s][k]) != 0) {
            firstForcedChange = k;
            break;
        }
    // Layer k looks at its cell, the cell below, the cell to its right and its decided edges.
    int valid = std::min({old.validLayers, firstChange - kRows, firstForcedChange});
    const int endCell = question.endCell[s];
    const int lastCell = question.lastCell[s];
    const int freeEndCell = question.freeEndCell[s];
    if (old.endCell != endCell)
        valid = std::min({valid, old.endCell, endCell});
    if (old.lastCell != lastCell)
        valid = std::min({valid, old.lastCell, lastCell});
    if (old.otherEndParity != question.otherEndParity)
        valid = 0;
    // Layers swept while the other end could lie anywhere hold more states than needed
    // once it is known, never fewer, so they serve either question. Layers swept with
    // the other end known serve only the same cell, or a cell for which they hold the
    // same states: those before both cells, where neither is used.
    if (old.restrictedFrom < kCells) {
        if (freeEndCell < 0)
            valid = std::min(valid, old.restrictedFrom);
        else if (old.freeEndCell != freeEndCell)
            valid = std::min(valid, std::max(old.restrictedFrom, std::min(old.freeEndCell, freeEndCell)));
    }
    return std::max(valid, 0);
}

int TPathOracle::ChooseSweep(const TQuestion& question, bool lastStopped) {
    const int reusable[2] = {ReusableLayers(0, question), ReusableLayers(1, question)};
    // Layers kept count only from a few columns on, or when the last question stopped in
    // this sweep and this one can use all of it (it goes on where that one stopped):
    // otherwise a sweep that reaches the fixed end late is worth more, as the next
    // questions, which change cells near the end, can use nearly all of it again.
    uint32_t kept[2] = {0, 0};
    for (int s = 0; s < 2; ++s) {
        const bool goesOn = lastStopped && s == lastSweep_ && reusable[s] == sweeps_[s].validLayers;
        if (reusable[s] >= kMinReusedLayers || goesOn)
            kept[s] = sweeps_[s].layerStart[reusable[s] + 1];
    }
    if (kept[0] != kept[1])
        return kept[0] > kept[1] ? 0 : 1;
    // Else the one that reaches the fixed end late: the layers before it hold fewer states.
    return question.endCell[0] >= question.endCell[1] ? 0 : 1;
}

int TPathOracle::SourceLayer(const TSweep& sweep, int k) {
    int source = k - 1;
    while (source >= 0 && sweep.cells[source] == 0)
        --source;
    return source;
}

bool TPathOracle::EndsColumn(const TSweep& sweep, int k) {
    return std::all_of(sweep.cells + k + 1, sweep.cells + k - k % kRows + kRows,
                       [](uint8_t c) { return c == 0; });
}

void TPathOracle::SetUpSweep(int chosen, const TQuestion& question) {
    int reusable = ReusableLayers(chosen, question);
    TSweep& sweep = sweeps_[chosen];
    // A sweep goes on from a layer whose states are kept: else from its column's start.
    int source = SourceLayer(sweep, reusable);
    if (source >= 0 && source != SourceLayer(sweep, sweep.validLayers) && !EndsColumn(sweep, source)) {
        reusable = source / kRows * kRows;
        source = SourceLayer(sweep, reusable);
    }
    std::copy(std::begin(question.order[chosen]), std::end(question.order[chosen]), sweep.cells);
    std::copy(std::begin(question.forced[chosen]), std::end(question.forced[chosen]), sweep.forced);
    std::copy(std::begin(question.barred[chosen]), std::end(question.barred[chosen]), sweep.barred);
    sweep.endCell = question.endCell[chosen];
    sweep.lastCell = question.lastCell[chosen];
    if (question.freeEndCell[chosen] < 0)
        sweep.restrictedFrom = kCells;
    else
        sweep.restrictedFrom = std::min(sweep.restrictedFrom, reusable);
    sweep.freeEndCell = question.freeEndCell[chosen];
    sweep.otherEndParity = question.otherEndParity;
    sweep.validLayers = reusable;
    sweep.layerStart.resize(sweep.validLayers + 2);
    sweep.links.resize(sweep.layerStart.back());
    sweep.stateStart.resize(sweep.validLayers + 1);
    sweep.states.resize(sweep.stateStart[source + 1] + sweep.layerStart[source + 2] -
                        sweep.layerStart[source + 1]);
    reusedStates_ = sweep.links.size();
    lastSweep_ = chosen;
}

bool TPathOracle::Run(TSweep& sweep, int firstLayer) {
    for (int k = firstLayer; k <= sweep.lastCell; ++k) {
        // An absent cell passes every state on unchanged, as no edge leads into it: its
        // layer holds nothing of its own and stands for the last present cell's layer.
        if (sweep.cells[k] != 0)
            SweepCell(sweep, k);
        else
            sweep.stateStart.push_back(static_cast<uint32_t>(sweep.states.size()));
        sweep.layerStart.push_back(static_cast<uint32_t>(sweep.links.size()));
        sweep.validLayers = k + 1;
        if (sweep.cells[k] != 0 && sweep.layerStart[k + 2] == sweep.layerStart[k + 1])
            return false;
        if (sweep.links.size() - reusedStates_ > stateLimit_) {
            stopped_ = true;
            return false;
        }
    }
    return Answer(sweep);
}

// Adds `state` to the layer unless it is there already or `choice` leaves out an edge
// that every path uses.
inline void TPathOracle::Emit(TSweep& sweep, const TLayer& layer, uint32_t state, uint32_t parent,
                              uint32_t choice) {
    if ((choice & layer.forced) != layer.forced || (choice & layer.barred) != 0)
        return;
    for (uint32_t slot = Hash(state) & slotMask_;; slot = (slot + 1) & slotMask_) {
        const uint32_t held = slots_[slot];
        if (held == kEmptySlot) {
            slots_[slot] = state;
            sweep.states.push_back(state);
            sweep.links.push_back(parent | (choice << kChoiceShift));
            if (2 * ++slotCount_ > slotMask_)
                GrowHash(sweep.states.data() + layer.begin, sweep.states.size() - layer.begin);
            return;
        }
        if (held == state)
            return;
    }
}

// The cell in the middle of the path: two of its edges are used.
inline void TPathOracle::PassMiddle(TSweep& sweep, const TLayer& layer, uint32_t s, uint32_t parent) {
    const int r = layer.row;
    const uint32_t up = Plug(s, r);
    const uint32_t left = Plug(s, r + 1);
    const uint32_t cleared = WithPlug(WithPlug(s, r, kNone), r + 1, kNone);
    auto emit = [&](uint32_t state, uint32_t choice) { Emit(sweep, layer, state, parent, choice); };
    if (up == kNone && left == kNone) {
        if (layer.canRight && layer.canDown)
            emit(WithPlug(WithPlug(s, r, kOpen), r + 1, kClose), kRightEdge | kDownEdge);
    } else if (up == kNone || left == kNone) {
        const uint32_t v = up != kNone ? up : left;
        if (layer.canRight)
            emit(WithPlug(cleared, r, v), kRightEdge);
        if (layer.canDown)
            emit(WithPlug(cleared, r + 1, v), kDownEdge);
    } else if (const uint32_t joined = Join(s, r, up, left, layer.isLast); joined != kNoState) {
        emit(joined, 0);
    }
}

// An end of the whole path: one edge is used. The free end marks the state as having used it.
inline void TPathOracle::PassEnd(TSweep& sweep, const TLayer& layer, uint32_t s, uint32_t parent) {
    const int r = layer.row;
    const uint32_t up = Plug(s, r);
    const uint32_t left = Plug(s, r + 1);
    const uint32_t cleared = WithPlug(WithPlug(s, r, kNone), r + 1, kNone);
    auto mark = [&](uint32_t state) { return layer.isEnd ? state : state | kFreeEndUsed; };
    auto emit = [&](uint32_t state, uint32_t choice) { Emit(sweep, layer, state, parent, choice); };
    if (up == kNone && left == kNone) {
        if (layer.canRight)
            emit(mark(WithPlug(s, r, kLoose)), kRightEdge);
        if (layer.canDown)
            emit(mark(WithPlug(s, r + 1, kLoose)), kDownEdge);
    } else if (up == kNone || left == kNone) {
        const int pos = up != kNone ? r : r + 1;
        const uint32_t v = up != kNone ? up : left;
        if (v == kLoose) {
            if (layer.isLast && (cleared & kPlugMask) == 0)
                emit(mark(cleared), 0);
        } else {
            emit(mark(WithPlug(cleared, Partner(s, pos), kLoose)), 0);
        }
    }
}

// Passes every state of the last present cell's layer before k through sweep cell k,
// which is present.
void TPathOracle::SweepCell(TSweep& sweep, int k) {
    const int source = SourceLayer(sweep, k);
    const uint32_t count = sweep.layerStart[source + 2] - sweep.layerStart[source + 1];
    const uint32_t begin = sweep.stateStart[source + 1];
    // Entering a new column moves the edges into it to their places on the sweep line.
    const bool newColumn = source < 0 || source / kRows != k / kRows;
    TLayer layer;
    layer.row = k % kRows;
    layer.canRight = k + kRows < kCells && sweep.cells[k + kRows] != 0;
    layer.canDown = layer.row + 1 < kRows && sweep.cells[k + 1] != 0;
    layer.isEnd = k == sweep.endCell;
    layer.isLast = k == sweep.lastCell;
    layer.forced = sweep.forced[k];
    layer.barred = sweep.barred[k];
    const int boardCell = BoardCell(k, static_cast<int>(&sweep - sweeps_));
    layer.freeEndAllowed =
        (sweep.freeEndCell < 0 || k == sweep.freeEndCell) && CellColour(boardCell) == sweep.otherEndParity;
    // A layer holds up to about twice its source's states: a set sized for that seldom
    // grows, which spared the adversarial positions a tenth of their time.
    ResetHash(2 * count + 1);
    layer.begin = static_cast<uint32_t>(sweep.states.size());

    for (uint32_t parent = 0; parent < count; ++parent) {
        uint32_t s = sweep.states[begin + parent];
        if (newColumn)
            s = (s & ~kPlugMask) | ((s & kColumnMask) << 2);
        if (!layer.isEnd)
            PassMiddle(sweep, layer, s, parent);
        if (layer.isEnd || ((s & kFreeEndUsed) == 0 && layer.freeEndAllowed))
            PassEnd(sweep, layer, s, parent);
    }
    if (beam_ != 0 && sweep.states.size() - layer.begin > beam_)
        Narrow(sweep, layer.begin);
    // The source's states go unless a later sweep may go on from them.
    if (source >= 0 && !EndsColumn(sweep, source)) {
        const size_t made = sweep.states.size() - layer.begin;
        std::memmove(sweep.states.data() + begin, sweep.states.data() + layer.begin, made * sizeof(uint32_t));
        sweep.states.resize(begin + made);
        layer.begin = begin;
    }
    sweep.stateStart.push_back(layer.begin);
}

void TPathOracle::Narrow(TSweep& sweep, uint32_t begin) {
    const size_t count = sweep.states.size() - begin;
    const size_t linkBegin = sweep.links.size() - count;
    auto key = [&](size_t i) { return Hash(sweep.states[begin + i] ^ 0x5bd1e995u); };
    std::vector<uint32_t> keys(count);
    for (size_t i = 0; i < count; ++i)
        keys[i] = key(i);
    std::nth_element(keys.begin(), keys.begin() + beam_ - 1, keys.end());
    const uint32_t highest = keys[beam_ - 1];
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i)
        if (key(i) <= highest) {
            sweep.states[begin + kept] = sweep.states[begin + i];
            sweep.links[linkBegin + kept++] = sweep.links[linkBegin + i];
        }
    sweep.states.resize(begin + kept);
    sweep.links.resize(linkBegin + kept);
}

bool TPathOracle::Answer(const TSweep& sweep) {
    if (sweep.lastCell < 0)
        return false;
    const uint32_t count = sweep.layerStart[sweep.lastCell + 2] - sweep.layerStart[sweep.lastCell + 1];
    const uint32_t begin = sweep.stateStart[sweep.lastCell + 1];
    for (uint32_t i = 0; i < count; ++i) {
        if ((sweep.states[begin + i] & kPlugMask) == 0) {
            finalIndex_ = i;
            return true;
        }
    }
    return false;
}

void TPathOracle::Witness(std::vector<int>& path) const {
    uint32_t index = finalIndex_;
    const TSweep& sweep = sweeps_[lastSweep_];
    // Each cell's one or two path neighbours, rebuilt from the edges chosen along the trace.
    int links[kCells][2];
    for (auto& l : links)
        l[0] = l[1] = -1;
    auto join = [&](int a, int b) {
        links[a][links[a][0] >= 0 ? 1 : 0] = b;
        links[b][links[b][0] >= 0 ? 1 : 0] = a;
    };
    for (int k = sweep.lastCell; k >= 0; --k) {
        if (sweep.cells[k] == 0)
            continue;
        const uint32_t link = sweep.links[sweep.layerStart[k + 1] + index];
        const uint32_t choice = link >> kChoiceShift;
        if (choice & kRightEdge)
            join(BoardCell(k, lastSweep_), BoardCell(k + kRows, lastSweep_));
        if (choice & kDownEdge)
            join(BoardCell(k, lastSweep_), BoardCell(k + 1, lastSweep_));
        index = link & kParentMask;
    }
    int previous = -1;
    for (int cell = BoardCell(sweep.endCell, lastSweep_); cell >= 0;) {
        path.push_back(cell);
        const int following = links[cell][0] != previous ? links[cell][0] : links[cell][1];
        previous = cell;
        cell = following;
    }
}
