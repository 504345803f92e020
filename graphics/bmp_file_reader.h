// Reads BMP files into the packed memory images that TMemBitmap keeps.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/bitmap_info_header.h"
#include "graphics/memory_block.h"

// Bytes of the file header in front of the memory image: "BM", file size, two
// reserved words, and the file offset of the pixel rows.
inline constexpr std::uint32_t kBmpFileHeaderSize = 14;

// What a BMP file holds: its bytes after the file header, byte for byte, where its
// pixel rows start, and its decoded info header.
struct TBmpFileImage {
    std::unique_ptr<TMemoryBlock> memory;
    std::uint32_t pixelOffset = 0;  // from the start of the file
    TBitmapInfoHeader header;
};

// Reads the BMP file `fileName` into `result`. Returns false, leaving `result`
// unspecified, when the file cannot be opened or read to its end, does not begin
// with "BM", has no readable info header, or names a pixel offset inside its headers
// or beyond its end, or when the memory block cannot be had (its size is the file's,
// bounded by TMemoryBlock::MaxBlockSize). The pixels themselves are judged where
// they are converted (ParseImageLayout). Never throws.
bool ReadBmpFile(const char* fileName, TBmpFileImage& result);
