#include "game/track_file.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace {

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFileHandle = std::unique_ptr<std::FILE, TFileCloser>;

bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One "%d" conversion from `pos`: skips white space, reads an optional sign and at least
// one digit. Values beyond int saturate. Returns false when no number starts here.
bool ScanInt(const std::string& text, size_t& pos, int& value) {
    const size_t end = text.size();
    size_t p = pos;
    while (p < end && text[p] != '\0' && IsScanSpace(text[p]))
        ++p;
    bool negative = false;
    if (p < end && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    if (p >= end || text[p] < '0' || text[p] > '9')
        return false;
    int64_t magnitude = 0;
    const int64_t limit = int64_t{INT_MAX} + 1;
    while (p < end && text[p] >= '0' && text[p] <= '9') {
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (text[p] - '0');
        ++p;
    }
    if (negative)
        value = magnitude >= limit ? INT_MIN : static_cast<int>(-magnitude);
    else
        value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    pos = p;
    return true;
}

}  // namespace

bool ReadLines(const char* fileName, std::vector<std::string>& lines) {
    if (fileName == nullptr)
        return false;
    TFileHandle file(std::fopen(fileName, "rb"));
    if (!file)
        return false;

    // Read in blocks rather than trusting a reported length: the length of a pipe or a
    // device is not known in advance, and a growing file must not overrun the buffer.
    std::string bytes;
    char block[16384];
    for (;;) {
        const size_t got = std::fread(block, 1, sizeof block, file.get());
        if (got > 0) {
            if (bytes.size() + got > static_cast<size_t>(kMaxTrackFileBytes))
                return false;
            bytes.append(block, got);
        }
        if (got < sizeof block) {
            if (std::ferror(file.get()))
                return false;
            break;
        }
    }
    file.reset();

    std::vector<std::string> result;
    if (!bytes.empty()) {
        std::string current;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '\r' || c == '\n') {
                result.push_back(std::move(current));
                current.clear();
                if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                    ++i;
            } else if (c != '\0') {
                current.push_back(c);
            }
        }
        result.push_back(std::move(current));
    }
    lines.swap(result);
    return true;
}

int ScanPair(const std::string& line, int& first, int& second) {
    size_t pos = 0;
    if (!ScanInt(line, pos, first))
        return 0;
    if (!ScanInt(line, pos, second))
        return 1;
    return 2;
}

bool TableFromTrackLines(const std::vector<std::string>& lines, TQuilloryTable& table) {
    if (lines.size() <= 1)
        return false;
    int x = 0;
    int y = 0;
    if (ScanPair(lines[0], x, y) != 2 || !IsOnBoard(x, y))
        return false;
    TQuilloryTable built;
    built.x = x;
    built.y = y;
    built.SetCell(x, y, true);
    for (size_t i = 1; i < lines.size(); ++i) {
        ScanPair(lines[i], x, y);
        if (!IsOnBoard(x, y))
            return false;
        built.SetCell(x, y, true);
    }
    table = built;
    return true;
}
