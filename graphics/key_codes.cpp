#include "graphics/key_codes.h"

#include <string_view>

#include <QChar>
#include <Qt>

namespace {

// The letters of the US keyboard's three letter rows, each from the XKB keycode of its
// first key (evdev's code plus 8, as X11 and Wayland report them).
struct TLetterRow {
    std::uint32_t firstScanCode;
    const char* letters;
};
constexpr TLetterRow kLetterRows[] = {{24, "QWERTYUIOP"}, {38, "ASDFGHJKL"}, {52, "ZXCVBNM"}};

// The code of the Latin letter on the key `scanCode`; keys::kNone off the letter rows.
std::uint16_t LetterInPlace(std::uint32_t scanCode) {
    for (const TLetterRow& row : kLetterRows) {
        const std::string_view letters = row.letters;
        if (scanCode >= row.firstScanCode && scanCode < row.firstScanCode + letters.size())
            return static_cast<std::uint16_t>(keys::kLetterA + (letters[scanCode - row.firstScanCode] - 'A'));
    }
    return keys::kNone;
}

// True for a Qt key that is a letter of a script other than Latin (Qt gives such keys
// as their capital letter's code point).
bool IsOtherScriptLetter(int qtKey) {
    if (qtKey <= 0 || qtKey >= Qt::Key_Escape)
        return false;
    const auto letter = static_cast<char32_t>(qtKey);
    return QChar::isLetter(letter) && QChar::script(letter) != QChar::Script_Latin &&
           QChar::script(letter) != QChar::Script_Common;
}

}  // namespace

std::uint16_t VirtualKeyFromQt(int qtKey, std::uint32_t scanCode) {
    if (IsOtherScriptLetter(qtKey))
        return LetterInPlace(scanCode);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<std::uint16_t>(keys::kLetterA + (qtKey - Qt::Key_A));
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<std::uint16_t>(keys::kDigit0 + (qtKey - Qt::Key_0));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return static_cast<std::uint16_t>(keys::kF1 + (qtKey - Qt::Key_F1));
    switch (qtKey) {
    case Qt::Key_Backspace: return keys::kBackspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return keys::kTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return keys::kReturn;
    case Qt::Key_Shift: return keys::kShift;
    case Qt::Key_Control: return keys::kControl;
    case Qt::Key_Alt: return keys::kAlt;
    case Qt::Key_Escape: return keys::kEscape;
    case Qt::Key_Space: return keys::kSpace;
    case Qt::Key_PageUp: return keys::kPageUp;
    case Qt::Key_PageDown: return keys::kPageDown;
    case Qt::Key_End: return keys::kEnd;
    case Qt::Key_Home: return keys::kHome;
    case Qt::Key_Left: return keys::kLeft;
    case Qt::Key_Up: return keys::kUp;
    case Qt::Key_Right: return keys::kRight;
    case Qt::Key_Down: return keys::kDown;
    case Qt::Key_Insert: return keys::kInsert;
    case Qt::Key_Delete: return keys::kDelete;
    default: return keys::kNone;
    }
}
