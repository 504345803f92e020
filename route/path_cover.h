// Covers the present cells of a board with one path from a given end and cycles, and
// joins the cycles into the path where it can.
#pragma once

#include <cstdint>
#include <vector>

#include "game/board_geometry.h"
#include "route/edge_bounds.h"
#include "route/route_limits.h"

// A cover gives every present cell two edges to present neighbours, except the fixed end
// and one other cell, which get one; it holds the edges that the cells' degrees show every
// path to use (TEdgeBounds) and none that they show no path to use. Every path from the
// end through all cells is such a cover, so where no cover exists there is no path. On a
// checkerboard every edge joins the two colours: a cover is a flow in which each cell of
// one colour sends its edges to cells of the other, found by augmenting paths in time
// about the cells times the edges. That rules out in about a millisecond what colour
// counts on either side of any cut rule out, which the exact test may take a second to
// find on a full board.
//
// A cover is not yet a path: besides the path it may hold cycles. Where the path or a
// cycle and another cycle run side by side along two opposite sides of a square of four
// cells, swapping those two edges for the square's other two makes one piece of the two.
// A cycle beside the path's other end is opened there and taken in whole; the other end
// is moved round the path (where it lies next to the path, the stretch up to there is
// turned round) until it lies beside a cycle. Where cycles wind past holes in staircases,
// a longer alternating cycle (edges taken out and put in by turns) joins them. On dense boards that joins
// every cycle nearly always; where it does not, the cover proves nothing. Only exhausted memory throws
// (std::bad_alloc).
class TPathCover {
public:
    // The edges a cover takes first, where it can: those along rows, along columns, or
    // in an order shuffled for each cell by `shuffle` (any number: the same number gives
    // the same cover).
    enum class TLines { Rows, Columns, Shuffled };

    // False when no cover of the present cells of `cells` (kBoardCells entries, index
    // y * kBoardColumns + x) from `end` exists: then no path from `end` visits every
    // present cell. False too for an `end` off the board or absent.
    // `otherEnd`, when given, is the cover's other end (a cell of the wrong colour has none).
    bool Solve(const uint8_t* cells, int end, TLines lines = TLines::Rows, unsigned shuffle = 0,
               int otherEnd = -1);

    // After Solve returned true: joins the cycles into the path and, when that leaves a
    // single path, stores its cells from the end in `path` (replaced) and returns true.
    // `thorough`: with alternating cycles and moves of the free end, which cost most
    // when they fail; else only squares and cycles beside the free end.
    bool JoinIntoPath(std::vector<int>& path, bool thorough = true);

    // After a JoinIntoPath that left cycles: covers `cells` from `end` again with the other
    // end on a cycle (kRouteLimits.endsInCycle of its cells of the other end's colour) and
    // joins that, as JoinIntoPath does.
    bool JoinWithEndInCycle(const uint8_t* cells, int end, std::vector<int>& path);

private:
    uint8_t present_[kBoardCells] = {};
    int endCell_ = -1;
    int count_ = 0;
    // Edges of the cover: bit d of a cell is set when it uses the edge in direction d.
    uint8_t edges_[kBoardCells] = {};
    // Edges a cell may still take.
    uint8_t room_[kBoardCells] = {};
    // Moves of the path's other end that JoinIntoPath may still make.
    int movesLeft_ = 0;
    // Which piece of the cover a cell lies on, after LabelPieces.
    int piece_[kBoardCells] = {};

    TEdgeBounds bounds_;

    // Whether the edge from `cell` in direction `d` is left to the flow: the bounds
    // decide neither that every path uses it nor that none does.
    bool Open(int cell, int d) const;
    void Connect(int cell, int d);
    void Disconnect(int cell, int d);
    bool TakeDecidedEdges(int& flow);
    void TakeEdgesAlong(TLines lines, unsigned shuffle, int& flow);
    bool Augment();
    void SwitchAlong(const int* from, int n);
    int LabelPieces() { return LabelPieces(piece_); }
    int LabelPieces(int* label) const;
    // Gives `value` in `label` to `start` and to the cells joined to it by edges that have
    // none (-1) yet; `toOtherPiece`: stops, true, at a cell of another piece than `start`
    // as piece_ holds them.
    bool Flood(int start, int* label, int value, bool toOtherPiece) const;
    bool JoinTwoPieces();
    bool JoinAlongAlternatingCycle();
    bool Alternate(int start, int at, int pairsLeft, int pieces);
    bool ReachesOtherPiece(int start) const;
    int alternateSteps_ = 0;
    bool SwapParallelSides(int a, int b, int c, int d);
    // The path's other end: the cell besides the fixed end with one edge, or -1.
    int FreeEnd() const;
    bool TakeInCycleAtEnd();
    bool MoveEndNextToCycle();
    // The cells of the piece that holds the fixed end, from that end, into `path`.
    void TracePath(std::vector<int>& path) const;
};
