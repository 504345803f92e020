// Times saving to a named file through the temporary file (written, flushed to disk,
// swapped with the old file, the folder flushed, the old file removed) against writing
// the same bytes straight into the file, with and without flushing it to disk: a 64 MB
// integer container, and a track-sized line file where the flushes are all the cost.
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "bench/bench_timing.h"
#include "containers/kest_string.h"
#include "containers/string_container.h"
#include "memory/int_container.h"

namespace {

constexpr int kCount = 16 * 1024 * 1024;
constexpr int kRuns = 5;
constexpr int kTrackLines = 60;
constexpr int kTrackRuns = 50;

void Fail(const char* what) {
    bench::Fail("file_save_bench", what);
}

// Writes straight into the file at `path` with `write`, flushing it to disk first when
// `sync` is set: the baseline the saves through a temporary file are measured against.
template <typename Write>
void WriteInPlace(const std::string& path, bool sync, Write write) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        Fail("cannot open");
    write(file);
    if (sync && (std::fflush(file) != 0 || ::fsync(::fileno(file)) != 0))
        Fail("cannot flush");
    if (std::fclose(file) != 0)
        Fail("cannot close");
}

// Times the integers' save in one stored form against the direct writes and prints the
// form's three lines.
void TimeIntegerSaves(TIntContainer& ints, bool buffered, const std::string& path, double bytes) {
    ints.FBuffered = buffered;
    std::printf("%s form:\n", buffered ? "buffered (memory image)" : "direct");
    const double direct =
        bench::Best(kRuns, [&] { WriteInPlace(path, false, [&](FILE* file) { ints.WriteBinary(file); }); });
    const double directSynced =
        bench::Best(kRuns, [&] { WriteInPlace(path, true, [&](FILE* file) { ints.WriteBinary(file); }); });
    const double saved = bench::Best(kRuns, [&] { ints.SaveBinaryFile(path.c_str()); });
    TIntContainer back;
    back.LoadBinaryFile(path.c_str());
    if (back.Count() != kCount || back.At(kCount - 1) != ints.At(kCount - 1))
        Fail("saved file differs");
    std::printf("  %-48s %8.3f s %8.1f MB/s\n", "fopen, WriteBinary, fclose (no disk flush)", direct,
                bench::MBps(bytes, direct));
    std::printf("  %-48s %8.3f s %8.1f MB/s\n", "fopen, WriteBinary, fflush + fsync, fclose", directSynced,
                bench::MBps(bytes, directSynced));
    std::printf("  %-48s %8.3f s %8.1f MB/s   %.2fx the direct write, %.2fx the synced one\n",
                "SaveBinaryFile (temporary, fsync, swap, folder)", saved, bench::MBps(bytes, saved),
                saved / direct, saved / directSynced);
}

// Times the save of a track-sized line file, where the flushes are all the cost, against
// the synced direct write and prints the two lines.
void TimeTrackSaves(const bench::TScratchFolder& folder) {
    TStringContainer track;
    for (int i = 0; i < kTrackLines; ++i)
        track.Add(TString((std::to_string(i % 18) + " " + std::to_string(i / 18)).c_str()));
    const std::string trackPath = folder.Path("track.txt");
    std::printf("a track of %d lines saved with SaveTextFile's line file, best of %d run(s):\n", kTrackLines,
                kTrackRuns);
    const double lines = bench::Best(
        kTrackRuns, [&] { WriteInPlace(trackPath, true, [&](FILE* file) { track.WriteText(file); }); });
    const double linesSaved = bench::Best(kTrackRuns, [&] { track.SaveTextFile(trackPath.c_str()); });
    std::printf("  %-48s %8.3f ms\n", "fopen, WriteText, fflush + fsync, fclose", lines * 1000.0);
    std::printf("  %-48s %8.3f ms   %.2fx the synced direct write\n",
                "SaveTextFile (temporary, fsync, swap, folder)", linesSaved * 1000.0, linesSaved / lines);
}

}  // namespace

int main() {
    std::mt19937 engine(7);
    TIntContainer ints;
    for (int i = 0; i < kCount; ++i)
        ints.Add(static_cast<int32_t>(engine()));
    const double bytes = static_cast<double>(kCount) * 4.0;
    bench::TScratchFolder folder;
    const std::string path = folder.Path("ints.bin");
    std::printf("%d integers (%.0f MB, seed 7) saved with SaveBinaryFile's image, best of %d run(s), in %s\n",
                kCount, bytes / (1024.0 * 1024.0), kRuns, path.c_str());
    for (bool buffered : {true, false})
        TimeIntegerSaves(ints, buffered, path, bytes);
    TimeTrackSaves(folder);
    return 0;
}
