// Times memory-space images (stored and compressed; memory image and C file) against
// zlib's own compress/uncompress on the same bytes and against memcpy.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "bench/bench_timing.h"
#include "memory/mem_buffer.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Payload that compresses the way ordinary saved data does: words of a small vocabulary.
Bytes Payload(size_t size, uint32_t seed) {
    static const char* const kWords[] = {"cell ", "table ",  "route ", "move ",
                                         "undo ", "track\n", "42 ",    "17 "};
    std::mt19937 engine(seed);
    Bytes bytes;
    bytes.reserve(size);
    while (bytes.size() < size) {
        for (const char* p = kWords[engine() % 8]; *p != 0 && bytes.size() < size; ++p) {
            bytes.push_back(static_cast<uint8_t>(*p));
        }
    }
    return bytes;
}

using bench::Best;

double MBps(size_t bytes, double seconds) {
    return bench::MBps(static_cast<double>(bytes), seconds);
}

void Fail(const char* what) {
    std::fprintf(stderr, "memory_bench: %s\n", what);
    std::exit(1);
}

// runs times each operation, except compressing (slow at 64 MB), which is timed compressRuns times.
void Run(size_t size, int runs, int compressRuns) {
    const Bytes payload = Payload(size, 1);
    std::printf(
        "payload %zu MB (word text, seed 1), best of %d run(s), compressing best of %d, MB/s of payload\n",
        size >> 20, runs, compressRuns);

    Bytes copy(size);
    const double copyTime = Best(runs, [&] { std::memcpy(copy.data(), payload.data(), size); });
    if (copy != payload)
        Fail("memcpy mismatch");

    // zlib alone: the floor any compressed image pays.
    Bytes packed(compressBound(static_cast<uLong>(size)));
    uLongf packedSize = 0;
    const double zlibWrite = Best(compressRuns, [&] {
        packedSize = static_cast<uLongf>(packed.size());
        if (compress(packed.data(), &packedSize, payload.data(), static_cast<uLong>(size)) != Z_OK)
            Fail("compress");
    });
    const double zlibRead = Best(runs, [&] {
        uLongf restored = static_cast<uLongf>(size);
        if (uncompress(copy.data(), &restored, packed.data(), packedSize) != Z_OK || restored != size)
            Fail("uncompress");
    });

    TMemBuffer source;
    source.Append(payload.data(), static_cast<int32_t>(size));

    struct TRow {
        const char* name;
        double write;
        double read;
    };
    std::vector<TRow> rows;
    TMemBuffer target;  // kept across the runs, so reads time the image and not first-touch paging
    for (bool compressed : {false, true}) {
        source.FCompressed = compressed;
        TMemBuffer image;
        const double memWrite = Best(compressed ? compressRuns : runs, [&] {
            image.SetLength(0);
            source.WriteToBuffer(image);
        });
        const double memRead = Best(runs, [&] {
            image.Rewind();
            target.ReadFromSpace(image);
        });
        if (target.Length() != source.Length() || std::memcmp(target.Data(), payload.data(), size) != 0) {
            Fail("memory image mismatch");
        }

        FILE* file = std::tmpfile();
        if (file == nullptr)
            Fail("tmpfile");
        const double fileWrite = Best(compressed ? compressRuns : runs, [&] {
            std::rewind(file);
            source.WriteBinary(file);
            std::fflush(file);
        });
        const double fileRead = Best(runs, [&] {
            std::rewind(file);
            target.ReadBinary(file);
        });
        std::fclose(file);
        if (target.Length() != source.Length() || std::memcmp(target.Data(), payload.data(), size) != 0) {
            Fail("file image mismatch");
        }
        rows.push_back({compressed ? "memory image, compressed" : "memory image, stored", memWrite, memRead});
        rows.push_back({compressed ? "C file, compressed" : "C file, stored", fileWrite, fileRead});
    }

    std::printf("  %-28s %10s %10s\n", "", "write", "read");
    std::printf("  %-28s %10.0f %10.0f\n", "memcpy (reference)", MBps(size, copyTime), MBps(size, copyTime));
    std::printf("  %-28s %10.1f %10.1f   (compressed to %.1f%%)\n", "zlib compress/uncompress",
                MBps(size, zlibWrite), MBps(size, zlibRead),
                100.0 * static_cast<double>(packedSize) / static_cast<double>(size));
    for (const TRow& row : rows) {
        std::printf("  %-28s %10.1f %10.1f\n", row.name, MBps(size, row.write), MBps(size, row.read));
    }
    std::printf("  compressed memory image vs zlib alone: write %.2fx, read %.2fx of zlib's time\n\n",
                rows[2].write / zlibWrite, rows[2].read / zlibRead);
}

}  // namespace

int main() {
    Run(size_t{1} << 20, 10, 10);
    Run(size_t{64} << 20, 3, 1);
    return 0;
}
