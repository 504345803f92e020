// Writing track files: the player's cell, then every present cell, one "%d %d" line each.
#pragma once

#include <string>
#include <vector>

#include "game/quillory_table.h"

// The lines of the track of `table`: its position first, then each present cell in
// row order (row 0 first, each row from column 0). Throws nothing but std::bad_alloc.
std::vector<std::string> TrackLines(const TQuilloryTable& table);

// Writes `lines` as a string list's line file to `fileName`: joined by CR LF, with
// nothing after the last line. The file is replaced only when the whole track was
// written; otherwise an old file keeps its bytes and TKestFileException is thrown, its
// Detail() naming the file and the system's reason.
void SaveLinesFile(const char* fileName, const std::vector<std::string>& lines);
