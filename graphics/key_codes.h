// Virtual key codes: the one set of 16-bit key numbers that the game's rules read and
// that Qt key events are translated into. Free of Qt.
#pragma once

#include <cstdint>

namespace keys {
inline constexpr std::uint16_t kBackspace = 8;
inline constexpr std::uint16_t kTab = 9;
inline constexpr std::uint16_t kReturn = 13;
inline constexpr std::uint16_t kShift = 16;
inline constexpr std::uint16_t kControl = 17;
inline constexpr std::uint16_t kAlt = 18;
inline constexpr std::uint16_t kEscape = 27;
inline constexpr std::uint16_t kSpace = 32;
inline constexpr std::uint16_t kPageUp = 33;
inline constexpr std::uint16_t kPageDown = 34;
inline constexpr std::uint16_t kEnd = 35;
inline constexpr std::uint16_t kHome = 36;
inline constexpr std::uint16_t kLeft = 37;
inline constexpr std::uint16_t kUp = 38;
inline constexpr std::uint16_t kRight = 39;
inline constexpr std::uint16_t kDown = 40;
inline constexpr std::uint16_t kInsert = 45;
inline constexpr std::uint16_t kDelete = 46;
inline constexpr std::uint16_t kDigit0 = 48;                        // digits 0..9 are 48..57
inline constexpr std::uint16_t kLetterA = 65;                       // letters A..Z are 65..90
inline constexpr std::uint16_t kNext = kLetterA + ('N' - 'A');      // N
inline constexpr std::uint16_t kPrevious = kLetterA + ('P' - 'A');  // P
inline constexpr std::uint16_t kF1 = 112;                           // F1..F12 are 112..123
// No code: a key the game cannot tell apart.
inline constexpr std::uint16_t kNone = 0;
}  // namespace keys

// The virtual key code of Qt key `qtKey` (a Qt::Key value) pressed on the key with XKB
// keycode `scanCode` (Qt's native scan code on X11 and Wayland; 0 when unknown): one of
// the codes above, F1..F12, and the letters and digits that the key is labelled with.
// A letter of another script than Latin (a Russian or Greek layout) counts as the Latin
// letter whose key it is on a US keyboard, so that the key in N's place is N whatever
// the layout; keys::kNone for a key without a code. Never throws.
std::uint16_t VirtualKeyFromQt(int qtKey, std::uint32_t scanCode = 0);
