// Device bitmaps in the screen's pixel format, made from and read back into packed memory images.
#include "graphics/device_bitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "containers/byte_io.h"
#include "graphics/bitmap_info_header.h"

namespace {

using kest::io::LoadUInt16;
using kest::io::LoadUInt32;

// One colour channel described by a bit mask: where it sits and how large it gets.
struct TChannel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit TChannel(std::uint32_t m) : mask(m) {
        if (mask != 0) {
            shift = std::countr_zero(mask);
            max = mask >> shift;
        }
    }
    int Decode(std::uint32_t pixel) const {
        if (max == 0)
            return 0;
        const std::uint64_t v = (pixel & mask) >> shift;
        return static_cast<int>((v * 255 + max / 2) / max);
    }
    std::uint32_t Encode(int component) const {
        if (max == 0)
            return 0;
        const std::uint64_t v = (static_cast<std::uint64_t>(component) * max + 127) / 255;
        return static_cast<std::uint32_t>(v << shift) & mask;
    }
};

// The colour table as device colours; entries the image does not hold stay black.
void ReadColourTable(const std::uint8_t* image, const TImageLayout& layout, QRgb (&table)[256]) {
    for (QRgb& entry : table)
        entry = qRgb(0, 0, 0);
    for (int i = 0; i < layout.colourCount; ++i) {
        const std::uint8_t* e =
            image + layout.colourTableOffset + layout.colourEntrySize * static_cast<std::size_t>(i);
        table[i] = qRgb(e[2], e[1], e[0]);
    }
}

