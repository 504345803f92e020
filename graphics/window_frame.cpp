#include "graphics/window_frame.h"

#include <algorithm>

#include <QGuiApplication>
#include <QLayout>
#include <QPalette>
#include <QScreen>
#include <QWidget>

namespace {

constexpr const char* kWindowFontFamily = "DejaVu Sans Condensed";
constexpr int kWindowFontPixels = 10;

constexpr Qt::WindowFlags kTitleBar =
    Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

void UseButtonFace(QWidget& window) {
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
}

}  // namespace

QFont WindowFont() {
    QFont font(QString::fromLatin1(kWindowFontFamily));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(kWindowFontPixels);
    // Smoothed letters with their heights on whole pixels: digits such as 8, 6 and 3
    // stay apart at this size, and the same on every desktop whatever its settings.
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferVerticalHinting);
    return font;
}

void SetMainWindowFrame(QWidget& window) {
    window.setWindowFlags(Qt::Window | kTitleBar | Qt::WindowContextHelpButtonHint);
    UseButtonFace(window);
    window.setFont(WindowFont());
    // The layout sizes the window to its contents (menu bar and the fixed client area)
    // and forbids any other size.
    if (QLayout* layout = window.layout())
        layout->setSizeConstraint(QLayout::SetFixedSize);
    window.adjustSize();
    CentreOnScreen(window);
}

void SetDialogFrame(QWidget& dialog) {
    dialog.setWindowFlags(Qt::Dialog | kTitleBar);
    UseButtonFace(dialog);
    dialog.setFont(WindowFont());
    SetFixedClientSize(dialog, dialog.width(), dialog.height());
}

void SetFixedClientSize(QWidget& window, int width, int height) {
    window.setFixedSize(std::max(width, 0), std::max(height, 0));
}

void CentreOnScreen(QWidget& window) {
    QScreen* screen = window.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame is only known once the desktop has decorated the window; until then
    // the window is centred by its own size.
    const QSize frame = window.frameGeometry().size();
    const QRect area = screen->availableGeometry();
    const int left = area.left() + std::max(0, (area.width() - frame.width()) / 2);
    const int top = area.top() + std::max(0, (area.height() - frame.height()) / 2);
    window.move(left, top);
}
