// Test support for drawing: image targets, pixel reads, BMP files in memory and on disk,
// and windows shown until exposed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "graphics/device_bitmap.h"
#include "graphics/device_context.h"
#include "graphics/mem_bitmap.h"

// A device bitmap with a memory context selected onto it, to draw into and inspect.
struct TTarget {
    std::unique_ptr<TDeviceBitmap> bitmap;
    TDeviceContext dc;

    TTarget(int width, int height, TColor fill = kBlack)
        : bitmap(TDeviceBitmap::CreateCompatible(width, height)) {
        dc.SelectBitmap(bitmap.get());
        dc.FillRect(0, 0, width, height, fill);
    }
    // Colour at (x, y) as 0x00BBGGRR; finishes pending drawing first.
    TColor Pixel(int x, int y) {
        dc.SelectBitmap(nullptr);
        const TColor c = FromQRgb(bitmap->Image().pixel(x, y));
        dc.SelectBitmap(bitmap.get());
        return c;
    }
};

// The whole memory image of a picture, copied out.
inline std::vector<std::uint8_t> ImageBytes(TMemBitmap& picture) {
    if (!picture.memory)
        return {};
    const std::uint8_t* p = picture.memory->Lock();
    std::vector<std::uint8_t> bytes(p, p + picture.memory->Size());
    picture.memory->Unlock();
    return bytes;
}

// Colour of pixel (x, y) of a 24-bit picture's memory image, as 0x00BBGGRR; read in
// place, without copying the image.
inline TColor ImagePixel24(TMemBitmap& picture, int x, int y) {
    const std::uint8_t* image = picture.memory->Lock();
    const std::uint8_t* p = image + picture.PixelAreaOffset() +
                            static_cast<std::ptrdiff_t>(picture.stride) * (picture.height - 1 - y) +
                            std::ptrdiff_t{3} * x;
    const TColor c = TColor{p[2]} | TColor{p[1]} << 8 | TColor{p[0]} << 16;
    picture.memory->Unlock();
    return c;
}

// Shows `window` and waits (a bounded while) until the platform has exposed it, so
// that repaints reach it at once.
void ShowExposed(QWidget& window);

inline void PutU32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

inline void PutU16(std::vector<std::uint8_t>& v, std::size_t at, std::uint16_t x) {
    v[at] = static_cast<std::uint8_t>(x);
    v[at + 1] = static_cast<std::uint8_t>(x >> 8);
}

// A BMP file of width x height at `bits` per pixel, `gap` spare bytes before the pixel
// rows, with `colours` colour-table entries; every byte of the pixel rows is
// `pixelFill`. Negative `height` stores rows top down.
inline std::vector<std::uint8_t> MakeBmpFile(int width, int height, int bits, int colours = 0, int gap = 0,
                                             std::uint8_t pixelFill = 0) {
    const int rows = height < 0 ? -height : height;
    const std::size_t stride = (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
    const std::size_t pixelOffset =
        14 + 40 + 4 * static_cast<std::size_t>(colours) + static_cast<std::size_t>(gap);
    std::vector<std::uint8_t> file(pixelOffset + stride * static_cast<std::size_t>(rows), 0);
    file[0] = 'B';
    file[1] = 'M';
    PutU32(file, 2, static_cast<std::uint32_t>(file.size()));
    PutU32(file, 10, static_cast<std::uint32_t>(pixelOffset));
    PutU32(file, 14, 40);
    PutU32(file, 18, static_cast<std::uint32_t>(width));
    PutU32(file, 22, static_cast<std::uint32_t>(height));
    PutU16(file, 26, 1);
    PutU16(file, 28, static_cast<std::uint16_t>(bits));
    PutU32(file, 46, static_cast<std::uint32_t>(colours));
    for (std::size_t i = pixelOffset; i < file.size(); ++i)
        file[i] = pixelFill;
    return file;
}

// Writes `bytes` to a file of the test's temporary folder and returns its path.
std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes);
