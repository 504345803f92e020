// The board's picture: composing it off screen, showing it, the tiles, the timer and the view settings.
#include "game/board_texts.h"
#include "game/quillory_main_form.h"
#include "game/tile_data.h"
#include "graphics/client_area.h"
#include "graphics/device_context.h"

namespace {

constexpr TColor kTextColour = kWhite;
constexpr TColor kBlackBackground = 0x000000;
constexpr TColor kGreyBackground = 0x808080;
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

void TQuilloryMainForm::DrawBoard() {
    const int clientWidth = clientArea->width();
    const int clientHeight = clientArea->height();
    if (TDeviceContext* dc = viewBitmap.BeginDraw(false, nullptr)) {
        dc->FillRect(0, 0, clientWidth, clientHeight, backgroundColor);

        for (int y = 0; y < kBoardRows; ++y)
            for (int x = 0; x < kBoardColumns; ++x) {
                if (currentTable.IsPresent(x, y))
                    cellTile.Draw(*dc, x * kCellPixels, y * kCellPixels, rop::kSrcCopy);
                if (x == currentTable.x && y == currentTable.y)
                    playerTile.Draw(*dc, x * kCellPixels, y * kCellPixels, rop::kSrcCopy);
            }

        dc->SetTextColor(kTextColour);
        dc->SetBkModeTransparent(true);
        dc->SelectFont(font());
        const std::string table = TableText(tableIndex);
        dc->TextOut(clientWidth - dc->TextExtent(table).width - kTextMargin, kTextMargin, table);
        if (ui.mShowTime->isChecked())
            dc->TextOut(kTextMargin, kTextMargin, TimeText(elapsedSeconds));

        if (route.size() >= 2) {
            dc->SelectStockPen(TStockPen::White);
            for (std::size_t i = 0; i < route.size(); ++i) {
                const int px = route[i].x * kCellPixels + kRouteOffset;
                const int py = route[i].y * kCellPixels + kRouteOffset;
                if (i == 0)
                    dc->MoveTo(px, py);
                else
                    dc->LineTo(px, py);
            }
        }
        viewBitmap.EndDraw();
    }
    // A synchronous repaint, so the new board is on screen before anything that follows.
    clientArea->repaint();
}

void TQuilloryMainForm::FormPaint(TDeviceContext& canvas) { viewBitmap.Draw(canvas, 0, 0, rop::kSrcCopy); }

void TQuilloryMainForm::BuildTiles() {
    BuildTile(cellTile, backgroundColor, CellTileValue);
    BuildTile(playerTile, backgroundColor, PlayerTileValue);
}

void TQuilloryMainForm::TimerTimer() {
    ++elapsedSeconds;
    DrawBoard();
}

void TQuilloryMainForm::mShowTimeClick() {
    ui.mShowTime->setChecked(!ui.mShowTime->isChecked());
    DrawBoard();
}

void TQuilloryMainForm::Black1Click() {
    backgroundColor = kBlackBackground;
    BuildTiles();
    DrawBoard();
}

void TQuilloryMainForm::Gray1Click() {
    backgroundColor = kGreyBackground;
    BuildTiles();
    DrawBoard();
}
