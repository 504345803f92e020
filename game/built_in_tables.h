// The fifty tables compiled into the program, and their conversion to TQuilloryTable.
#pragma once

#include <vector>

#include "game/quillory_table.h"

inline constexpr int kBuiltInTableCount = 50;

// A table as stored in the program: the start pair and one text row per board row.
struct TBuiltInTable {
    int x;
    int y;
    const char* rows[kBoardRows];
};

// The stored data of table `index` (0..49); the index is not checked.
const TBuiltInTable& BuiltInTable(int index);

// Converts stored data into a table: a cell is present exactly where its character is not '.'.
TQuilloryTable MakeTable(const TBuiltInTable& data);

// The fifty built-in tables in order, as the game's table list.
std::vector<TQuilloryTable> BuildTables();
