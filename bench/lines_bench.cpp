// Times loading and saving line files of 100 MB with the string list (LoadTextFile,
// SaveLines, SaveTextFile) against std::getline on a std::ifstream and writing with a
// std::ofstream, and against a plain fread/fwrite of the same bytes; prints the memory
// the loaded lines take and the peak memory of a load against the file's size.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_timing.h"
#include "containers/string_container.h"

namespace {

constexpr size_t kFileBytes = size_t{100} * 1024 * 1024;
constexpr int kRuns = 2;

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
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        Fail("cannot write");
    if (std::fclose(file) != 0)
        Fail("cannot close");
}

void Measure(const char* label, const std::string& bytes, const bench::TScratchFolder& folder) {
    const std::string path = folder.Path("lines.txt");
    const std::string copy = folder.Path("copy.txt");
    PutFile(path, bytes);
    const double size = static_cast<double>(bytes.size());

    // Loading. The list is loaded first, while the heap is fresh, so that its memory is
    // measured without memory freed by the other loaders.
    double listRead = 0;
    int count = 0;
    double perLine = 0;
    double peak = 0;
    for (int run = 0; run < kRuns; ++run) {
        TStringContainer list;
        const double before = bench::ResidentBytes();
        bench::ResetPeak();
        const double seconds =
            bench::Best(1, [&] { list.LoadTextFile(path.c_str(), nullptr, 0, nullptr, 0); });
        if (run == 0) {
            count = list.Count();
            perLine = (bench::ResidentBytes() - before) / count;
            peak = bench::PeakBytes() - before;
        }
        if (run == 0 || seconds < listRead)
            listRead = seconds;
    }
    const double plainRead = bench::Best(kRuns, [&] {
        std::vector<char> data(bytes.size());
        FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr || std::fread(data.data(), 1, data.size(), file) != data.size())
            Fail("cannot read");
        std::fclose(file);
    });
    size_t streamLines = 0;
    const double streamRead = bench::Best(kRuns, [&] {
        std::ifstream in(path, std::ios::binary);
        std::vector<std::string> lines;
        std::string line;
        while (std::getline(in, line))
            lines.push_back(line);
        streamLines = lines.size();
    });
    if (static_cast<size_t>(count) != streamLines)
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
    std::printf("  load  %-40s %8.1f MB/s\n", "fread of the whole file", bench::MBps(size, plainRead));
    std::printf("  load  %-40s %8.1f MB/s\n", "std::getline on std::ifstream", bench::MBps(size, streamRead));
    std::printf("  load  %-40s %8.1f MB/s   %.2fx getline, %.2fx slower than fread\n",
                "TStringContainer::LoadTextFile", bench::MBps(size, listRead), streamRead / listRead,
                listRead / plainRead);
    std::printf(
        "        memory of the loaded list: %.1f bytes a line (resident); peak of the load %.2fx the file\n",
        perLine, peak / size);
    std::printf("  save  %-40s %8.1f MB/s\n", "fwrite of the same bytes", bench::MBps(size, plainWrite));
    std::printf("  save  %-40s %8.1f MB/s\n", "std::ofstream, line by line", bench::MBps(size, streamWrite));
    std::printf("  save  %-40s %8.1f MB/s   %.2fx ofstream, %.2fx slower than fwrite\n",
                "TStringContainer::SaveLines (fopen/fclose)", bench::MBps(size, listWrite),
                streamWrite / listWrite, listWrite / plainWrite);
    std::printf("  save  %-40s %8.1f MB/s   (temporary file, fsync, rename)\n",
                "TStringContainer::SaveTextFile", bench::MBps(size, listSave));
}

}  // namespace

int main() {
    bench::TScratchFolder folder;
    Measure("short lines (5..30 bytes)", MakeLines(5, 30, 3), folder);
    Measure("long lines (64..256 KB)", MakeLines(size_t{64} * 1024, size_t{256} * 1024, 5), folder);
    return 0;
}
