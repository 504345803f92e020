// Writing track files: the player's cell, then every present cell, one "%d %d" line each.
#pragma once

#include <string>
#include <vector>

#include "game/quillory_table.h"

// The lines of the track of `table`: its position first, then each present cell in
// row order (row 0 first, each row from column 0). Throws nothing but std::bad_alloc.
std::vector<std::string> TrackLines(const TQuilloryTable& table);

// Creates or truncates `fileName` and writes `lines` as a string list's line file:
// joined by CR LF, with nothing after the last line. Throws TKestFileException when the
// file cannot be created or fully written.
void SaveLinesFile(const char* fileName, const std::vector<std::string>& lines);
