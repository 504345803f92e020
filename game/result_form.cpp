#include "game/result_form.h"

#include <QPushButton>

#include "graphics/device_context.h"
#include "graphics/platform_dialogs.h"
#include "graphics/window_frame.h"

TResultForm* ResultForm = nullptr;

TResultLayout ResultLayout(int pictureWidth, int pictureHeight, int buttonWidth, int buttonHeight) {
    TResultLayout layout;
    layout.clientWidth = pictureWidth + 2 * kResultPictureLeft;
    layout.clientHeight = buttonHeight + pictureHeight + 3 * kResultPictureTop;
    layout.buttonTop = pictureHeight + 2 * kResultPictureTop;
    // Integer division truncates, so a button wider than the dialog rounds towards zero.
    layout.buttonLeft = (layout.clientWidth - buttonWidth) / 2;
    return layout;
}

TResultForm::TResultForm(QWidget* parent) : QDialog(parent) {
    ui.setupUi(this);
    SetDialogFrame(*this);
    connect(ui.btnOk, &QPushButton::clicked, this, &TResultForm::btnOkClick);
}

void TResultForm::ArrangeFor(int width, int height) {
    const TResultLayout layout = ResultLayout(width, height, ui.btnOk->width(), ui.btnOk->height());
    SetFixedClientSize(*this, layout.clientWidth, layout.clientHeight);
    ui.btnOk->move(layout.buttonLeft, layout.buttonTop);
}

bool TResultForm::ShowPicture(const TMemBitmap& source) {
    if (showing_ || !source.loaded || source.width <= 0 || source.height <= 0)
        return false;
    ArrangeFor(source.width, source.height);
    picture.Assign(source);
    // Cleared however the modal showing ends.
    struct TShowing {
        bool& flag;
        explicit TShowing(bool& f) : flag(f) { flag = true; }
        ~TShowing() { flag = false; }
    } showing(showing_);
    Dialogs().ShowModal(*this);
    return true;
}

void TResultForm::FormPaint() {
    TDeviceContext canvas(this);
    picture.Draw(canvas, kResultPictureLeft, kResultPictureTop, rop::kSrcCopy);
}

void TResultForm::paintEvent(QPaintEvent*) {
    FormPaint();
}

void TResultForm::showEvent(QShowEvent* event) {
    CentreOnScreen(*this);
    QDialog::showEvent(event);
}

void TResultForm::btnOkClick() {
    done(QDialog::Accepted);
}
