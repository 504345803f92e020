// Translation of Qt key events into 16-bit virtual key codes.
#pragma once

#include <cstdint>

// The virtual key code of Qt key `qtKey` (a Qt::Key value): Backspace 8, Tab 9,
// Return 13, Escape 27, Space 32, Page Up/Down 33/34, End 35, Home 36, arrows
// 37..40, Insert 45, Delete 46, digits 48..57, letters 65..90, F1..F12 112..123;
// 0 for a key without a code.
uint16_t VirtualKeyFromQt(int qtKey);