// Nearest colour-table entry to a device colour, remembering the last answer because
// pictures repeat colours row after row.
class TNearestColour {
public:
    TNearestColour(const QRgb* table, int count) : table_(table), count_(count) {}
    int Index(QRgb colour) {
        colour |= 0xFF000000u;
        if (count_ == 0)
            return 0;
        if (hasLast_ && colour == lastColour_)
            return lastIndex_;
        int best = 0;
        long bestDistance = -1;
        for (int i = 0; i < count_; ++i) {
            const long dr = qRed(colour) - qRed(table_[i]);
            const long dg = qGreen(colour) - qGreen(table_[i]);
            const long db = qBlue(colour) - qBlue(table_[i]);
            const long d = dr * dr + dg * dg + db * db;
            if (bestDistance < 0 || d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        hasLast_ = true;
        lastColour_ = colour;
        lastIndex_ = best;
        return best;
    }

private:
    const QRgb* table_;
    int count_;
    bool hasLast_ = false;
    QRgb lastColour_ = 0;
    int lastIndex_ = 0;
};

// Offset of the memory row holding picture row `row` (0 = top).
std::size_t RowOffset(const TImageLayout& layout, int row) {
    const int stored = layout.bottomUp ? layout.height - 1 - row : row;
    return layout.pixelOffset + layout.stride * static_cast<std::size_t>(stored);
}

// The state of one run-length decoding: the read position in the stream and the pixel
// position in the picture.
class TRunLengthPainter {
public:
    TRunLengthPainter(const std::uint8_t* stream, std::size_t length, const TImageLayout& layout,
                      const QRgb (&table)[256], QImage& target)
        : stream_(stream),
          length_(length),
          layout_(layout),
          table_(table),
          target_(target),
          nibbles_(layout.coding == TPixelCoding::Rle4) {}

    void Paint() {
        EnterRow();
        while (line_ != nullptr && at_ + 2 <= length_) {
            const unsigned count = stream_[at_];
            const unsigned value = stream_[at_ + 1];
            at_ += 2;
            if (count > 0)
                PaintRun(count, value);
            else if (!Escape(value))
                return;
        }
    }

private:
    const std::uint8_t* stream_;
    std::size_t length_;
    const TImageLayout& layout_;
    const QRgb (&table_)[256];
    QImage& target_;
    bool nibbles_;
    int x_ = 0;
    int row_ = 0;  // rows counted from the bottom
    QRgb* line_ = nullptr;
    std::size_t at_ = 0;

    void EnterRow() {
        line_ = row_ < layout_.height ? reinterpret_cast<QRgb*>(target_.scanLine(layout_.height - 1 - row_))
                                      : nullptr;
    }

    void Put(unsigned index) {
        if (x_ < layout_.width) {
            line_[x_] = table_[index];
            ++x_;
        }
    }

    void PaintRun(unsigned count, unsigned value) {
        for (unsigned i = 0; i < count && x_ < layout_.width; ++i)
            Put(nibbles_ ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
    }

    // Acts on the escape `value` after a zero count; false where decoding ends.
    bool Escape(unsigned value) {
        if (value == 0) {
            x_ = 0;
            ++row_;
            EnterRow();
            return true;
        }
        if (value == 1)
            return false;
        if (value == 2)
            return Move();
        return PaintLiteral(value);
    }

    // A move right and up by the next two bytes; false when they are missing.
    bool Move() {
        if (at_ + 2 > length_)
            return false;
        x_ = std::min(layout_.width, x_ + stream_[at_]);
        row_ += stream_[at_ + 1];
        at_ += 2;
        EnterRow();
        return true;
    }

    // A literal group of `count` indices; false when the stream's bytes run out in it.
    bool PaintLiteral(unsigned count) {
        const std::size_t bytes = nibbles_ ? (count + 1) / 2 : count;
        for (unsigned i = 0; i < count && x_ < layout_.width; ++i) {
            const std::size_t byte = at_ + (nibbles_ ? i / 2 : i);
            if (byte >= length_)
                return false;
            Put(nibbles_ ? (i % 2 == 0 ? stream_[byte] >> 4 : stream_[byte] & 0x0F) : stream_[byte]);
        }
        at_ += (bytes + 1) / 2 * 2;
        return true;
    }
};

// Paints the run-length stream `stream` (`length` bytes) of 8- or 4-bit colour
// indices into `target`, a black bitmap of the layout's size. The stream fills rows
// from the bottom up: a run is a count and a value (two alternating nibbles for 4
// bits); a zero count escapes to end of line (0), end of picture (1), a move right
// and up (2, then two bytes) or a literal group of n >= 3 indices padded to an even
// byte count. Pixels beyond the right edge are dropped, never wrapped; the stream
// ends at the top row, at its end mark, or where its bytes run out.
void DecodeRunLengths(const std::uint8_t* stream, std::size_t length, const TImageLayout& layout,
                      const QRgb (&table)[256], QImage& target) {
    TRunLengthPainter(stream, length, layout, table, target).Paint();
}

// True when the header's sides, pixel count and depth are ones the reader takes.
bool SidesAndDepthAllowed(const TBitmapInfoHeader& header) {
    const std::int32_t width = header.width;
    const std::int32_t height = header.height;
    const int bits = header.bitCount;
    if (width < 0 || width > kMaxImageSide || height < -kMaxImageSide || height > kMaxImageSide)
        return false;
    const std::int32_t rows = height < 0 ? -height : height;
    if (std::int64_t{width} * rows > kMaxImagePixels)
        return false;
    return header.IsCore() ? bits == 1 || bits == 4 || bits == 8 || bits == 24
                           : bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Sets the layout's pixel coding from the header's compression, and `bitFields` when
// the pixels are stored under masks; false for a compression the reader does not take
// or one that does not fit the depth.
bool ReadCoding(const TBitmapInfoHeader& header, TImageLayout& layout, bool& bitFields) {
    const int bits = header.bitCount;
    // Compression 3 means bit fields only in the 40-byte header and its longer
    // successors; the other family of long headers uses it for 1-D Huffman coding.
    const bool windowsFamily = header.size == kInfoHeaderSize || header.size == kV2HeaderSize ||
                               header.size == kV3HeaderSize || header.size == kV4HeaderSize ||
                               header.size == kV5HeaderSize;
    layout.coding = TPixelCoding::Plain;
    bitFields = false;
    switch (header.compression) {
    case bmp_coding::kRgb: return true;
    case bmp_coding::kRle8: layout.coding = TPixelCoding::Rle8; return bits == 8 && header.height >= 0;
    case bmp_coding::kRle4: layout.coding = TPixelCoding::Rle4; return bits == 4 && header.height >= 0;
    case bmp_coding::kBitFields:
        if (!windowsFamily)
            return false;
        [[fallthrough]];
    case bmp_coding::kAlphaBitFields: bitFields = true; return bits == 16 || bits == 32;
    default: return false;  // JPEG, PNG and anything unknown
    }
}

// Sets the layout's colours: the entries of the colour table that lie before the
// pixels (at most what the depth can index), or the masks of direct colours.
void ReadColours(const TBitmapInfoHeader& header, std::size_t size, bool bitFields, TImageLayout& layout) {
    const int bits = header.bitCount;
    layout.colourCount = 0;
    if (bits <= 8) {
        // A short table ends where the pixels begin; entries beyond what the depth
        // can index are never used.
        const std::uint32_t full = 1u << bits;
        std::uint32_t count = header.clrUsed != 0 && header.clrUsed < full ? header.clrUsed : full;
        const std::size_t tableEnd = std::min(layout.pixelOffset, size);
        const std::size_t available = tableEnd > layout.colourTableOffset
                                          ? (tableEnd - layout.colourTableOffset) / layout.colourEntrySize
                                          : 0;
        if (count > available)
            count = static_cast<std::uint32_t>(available);
        layout.colourCount = static_cast<int>(count);
    } else if (bitFields) {
        layout.masks[0] = header.redMask;
        layout.masks[1] = header.greenMask;
        layout.masks[2] = header.blueMask;
    } else if (bits == 16) {
        layout.masks[0] = 0x7C00;
        layout.masks[1] = 0x03E0;
        layout.masks[2] = 0x001F;
    } else {
        layout.masks[0] = 0xFF0000;
        layout.masks[1] = 0x00FF00;
        layout.masks[2] = 0x0000FF;
    }
}

}  // namespace

bool ParseImageLayout(const std::uint8_t* image, std::size_t size, std::size_t pixelOffset,
                      TImageLayout& layout) {
    TBitmapInfoHeader header;
    bool bitFields = false;
    if (!DecodeBitmapInfoHeader(image, size, header) || !SidesAndDepthAllowed(header) ||
        !ReadCoding(header, layout, bitFields))
        return false;
    const int bits = header.bitCount;
    layout.width = header.width;
    layout.height = header.height < 0 ? -header.height : header.height;
    layout.bottomUp = header.height >= 0;
    layout.bitsPerPixel = bits;
    layout.stride = (static_cast<std::size_t>(header.width) * bits + 31) / 32 * 4;
    layout.colourTableOffset = header.ColourTableOffset();
    layout.colourEntrySize = header.IsCore() ? 3 : 4;
    layout.pixelOffset = pixelOffset;
    ReadColours(header, size, bitFields, layout);

    if (pixelOffset > size)
        return false;
    layout.pixelBytes = size - pixelOffset;
    if (layout.coding != TPixelCoding::Plain)
        return true;
    const std::size_t area = layout.stride * static_cast<std::size_t>(layout.height);
    return area <= layout.pixelBytes;
}

std::unique_ptr<TDeviceBitmap> TDeviceBitmap::CreateCompatible(int width, int height) {
    if (width < 0 || height < 0 || width > kMaxImageSide || height > kMaxImageSide ||
        std::int64_t{width} * height > kMaxImagePixels)
        return nullptr;
    QImage image;
    if (width > 0 && height > 0) {
        image = QImage(width, height, kFormat);
        if (image.isNull())
            return nullptr;
        image.fill(qRgb(0, 0, 0));
    }
    return std::unique_ptr<TDeviceBitmap>(new (std::nothrow) TDeviceBitmap(std::move(image)));
}

std::unique_ptr<TDeviceBitmap> TDeviceBitmap::FromMemoryImage(const std::uint8_t* image, std::size_t size,
                                                              std::size_t pixelOffset) {
    TImageLayout layout;
    if (!ParseImageLayout(image, size, pixelOffset, layout))
        return nullptr;
    std::unique_ptr<TDeviceBitmap> result = CreateCompatible(layout.width, layout.height);
    if (!result || layout.width == 0 || layout.height == 0)
        return result;

    QRgb table[256];
    if (layout.bitsPerPixel <= 8)
        ReadColourTable(image, layout, table);
    QImage& target = result->image_;
    if (layout.coding != TPixelCoding::Plain) {
        DecodeRunLengths(image + layout.pixelOffset, layout.pixelBytes, layout, table, target);
        return result;
    }
    const TChannel red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
    for (int row = 0; row < layout.height; ++row) {
        const std::uint8_t* src = image + RowOffset(layout, row);
        auto* dst = reinterpret_cast<QRgb*>(target.scanLine(row));
        switch (layout.bitsPerPixel) {
        case 24:
            for (int x = 0; x < layout.width; ++x, src += 3)
                dst[x] = qRgb(src[2], src[1], src[0]);
            break;
        case 32:
            for (int x = 0; x < layout.width; ++x, src += 4) {
                const std::uint32_t p = LoadUInt32(src);
                dst[x] = qRgb(red.Decode(p), green.Decode(p), blue.Decode(p));
            }
            break;
        case 16:
            for (int x = 0; x < layout.width; ++x, src += 2) {
                const std::uint32_t p = LoadUInt16(src);
                dst[x] = qRgb(red.Decode(p), green.Decode(p), blue.Decode(p));
            }
            break;
        default: {
            // Indexed pixels, the leftmost in the highest bits of each byte.
            const int bits = layout.bitsPerPixel;
            const int perByte = 8 / bits;
            const unsigned mask = (1u << bits) - 1;
            for (int x = 0; x < layout.width; ++x) {
                const int shift = 8 - bits * (x % perByte + 1);
                const unsigned index = (src[x / perByte] >> shift) & mask;
                dst[x] = table[index];
            }
            break;
        }
        }
    }
    return result;
}

bool TDeviceBitmap::ReadInto(std::uint8_t* image, std::size_t size, std::size_t pixelOffset) const {
    TImageLayout layout;
    if (!ParseImageLayout(image, size, pixelOffset, layout) || layout.coding != TPixelCoding::Plain)
        return false;
    const int columns = std::min(layout.width, image_.width());
    const int rows = std::min(layout.height, image_.height());
    QRgb table[256];
    if (layout.bitsPerPixel <= 8)
        ReadColourTable(image, layout, table);
    TNearestColour nearest(table, layout.colourCount);
    const TChannel red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
    for (int row = 0; row < rows; ++row) {
        std::uint8_t* dst = image + RowOffset(layout, row);
        const auto* src = reinterpret_cast<const QRgb*>(image_.constScanLine(row));
        switch (layout.bitsPerPixel) {
        case 24:
            for (int x = 0; x < columns; ++x, dst += 3) {
                const QRgb p = src[x];
                dst[0] = static_cast<std::uint8_t>(qBlue(p));
                dst[1] = static_cast<std::uint8_t>(qGreen(p));
                dst[2] = static_cast<std::uint8_t>(qRed(p));
            }
            break;
        case 32:
        case 16:
            for (int x = 0; x < columns; ++x) {
                const QRgb p = src[x];
                const std::uint32_t v = red.Encode(qRed(p)) | green.Encode(qGreen(p)) | blue.Encode(qBlue(p));
                const int bytes = layout.bitsPerPixel / 8;
                for (int b = 0; b < bytes; ++b)
                    *dst++ = static_cast<std::uint8_t>(v >> (8 * b));
            }
            break;
        default: {
            const int bits = layout.bitsPerPixel;
            const int perByte = 8 / bits;
            const unsigned mask = (1u << bits) - 1;
            for (int x = 0; x < columns; ++x) {
                const int shift = 8 - bits * (x % perByte + 1);
                const auto index = static_cast<unsigned>(nearest.Index(src[x]));
                std::uint8_t& byte = dst[x / perByte];
                byte = static_cast<std::uint8_t>((byte & ~(mask << shift)) | (index & mask) << shift);
            }
            break;
        }
        }
    }
    return true;
}
