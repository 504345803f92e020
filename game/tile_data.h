// The pixel data of the board's two tiles: 25 x 25 colour values each, 0 = no colour of its own.
#pragma once

#include <cstdint>

inline constexpr int kTileSize = 25;

// The cell tile, a shaded blue disc, indexed [y][x]; values 0x00BBGGRR, 0 where the
// pixel takes the background colour.
extern const std::uint32_t kCellTileData[kTileSize][kTileSize];

// The cell tile's value at (x, y); 0 outside 0..24.
inline std::uint32_t CellTileValue(int x, int y) {
    if (x < 0 || x >= kTileSize || y < 0 || y >= kTileSize)
        return 0;
    return kCellTileData[y][x];
}

// The player tile's value at (x, y): the cell disc in red, one pixel further right and
// down (red and blue exchanged); row 0 and column 0 have no colour of their own.
inline std::uint32_t PlayerTileValue(int x, int y) {
    if (x < 1 || y < 1)
        return 0;
    const std::uint32_t c = CellTileValue(x - 1, y - 1);
    return (c & 0x00FF00) | (c & 0xFF) << 16 | (c >> 16 & 0xFF);
}
