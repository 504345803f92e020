// BMP files written by the tests, tests of the picture reader, its fuzz target and its
// seeds: a plain file of any size and depth, one writer for every variant of the format
// that the picture reader shows, and the colours each pixel of them is meant to show.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The info header a file starts with: the 12-byte core header (16-bit sides, 3-byte
// colour entries), the 40-byte info header, its 108- and 124-byte successors, and the
// 64-byte header of the other family, whose compression 3 means 1-D Huffman coding.
enum class TBmpHeaderKind { Core, Info, V4, V5, Other64 };

// How a file stores its picture.
struct TBmpVariant {
    std::string name;
    int bits = 24;
    TBmpHeaderKind header = TBmpHeaderKind::Info;
    std::uint32_t compression = 0;  // 0 plain, 1 RLE8, 2 RLE4, 3 bit fields, 6 bit fields with alpha
    int tableEntries = -1;  // colour-table entries written and counted; -1: the full table, none above 8 bits
    bool topDown = false;
    std::uint32_t masks[4] = {};  // red, green, blue, alpha of bit fields; zero: 5-6-5 or 8-8-8
};

// A picture of known colours: a palette of 256 colours (0x00BBGGRR) and, per pixel
// (row-major, top row first), the palette index it shows, or kBmpSkipped where a
// run-length stream leaves the pixel out.
struct TBmpPicture {
    static constexpr int kBmpSkipped = -1;
    int width = 0;
    int height = 0;
    std::vector<int> index;
    std::vector<std::uint32_t> palette;

    int At(int x, int y) const {
        return index[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                     static_cast<std::size_t>(x)];
    }
};

