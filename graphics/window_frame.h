// Frames of the game's top-level windows: fixed size, title-bar buttons, centring, colour, font.
#pragma once

#include <QFont>

class QWidget;

// The font of every window of the game: DejaVu Sans Condensed (fonts-dejavu-extra), the
// family's own narrow face, at 10 pixels to the em (lines 11 pixels apart, as the forms
// expect), anti-aliased, hinted vertically only. The texts the forms place in fixed
// boxes ("Last build:" in 48 pixels) show whole, and the board's texts read back
// exactly. A missing face falls back to the system's sans-serif. Never throws.
QFont WindowFont();

// Gives the main window `window` its frame: title bar with close and context-help
// buttons only, not resizable (its size follows its fixed-size contents), the
// button-face colour and the window font, centred on its screen. Call after its contents are in place.
// Never throws.
void SetMainWindowFrame(QWidget& window);

// Gives the dialog `dialog` a fixed dialog frame: title bar with a close button only,
// not resizable at its present size, the button-face colour and the window font. Never throws.
void SetDialogFrame(QWidget& dialog);

// Makes the client area of `window` exactly `width` x `height` and keeps it from
// being resized by the user. Never throws.
void SetFixedClientSize(QWidget& window, int width, int height);

// Moves `window` so that its frame is centred on the screen it is on (the primary
// screen when it has none yet); before the frame is known, the window itself is
// centred. A window larger than the screen keeps its top-left corner on it.
// Never throws.
void CentreOnScreen(QWidget& window);
