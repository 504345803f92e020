// The rules of play: moves, undo and the end of a table, over TQuilloryTable alone.
#pragma once

#include <cstdint>
#include <vector>

#include "game/quillory_table.h"
#include "graphics/key_codes.h"

// How a table stands after a move or an undo.
enum class TOutcome { Playing, Won, Lost };

// What a key does in the game (the keys are those of graphics/key_codes.h).
enum class TKeyCommand { None, Undo, Again, MoveLeft, MoveUp, MoveRight, MoveDown, Next, Previous };

// The command of virtual key `key`: Backspace undoes, Space plays the table again, the
// arrows move, N and P step to the next and the previous table; any other key is None.
TKeyCommand KeyCommand(std::uint16_t key);

// The step (dx, dy) of an arrow key; false for any other key.
bool ArrowStep(int key, int& dx, int& dy);

// The arrow key that steps from the player's cell onto cell (cellX, cellY): the one of
// the four orthogonal neighbours it is; keys::kNone for any other cell, the player's
// own included. The cell need not be present (the move then does nothing).
std::uint16_t ArrowTowards(const TQuilloryTable& table, int cellX, int cellY);

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

// The index after `index` among `count` tables: the first follows the last (0 when
// there are no tables).
int NextTableIndex(int index, int count);

// The index before `index` among `count` tables: the last precedes the first (0 when
// there are no tables).
int PreviousTableIndex(int index, int count);

// What playing a key did, for the window to show: a move or an undo (the board changed;
// Won and Lost follow a move or an undo too, with the table over), or one of the table
// commands that the window carries out (Again, Next, Previous).
enum class TPlayResult { Nothing, Moved, Undone, Won, Lost, Again, Next, Previous };

// Plays virtual key `key` on `table` with its move `history`: an arrow moves onto a
// present neighbour and appends the old position to `history`, Backspace undoes the
// last move, Space, N and P return their table command and change nothing, any other
// key does nothing. After a move or an undo, one present cell left is Won and a player
// without a present neighbour Lost. Nothing when nothing moved.
TPlayResult PlayKey(std::uint16_t key, TQuilloryTable& table, std::vector<TBoardPoint>& history);