namespace bmp_test_detail {

inline void Put(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i)
        v[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(x >> (8 * i));
}

inline bool Indexed(const TBmpVariant& v) {
    return v.bits <= 8;
}

inline int TableEntries(const TBmpVariant& v) {
    if (v.tableEntries >= 0)
        return v.tableEntries;
    return Indexed(v) ? 1 << v.bits : 0;
}

inline bool BitFields(const TBmpVariant& v) {
    return v.compression == 3 || v.compression == 6;
}

// Red, green, blue and alpha masks the pixels are stored with.
inline void Masks(const TBmpVariant& v, std::uint32_t (&m)[4]) {
    if (v.masks[0] | v.masks[1] | v.masks[2]) {
        std::copy(v.masks, v.masks + 4, m);
    } else if (v.bits == 16) {
        const bool fields = BitFields(v);
        m[0] = fields ? 0xF800 : 0x7C00;
        m[1] = fields ? 0x07E0 : 0x03E0;
        m[2] = 0x001F;
        m[3] = 0;
    } else {
        m[0] = 0xFF0000;
        m[1] = 0x00FF00;
        m[2] = 0x0000FF;
        m[3] = 0;
    }
}

inline std::uint32_t Scale(std::uint32_t component, std::uint32_t mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    return static_cast<std::uint32_t>((std::uint64_t{component} * max + 127) / 255) << shift;
}

// One stored direct-colour pixel; bits no mask claims are set, to show they are ignored.
inline std::uint32_t PackDirect(const TBmpVariant& v, std::uint32_t colour) {
    std::uint32_t m[4];
    Masks(v, m);
    const std::uint32_t used = m[0] | m[1] | m[2];
    const std::uint32_t all = v.bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    return Scale(colour & 0xFF, m[0]) | Scale((colour >> 8) & 0xFF, m[1]) |
           Scale((colour >> 16) & 0xFF, m[2]) | (all & ~used);
}

inline void PutCode(std::vector<std::uint8_t>& out, int a, int b) {
    out.push_back(static_cast<std::uint8_t>(a));
    out.push_back(static_cast<std::uint8_t>(b));
}

// True when every pixel of row y is skipped.
inline bool RowSkipped(const TBmpPicture& p, int y) {
    bool skipped = true;
    for (int x = 0; x < p.width; ++x)
        skipped = skipped && p.At(x, y) == TBmpPicture::kBmpSkipped;
    return skipped;
}

// The end of the run of two alternating nibbles from (x, y), at most 255 pixels.
inline int AlternatingRunEnd(const TBmpPicture& p, int x, int y) {
    const int value = p.At(x, y);
    const int other = p.At(x + 1, y);
    int alt = x;
    while (alt < p.width && alt - x < 255 && p.At(alt, y) == ((alt - x) % 2 == 0 ? value : other) &&
           other != TBmpPicture::kBmpSkipped && other != value)
        ++alt;
    return alt;
}

// The literal group of pixels x to stop of row y, padded to an even byte count.
inline void PutLiteralGroup(std::vector<std::uint8_t>& out, const TBmpPicture& p, bool four, int x, int stop,
                            int y) {
    PutCode(out, 0, stop - x);
    std::size_t bytes = 0;
    for (int i = x; i < stop; ++i) {
        if (!four) {
            out.push_back(static_cast<std::uint8_t>(p.At(i, y)));
            ++bytes;
        } else if ((i - x) % 2 == 0) {
            out.push_back(static_cast<std::uint8_t>(p.At(i, y) << 4));
            ++bytes;
        } else {
            out.back() = static_cast<std::uint8_t>(out.back() | p.At(i, y));
        }
    }
    if (bytes % 2 != 0)
        out.push_back(0);
}

// The end of the run of equal pixels from (x, y), at most 255 pixels.
inline int RepeatRunEnd(const TBmpPicture& p, int x, int y) {
    const int value = p.At(x, y);
    int end = x;
    while (end < p.width && p.At(end, y) == value && end - x < 255)
        ++end;
    return end;
}

// The end of a literal group from (x, y): the next skipped pixel, the row's end or 255
// pixels on.
inline int LiteralGroupEnd(const TBmpPicture& p, int x, int y) {
    int stop = x;
    while (stop < p.width && stop - x < 255 && p.At(stop, y) != TBmpPicture::kBmpSkipped)
        ++stop;
    return stop;
}

// Encodes the pixels from (x, y), which is not skipped, as one run of `end` - x equal
// pixels, an alternating nibble run, a literal group or a single pixel; returns where the
// next code starts.
inline int EncodeShownPixels(std::vector<std::uint8_t>& out, const TBmpPicture& p, bool four, int x, int end,
                             int y) {
    const int value = p.At(x, y);
    if (end - x >= 3) {
        PutCode(out, end - x, four ? value << 4 | value : value);
        return end;
    }
    if (four && x + 3 < p.width) {
        const int alt = AlternatingRunEnd(p, x, y);
        if (alt - x >= 4) {
            PutCode(out, alt - x, value << 4 | p.At(x + 1, y));
            return alt;
        }
    }
    const int stop = LiteralGroupEnd(p, x, y);
    if (stop - x < 3) {
        PutCode(out, 1, four ? value << 4 | value : value);
        return x + 1;
    }
    PutLiteralGroup(out, p, four, x, stop, y);
    return stop;
}

// Encodes the pixels of row y from x on, up to where the rest of the row is skipped.
inline void EncodeRunLengthRow(std::vector<std::uint8_t>& out, const TBmpPicture& p, bool four, int y) {
    int x = 0;
    while (x < p.width) {
        const int end = RepeatRunEnd(p, x, y);
        if (p.At(x, y) != TBmpPicture::kBmpSkipped) {
            x = EncodeShownPixels(out, p, four, x, end, y);
            continue;
        }
        if (end == p.width)
            break;
        PutCode(out, 0, 2);
        PutCode(out, end - x, 0);
        x = end;
    }
}

// A run-length stream of `picture`, rows bottom up: repeats as runs, alternating
// nibble pairs as runs (4 bits), mixed pixels as literal groups, skipped pixels by a
// move (a wholly skipped row by a move up), end of line after each row and end of
// picture last.
inline std::vector<std::uint8_t> EncodeRunLengths(const TBmpVariant& v, const TBmpPicture& p) {
    const bool four = v.bits == 4;
    std::vector<std::uint8_t> out;
    for (int row = 0; row < p.height; ++row) {
        const int y = p.height - 1 - row;
        if (RowSkipped(p, y) && row + 1 < p.height) {
            PutCode(out, 0, 2);
            PutCode(out, 0, 1);
            continue;
        }
        EncodeRunLengthRow(out, p, four, y);
        if (row + 1 < p.height)
            PutCode(out, 0, 0);
    }
    PutCode(out, 0, 1);
    return out;
}

// The rows of `picture` packed as `variant` stores them without compression, each
// padded to a multiple of 4 bytes.
inline std::vector<std::uint8_t> PackRows(const TBmpVariant& variant, const TBmpPicture& picture) {
    std::vector<std::uint8_t> pixels;
    const std::size_t stride =
        (static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(variant.bits) + 31) / 32 * 4;
    pixels.assign(stride * static_cast<std::size_t>(picture.height), 0);
    for (int row = 0; row < picture.height; ++row) {
        const int y = variant.topDown ? row : picture.height - 1 - row;
        const std::size_t start = stride * static_cast<std::size_t>(row);
        for (int x = 0; x < picture.width; ++x) {
            const int index = picture.At(x, y);
            const auto ux = static_cast<std::size_t>(x);
            if (variant.bits <= 8) {
                const int perByte = 8 / variant.bits;
                const int shift = 8 - variant.bits * (x % perByte + 1);
                pixels[start + ux / static_cast<std::size_t>(perByte)] |=
                    static_cast<std::uint8_t>(index << shift);
            } else if (variant.bits == 24) {
                const std::uint32_t c = picture.palette[static_cast<std::size_t>(index)];
                pixels[start + 3 * ux] = static_cast<std::uint8_t>(c >> 16);
                pixels[start + 3 * ux + 1] = static_cast<std::uint8_t>(c >> 8);
                pixels[start + 3 * ux + 2] = static_cast<std::uint8_t>(c);
            } else {
                const int bytes = variant.bits / 8;
                Put(pixels, start + ux * static_cast<std::size_t>(bytes),
                    PackDirect(variant, picture.palette[static_cast<std::size_t>(index)]), bytes);
            }
        }
    }
    return pixels;
}

}  // namespace bmp_test_detail

