#include <gtest/gtest.h>

#include <string>

#include "game/tile_data.h"

namespace {

// The shape of the cell tile and the high hex digit of each pixel's blue level.
const char* const kCellMap[kTileSize] = {
    ".......359bcddb83........", ".....36abccddeeeeb4......", "....49abccddeeeffff8.....",
    "...489abcddeeeffffff9....", "..379aabcddeeffffffff8...", ".2679abccdeeefffffffff4..",
    ".4689abccdeeffffffffffc..", "25689abcddeefffffffffff4.", "35689abccdeefffffffffff9.",
    "45679abccdeeeffffffffffc.", "45679aabcddeeffffffffffe.", "456789abcddeeeffffffffee.",
    "456789abbcddeeeffffffeee.", "3456789abccddeeeeeeeeeed.", "3456789abbccddeeeeeeeeda.",
    "24456789abbccdddddddddd6.", "234566789abbcccddddddcc3.", ".344567899aabbcccccccc8..",
    ".2344567889aaabbbbbbbb3..", "..23445677899aaaaaaaa4...", "...234456678899999995....",
    "....2344556677888884.....", ".....23445556667752......", ".......2234455432........",
    ".........................",
};

const std::uint32_t kRow12[kTileSize] = {
    0x423636, 0x513636, 0x613636, 0x723535, 0x853333, 0x943232, 0xA53232, 0xB33131, 0xBF2F2F,
    0xCA2F2F, 0xD32E2E, 0xDC2D2D, 0xE32C2C, 0xE82C2C, 0xED2C2C, 0xF12A2A, 0xF22A2A, 0xF42A2A,
    0xF42A2A, 0xF32A2A, 0xF12A2A, 0xED2C2C, 0xE92C2C, 0xE32C2C, 0,
};

TEST(CellTile, ReproducesTheMapRowByRow) {
    int coloured = 0;
    for (int y = 0; y < kTileSize; ++y) {
        std::string row;
        for (int x = 0; x < kTileSize; ++x) {
            const std::uint32_t v = CellTileValue(x, y);
            row += v == 0 ? '.' : "0123456789abcdef"[(v >> 20) & 0xF];
            coloured += v != 0;
        }
        EXPECT_EQ(row, kCellMap[y]) << "row " << y;
    }
    EXPECT_EQ(coloured, 484);
}

TEST(CellTile, RowTwelveHasItsExactValues) {
    for (int x = 0; x < kTileSize; ++x)
        EXPECT_EQ(CellTileValue(x, 12), kRow12[x]) << "column " << x;
}

TEST(CellTile, ColoursAreBlueWithEqualRedAndGreenInRange) {
    std::uint32_t brightest = 0;
    std::uint32_t darkest = 0xFFFFFFFF;
    bool brightInUpperRight = false;
    for (int y = 0; y < kTileSize; ++y)
        for (int x = 0; x < kTileSize; ++x) {
            const std::uint32_t v = CellTileValue(x, y);
            if (x == 24 || y == 24) {
                EXPECT_EQ(v, 0u) << x << "," << y;
            }
            if (v == 0)
                continue;
            const std::uint32_t red = v & 0xFF, green = (v >> 8) & 0xFF, blue = (v >> 16) & 0xFF;
            EXPECT_EQ(v >> 24, 0u);
            EXPECT_EQ(red, green) << x << "," << y;
            EXPECT_GE(red, 0x27u) << x << "," << y;
            EXPECT_LE(red, 0x38u) << x << "," << y;
            EXPECT_GE(blue, 0x28u) << x << "," << y;
            brightest = std::max(brightest, v);
            darkest = std::min(darkest, v);
            if (blue == 0xFF && x >= 16 && x <= 19 && y >= 6 && y <= 8)
                brightInUpperRight = true;
        }
    EXPECT_EQ(brightest, 0xFF2727u);
    EXPECT_EQ(darkest, 0x282828u);
    EXPECT_TRUE(brightInUpperRight);
    EXPECT_EQ(CellTileValue(-1, 5), 0u);
    EXPECT_EQ(CellTileValue(5, 25), 0u);
}

TEST(PlayerTile, IsTheCellDiscInRedOnePixelRightAndDown) {
    for (int i = 0; i < kTileSize; ++i) {
        EXPECT_EQ(PlayerTileValue(i, 0), 0u);
        EXPECT_EQ(PlayerTileValue(0, i), 0u);
    }
    for (int y = 1; y < kTileSize; ++y)
        for (int x = 1; x < kTileSize; ++x) {
            const std::uint32_t c = CellTileValue(x - 1, y - 1);
            const std::uint32_t p = PlayerTileValue(x, y);
            EXPECT_EQ(p & 0xFF, (c >> 16) & 0xFF) << x << "," << y;
            EXPECT_EQ((p >> 8) & 0xFF, (c >> 8) & 0xFF) << x << "," << y;
            EXPECT_EQ((p >> 16) & 0xFF, c & 0xFF) << x << "," << y;
        }
    EXPECT_EQ(PlayerTileValue(13, 13), 0x2C2CE3u);  // cell (12, 12) with red and blue exchanged
}

}  // namespace
