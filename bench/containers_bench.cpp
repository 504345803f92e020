// Times filling an integer container against std::vector, and its memory image and direct
// C file image (contiguous, written as one block; and separately allocated elements)
// against memcpy of the same bytes; and adding strings to a list loaded from an image that
// asks for linear growth by 0 or by 1, against a list of the default settings. Last, the
// C file forms of 10^7 integers on a named file (buffered, the default, and direct) loaded
// against one fread of their bytes: time and the rise of the process's peak memory.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "bench/bench_timing.h"
#include "containers/string_container.h"
#include "memory/int_container.h"
#include "memory/mem_buffer.h"

namespace {

constexpr int kCount = 2 * 1024 * 1024;
constexpr int kRuns = 3;

using bench::Best;

using bench::MBps;

void Fail(const char* what) {
    bench::Fail("containers_bench", what);
}

void Fill(TIntContainer& c, const std::vector<int32_t>& values) {
    for (int32_t v : values)
        c.Add(v);
}

void ImageRoundTrip(const char* label, TIntContainer& source, double bytes) {
    TMemBuffer buffer;
    const double write = Best(kRuns, [&] {
        buffer.SetLength(0);
        source.WriteToBuffer(buffer);
    });
    TIntContainer back;
    back.FPointers = source.FPointers;
    const double read = Best(kRuns, [&] {
        buffer.Rewind();
        back.ReadFromSpace(buffer);
    });
    if (back.Count() != source.Count() || back.At(kCount - 1) != source.At(kCount - 1))
        Fail("memory image differs");
    std::printf("  %-34s write %8.1f MB/s   read %8.1f MB/s\n", label, MBps(bytes, write), MBps(bytes, read));

    FILE* file = std::tmpfile();
    if (file == nullptr)
        Fail("no temporary file");
    const double fileWrite = Best(kRuns, [&] {
        std::rewind(file);
        source.WriteDirect(file);
        std::fflush(file);
    });
    const double fileRead = Best(kRuns, [&] {
        std::rewind(file);
        back.ReadDirect(file);
    });
    std::fclose(file);
    if (back.Count() != source.Count() || back.At(0) != source.At(0))
        Fail("file image differs");
    std::printf("  %-34s write %8.1f MB/s   read %8.1f MB/s\n", "  same, direct C file image",
                MBps(bytes, fileWrite), MBps(bytes, fileRead));
}

void FileForms(const std::vector<int32_t>& values) {
    constexpr int kLarge = 10 * 1000 * 1000;
    const double bytes = static_cast<double>(kLarge) * sizeof(int32_t);
    bench::TScratchFolder folder;
    const std::string raw = folder.Path("raw.bin");
    {
        std::vector<int32_t> data(kLarge);
        for (int i = 0; i < kLarge; ++i)
            data[static_cast<size_t>(i)] = values[static_cast<size_t>(i) % values.size()];
        if (!quillory_test::WriteFileBytes(raw, data.data(), data.size() * 4))
            Fail("cannot write");
    }
    auto plain = [&] {
        std::vector<int32_t> data(kLarge);
        FILE* file = std::fopen(raw.c_str(), "rb");
        if (file == nullptr || std::fread(data.data(), 4, data.size(), file) != data.size())
            Fail("cannot read");
        std::fclose(file);
    };
    const double plainPeak = bench::PeakRise(plain);
    const double plainTime = Best(kRuns, plain);
    std::printf("%d integers in C file forms on a named file (%.0f MB), best of %d run(s):\n", kLarge,
                bytes / (1024.0 * 1024.0), kRuns);
    std::printf("  %-34s %8.1f MB/s   peak %.2fx the data\n", "one fread of the bytes",
                MBps(bytes, plainTime), plainPeak / bytes);
    for (const bool buffered : {true, false}) {
        const std::string path = folder.Path(buffered ? "buffered.kest" : "direct.kest");
        {
            TIntContainer c;
            c.SetCapacity(kLarge);
            for (int i = 0; i < kLarge; ++i)
                c.Add(values[static_cast<size_t>(i) % values.size()]);
            c.FBuffered = buffered;
            c.SaveBinaryFile(path.c_str());
        }
        auto load = [&] {
            TIntContainer c;
            c.LoadBinaryFile(path.c_str());
            if (c.Count() != kLarge ||
                c.At(kLarge - 1) != values[static_cast<size_t>(kLarge - 1) % values.size()])
                Fail("file form differs");
        };
        const double peak = bench::PeakRise(load);
        const double seconds = Best(kRuns, load);
        std::printf("  %-34s %8.1f MB/s   peak %.2fx the data   %.2fx fread's time\n",
                    buffered ? "LoadBinaryFile, buffered (default)" : "LoadBinaryFile, direct",
                    MBps(bytes, seconds), peak / bytes, seconds / plainTime);
    }
}

}  // namespace

