// The result dialog: shows the picture of a won or lost table above an OK button.
#pragma once

#include <QDialog>

#include "graphics/mem_bitmap.h"
#include "ui_result_form.h"

// Where the result dialog puts things for a picture of a given size, in pixels of
// its client area: the picture sits 4 pixels in from the left, top and right edges,
// the button 4 pixels below the picture and 4 pixels above the bottom edge.
struct TResultLayout {
    int clientWidth = 0;
    int clientHeight = 0;
    int buttonLeft = 0;  // may be negative when the button is wider than the dialog
    int buttonTop = 0;
};

// The layout for a `pictureWidth` x `pictureHeight` picture and a button of
// `buttonWidth` x `buttonHeight`; the button's left edge is rounded towards zero.
// Never throws.
TResultLayout ResultLayout(int pictureWidth, int pictureHeight, int buttonWidth, int buttonHeight);

// Corner of the picture in the client area.
inline constexpr int kResultPictureLeft = 4;
inline constexpr int kResultPictureTop = 4;

class TResultForm : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog hidden, from its form, with no picture.
    explicit TResultForm(QWidget* parent = nullptr);

    // Sizes the dialog for `source`, keeps a deep copy of it (the caller keeps its own)
    // and shows the dialog modally; returns true when it has been closed. A picture whose
    // copy cannot be made is shown as an empty area of its size. Returns false at once,
    // showing nothing, for a picture that is not `loaded` or has a side of 0 (a dialog
    // sized for it may never appear, leaving its modal loop waiting), and while the
    // dialog is already being shown.
    bool ShowPicture(const TMemBitmap& source);

    // Sizes the dialog for a `width` x `height` picture and places btnOk below it.
    void ArrangeFor(int width, int height);

    // Paints the picture at (4, 4) of the client area with a plain copy.
    void FormPaint();

    // Closes the dialog with the result OK.
    void btnOkClick();

    Ui::TResultForm ui;
    // The picture on show, the dialog's own copy; released with the dialog.
    TMemBitmap picture;

protected:
    void paintEvent(QPaintEvent* event) override;
    // True during the modal showing.
    bool showing_ = false;
    // Centres the dialog on the screen each time it appears.
    void showEvent(QShowEvent* event) override;
};

// The result dialog of the running program; owned by the program entry, null before
// it is created and after it is destroyed.
extern TResultForm* ResultForm;
