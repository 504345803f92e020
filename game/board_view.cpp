// Placeholder drawing until the memory bitmap lands: the window shows the background only.
#include <QPainter>

#include "game/quillory_main_form.h"
#include "graphics/client_area.h"

void TQuilloryMainForm::DrawBoard() { clientArea->repaint(); }

void TQuilloryMainForm::FormPaint(QPainter& canvas) {
    canvas.fillRect(0, 0, kBoardWidthPixels, kBoardHeightPixels, Qt::black);
}

void TQuilloryMainForm::BuildTiles() {}

void TQuilloryMainForm::TimerTimer() {
    ++elapsedSeconds;
    DrawBoard();
}

void TQuilloryMainForm::mShowTimeClick() {
    ui.mShowTime->setChecked(!ui.mShowTime->isChecked());
    DrawBoard();
}
void TQuilloryMainForm::Black1Click() {}
void TQuilloryMainForm::Gray1Click() {}
