#include "game/track_writer.h"

#include <cstdio>

#include "containers/kest_string.h"
#include "containers/string_container.h"

namespace {

std::string Pair(int x, int y) {
    char text[32];
    std::snprintf(text, sizeof text, "%d %d", x, y);
    return text;
}

}  // namespace

std::vector<std::string> TrackLines(const TQuilloryTable& table) {
    std::vector<std::string> lines{Pair(table.x, table.y)};
    for (int y = 0; y < kBoardRows; ++y)
        for (int x = 0; x < kBoardColumns; ++x)
            if (table.IsPresent(x, y))
                lines.push_back(Pair(x, y));
    return lines;
}

void SaveLinesFile(const char* fileName, const std::vector<std::string>& lines) {
    TStringContainer track;
    for (const std::string& line : lines)
        track.Add(TString(line.c_str()));
    track.SaveTextFile(fileName);
}