// Little-endian fields of a file being built: `x` at byte `at` of `v`.
inline void PutU32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    bmp_test_detail::Put(v, at, x, 4);
}

inline void PutU16(std::vector<std::uint8_t>& v, std::size_t at, std::uint16_t x) {
    bmp_test_detail::Put(v, at, x, 2);
}

// A BMP file of width x height at `bits` per pixel, `gap` spare bytes before the pixel
// rows, with `colours` colour-table entries (all black); every byte of the pixel rows is
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
    std::fill(file.begin() + static_cast<std::ptrdiff_t>(pixelOffset), file.end(), pixelFill);
    return file;
}

// Every kind of BMP file that common tools write and the reader shows, one of each.
inline std::vector<TBmpVariant> CommonBmpVariants() {
    using K = TBmpHeaderKind;
    return {
        {.name = "1 bit", .bits = 1},
        {.name = "1 bit, one colour", .bits = 1, .tableEntries = 1},
        {.name = "4 bits", .bits = 4},
        {.name = "4 bits, short table", .bits = 4, .tableEntries = 5},
        {.name = "4 bits, oversized table", .bits = 4, .tableEntries = 24},
        {.name = "8 bits", .bits = 8},
        {.name = "8 bits, short table", .bits = 8, .tableEntries = 20},
        {.name = "8 bits, oversized table", .bits = 8, .tableEntries = 300},
        {.name = "8 bits, top down", .bits = 8, .topDown = true},
        {.name = "16 bits, 5-5-5", .bits = 16},
        {.name = "16 bits, top down", .bits = 16, .topDown = true},
        {.name = "16 bits, fields 5-6-5", .bits = 16, .compression = 3},
        {.name = "16 bits, fields 4-4-4 and alpha",
         .bits = 16,
         .header = K::V4,
         .compression = 3,
         .masks = {0x0F00, 0x00F0, 0x000F, 0xF000}},
        {.name = "16 bits, fields with alpha after the header",
         .bits = 16,
         .compression = 6,
         .masks = {0x7C00, 0x03E0, 0x001F, 0x8000}},
        {.name = "24 bits", .bits = 24},
        {.name = "24 bits, top down", .bits = 24, .topDown = true},
        {.name = "32 bits", .bits = 32},
        {.name = "32 bits, fields",
         .bits = 32,
         .compression = 3,
         .masks = {0x0000FF00, 0x00FF0000, 0xFF000000, 0}},
        {.name = "32 bits, fields, top down", .bits = 32, .compression = 3, .topDown = true},
        {.name = "32 bits, fields and alpha",
         .bits = 32,
         .header = K::V5,
         .compression = 3,
         .masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}},
        {.name = "32 bits, 10-10-10 fields",
         .bits = 32,
         .header = K::V5,
         .compression = 3,
         .masks = {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}},
        {.name = "4 bits, core header", .bits = 4, .header = K::Core},
        {.name = "1 bit, core header", .bits = 1, .header = K::Core},
        {.name = "8 bits, core header", .bits = 8, .header = K::Core},
        {.name = "24 bits, core header", .bits = 24, .header = K::Core},
        {.name = "8 bits, V4 header", .bits = 8, .header = K::V4},
        {.name = "24 bits, V5 header, top down", .bits = 24, .header = K::V5, .topDown = true},
        {.name = "24 bits, 64-byte header", .bits = 24, .header = K::Other64},
        {.name = "RLE8", .bits = 8, .compression = 1},
        {.name = "RLE8, short table", .bits = 8, .compression = 1, .tableEntries = 40},
        {.name = "RLE8, V5 header", .bits = 8, .header = K::V5, .compression = 1},
        {.name = "RLE4", .bits = 4, .compression = 2},
        {.name = "RLE4, short table", .bits = 4, .compression = 2, .tableEntries = 6},
    };
}

