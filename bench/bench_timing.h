// Shared helpers of the benchmarks: best-of timing, throughput, a scratch folder that
// removes itself, and the process's peak memory.
#pragma once

#include <malloc.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/scratch_folder.h"

namespace bench {

// Best time in seconds of runs calls of work.
template <typename Work>
double Best(int runs, Work work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(end - start).count());
    }
    return best;
}

inline double MBps(double bytes, double seconds) {
    return bytes / (1024.0 * 1024.0) / seconds;
}

[[noreturn]] inline void Fail(const char* program, const char* what) {
    std::fprintf(stderr, "%s: %s\n", program, what);
    std::exit(1);
}

// A new folder under TMPDIR (or /tmp) for a benchmark's files; it and the files in it are
// removed on destruction. A folder that cannot be made ends the program.
class TScratchFolder : public quillory_test::TScratchFolder {
public:
    TScratchFolder() : quillory_test::TScratchFolder(quillory_test::TemporaryFolder(), "kest_bench_") {
        if (!Made())
            Fail("bench", "no scratch folder");
    }
};

// A "kB:" line of /proc/self/status (VmRSS, VmHWM) in bytes; 0 when it cannot be read.
inline double StatusBytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == key) {
            double kb = 0;
            status >> kb;
            return kb * 1024.0;
        }
    }
    return 0;
}

// Starts a new peak-memory measurement: the peak becomes the present resident size.
inline void ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

inline double PeakBytes() {
    return StatusBytes("VmHWM:");
}
inline double ResidentBytes() {
    return StatusBytes("VmRSS:");
}

// The rise of the process's peak memory while load runs, from a trimmed heap.
template <typename Load>
double PeakRise(Load load) {
    malloc_trim(0);
    const double before = ResidentBytes();
    ResetPeak();
    load();
    return PeakBytes() - before;
}

}  // namespace bench
