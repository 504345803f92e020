// The two texts drawn over the board: the table number and the time spent on the table.
#pragma once

#include <cstdint>
#include <string>

// "Table: N" for the table at `tableIndex` (the first table is 0).
std::string TableText(std::int32_t tableIndex);

// Minutes and seconds of `elapsedSeconds` as "%2d:%2d", with a space in the first
// character or in the fourth (the first seconds digit of "mm:ss") turned into "0":
// 0 gives "00:00", 65 "01:05", 6005 "100: 5" (the fourth character is then the colon).
std::string TimeText(std::int32_t elapsedSeconds);
