// Translation of Qt keys into the virtual key codes, and the game's commands behind them.
#include <gtest/gtest.h>

#include <Qt>

#include "game/game_rules.h"
#include "graphics/key_codes.h"

namespace {

TEST(KeyCodesTest, QtKeysTranslateToVirtualKeyCodes) {
    const std::pair<int, std::uint16_t> table[] = {
        {Qt::Key_Backspace, 8},
        {Qt::Key_Tab, 9},
        {Qt::Key_Backtab, 9},
        {Qt::Key_Return, 13},
        {Qt::Key_Enter, 13},
        {Qt::Key_Shift, 16},
        {Qt::Key_Control, 17},
        {Qt::Key_Alt, 18},
        {Qt::Key_Escape, 27},
        {Qt::Key_Space, 32},
        {Qt::Key_PageUp, 33},
        {Qt::Key_PageDown, 34},
        {Qt::Key_End, 35},
        {Qt::Key_Home, 36},
        {Qt::Key_Left, 37},
        {Qt::Key_Up, 38},
        {Qt::Key_Right, 39},
        {Qt::Key_Down, 40},
        {Qt::Key_Insert, 45},
        {Qt::Key_Delete, 46},
        {Qt::Key_0, 48},
        {Qt::Key_9, 57},
        {Qt::Key_A, 65},
        {Qt::Key_N, 78},
        {Qt::Key_P, 80},
        {Qt::Key_Z, 90},
        {Qt::Key_F1, 112},
        {Qt::Key_F12, 123},
        {Qt::Key_F13, 0},
        {Qt::Key_Menu, 0},
        {Qt::Key_Agrave, 0},
        {Qt::Key_unknown, 0},
        {Qt::Key_Exclam, 0},
        {0, 0},
        {-1, 0},
    };
    for (const auto& [qtKey, code] : table)
        EXPECT_EQ(VirtualKeyFromQt(qtKey), code) << "Qt key 0x" << std::hex << qtKey;
}

// XKB keycodes of some keys of a US keyboard.
constexpr std::uint32_t kKeyQ = 24, kKeyP = 33, kKeyBracket = 34, kKeyA = 38, kKeyL = 46, kKeyZ = 52,
                        kKeyN = 57, kKeyM = 58, kKeyComma = 59;

TEST(KeyCodesTest, LettersOfOtherScriptsCountAsTheLatinLetterInTheirPlace) {
    struct Case {
        int qtKey;
        std::uint32_t scanCode;
        std::uint16_t code;
    };
    const Case table[] = {
        {0x0422, kKeyN, 78},         // Russian Т on N's key
        {0x0417, kKeyP, 80},         // Russian З on P's key
        {0x0419, kKeyQ, 81},         // Russian Й on Q's key
        {0x0424, kKeyA, 65},         // Russian Ф on A's key
        {0x0414, kKeyL, 76},         // Russian Д on L's key
        {0x042F, kKeyZ, 90},         // Russian Я on Z's key
        {0x0421, kKeyM, 77},         // Russian С on M's key
        {0x039D, kKeyN, 78},         // Greek Ν on N's key
        {0x0425, kKeyBracket, 0},    // Russian Х, off the letter rows
        {0x0411, kKeyComma, 0},      // Russian Б, off the letter rows
        {0x0422, 0, 0},              // place unknown
        {Qt::Key_N, kKeyN, 78},      // a Latin letter is the letter it is labelled with
        {Qt::Key_A, kKeyQ, 65},      // French A on Q's key
        {Qt::Key_Comma, kKeyM, 0},   // French comma on M's key
        {Qt::Key_Agrave, kKeyQ, 0},  // a Latin letter without a code
        {Qt::Key_Left, kKeyN, 37},   // keys other than letters keep their code
    };
    for (const Case& c : table)
        EXPECT_EQ(VirtualKeyFromQt(c.qtKey, c.scanCode), c.code)
            << "Qt key 0x" << std::hex << c.qtKey << " on key " << std::dec << c.scanCode;
}

TEST(KeyCodesTest, TheGameKeysReachTheirCommands) {
    const std::pair<int, TKeyCommand> table[] = {
        {Qt::Key_Backspace, TKeyCommand::Undo},  {Qt::Key_Space, TKeyCommand::Again},
        {Qt::Key_Left, TKeyCommand::MoveLeft},   {Qt::Key_Up, TKeyCommand::MoveUp},
        {Qt::Key_Right, TKeyCommand::MoveRight}, {Qt::Key_Down, TKeyCommand::MoveDown},
        {Qt::Key_N, TKeyCommand::Next},          {Qt::Key_P, TKeyCommand::Previous},
        {Qt::Key_Return, TKeyCommand::None},     {Qt::Key_M, TKeyCommand::None},
    };
    for (const auto& [qtKey, command] : table)
        EXPECT_EQ(KeyCommand(VirtualKeyFromQt(qtKey)), command) << "Qt key 0x" << std::hex << qtKey;
}

}  // namespace
