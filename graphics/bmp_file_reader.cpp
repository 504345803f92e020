// Reads BMP files into the packed memory images that TMemBitmap keeps.
#include "graphics/bmp_file_reader.h"

#include <cstdio>

#include "containers/byte_io.h"

namespace {

constexpr std::size_t kPixelOffsetField = 10;

// Closes a C file when it goes out of scope.
struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool ReadBmpFile(const char* fileName, TBmpFileImage& result) {
    if (fileName == nullptr)
        return false;
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(fileName, "rb"));
    if (!file)
        return false;
    std::uint8_t fileHeader[kBmpFileHeaderSize];
    if (std::fread(fileHeader, 1, sizeof fileHeader, file.get()) != sizeof fileHeader ||
        fileHeader[0] != 'B' || fileHeader[1] != 'M')
        return false;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return false;
    const long length = std::ftell(file.get());
    if (length < static_cast<long>(kBmpFileHeaderSize) + static_cast<long>(kCoreHeaderSize) ||
        std::fseek(file.get(), kBmpFileHeaderSize, SEEK_SET) != 0)
        return false;
    const auto imageSize = static_cast<std::size_t>(length) - kBmpFileHeaderSize;
    std::unique_ptr<TMemoryBlock> block = TMemoryBlock::Allocate(imageSize);
    if (!block)
        return false;
    std::uint8_t* image = block->Lock();
    const bool complete = std::fread(image, 1, imageSize, file.get()) == imageSize;
    const bool decoded = complete && DecodeBitmapInfoHeader(image, imageSize, result.header);
    block->Unlock();
    if (!decoded)
        return false;

    const std::uint8_t* field = fileHeader + kPixelOffsetField;
    const std::uint32_t pixelOffset = kest::io::LoadUInt32(field);
    // The pixel rows start after the headers (and any masks) and inside the file.
    if (pixelOffset < kBmpFileHeaderSize + result.header.ColourTableOffset() ||
        pixelOffset > static_cast<unsigned long>(length))
        return false;
    result.memory = std::move(block);
    result.pixelOffset = pixelOffset;
    return true;
}
