// Device bitmaps in the screen's pixel format, made from and read back into packed memory images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <QImage>

// How the pixel rows of a memory image are stored.
enum class TPixelCoding {
    Plain,  // rows of `stride` bytes
    Rle8,   // a run-length stream of 8-bit colour indices, bottom row first
    Rle4,   // the same with 4-bit indices
};

// A packed memory image starts with an info header (see bitmap_info_header.h), then
// an optional colour table, then the pixel rows; this is what locating and
// converting its pixels needs. Offsets are from the start of the image.
struct TImageLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;  // rows, always >= 0
    bool bottomUp = true;     // a positive stored height means the bottom row comes first
    int bitsPerPixel = 0;     // 1, 4, 8, 16, 24 or 32
    TPixelCoding coding = TPixelCoding::Plain;
    std::size_t stride = 0;  // bytes per plain row, a multiple of 4
    std::size_t colourTableOffset = 0;
    std::size_t colourEntrySize = 4;  // 3 after a core header
    int colourCount = 0;              // usable colour-table entries (depths up to 8)
    std::uint32_t masks[3] = {};      // red, green, blue masks for 16 and 32 bits
    std::size_t pixelOffset = 0;
    std::size_t pixelBytes = 0;  // bytes of pixel data from pixelOffset on
};

// Largest width or height accepted in a memory image.
inline constexpr std::int32_t kMaxImageSide = 32768;
// Largest number of pixels accepted in a memory image (4096 x 4096, more than a
// 5K screen shows). It bounds what a few bytes of run-length stream can make us
// allocate and paint.
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 24;

// Reads and checks the header of the memory image `image` (`size` bytes) whose pixel
// rows begin `pixelOffset` bytes in. Returns false, leaving `layout` unspecified,
// unless the header is one this layer converts and its pixels lie inside the image:
// 1, 4, 8, 24 bits (and 16, 32 outside a core header), uncompressed; bit fields at
// 16 and 32 bits; run-length streams at 8 and 4 bits, bottom up. JPEG or PNG
// payloads, 1-D Huffman and other depths are refused. Never throws.
bool ParseImageLayout(const std::uint8_t* image, std::size_t size, std::size_t pixelOffset,
                      TImageLayout& layout);

// A bitmap compatible with the screen: 32 bits per pixel, rows top down (a QImage in
// QImage::Format_RGB32). A 0 x 0 bitmap is valid and holds nothing.
class TDeviceBitmap {
public:
    // The pixel format of the screen and of every device bitmap.
    static constexpr QImage::Format kFormat = QImage::Format_RGB32;

    // A black bitmap of `width` x `height`; null when a side is negative or too large,
    // the picture has more than kMaxImagePixels, or memory is exhausted. The caller owns it.
    static std::unique_ptr<TDeviceBitmap> CreateCompatible(int width, int height);
    // A bitmap initialised from the memory image `image` of `size` bytes whose pixel rows
    // begin at `pixelOffset`; null when the header is not usable (see ParseImageLayout)
    // or memory is exhausted. The caller owns it; the image is only read. Colour
    // indices beyond the colour table, and pixels a run-length stream skips or never
    // reaches, are black; runs that leave a row or the picture are clipped.
    static std::unique_ptr<TDeviceBitmap> FromMemoryImage(const std::uint8_t* image, std::size_t size,
                                                          std::size_t pixelOffset);

    TDeviceBitmap(const TDeviceBitmap&) = delete;
    TDeviceBitmap& operator=(const TDeviceBitmap&) = delete;

    // Writes this bitmap's pixels into the pixel rows of the memory image `image` in
    // the format its header describes (colours at 8 bits and below become the nearest
    // colour-table entry); rows or columns beyond this bitmap's size are left alone.
    // Returns false, writing nothing, when the header is not usable or the pixels are
    // run-length coded.
    bool ReadInto(std::uint8_t* image, std::size_t size, std::size_t pixelOffset) const;

    // Size in pixels (0 for a 0 x 0 bitmap).
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    // The pixels, owned by this bitmap.
    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }

private:
    explicit TDeviceBitmap(QImage image) : image_(std::move(image)) {}

    QImage image_;
};
