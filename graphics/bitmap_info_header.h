// The info header at the start of a packed device-independent bitmap: named fields, one encoder, one decoder.
#pragma once

#include <cstddef>
#include <cstdint>

// Sizes of the header kinds that start a memory image.
inline constexpr std::uint32_t kCoreHeaderSize = 12;  // the old 12-byte core header, 16-bit sides
inline constexpr std::uint32_t kInfoHeaderSize = 40;  // the common 40-byte info header
inline constexpr std::uint32_t kV2HeaderSize = 52;    // with red, green and blue masks
inline constexpr std::uint32_t kV3HeaderSize = 56;    // with an alpha mask as well
inline constexpr std::uint32_t kV4HeaderSize = 108;
inline constexpr std::uint32_t kV5HeaderSize = 124;

// Pixel codings named by the header's compression field.
namespace bmp_coding {
inline constexpr std::uint32_t kRgb = 0;
inline constexpr std::uint32_t kRle8 = 1;
inline constexpr std::uint32_t kRle4 = 2;
inline constexpr std::uint32_t kBitFields = 3;  // in the 12-to-64-byte headers of another family: 1-D Huffman
inline constexpr std::uint32_t kJpeg = 4;
inline constexpr std::uint32_t kPng = 5;
inline constexpr std::uint32_t kAlphaBitFields = 6;
}  // namespace bmp_coding

// The fields of the header by name, little-endian in the image. A core header
// carries only size, width, height, planes and bit count (its sides are unsigned
// 16-bit); the others are zero after decoding it.
struct TBitmapInfoHeader {
    std::uint32_t size = kInfoHeaderSize;  // bytes of header, the first field
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative when rows are stored top down
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = bmp_coding::kRgb;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
    // Channel masks of bit-field pixels, at offset 40: inside the longer headers, or the
    // 12 (16 with alpha) bytes after a 40-byte one. Decoded only when the compression
    // asks for bit fields; zero otherwise.
    std::uint32_t redMask = 0;
    std::uint32_t greenMask = 0;
    std::uint32_t blueMask = 0;
    std::uint32_t alphaMask = 0;

    // True for the 12-byte core header, whose colour-table entries are 3 bytes.
    bool IsCore() const { return size == kCoreHeaderSize; }
    // Where the colour table starts: after the header and any masks that follow it.
    std::uint32_t ColourTableOffset() const;
};

// Writes the 40 bytes of the info header fields of `header` (size to clrImportant)
// to `out`, which must hold 40 bytes; the masks are not written. Never throws.
void EncodeBitmapInfoHeader(const TBitmapInfoHeader& header, std::uint8_t* out);

// Reads the header at the start of `image` (`size` bytes) into `header`. Returns
// false, leaving `header` unspecified, when the first field names neither a core
// header (12) nor one of 40 bytes or more, or when the image is shorter than the
// header (and the masks it promises). Field values are not judged. Never throws.
bool DecodeBitmapInfoHeader(const std::uint8_t* image, std::size_t size, TBitmapInfoHeader& header);
