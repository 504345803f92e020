// The find-route command's work on a table: a route from the player's cell, or none.
#pragma once

#include <vector>

#include "game/quillory_table.h"
#include "route/route_finder.h"

// Empties `route`, then returns true and fills it with the first route from the player's
// cell (table.x, table.y) through every present cell of `table`; returns false, with
// `route` left empty, when there is none. TFinder is the finder that searches: the plain
// depth-first one serves as well. Throws std::bad_alloc when memory runs out.
template <typename TFinder = TRouteFinder>
bool FindRouteOnTable(const TQuilloryTable& table, std::vector<TRouteFinder::TPoint>& route) {
    TFinder finder;
    FillBoardFromTable(finder.board, table);
    route.clear();
    return finder.FindRoute({table.x, table.y}, route);
}
