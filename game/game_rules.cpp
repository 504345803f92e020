#include "game/game_rules.h"

TKeyCommand KeyCommand(std::uint16_t key) {
    switch (key) {
    case keys::kBackspace: return TKeyCommand::Undo;
    case keys::kSpace: return TKeyCommand::Again;
    case keys::kLeft: return TKeyCommand::MoveLeft;
    case keys::kUp: return TKeyCommand::MoveUp;
    case keys::kRight: return TKeyCommand::MoveRight;
    case keys::kDown: return TKeyCommand::MoveDown;
    case keys::kNext: return TKeyCommand::Next;
    case keys::kPrevious: return TKeyCommand::Previous;
    default: return TKeyCommand::None;
    }
}

bool ArrowStep(int key, int& dx, int& dy) {
    if (key < 0 || key > 0xFFFF)
        return false;
    switch (KeyCommand(static_cast<std::uint16_t>(key))) {
    case TKeyCommand::MoveLeft:
        dx = -1;
        dy = 0;
        return true;
    case TKeyCommand::MoveUp:
        dx = 0;
        dy = -1;
        return true;
    case TKeyCommand::MoveRight:
        dx = 1;
        dy = 0;
        return true;
    case TKeyCommand::MoveDown:
        dx = 0;
        dy = 1;
        return true;
    default: return false;
    }
}

std::uint16_t ArrowTowards(const TQuilloryTable& table, int cellX, int cellY) {
    for (const std::uint16_t key : {keys::kLeft, keys::kUp, keys::kRight, keys::kDown}) {
        int dx = 0;
        int dy = 0;
        if (ArrowStep(key, dx, dy) && table.x + dx == cellX && table.y + dy == cellY)
            return key;
    }
    return keys::kNone;
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
    return table.IsPresent(x, y - 1) || table.IsPresent(x, y + 1) || table.IsPresent(x - 1, y) ||
           table.IsPresent(x + 1, y);
}

TOutcome Outcome(const TQuilloryTable& table) {
    if (CountPresentCells(table) == 1)
        return TOutcome::Won;
    if (!HasPresentNeighbour(table, table.x, table.y))
        return TOutcome::Lost;
    return TOutcome::Playing;
}

int NextTableIndex(int index, int count) {
    if (count <= 0)
        return 0;
    return (index + 1) % count;
}

int PreviousTableIndex(int index, int count) {
    if (count <= 0)
        return 0;
    int previous = index - 1;
    if (previous == -1)
        previous = count - 1;
    return previous;
}

namespace {

// The table command of `command`; Nothing for a key that is no table command.
TPlayResult TableCommand(TKeyCommand command) {
    switch (command) {
    case TKeyCommand::Again: return TPlayResult::Again;
    case TKeyCommand::Next: return TPlayResult::Next;
    case TKeyCommand::Previous: return TPlayResult::Previous;
    default: return TPlayResult::Nothing;
    }
}

// The result of a move or an undo that changed the board: `changed` unless the table is over.
TPlayResult AfterChange(const TQuilloryTable& table, TPlayResult changed) {
    switch (Outcome(table)) {
    case TOutcome::Won: return TPlayResult::Won;
    case TOutcome::Lost: return TPlayResult::Lost;
    default: return changed;
    }
}

}  // namespace

TPlayResult PlayKey(std::uint16_t key, TQuilloryTable& table, std::vector<TBoardPoint>& history) {
    const TBoardPoint old{table.x, table.y};
    int dx = 0;
    int dy = 0;
    if (ArrowStep(key, dx, dy)) {
        if (!MovePlayer(table, dx, dy))
            return TPlayResult::Nothing;
        history.push_back(old);
        return AfterChange(table, TPlayResult::Moved);
    }
    const TKeyCommand command = KeyCommand(key);
    if (command == TKeyCommand::Undo)
        return UndoMove(table, history) ? AfterChange(table, TPlayResult::Undone) : TPlayResult::Nothing;
    return TableCommand(command);
}