namespace bmp_test_detail {

// The palette of the test pictures: eight colours with every channel 0 or 255 (exact at
// any mask width), then a spread of others.
inline std::vector<std::uint32_t> PicturePalette() {
    std::vector<std::uint32_t> palette(256);
    for (std::uint32_t i = 0; i < 256; ++i) {
        if (i < 8)
            palette[i] = (i & 1 ? 0xFFu : 0) | (i & 2 ? 0xFF00u : 0) | (i & 4 ? 0xFF0000u : 0);
        else
            palette[i] = ((i * 0x3B + 0x11) & 0xFF) | ((i * 0x59 + 0x22) & 0xFF) << 8 |
                         ((i * 0x83 + 0x44) & 0xFF) << 16;
    }
    return palette;
}

// The palette index of pixel (x, y) of a run-length picture of width x height with
// `levels` colours: skipped pixels (all of row 1, part of row 3, the end of the last
// row), alternating pixels at the start of row 2, runs of three in the left half and
// `pattern` elsewhere.
inline int RunLengthPictureIndex(int x, int y, int width, int height, int levels, int pattern) {
    if (y == 1 || (y == 3 && x >= 2 && x < 5) || (y == height - 1 && x >= width - 2))
        return TBmpPicture::kBmpSkipped;
    if (y == 2 && x < 6)
        return x % 2 == 0 ? 9 : 4;
    if (x < width / 2)
        return (x / 3 * 7 + y) % levels;
    return pattern;
}

}  // namespace bmp_test_detail

// The picture the tests store in `variant`: width x height, with colours that every
// variant can hold exactly. Run-length variants get runs, literal groups and
// skipped pixels (a whole row among them); others a varied pattern.
inline TBmpPicture MakeBmpPicture(const TBmpVariant& variant, int width, int height) {
    TBmpPicture p;
    p.width = width;
    p.height = height;
    p.palette = bmp_test_detail::PicturePalette();
    const bool rle = variant.compression == 1 || variant.compression == 2;
    const int levels = variant.bits <= 8 ? 1 << variant.bits : variant.bits == 16 ? 8 : 16;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int pattern = (x * 37 + y * 11 + 5) % levels;
            p.index.push_back(
                rle ? bmp_test_detail::RunLengthPictureIndex(x, y, width, height, levels, pattern) : pattern);
        }
    }
    return p;
}

// The colour pixel (x, y) of `picture` stored as `variant` is meant to show: its
// palette colour, or black where the stream skips it or its index lies beyond the
// colour table.
inline std::uint32_t IntendedColour(const TBmpVariant& variant, const TBmpPicture& picture, int x, int y) {
    const int index = picture.At(x, y);
    if (index == TBmpPicture::kBmpSkipped)
        return 0;
    if (variant.bits <= 8 && index >= std::min(bmp_test_detail::TableEntries(variant), 1 << variant.bits))
        return 0;
    return picture.palette[static_cast<std::size_t>(index)];
}

