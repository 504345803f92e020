// The info header at the start of a packed device-independent bitmap: named fields, one encoder, one decoder.
#include "graphics/bitmap_info_header.h"

#include "containers/byte_io.h"

namespace {

// Where the masks start, in every header kind that has them.
constexpr std::size_t kMasksOffset = 40;

using kest::io::LoadUInt16;
using kest::io::LoadUInt32;
using kest::io::StoreUInt16;
using kest::io::StoreUInt32;

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
    StoreUInt32(header.size, out + 0);
    StoreUInt32(static_cast<std::uint32_t>(header.width), out + 4);
    StoreUInt32(static_cast<std::uint32_t>(header.height), out + 8);
    StoreUInt16(header.planes, out + 12);
    StoreUInt16(header.bitCount, out + 14);
    StoreUInt32(header.compression, out + 16);
    StoreUInt32(header.sizeImage, out + 20);
    StoreUInt32(static_cast<std::uint32_t>(header.xPelsPerMeter), out + 24);
    StoreUInt32(static_cast<std::uint32_t>(header.yPelsPerMeter), out + 28);
    StoreUInt32(header.clrUsed, out + 32);
    StoreUInt32(header.clrImportant, out + 36);
}

bool DecodeBitmapInfoHeader(const std::uint8_t* image, std::size_t size, TBitmapInfoHeader& header) {
    if (image == nullptr || size < 4)
        return false;
    header = TBitmapInfoHeader{};
    header.size = LoadUInt32(image);
    if (header.size == kCoreHeaderSize) {
        if (size < kCoreHeaderSize)
            return false;
        header.width = LoadUInt16(image + 4);
        header.height = LoadUInt16(image + 6);
        header.planes = LoadUInt16(image + 8);
        header.bitCount = LoadUInt16(image + 10);
        return true;
    }
    if (header.size < kInfoHeaderSize || header.size > size)
        return false;
    header.width = static_cast<std::int32_t>(LoadUInt32(image + 4));
    header.height = static_cast<std::int32_t>(LoadUInt32(image + 8));
    header.planes = LoadUInt16(image + 12);
    header.bitCount = LoadUInt16(image + 14);
    header.compression = LoadUInt32(image + 16);
    header.sizeImage = LoadUInt32(image + 20);
    header.xPelsPerMeter = static_cast<std::int32_t>(LoadUInt32(image + 24));
    header.yPelsPerMeter = static_cast<std::int32_t>(LoadUInt32(image + 28));
    header.clrUsed = LoadUInt32(image + 32);
    header.clrImportant = LoadUInt32(image + 36);

    // Bit-field masks sit at offset 40: inside the longer headers, right after a 40-byte one.
    const std::uint32_t trailing = TrailingMaskBytes(header.compression);
    if (trailing == 0)
        return true;
    if (std::size_t{kMasksOffset} + trailing > size)
        return false;
    header.redMask = LoadUInt32(image + kMasksOffset);
    header.greenMask = LoadUInt32(image + kMasksOffset + 4);
    header.blueMask = LoadUInt32(image + kMasksOffset + 8);
    if (trailing == 16)
        header.alphaMask = LoadUInt32(image + kMasksOffset + 12);
    return true;
}