int main() {
    std::mt19937 engine(7);
    std::vector<int32_t> values(kCount);
    for (int32_t& v : values)
        v = static_cast<int32_t>(engine());
    const double bytes = static_cast<double>(kCount) * sizeof(int32_t);
    std::printf("%d integers (%.0f MB, seed 7), best of %d run(s)\n", kCount, bytes / (1024.0 * 1024.0),
                kRuns);

    const double vectorFill = Best(kRuns, [&] {
        std::vector<int32_t> v;
        v.reserve(values.size());
        for (int32_t x : values)
            v.push_back(x);
        if (v.size() != values.size())
            Fail("vector size");
    });
    const double containerFill = Best(kRuns, [&] {
        TIntContainer c;
        Fill(c, values);
        if (c.Count() != kCount)
            Fail("container size");
    });
    std::printf("fill by appending one at a time:\n");
    std::printf("  %-34s %8.1f M/s\n", "std::vector<int32_t>::push_back", kCount / vectorFill / 1e6);
    std::printf("  %-34s %8.1f M/s\n", "TIntContainer::Add (contiguous)", kCount / containerFill / 1e6);

    std::vector<uint8_t> target(static_cast<size_t>(bytes));
    const double copy = Best(kRuns, [&] { std::memcpy(target.data(), values.data(), target.size()); });
    std::printf("images of the integers:\n");
    std::printf("  %-34s       %8.1f MB/s\n", "memcpy of the same bytes", MBps(bytes, copy));

    TIntContainer contiguous;
    Fill(contiguous, values);
    ImageRoundTrip("contiguous, memory image", contiguous, bytes);

    TIntContainer blocks;
    blocks.FPointers = true;
    Fill(blocks, values);
    ImageRoundTrip("separate blocks, memory image", blocks, bytes);

    // Stored growth settings cannot make Adds slow: a step of 0 keeps the list's own step,
    // and linear growth by 1 costs no copy of the array per step.
    constexpr int kAdds = 200000;
    std::printf("%d Adds to a string list loaded from an image with linear growth:\n", kAdds);
    const TString line("x");
    for (int32_t step : {0, 1, 16}) {
        TStringContainer stored;
        stored.FLinearGrowth = true;
        stored.FGrowBy = step;
        TMemBuffer image;
        stored.WriteToBuffer(image);
        const double seconds = Best(kRuns, [&] {
            image.Rewind();
            TStringContainer loaded;
            loaded.ReadFromSpace(image);
            for (int i = 0; i < kAdds; ++i)
                loaded.Add(line);
        });
        std::printf("  stored step %-22d %8.3f s\n", step, seconds);
    }
    const double plain = Best(kRuns, [&] {
        TStringContainer list;
        for (int i = 0; i < kAdds; ++i)
            list.Add(line);
    });
    std::printf("  %-34s %8.3f s\n", "default list (doubling)", plain);
    FileForms(values);
    return 0;
}
