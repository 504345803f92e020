#include "route/find_route_command.h"

bool FindRouteOnTable(const TQuilloryTable& table, std::vector<TRouteFinder::TPoint>& route) {
    TRouteFinder finder;
    for (int y = 0; y < kBoardRows; ++y)
        for (int x = 0; x < kBoardColumns; ++x)
            if (table.cells[CellIndex(x, y)] != 0)
                finder.board[CellIndex(x, y)] = 1;
    route.clear();
    return finder.FindRoute({table.x, table.y}, route);
}
