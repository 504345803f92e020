// Exact test whether the present cells of a board can be walked in one path from a given end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decides, for a set of present cells on an 18 x 12 board and a fixed end cell E, whether
// a path exists that starts at E, moves in orthogonal steps and visits every present cell
// exactly once, and in which directions such a path can leave E. It sweeps the board
// column by column, cell by cell, keeping only how the partial path's pieces cross the
// sweep line, so its cost does not depend on how many paths there are. Its buffers are
// kept between calls. Only exhausted memory throws (std::bad_alloc).
class TPathOracle {
public:
    static constexpr int kColumns = 18;
    static constexpr int kRows = 12;
    static constexpr int kCells = kColumns * kRows;

    // Bit d (0 up, 1 right, 2 down, 3 left) is set when some path over every cell with
    // cells[i] != 0 leaves the end cell (endX, endY) in direction d; 0 when no path
    // exists. The end cell must be present; with it as the only cell the result is 0.
    // `cells` holds kCells entries, index y * kColumns + x; the caller keeps ownership.
    uint32_t FirstSteps(const uint8_t* cells, int endX, int endY);

    // Appends to `path` the cell indices of one path found by the last FirstSteps that
    // leaves the end cell in `direction`, which must be set in that call's result.
    void Witness(int direction, std::vector<int>& path) const;

    // States kept by the last FirstSteps, summed over all its cells (for measurements).
    uint64_t LastStateCount() const { return parents.size(); }

private:
    int firstX = 0, lastX = 0, firstY = 0, lastY = 0;
    int lastCell = 0;
    int endIndex = 0;
    uint32_t finalStates[4] = {};
    bool finalFound[4] = {};
    std::vector<uint32_t> current, next;
    std::vector<uint32_t> parents;
    std::vector<uint8_t> choices;
    std::vector<uint32_t> layerStart;
    std::vector<uint32_t> slots;
    std::vector<uint32_t> slotStamp;
    uint32_t stamp = 0;
    uint32_t slotMask = 0;

    void ResetHash(size_t expected);
    void Emit(uint32_t state, uint32_t parent, uint8_t choice);
};
