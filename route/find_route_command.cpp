#include "route/find_route_command.h"

bool FindRouteOnTable(const TQuilloryTable& table, std::vector<TRouteFinder::TPoint>& route) {
    TRouteFinder finder;
    FillBoardFromTable(finder.board, table);
    route.clear();
    return finder.FindRoute({table.x, table.y}, route);
}
