// The board's picture composed over a drawing context: background, tiles, table number,
// time and route, from plain state alone. Reads no window.
#pragma once

#include <cstdint>
#include <span>

#include "game/quillory_table.h"
#include "route/route_finder.h"

class QFont;
class TDeviceContext;
class TMemBitmap;

// Everything the board's picture shows. Holds references: the state must outlive it.
struct TBoardScene {
    const TQuilloryTable& table;                  // the cells and the player's position
    std::int32_t tableIndex;                      // shown as "Table: N" at the top right
    std::uint32_t backgroundColor;                // 0x00BBGGRR, under every empty cell
    bool showTime;                                // whether the time is shown at the top left
    std::int32_t elapsedSeconds;                  // the time shown
    std::span<const TRouteFinder::TPoint> route;  // drawn through the cells' centres
    int clientWidth;                              // the picture's size in pixels
    int clientHeight;
    const QFont& font;  // the window's font, for both texts
};

// Draws `scene` onto `dc`, in this order: the whole client rectangle in the background
// colour; for each row and, within it, each column, `cellTile` on a present cell and
// then `playerTile` on the player's cell; the table number in white with no box behind
// it, its right end 2 pixels from the right edge; the time likewise at (2, 2) when
// shown; the route as a white line one pixel wide through (x*25 + 13, y*25 + 13) of its
// points (nothing for fewer than two). Leaves the text colour, the background mode, the
// font and the pen of `dc` as it set them. Never throws.
void ComposeBoard(TDeviceContext& dc, const TMemBitmap& cellTile, const TMemBitmap& playerTile,
                  const TBoardScene& scene);

// Makes `cellTile` and `playerTile` 25 x 25 pictures of their tile data, with
// `background` where a pixel has no colour of its own, ready to be drawn. Throws
// std::bad_alloc when memory runs out.
void BuildBoardTiles(TMemBitmap& cellTile, TMemBitmap& playerTile, std::uint32_t background);
