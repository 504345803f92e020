// The info header at the start of a packed device-independent bitmap: named fields, one encoder, one decoder.
#include "graphics/bitmap_info_header.h"

namespace {

// Where the masks start, in every header kind that has them.
constexpr std::size_t kMasksOffset = 40;

std::uint32_t ReadU32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void WriteU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

void WriteU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// Bytes of masks stored after a 40-byte header for `compression`.
std::uint32_t TrailingMaskBytes(std::uint32_t compression) {
    if (compression == bmp_coding::kBitFields)
        return 12;
    if (compression == bmp_coding::kAlphaBitFields)
        return 16;
    return 0;
}

}  // namespace

std::uint32_t TBitmapInfoHeader::ColourTableOffset() const {
    if (IsCore())
        return size;
    const std::uint32_t afterMasks =
        static_cast<std::uint32_t>(kMasksOffset) + TrailingMaskBytes(compression);
    return size > afterMasks ? size : afterMasks;
}

void EncodeBitmapInfoHeader(const TBitmapInfoHeader& header, std::uint8_t* out) {
    WriteU32(out + 0, header.size);
    WriteU32(out + 4, static_cast<std::uint32_t>(header.width));
    WriteU32(out + 8, static_cast<std::uint32_t>(header.height));
    WriteU16(out + 12, header.planes);
    WriteU16(out + 14, header.bitCount);
    WriteU32(out + 16, header.compression);
    WriteU32(out + 20, header.sizeImage);
    WriteU32(out + 24, static_cast<std::uint32_t>(header.xPelsPerMeter));
    WriteU32(out + 28, static_cast<std::uint32_t>(header.yPelsPerMeter));
    WriteU32(out + 32, header.clrUsed);
    WriteU32(out + 36, header.clrImportant);
}

bool DecodeBitmapInfoHeader(const std::uint8_t* image, std::size_t size, TBitmapInfoHeader& header) {
    if (image == nullptr || size < 4)
        return false;
    header = TBitmapInfoHeader{};
    header.size = ReadU32(image);
    if (header.size == kCoreHeaderSize) {
        if (size < kCoreHeaderSize)
            return false;
        header.width = ReadU16(image + 4);
        header.height = ReadU16(image + 6);
        header.planes = ReadU16(image + 8);
        header.bitCount = ReadU16(image + 10);
        return true;
    }
    if (header.size < kInfoHeaderSize || header.size > size)
        return false;
    header.width = static_cast<std::int32_t>(ReadU32(image + 4));
    header.height = static_cast<std::int32_t>(ReadU32(image + 8));
    header.planes = ReadU16(image + 12);
    header.bitCount = ReadU16(image + 14);
    header.compression = ReadU32(image + 16);
    header.sizeImage = ReadU32(image + 20);
    header.xPelsPerMeter = static_cast<std::int32_t>(ReadU32(image + 24));
    header.yPelsPerMeter = static_cast<std::int32_t>(ReadU32(image + 28));
    header.clrUsed = ReadU32(image + 32);
    header.clrImportant = ReadU32(image + 36);

    // Bit-field masks sit at offset 40: inside the longer headers, right after a 40-byte one.
    const std::uint32_t trailing = TrailingMaskBytes(header.compression);
    if (trailing == 0)
        return true;
    if (std::size_t{kMasksOffset} + trailing > size)
        return false;
    header.redMask = ReadU32(image + kMasksOffset);
    header.greenMask = ReadU32(image + kMasksOffset + 4);
    header.blueMask = ReadU32(image + kMasksOffset + 8);
    if (trailing == 16)
        header.alphaMask = ReadU32(image + kMasksOffset + 12);
    return true;
}
