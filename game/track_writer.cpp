#include "game/track_writer.h"

#include <cstdio>
#include <memory>

#include "containers/kest_exception.h"

namespace {

std::string Pair(int x, int y) {
    char text[32];
    std::snprintf(text, sizeof text, "%d %d", x, y);
    return text;
}

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

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
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(fileName, "wb"));
    if (!file)
        throw TKestFileException();
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += "\r\n";
        text += lines[i];
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed) {
        std::remove(fileName);
        throw TKestFileException();
    }
}
