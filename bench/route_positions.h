// Positions for the route benchmarks: whole boards and rectangles, random holes and starts,
// holes in patterns, and track files of them.
#pragma once

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "game/board_geometry.h"
#include "game/quillory_table.h"

namespace route_positions {

// Every cell of the w x h rectangle at (left, top) present.
inline TQuilloryTable FilledRectangle(int left, int top, int w, int h) {
    TQuilloryTable table;
    for (int y = top; y < top + h; ++y)
        for (int x = left; x < left + w; ++x)
            table.SetCell(x, y, true);
    return table;
}

// A present cell of `table` chosen at random; the table must have one.
inline TBoardPoint RandomPresentCell(const TQuilloryTable& table, std::mt19937& rng) {
    std::vector<TBoardPoint> cells;
    for (int y = 0; y < kBoardRows; ++y)
        for (int x = 0; x < kBoardColumns; ++x)
            if (table.IsPresent(x, y))
                cells.push_back({x, y});
    return cells[rng() % cells.size()];
}

// `table` with the player on a random present cell.
inline TQuilloryTable WithRandomStart(TQuilloryTable table, std::mt19937& rng) {
    const TBoardPoint start = RandomPresentCell(table, rng);
    table.x = start.x;
    table.y = start.y;
    return table;
}

// `table` with `count` random cells other than the player's removed.
inline TQuilloryTable WithHoles(TQuilloryTable table, int count, std::mt19937& rng) {
    for (int made = 0; made < count;) {
        const TBoardPoint cell = RandomPresentCell(table, rng);
        if (cell.x == table.x && cell.y == table.y)
            continue;
        table.SetCell(cell.x, cell.y, false);
        ++made;
    }
    return table;
}

// A number from 0 to n - 1.
inline int RandomBelow(std::mt19937& rng, int n) {
    return static_cast<int>(rng() % static_cast<unsigned>(n));
}

// Single holes in a lattice.
inline void TakeOutLattice(TQuilloryTable& table, std::mt19937& rng) {
    const int px = 2 + RandomBelow(rng, 5), py = 2 + RandomBelow(rng, 5);
    for (int y = RandomBelow(rng, py); y < kBoardRows; y += py)
        for (int x = RandomBelow(rng, px); x < kBoardColumns; x += px)
            table.SetCell(x, y, false);
}

// The teeth of a comb, each from the top or the bottom edge.
inline void TakeOutComb(TQuilloryTable& table, std::mt19937& rng) {
    const int gap = 2 + RandomBelow(rng, 3);
    for (int x = 1 + RandomBelow(rng, gap); x < kBoardColumns - 1; x += gap) {
        const int length = 3 + RandomBelow(rng, 8);
        const bool fromTop = RandomBelow(rng, 2) == 0;
        for (int j = 0; j < length; ++j)
            table.SetCell(x, fromTop ? j : kBoardRows - 1 - j, false);
    }
}

// Walls between rooms, each with one or two doors.
inline void TakeOutWalls(TQuilloryTable& table, std::mt19937& rng) {
    const int room = 2 + RandomBelow(rng, 4);
    for (int x = room; x < kBoardColumns; x += room + 1) {
        for (int y = 0; y < kBoardRows; ++y)
            table.SetCell(x, y, false);
        for (int doors = 1 + RandomBelow(rng, 2); doors > 0; --doors)
            table.SetCell(x, RandomBelow(rng, kBoardRows), true);
    }
}

// The cells of a random walk.
inline void TakeOutWalk(TQuilloryTable& table, std::mt19937& rng) {
    int x = RandomBelow(rng, kBoardColumns), y = RandomBelow(rng, kBoardRows);
    for (int steps = 10 + RandomBelow(rng, 60); steps > 0; --steps) {
        table.SetCell(x, y, false);
        const int d = RandomBelow(rng, kDirectionCount);
        if (IsOnBoard(x + kStepX[d], y + kStepY[d])) {
            x += kStepX[d];
            y += kStepY[d];
        }
    }
}

// A few rectangles.
inline void TakeOutRectangles(TQuilloryTable& table, std::mt19937& rng) {
    for (int count = 1 + RandomBelow(rng, 5); count > 0; --count) {
        const int w = 1 + RandomBelow(rng, 4), h = 1 + RandomBelow(rng, 4);
        const int left = RandomBelow(rng, kBoardColumns + 1 - w), top = RandomBelow(rng, kBoardRows + 1 - h);
        for (int y = top; y < top + h; ++y)
            for (int x = left; x < left + w; ++x)
                table.SetCell(x, y, false);
    }
}

// The whole board with cells taken out in a pattern of kind 0..4: a lattice of single
// holes, teeth of a comb, walls between rooms, a random walk's cells, a few rectangles.
inline TQuilloryTable PatternedBoard(int kind, std::mt19937& rng) {
    using TPattern = void (*)(TQuilloryTable&, std::mt19937&);
    static constexpr TPattern kPatterns[] = {TakeOutLattice, TakeOutComb, TakeOutWalls, TakeOutWalk,
                                             TakeOutRectangles};
    TQuilloryTable table = FilledRectangle(0, 0, kBoardColumns, kBoardRows);
    kPatterns[kind](table, rng);
    return table;
}

// Writes a track file: the player's cell, then every present cell, CR LF between lines.
inline void WriteTrack(const std::string& fileName, const TQuilloryTable& table) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", fileName.c_str());
        return;
    }
    std::fprintf(file, "%d %d", table.x, table.y);
    for (int y = 0; y < kBoardRows; ++y)
        for (int x = 0; x < kBoardColumns; ++x)
            if (table.IsPresent(x, y))
                std::fprintf(file, "\r\n%d %d", x, y);
    std::fclose(file);
}

}  // namespace route_positions
