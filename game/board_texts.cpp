// The two texts drawn over the board: the table number and the time spent on the table.
#include "game/board_texts.h"

#include <cstdio>

std::string TableText(std::int32_t tableIndex) {
    char text[32];
    std::snprintf(text, sizeof text, "Table: %d", static_cast<int>(tableIndex));
    return text;
}

std::string TimeText(std::int32_t elapsedSeconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%2d:%2d", static_cast<int>(elapsedSeconds / 60),
                  static_cast<int>(elapsedSeconds % 60));
    std::string result = text;
    if (result[0] == ' ')
        result[0] = '0';
    if (result.size() > 3 && result[3] == ' ')
        result[3] = '0';
    return result;
}
