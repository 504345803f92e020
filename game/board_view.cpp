// The board's picture: composing it off screen, showing it, the tiles, the timer and the view settings.
#include "game/board_composition.h"
#include "game/quillory_main_form.h"
#include "graphics/client_area.h"
#include "graphics/device_context.h"

namespace {

constexpr TColor kBlackBackground = 0x000000;
constexpr TColor kGreyBackground = 0x808080;

}  // namespace

void TQuilloryMainForm::DrawBoard() {
    if (TDeviceContext* dc = viewBitmap.BeginDraw(false, nullptr)) {
        // The state the picture shows, gathered from the game and the window.
        const QFont windowFont = font();
        const TBoardScene scene{currentTable,   tableIndex, backgroundColor,     ui.mShowTime->isChecked(),
                                elapsedSeconds, route,      clientArea->width(), clientArea->height(),
                                windowFont};
        ComposeBoard(*dc, cellTile, playerTile, scene);
        viewBitmap.EndDraw();
    }
    // A synchronous repaint, so the new board is on screen before anything that follows.
    clientArea->repaint();
}

void TQuilloryMainForm::FormPaint(TDeviceContext& canvas) {
    viewBitmap.Draw(canvas, 0, 0, rop::kSrcCopy);
}

void TQuilloryMainForm::BuildTiles() {
    BuildBoardTiles(cellTile, playerTile, backgroundColor);
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
