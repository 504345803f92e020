// Device bitmaps in the screen's pixel format, made from and read back into packed memory images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <QImage>

// A packed memory image starts with a 40-byte (or longer) info header, then an
// optional colour table, then the pixel rows; this is the part of its header that
// locating and converting pixels needs. Offsets are from the start of the image.
struct TImageLayout {
    std::int32_t width = 0;
    std::int32_t height = 0;          // rows, always >= 0
    bool bottomUp = true;             // a positive stored height means the bottom row comes first
    int bitsPerPixel = 0;             // 1, 4, 8, 16, 24 or 32
    std::size_t stride = 0;           // bytes per row, a multiple of 4
    std::size_t colourTableOffset = 0;
    int colourCount = 0;              // usable colour-table entries (depths up to 8)
    std::uint32_t masks[3] = {};      // red, green, blue masks for 16 and 32 bits
    std::size_t pixelOffset = 0;
};

// Largest width or height accepted in a memory image.
inline constexpr std::int32_t kMaxImageSide = 32768;

// Reads and checks the header of the memory image `image` (`size` bytes) whose pixel
// rows begin `pixelOffset` bytes in. Returns false, leaving `layout` unspecified,
// unless the header is one this layer converts (uncompressed 1/4/8/16/24/32 bits, or
// bit fields at 16/32) and every pixel row lies inside the image. Never throws.
bool ParseImageLayout(const std::uint8_t* image, std::size_t size, std::size_t pixelOffset,
                      TImageLayout& layout);

// A bitmap compatible with the screen: 32 bits per pixel, rows top down (a QImage in
// QImage::Format_RGB32). A 0 x 0 bitmap is valid and holds nothing.
class TDeviceBitmap {
public:
    // The pixel format of the screen and of every device bitmap.
    static constexpr QImage::Format kFormat = QImage::Format_RGB32;

    // A black bitmap of `width` x `height`; null when a side is negative or too large,
    // or memory is exhausted. The caller owns it.
    static std::unique_ptr<TDeviceBitmap> CreateCompatible(int width, int height);
    // A bitmap initialised from the memory image `image` of `size` bytes whose pixel rows
    // begin at `pixelOffset`; null when the header is not usable (see ParseImageLayout)
    // or memory is exhausted. The caller owns it; the image is only read.
    static std::unique_ptr<TDeviceBitmap> FromMemoryImage(const std::uint8_t* image, std::size_t size,
                                                          std::size_t pixelOffset);

    TDeviceBitmap(const TDeviceBitmap&) = delete;
    TDeviceBitmap& operator=(const TDeviceBitmap&) = delete;

    // Writes this bitmap's pixels into the pixel rows of the memory image `image` in
    // the format its header describes (colours at 8 bits and below become the nearest
    // colour-table entry); rows or columns beyond this bitmap's size are left alone.
    // Returns false, writing nothing, when the header is not usable.
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
