#include "game/game_rules.h"

bool ArrowStep(int key, int& dx, int& dy) {
    switch (key) {
    case keys::kLeft: dx = -1; dy = 0; return true;
    case keys::kUp: dx = 0; dy = -1; return true;
    case keys::kRight: dx = 1; dy = 0; return true;
    case keys::kDown: dx = 0; dy = 1; return true;
    default: return false;
    }
}

bool MovePlayer(TQuilloryTable& table, int dx, int dy) {
    const int nx = table.x + dx;
    const int ny = table.y + dy;
    if (!table.IsPresent(nx, ny))
        return false;
    table.SetCell(table.x, table.y, false);
    table.x = nx;
    table.y = ny;
    return true;
}

bool UndoMove(TQuilloryTable& table, std::vector<TBoardPoint>& history) {
    if (history.empty())
        return false;
    const TBoardPoint p = history.back();
    table.SetCell(p.x, p.y, true);
    table.x = p.x;
    table.y = p.y;
    history.pop_back();
    return true;
}

int CountPresentCells(const TQuilloryTable& table) {
    int count = 0;
    for (uint8_t cell : table.cells)
        count += cell != 0;
    return count;
}

bool HasPresentNeighbour(const TQuilloryTable& table, int x, int y) {
    return table.IsPresent(x, y - 1) || table.IsPresent(x, y + 1) ||
           table.IsPresent(x - 1, y) || table.IsPresent(x + 1, y);
}

TOutcome Outcome(const TQuilloryTable& table) {
    if (CountPresentCells(table) == 1)
        return TOutcome::Won;
    if (!HasPresentNeighbour(table, table.x, table.y))
        return TOutcome::Lost;
    return TOutcome::Playing;
}
