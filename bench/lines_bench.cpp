// Times loading and saving line files of 100 MB with the string list against the
// standard library in the same run: LoadTextFile (the list destroyed inside the timing)
// against std::getline on a std::ifstream into a std::vector<std::string> (destroyed
// inside the timing too) and against one fread of the whole file; saving with SaveLines
// and SaveTextFile against a std::ofstream and one fwrite. Short (21-byte), 2 KB and
// 64 KB lines. Memory per line is the rise of the process's peak during a load, over
// the lines loaded, for the list and for the vector alike, each case in a process of its own.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "containers/string_container.h"

namespace {

constexpr size_t kFileBytes = size_t{100} * 1024 * 1024;
constexpr int kRuns = 3;

void Fail(const char* what) {
    bench::Fail("lines_bench", what);
}

// Lines of random letters and digits, lengths in [shortest, longest], joined by CR LF.
std::string MakeLines(size_t shortest, size_t longest, uint32_t seed) {
    std::mt19937 engine(seed);
    std::string bytes;
    bytes.reserve(kFileBytes + longest + 2);
    while (bytes.size() < kFileBytes) {
        if (!bytes.empty())
            bytes += "\r\n";
        const size_t length = shortest + engine() % (longest - shortest + 1);
        for (size_t i = 0; i < length; ++i)
            bytes.push_back(static_cast<char>('0' + engine() % 75));
    }
    return bytes;
}

void PutFile(const std::string& path, const std::string& bytes) {
    if (!quillory_test::WriteFileBytes(path, bytes.data(), bytes.size()))
        Fail("cannot write");
}

size_t GetLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines.size();
}

int LoadList(const std::string& path) {
    TStringContainer list;
    list.LoadTextFile(path.c_str(), nullptr, 0, nullptr, 0);
    return list.Count();
}

void Measure(const char* label, const std::string& bytes, const bench::TScratchFolder& folder) {
    const std::string path = folder.Path("lines.txt");
    const std::string copy = folder.Path("copy.txt");
    PutFile(path, bytes);
    const double size = static_cast<double>(bytes.size());

    // Memory first, each from a trimmed heap; the loaded data are kept until the peak is read.
    int count = 0;
    const double listPeak = bench::PeakRise([&] {
        TStringContainer list;
        list.LoadTextFile(path.c_str(), nullptr, 0, nullptr, 0);
        count = list.Count();
    });
    size_t streamLines = 0;
    const double vectorPeak = bench::PeakRise([&] { streamLines = GetLines(path); });
    if (static_cast<size_t>(count) != streamLines)
        Fail("line counts differ");

    int listCount = 0;
    const double listRead = bench::Best(kRuns, [&] { listCount = LoadList(path); });
    const double streamRead = bench::Best(kRuns, [&] { streamLines = GetLines(path); });
    const double plainRead = bench::Best(kRuns, [&] {
        std::vector<char> data(bytes.size());
        FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr || std::fread(data.data(), 1, data.size(), file) != data.size())
            Fail("cannot read");
        std::fclose(file);
    });
    if (listCount != count || static_cast<size_t>(count) != streamLines)
        Fail("line counts differ");

    // Saving.
    TStringContainer list;
    list.LoadTextFile(path.c_str(), nullptr, 0, nullptr, 0);
    std::vector<std::string> lines;
    {
        std::ifstream in(path, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
    }
    const double plainWrite = bench::Best(kRuns, [&] { PutFile(copy, bytes); });
    const double streamWrite = bench::Best(kRuns, [&] {
        std::ofstream out(copy, std::ios::binary | std::ios::trunc);
        for (size_t i = 0; i < lines.size(); ++i) {
            out << lines[i];
            if (i + 1 < lines.size())
                out << "\r\n";
        }
        out.close();
        if (!out)
            Fail("ofstream failed");
    });
    const double listWrite = bench::Best(kRuns, [&] {
        FILE* file = std::fopen(copy.c_str(), "wb");
        if (file == nullptr)
            Fail("cannot open");
        list.SaveLines(file, nullptr, 0);
        if (std::fclose(file) != 0)
            Fail("cannot close");
    });
    const double listSave = bench::Best(kRuns, [&] { list.SaveTextFile(copy.c_str()); });
    std::ifstream check(copy, std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(check)), std::istreambuf_iterator<char>());
    if (saved != bytes)
        Fail("saved file differs");

    std::printf("%s: %.0f MB, %d lines (%.1f bytes a line), best of %d run(s)\n", label,
                size / (1024.0 * 1024.0), count, size / count, kRuns);
    std::printf("  load  %-44s %8.1f MB/s\n", "fread of the whole file", bench::MBps(size, plainRead));
    std::printf("  load  %-44s %8.1f MB/s\n", "std::getline into vector<string>, freed",
                bench::MBps(size, streamRead));
    std::printf("  load  %-44s %8.1f MB/s   %.2fx getline's speed, %.2fx fread's time\n",
                "TStringContainer::LoadTextFile, freed", bench::MBps(size, listRead), streamRead / listRead,
                listRead / plainRead);
    std::printf("  memory (peak rise / lines): list %.1f bytes a line, vector %.1f, %.2fx the vector's\n",
                listPeak / count, vectorPeak / count, listPeak / vectorPeak);
    std::printf("  save  %-44s %8.1f MB/s\n", "fwrite of the same bytes", bench::MBps(size, plainWrite));
    std::printf("  save  %-44s %8.1f MB/s\n", "std::ofstream, line by line", bench::MBps(size, streamWrite));
    std::printf("  save  %-44s %8.1f MB/s   %.2fx ofstream's speed, %.2fx fwrite's time\n",
                "TStringContainer::SaveLines (fopen/fclose)", bench::MBps(size, listWrite),
                streamWrite / listWrite, listWrite / plainWrite);
    std::printf("  save  %-44s %8.1f MB/s   (temporary file, fsync, rename)\n",
                "TStringContainer::SaveTextFile", bench::MBps(size, listSave));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // An argument picks one case: short, 2k or 64k. Without one, each case runs in a
    // process of its own, so that no case's peak meets memory an earlier one left (the
    // heap's retained blocks).
    const std::string only = argc > 1 ? argv[1] : "";
    if (only.empty()) {
        for (const char* name : {"short", "2k", "64k"})
            if (std::system((std::string(argv[0]) + " " + name).c_str()) != 0)
                return 1;
        return 0;
    }
    bench::TScratchFolder folder;
    if (only == "short")
        Measure("short lines (19 bytes + CR LF)", MakeLines(19, 19, 3), folder);
    if (only == "2k")
        Measure("2 KB lines (1.5..2.5 KB)", MakeLines(1536, 2560, 4), folder);
    if (only == "64k")
        Measure("64 KB lines (48..80 KB)", MakeLines(size_t{48} * 1024, size_t{80} * 1024, 5), folder);
    return 0;
}
