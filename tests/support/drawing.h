// Test support for drawing: image targets, pixel reads, picture files on disk, and
// windows shown until exposed. BMP files in memory are built by bmp_test_files.h.
#pragma once

#include <cstddef>
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

// Writes `bytes` to a file of the test's temporary folder and returns its path.
std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes);
