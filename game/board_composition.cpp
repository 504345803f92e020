#include "game/board_composition.h"

#include "game/board_texts.h"
#include "game/tile_data.h"
#include "graphics/device_context.h"
#include "graphics/mem_bitmap.h"

namespace {

constexpr TColor kTextColour = kWhite;
// Gap between the texts and the edges of the board.
constexpr int kTextMargin = 2;
// The route passes this far into each cell, right and down.
constexpr int kRouteOffset = 13;
constexpr int kTileBitsPerPixel = 24;

// Makes `tile` a 25 x 25 picture of `value(x, y)`, with `background` where it is 0.
template <typename ValueOf>
void BuildTile(TMemBitmap& tile, TColor background, ValueOf value) {
    tile.Create(kTileSize, kTileSize, kTileBitsPerPixel);
    tile.Lock();
    for (int y = 0; y < kTileSize; ++y)
        for (int x = 0; x < kTileSize; ++x) {
            const std::uint32_t v = value(x, y);
            tile.SetPixel(x, y, v != 0 ? v : background);
        }
    tile.Unlock();
    tile.UpdateBitmap();
}

}  // namespace

void ComposeBoard(TDeviceContext& dc, const TMemBitmap& cellTile, const TMemBitmap& playerTile,
                  const TBoardScene& scene) {
    dc.FillRect(0, 0, scene.clientWidth, scene.clientHeight, scene.backgroundColor);

    const TQuilloryTable& table = scene.table;
    for (int y = 0; y < kBoardRows; ++y)
        for (int x = 0; x < kBoardColumns; ++x) {
            if (table.IsPresent(x, y))
                cellTile.Draw(dc, x * kCellPixels, y * kCellPixels, rop::kSrcCopy);
            if (x == table.x && y == table.y)
                playerTile.Draw(dc, x * kCellPixels, y * kCellPixels, rop::kSrcCopy);
        }

    dc.SetTextColor(kTextColour);
    dc.SetBkModeTransparent(true);
    dc.SelectFont(scene.font);
    const std::string tableText = TableText(scene.tableIndex);
    dc.TextOut(scene.clientWidth - dc.TextExtent(tableText).width - kTextMargin, kTextMargin, tableText);
    if (scene.showTime)
        dc.TextOut(kTextMargin, kTextMargin, TimeText(scene.elapsedSeconds));

    if (scene.route.size() >= 2) {
        dc.SelectStockPen(TStockPen::White);
        for (std::size_t i = 0; i < scene.route.size(); ++i) {
            const int px = scene.route[i].x * kCellPixels + kRouteOffset;
            const int py = scene.route[i].y * kCellPixels + kRouteOffset;
            if (i == 0)
                dc.MoveTo(px, py);
            else
                dc.LineTo(px, py);
        }
    }
}

void BuildBoardTiles(TMemBitmap& cellTile, TMemBitmap& playerTile, std::uint32_t background) {
    BuildTile(cellTile, background, CellTileValue);
    BuildTile(playerTile, background, PlayerTileValue);
}
