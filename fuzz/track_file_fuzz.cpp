// Feeds arbitrary bytes to the track reader and routes the positions it accepts.
//
// It provides LLVMFuzzerTestOneInput (files are replayed through fuzz_replay.cpp without
// a fuzzing engine); built as its own pass (QUILLORY_FUZZ_DRIVER) it runs a fixed-seed
// set of mutated tracks and prints how many were accepted. Its seeds are the built-in
// tables' tracks as the game saves them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "game/track_file.h"
#include "game/track_writer.h"
#include "route/find_route_command.h"
#include "tests/support/route_test_support.h"

namespace {

// Boards larger than this are read but not routed, to keep each input quick.
constexpr int kMaxRoutedCells = 48;

// True when the bytes, read as a track file, gave a table. Aborts on any broken promise.
bool LoadOne(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::ScratchFile("track.txt", data, size);
    std::vector<std::string> lines;
    if (!ReadLines(path.c_str(), lines))
        std::abort();
    TQuilloryTable table;
    if (!TableFromTrackLines(lines, table))
        return false;
    if (!table.IsPresent(table.x, table.y))
        std::abort();
    if (CountPresentCells(table) <= kMaxRoutedCells) {
        std::vector<TRouteFinder::TPoint> route;
        if (FindRouteOnTable(table, route) && !route_test::RouteProblem(table, route).empty())
            std::abort();
    }
    return true;
}

}  // namespace

// Every fifth built-in table's full track, saved by the game's track writer; and the
// first table's track with LF line ends.
void WriteFuzzSeeds(const std::string& folder) {
    for (int index = 0; index < kBuiltInTableCount; index += 5) {
        const std::vector<std::string> lines = TrackLines(MakeTable(BuiltInTable(index)));
        SaveLinesFile((folder + "/table_" + std::to_string(index + 1) + ".txt").c_str(), lines);
        if (index != 0)
            continue;
        std::FILE* file = std::fopen((folder + "/table_1_lf.txt").c_str(), "wb");
        if (file == nullptr)
            std::abort();
        for (const std::string& line : lines)
            std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
}

#ifndef QUILLORY_FUZZ_DRIVER
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LoadOne(data, size);
    return 0;
}
#else
namespace {

// One of a few seed tracks with one to six characters replaced, inserted or erased.
std::string MutatedTrack(std::mt19937& rng) {
    static const std::string seeds[] = {
        "3 3\r\n2 2\r\n3 2\r\n4 2\r\n2 3\r\n3 3\r\n4 3\r\n2 4\r\n3 4\r\n4 4",
        "0 0\n0 0\n1 0\n2 0\n17 0\n17 1\n0 11\n17 11\n",
        "5 5\r\n\r\n5 6\r\n6\r\n  7 7 x\r\n-1\r\n",
    };
    static const char alphabet[] = "0123456789 -+\r\n\t\0x";
    std::string bytes = seeds[rng() % 3];
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) {
        const size_t at = bytes.empty() ? 0 : rng() % bytes.size();
        const char c = alphabet[rng() % (sizeof alphabet - 1)];
        switch (rng() % 3) {
        case 0:
            if (!bytes.empty())
                bytes[at] = c;
            break;
        case 1: bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), c); break;
        default:
            if (!bytes.empty())
                bytes.erase(at, 1 + rng() % 4);
            break;
        }
    }
    return bytes;
}

}  // namespace

int main() {
    constexpr int kRuns = 4000;
    int accepted = 0;
    std::mt19937 rng(4242);
    for (int run = 0; run < kRuns; ++run) {
        const std::string bytes = MutatedTrack(rng);
        accepted += LoadOne(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()) ? 1 : 0;
    }
    std::printf("%d of %d inputs gave a table\n", accepted, kRuns);
    return 0;
}
#endif