namespace bmp_test_detail {

// The size of the info header of `kind`.
inline std::uint32_t HeaderSize(TBmpHeaderKind kind) {
    switch (kind) {
    case TBmpHeaderKind::Core: return 12;
    case TBmpHeaderKind::Info: return 40;
    case TBmpHeaderKind::V4: return 108;
    case TBmpHeaderKind::V5: return 124;
    case TBmpHeaderKind::Other64: return 64;
    }
    return 40;
}

// The bytes of bit-field masks stored after a 40-byte info header: three masks with
// compression 3, four with compression 6.
inline std::size_t MasksAfterHeader(const TBmpVariant& v) {
    if (v.header != TBmpHeaderKind::Info)
        return 0;
    return v.compression == 3 ? 12 : v.compression == 6 ? 16 : 0;
}

// The core header's fields after its size: 16-bit sides, planes and depth.
inline void PutCoreHeader(std::vector<std::uint8_t>& file, const TBmpVariant& variant,
                          const TBmpPicture& picture, std::uint32_t height) {
    Put(file, 18, static_cast<std::uint32_t>(picture.width), 2);
    Put(file, 20, height, 2);
    Put(file, 22, 1, 2);
    Put(file, 24, static_cast<std::uint32_t>(variant.bits), 2);
}

// The fields of the longer headers after their size, then the masks (in the header or
// right after it), and the colour space and rendering intent of the two largest headers.
inline void PutInfoHeader(std::vector<std::uint8_t>& file, const TBmpVariant& variant,
                          const TBmpPicture& picture, std::uint32_t height, std::size_t pixelBytes) {
    const std::uint32_t headerSize = HeaderSize(variant.header);
    const std::size_t masksAfter = MasksAfterHeader(variant);
    Put(file, 18, static_cast<std::uint32_t>(picture.width), 4);
    Put(file, 22, height, 4);
    Put(file, 26, 1, 2);
    Put(file, 28, static_cast<std::uint32_t>(variant.bits), 2);
    Put(file, 30, variant.compression, 4);
    Put(file, 34, static_cast<std::uint32_t>(pixelBytes), 4);
    Put(file, 38, 2835, 4);
    Put(file, 42, 2835, 4);
    Put(file, 46, variant.tableEntries >= 0 ? static_cast<std::uint32_t>(variant.tableEntries) : 0, 4);
    std::uint32_t m[4];
    Masks(variant, m);
    if (headerSize >= 108 || masksAfter > 0) {
        for (std::size_t i = 0; i < (masksAfter == 12 ? 3u : 4u); ++i)
            Put(file, 54 + 4 * i, m[i], 4);
    }
    if (headerSize >= 108)
        Put(file, 70, 0x73524742, 4);  // colour space "sRGB"
    if (headerSize >= 124)
        Put(file, 122, 4, 4);  // rendering intent: pictures
}

// The colour table from byte `table` on: `entries` palette colours, blue first, in
// entries of `entrySize` bytes.
inline void PutColourTable(std::vector<std::uint8_t>& file, const TBmpPicture& picture, std::size_t table,
                           std::size_t entries, std::size_t entrySize) {
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint32_t c = picture.palette[i % 256];
        file[table + i * entrySize] = static_cast<std::uint8_t>(c >> 16);
        file[table + i * entrySize + 1] = static_cast<std::uint8_t>(c >> 8);
        file[table + i * entrySize + 2] = static_cast<std::uint8_t>(c);
    }
}

}  // namespace bmp_test_detail

// The BMP file of `picture` stored as `variant`, byte for byte as a writer of that
// variant lays it out.
inline std::vector<std::uint8_t> WriteBmpVariant(const TBmpVariant& variant, const TBmpPicture& picture) {
    using namespace bmp_test_detail;
    const bool core = variant.header == TBmpHeaderKind::Core;
    const std::uint32_t headerSize = HeaderSize(variant.header);
    const std::size_t entrySize = core ? 3 : 4;
    const std::size_t entries = static_cast<std::size_t>(TableEntries(variant));
    const std::size_t table = 14 + headerSize + MasksAfterHeader(variant);
    const std::size_t pixelOffset = table + entries * entrySize;

    std::vector<std::uint8_t> pixels;
    if (variant.compression == 1 || variant.compression == 2) {
        pixels = EncodeRunLengths(variant, picture);
    } else {
        pixels = PackRows(variant, picture);
    }

    std::vector<std::uint8_t> file(pixelOffset + pixels.size(), 0);
    file[0] = 'B';
    file[1] = 'M';
    Put(file, 2, static_cast<std::uint32_t>(file.size()), 4);
    Put(file, 10, static_cast<std::uint32_t>(pixelOffset), 4);
    Put(file, 14, headerSize, 4);
    const auto height = static_cast<std::uint32_t>(variant.topDown ? -picture.height : picture.height);
    if (core)
        PutCoreHeader(file, variant, picture, height);
    else
        PutInfoHeader(file, variant, picture, height, pixels.size());
    PutColourTable(file, picture, table, entries, entrySize);
    std::copy(pixels.begin(), pixels.end(), file.begin() + static_cast<std::ptrdiff_t>(pixelOffset));
    return file;
}
