// Reading track files: a file's lines, and a table built from a track's lines.
#pragma once

#include <string>
#include <vector>

#include "game/quillory_table.h"

// Files larger than this are refused by ReadLines; a track is a few kilobytes at most.
inline constexpr long kMaxTrackFileBytes = 16L * 1024 * 1024;

// Reads the whole file `fileName` in binary as lines: CR, LF and CR LF each end a line,
// zero bytes are dropped, and a file ending in a line end yields a last empty line.
// Returns true with `lines` replaced (an empty file gives no lines); returns false,
// leaving `lines` untouched, when the file is missing, is not a regular file (a
// directory, a pipe, a device: these are refused before any read, so that nothing
// blocks), exceeds kMaxTrackFileBytes, or cannot be opened or read. Throws
// std::bad_alloc only when memory runs out.
bool ReadLines(const char* fileName, std::vector<std::string>& lines);

// As above; on failure `cause` (when not null) is set to why, for a message after the
// file's name: the system's text ("No such file or directory", "Permission denied"),
// "is a directory", "is not a regular file" or "is larger than a track can be".
bool ReadLines(const char* fileName, std::vector<std::string>& lines, std::string* cause);

// Reads up to two decimal integers as "%d %d" does (leading white space skipped, trailing
// text ignored) and returns how many were read (0, 1 or 2). A number that does not fit
// an int is stored as INT_MIN or INT_MAX, which lie off any board. Throws nothing.
int ScanPair(const std::string& line, int& first, int& second);

// Builds a table from a track's lines: line 1 is the position, every further line marks
// a present cell; a line without a number keeps the previous pair, a line with one number
// replaces the column only. Returns true and replaces `table`; returns false, leaving
// `table` untouched, for fewer than two lines, a first line without two numbers, or any
// pair off the 18 x 12 board. Throws nothing.
bool TableFromTrackLines(const std::vector<std::string>& lines, TQuilloryTable& table);
