// Feeds arbitrary bytes to the picture reader and to the memory-image conversion.
//
// It provides LLVMFuzzerTestOneInput (files are replayed through fuzz_replay.cpp without
// a fuzzing engine); built as its own pass (QUILLORY_FUZZ_DRIVER) it runs a fixed-seed
// set of mutated BMP files and prints how many loaded. Its seeds are one picture file of
// every kind the reader takes.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <fstream>

#include "fuzz/fuzz_support.h"
#include "graphics/device_bitmap.h"
#include "graphics/device_context.h"
#include "graphics/mem_bitmap.h"
#include "tests/support/bmp_test_files.h"

namespace {

// True when the bytes, read as a BMP file, gave a usable picture.
bool LoadOne(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::ScratchFile("picture.bmp", data, size);

    TMemBitmap picture;
    picture.LoadFromFile(path.c_str(), -1);
    if (picture.loaded) {
        // Everything a loaded picture offers must stay inside its image.
        for (int y = -1; y <= 3; ++y)
            for (int x = -1; x <= 3; ++x)
                picture.SetPixel(x, y, 0x00FFFFFF);
        picture.UpdateBitmap();
        if (picture.BeginDraw(true, nullptr) != nullptr)
            picture.EndDraw();
        TMemBitmap copy(picture);
        std::unique_ptr<TDeviceBitmap> canvas = TDeviceBitmap::CreateCompatible(8, 8);
        TDeviceContext target;  // closed before the bitmap it draws into
        target.SelectBitmap(canvas.get());
        copy.Draw(target, 0, 0, rop::kSrcCopy);
    }
    // The same bytes taken as a memory image with its pixels straight after the header.
    std::vector<std::uint8_t> image(data, data + size);
    if (std::unique_ptr<TDeviceBitmap> bitmap =
            TDeviceBitmap::FromMemoryImage(image.data(), image.size(), 40))
        bitmap->ReadInto(image.data(), image.size(), 40);
    return picture.loaded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LoadOne(data, size);
    return 0;
}

// One small picture per pixel format the reader takes (1, 4, 8, 16, 24 and 32 bits), a
// top-down one, a short colour table and spare bytes before the pixel rows; then one file
// of every kind common tools write (headers, bit fields, run lengths).
void WriteFuzzSeeds(const std::string& folder) {
    struct TSeed {
        const char* name;
        int width, height, bits, colours, gap;
        std::uint8_t fill;
    };
    const TSeed seeds[] = {
        {"mono", 9, 3, 1, 2, 0, 0xA5},       {"four", 5, 3, 4, 16, 0, 0x1E},
        {"eight", 5, 3, 8, 256, 0, 0x07},    {"eight_short_table", 3, 2, 8, 4, 0, 0x03},
        {"sixteen", 3, 2, 16, 0, 0, 0x5A},   {"twentyfour", 3, 2, 24, 0, 0, 0x80},
        {"thirtytwo", 2, 2, 32, 0, 0, 0xC3}, {"top_down", 3, -2, 24, 0, 0, 0x40},
        {"gap", 2, 2, 24, 0, 6, 0x11},
    };
    for (const TSeed& seed : seeds) {
        const std::vector<std::uint8_t> bytes =
            MakeBmpFile(seed.width, seed.height, seed.bits, seed.colours, seed.gap, seed.fill);
        std::ofstream(folder + "/" + seed.name + ".bmp", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    for (const TBmpVariant& variant : CommonBmpVariants()) {
        std::string path = folder + "/variant_";
        for (const char c : variant.name)
            path += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        path += ".bmp";
        const std::vector<std::uint8_t> bytes = WriteBmpVariant(variant, MakeBmpPicture(variant, 7, 5));
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
}

#ifdef QUILLORY_FUZZ_DRIVER
#include <random>

int main() {
    int loaded = 0;
    int inputs = 0;
    std::mt19937 random(8122026);
    // An 8-bit picture of 5 x 3 with a 4-colour table, every pixel byte 1.
    const std::vector<std::uint8_t> seed = MakeBmpFile(5, 3, 8, 4, 0, 1);
    for (; inputs < 2000; ++inputs) {
        std::vector<std::uint8_t> bytes = seed;
        const int flips = 1 + static_cast<int>(random() % 6);
        for (int i = 0; i < flips; ++i)
            bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
        if (random() % 4 == 0)
            bytes.resize(random() % (bytes.size() + 1));
        loaded += LoadOne(bytes.data(), bytes.size()) ? 1 : 0;
    }
    std::printf("%d inputs, %d loaded as pictures\n", inputs, loaded);
    return 0;
}
#endif
