// Test support for game tables: a table built from its cells and the player's place.
#pragma once

#include <initializer_list>

#include "game/quillory_table.h"

namespace quillory_test {

// A table with exactly `cells` set and the player at `player`.
inline TQuilloryTable TableOf(std::initializer_list<TBoardPoint> cells, TBoardPoint player) {
    TQuilloryTable table;
    for (const TBoardPoint& p : cells)
        table.SetCell(p.x, p.y, true);
    table.x = player.x;
    table.y = player.y;
    return table;
}

}  // namespace quillory_test
