// Exact test whether the present cells of a board can be walked in one path from a given end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "game/board_geometry.h"
#include "route/route_limits.h"
#include "route/state_array.h"

// Decides, for a set of present cells on an 18 x 12 board and a fixed end cell E, whether
// a path exists that starts at E, moves in orthogonal steps and visits every present cell
// exactly once, and gives one such path. It sweeps the board
// column by column, cell by cell, keeping only how the partial path's pieces cross the
// sweep line, so its cost does not depend on how many paths there are. A cell with a
// single neighbour, and the colour a path's length gives its other end, narrow where
// that other end may lie; edges that the cells' degrees alone show every path to use, or
// none, make the sweep drop at once the partial paths that go against them.
//
// The sweep runs from the left or from the right. For each of the two it keeps the state
// sets of its last run, and a later call reuses the leading columns that nothing has
// changed since; a walk that removes cells near its end therefore pays mostly for the
// columns around that end. The two sweeps take turns on a question, the one that keeps
// more with the larger share: a board that allows no path near one side shows it to the
// sweep from that side within a few columns. A narrow oracle (SetBeam) keeps a few
// states a layer: it finds a route quickly where there are many, and proves nothing
// where it finds none. Only exhausted memory throws (std::bad_alloc).
class TPathOracle {
public:
    static constexpr int kColumns = kBoardColumns;
    static constexpr int kRows = kBoardRows;
    static constexpr int kCells = kBoardCells;

    TPathOracle();

    // True when some path over every cell with cells[i] != 0 starts at the end cell
    // (endX, endY). An end off the board or absent, or alone on the board, gives false.
    // `cells` holds kCells entries, index y * kColumns + x; the caller keeps ownership.
    bool HasPath(const uint8_t* cells, int endX, int endY);

    // After a HasPath that returned true: appends to `path` the cell indices
    // (y * kColumns + x) of one path it found, from the end cell.
    void Witness(std::vector<int>& path) const;

    // States the last HasPath computed afresh (for measurements).
    uint64_t LastComputedStates() const { return computedStates_; }

    // Makes later questions stop, answering false, once they have computed more than `limit`
    // states afresh; LastStopped() then tells. The layers swept so far are kept, so the
    // same question asked again goes on where it stopped. No limit at first.
    void SetStateLimit(uint64_t limit) { stateLimit_ = limit; }
    bool LastStopped() const { return stopped_; }

    // Keeps at most `width` states of each layer, chosen by a hash of the state, or all
    // with 0 (the default). A path found is still a path; finding none proves nothing.
    void SetBeam(uint32_t width) { beam_ = width; }

private:
    // The layers of one sweep direction: layer k holds the states after sweep cell k. The
    // layer of an absent cell holds nothing and stands for the last present cell's before it.
    struct TSweep {
        uint8_t cells[kCells] = {};   // in sweep order: index column * kRows + row
        uint8_t forced[kCells] = {};  // edges every path uses: kRightEdge, kDownEdge bits
        uint8_t barred[kCells] = {};  // edges no path uses
        int endCell = -1;
        int lastCell = -1;
        int freeEndCell = -1;         // the only cell that may be the other end, or -1 for any
        int restrictedFrom = kCells;  // first layer swept with freeEndCell in force
        int otherEndParity = -1;      // checkerboard colour the other end must have
        int validLayers = 0;
        // The states of the layers that end a column and of the last layer swept, the
        // only ones a later sweep goes on from: the others are dropped once the next
        // layer is made, which halves the memory a sweep holds.
        TStateArray states;
        std::vector<uint32_t> stateStart;  // stateStart[k + 1]: first state of layer k, if kept
        // For every layer: parent index in the layer before, edge bits on top.
        TStateArray links;
        std::vector<uint32_t> layerStart;  // layerStart[k + 1]: first link of layer k
    };
    // A state never has its top bit set, so that value marks a free slot.
    static constexpr uint32_t kEmptySlot = 0xFFFFFFFFu;

    // One question in both sweep orders: the cells in sweep order and where its special
    // cells lie in each.
    struct TQuestion {
        int otherEndParity = -1;
        uint8_t order[2][kCells];
        uint8_t forced[2][kCells];
        uint8_t barred[2][kCells];
        int endCell[2] = {-1, -1};
        int lastCell[2] = {-1, -1};
        int freeEndCell[2] = {-1, -1};
    };
    // The layer being swept: where its states begin and what its cell allows.
    struct TLayer {
        int row = 0;
        bool canRight = false;
        bool canDown = false;
        bool isEnd = false;
        bool isLast = false;
        bool freeEndAllowed = false;
        uint32_t forced = 0;  // the edges to the right and down that every path uses
        uint32_t barred = 0;  // and those that no path uses
        uint32_t begin = 0;   // first state of this layer in the sweep's arrays
    };

    TSweep sweeps_[2];
    int lastSweep_ = 0;
    uint32_t finalIndex_ = 0;
    uint64_t computedStates_ = 0;
    uint64_t reusedStates_ = 0;
    uint64_t stateLimit_ = UINT64_MAX;
    bool stopped_ = false;
    uint32_t beam_ = 0;
    TStateArray slots_;
    uint32_t slotMask_ = 0;
    uint32_t slotCount_ = 0;

    static uint32_t Hash(uint32_t state) {
        const uint32_t h = state * 2654435761u;
        return h ^ (h >> 15);
    }
    // Starts an empty state set for about `expected` states.
    void ResetHash(size_t expected);
    // Doubles the set's table and puts the layer's `count` states back into it.
    void GrowHash(const uint32_t* layer, size_t count);

    // Phase 1: the dead end that must be the other end, the other end's colour, the edges
    // the cells' degrees decide, and the question in both sweep orders; false when the
    // question has no path at once.
    static bool Prepare(const uint8_t* cells, int endX, int endY, TQuestion& question);
    // Phase 1: the cells in both sweep orders, and which edges to the right and down every
    // path uses (`used`) or none does (`unused`), given in board directions per cell.
    static void FillOrders(const uint8_t* cells, const uint8_t* used, const uint8_t* unused,
                           TQuestion& question);
    // Phase 2: the leading layers of a sweep's last run that still hold for `question`.
    int ReusableLayers(int sweep, const TQuestion& question) const;
    // Phase 2: the sweep that keeps more states for `question`; `lastStopped`: the last
    // question stopped at the limit, so that its sweep may go on.
    int ChooseSweep(const TQuestion& question, bool lastStopped);
    // Phase 2: makes sweep `chosen` ready for `question` from the layers it can keep.
    void SetUpSweep(int chosen, const TQuestion& question);
    // Phases 3 and 4: sweeps the remaining layers; whether a complete path was found.
    bool Run(TSweep& sweep, int firstLayer);
    void SweepCell(TSweep& sweep, int k);
    // The last present cell before layer k (-1: none), and whether sweep cell k is the
    // last present one of its column.
    static int SourceLayer(const TSweep& sweep, int k);
    static bool EndsColumn(const TSweep& sweep, int k);
    void PassMiddle(TSweep& sweep, const TLayer& layer, uint32_t s, uint32_t parent);
    // Keeps the `beam_` states of the layer begun at `begin` whose hashes are lowest.
    void Narrow(TSweep& sweep, uint32_t begin);
    void PassEnd(TSweep& sweep, const TLayer& layer, uint32_t s, uint32_t parent);
    void Emit(TSweep& sweep, const TLayer& layer, uint32_t state, uint32_t parent, uint32_t choice);
    // Phase 4: whether a path is complete after the last cell.
    bool Answer(const TSweep& sweep);
};
