// The rules of play: moves, undo and the end of a table, over TQuilloryTable alone.
#pragma once

#include <vector>

#include "game/quillory_table.h"

// How a table stands after a move or an undo.
enum class TOutcome { Playing, Won, Lost };

// Virtual key codes the game reacts to.
namespace keys {
inline constexpr int kBackspace = 8;
inline constexpr int kSpace = 32;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kNext = 78;      // N
inline constexpr int kPrevious = 80;  // P
}  // namespace keys

// The step (dx, dy) of an arrow key; false for any other key.
bool ArrowStep(int key, int& dx, int& dy);

// Moves the player by (dx, dy) when that neighbour is present: the cell left becomes
// empty. Returns false, changing nothing, when the neighbour is empty or off the board.
bool MovePlayer(TQuilloryTable& table, int dx, int dy);

// Takes back the last move of `history`: its cell becomes present again and the
// player returns to it. Returns false, changing nothing, when the history is empty.
bool UndoMove(TQuilloryTable& table, std::vector<TBoardPoint>& history);

// Number of present cells on the whole board.
int CountPresentCells(const TQuilloryTable& table);

// True when one of the four neighbours of (x, y) is present.
bool HasPresentNeighbour(const TQuilloryTable& table, int x, int y);

// Won with one cell left, lost when the player has no present neighbour.
TOutcome Outcome(const TQuilloryTable& table);
