// The result dialog: its form, its layout around a picture, and the picture it paints.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>

#include "game/result_form.h"
#include "tests/support/recording_dialogs.h"

namespace {

// A picture whose corner pixels carry distinct colours (0x00BBGGRR) over a grey field.
TMemBitmap MakePicture(int width, int height) {
    TMemBitmap picture;
    EXPECT_TRUE(picture.Create(width, height, 24));
    picture.Lock();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixel(x, y, 0x404040);
    picture.SetPixel(0, 0, 0x0000FF);                   // red
    picture.SetPixel(width - 1, 0, 0x00FF00);           // green
    picture.SetPixel(0, height - 1, 0xFF0000);          // blue
    picture.SetPixel(width - 1, height - 1, 0xFFFFFF);  // white
    picture.Unlock();
    picture.UpdateBitmap();
    return picture;
}

QRgb Rgb(int r, int g, int b) {
    return qRgb(r, g, b);
}

TEST(ResultLayoutTest, PictureSitsFourPixelsInWithTheButtonCentredBelow) {
    const TResultLayout layout = ResultLayout(100, 80, 75, 25);
    EXPECT_EQ(layout.clientWidth, 108);
    EXPECT_EQ(layout.clientHeight, 117);
    EXPECT_EQ(layout.buttonTop, 88);
    EXPECT_EQ(layout.buttonLeft, 16);
    // Four pixels of margin below the button as well.
    EXPECT_EQ(layout.clientHeight - (layout.buttonTop + 25), 4);
}

TEST(ResultLayoutTest, ButtonLeftRoundsTowardsZero) {
    EXPECT_EQ(ResultLayout(101, 10, 75, 25).buttonLeft, 17);  // (109 - 75) / 2 = 17
    EXPECT_EQ(ResultLayout(1, 1, 75, 25).buttonLeft, -33);    // -66 / 2
    EXPECT_EQ(ResultLayout(0, 0, 75, 25).buttonLeft, -33);    // -67 / 2, not -34
    EXPECT_EQ(ResultLayout(0, 0, 75, 25).clientWidth, 8);
    EXPECT_EQ(ResultLayout(0, 0, 75, 25).clientHeight, 37);
    EXPECT_EQ(ResultLayout(0, 0, 75, 25).buttonTop, 8);
}

TEST(ResultFormTest, FormHasItsInitialSizeCaptionAndButton) {
    TResultForm dialog;
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.size(), QSize(104, 59));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Result"));
    EXPECT_EQ(dialog.font().family(), QStringLiteral("DejaVu Sans Condensed"));
    EXPECT_EQ(dialog.font().pixelSize(), 10);
    EXPECT_EQ(dialog.ui.btnOk->objectName(), QStringLiteral("btnOk"));
    EXPECT_EQ(dialog.ui.btnOk->text(), QStringLiteral("&Ok"));
    EXPECT_EQ(dialog.ui.btnOk->geometry(), QRect(8, 24, 75, 25));
    EXPECT_TRUE(dialog.ui.btnOk->isDefault());
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

TEST(ResultFormTest, ShowPictureSizesTheDialogForAHundredByEighty) {
    TRecordingDialogs dialogs;
    TResultForm dialog;
    QSize sizeWhileShown;
    QRect buttonWhileShown;
    dialogs.onShowModal = [&](QDialog& shown) {
        EXPECT_EQ(&shown, &dialog);
        sizeWhileShown = shown.size();
        buttonWhileShown = dialog.ui.btnOk->geometry();
    };
    dialog.ShowPicture(MakePicture(100, 80));
    EXPECT_EQ(dialogs.modalShows, 1);
    EXPECT_EQ(sizeWhileShown, QSize(108, 117));
    EXPECT_EQ(buttonWhileShown, QRect(16, 88, 75, 25));
    EXPECT_EQ(dialog.minimumSize(), QSize(108, 117));
    EXPECT_EQ(dialog.maximumSize(), QSize(108, 117));
}

TEST(ResultFormTest, ShowPictureSizesTheDialogForOneByOne) {
    TRecordingDialogs dialogs;
    TResultForm dialog;
    dialog.ShowPicture(MakePicture(1, 1));
    EXPECT_EQ(dialogs.modalShows, 1);
    EXPECT_EQ(dialog.size(), QSize(9, 38));
    EXPECT_EQ(dialog.ui.btnOk->geometry(), QRect(-33, 9, 75, 25));
}

TEST(ResultFormTest, PicturesThatCannotBeShownAreLeftToTheCaller) {
    TRecordingDialogs dialogs;
    TResultForm dialog;
    TMemBitmap empty;  // loaded, but 0 x 0
    EXPECT_FALSE(dialog.ShowPicture(empty));
    TMemBitmap zeroWide;
    ASSERT_TRUE(zeroWide.Create(0, 5, 24));
    EXPECT_FALSE(dialog.ShowPicture(zeroWide));
    TMemBitmap unread;
    unread.LoadFromFile("/nonexistent/picture.bmp", -1);
    EXPECT_FALSE(dialog.ShowPicture(unread));
    EXPECT_EQ(dialogs.modalShows, 0);

    // No second modal showing while one runs.
    bool nested = true;
    dialogs.onShowModal = [&](QDialog&) { nested = dialog.ShowPicture(MakePicture(2, 2)); };
    EXPECT_TRUE(dialog.ShowPicture(MakePicture(3, 3)));
    EXPECT_FALSE(nested);
    EXPECT_EQ(dialogs.modalShows, 1);
    EXPECT_EQ(dialog.picture.width, 3);
    dialogs.onShowModal = nullptr;
    EXPECT_TRUE(dialog.ShowPicture(MakePicture(2, 2)));
    EXPECT_EQ(dialogs.modalShows, 2);
}

TEST(ResultFormTest, DialogKeepsItsOwnCopyOfThePicture) {
    TRecordingDialogs dialogs;
    TResultForm dialog;
    {
        TMemBitmap source = MakePicture(100, 80);
        dialog.ShowPicture(source);
        source.Lock();
        source.SetPixel(0, 0, 0x00FF00);
        source.Unlock();
        source.UpdateBitmap();
    }
    EXPECT_TRUE(dialog.picture.loaded);
    EXPECT_EQ(dialog.picture.width, 100);
    EXPECT_EQ(dialog.picture.height, 80);
    const QImage shot = dialog.grab().toImage();
    EXPECT_EQ(shot.pixel(4, 4), Rgb(255, 0, 0));
}

TEST(ResultFormTest, PaintCopiesThePictureToFourFour) {
    TRecordingDialogs dialogs;
    TResultForm dialog;
    QImage shot;
    dialogs.onShowModal = [&](QDialog& shown) { shot = shown.grab().toImage(); };
    dialog.ShowPicture(MakePicture(100, 80));
    ASSERT_EQ(shot.size(), QSize(108, 117));
    EXPECT_EQ(shot.pixel(4, 4), Rgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(103, 4), Rgb(0, 255, 0));
    EXPECT_EQ(shot.pixel(4, 83), Rgb(0, 0, 255));
    EXPECT_EQ(shot.pixel(103, 83), Rgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(50, 40), Rgb(0x40, 0x40, 0x40));
    // Outside the picture lies the dialog's own background.
    const QRgb face = dialog.palette().color(QPalette::Window).rgb();
    EXPECT_EQ(shot.pixel(3, 3), face);
    EXPECT_EQ(shot.pixel(104, 84), face);
    EXPECT_EQ(shot.pixel(2, 100), face);
}

TEST(ResultFormTest, OkButtonClosesWithResultOk) {
    TResultForm dialog;
    dialog.show();
    QApplication::processEvents();
    dialog.setResult(QDialog::Rejected);
    dialog.ui.btnOk->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
