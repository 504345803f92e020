// TMemBitmap: an off-screen picture kept as a packed memory image and as a device bitmap.
#include "graphics/mem_bitmap.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr std::int32_t kFileHeaderSize = 14;
constexpr std::int32_t kFormatJpeg = 1;
constexpr std::int32_t kFormatGif = 2;

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

std::int32_t ReadI32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 |
                                     std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
}

// The text after the last '.' of the file name's last path component, upper-cased;
// empty when there is none.
std::string UpperExtension(const char* fileName) {
    const char* name = fileName;
    for (const char* p = fileName; *p != '\0'; ++p)
        if (*p == '/')
            name = p + 1;
    const char* dot = std::strrchr(name, '.');
    std::string extension = dot != nullptr ? dot + 1 : "";
    for (char& c : extension)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return extension;
}

// Closes a C file when it goes out of scope.
struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

TMemBitmap::TMemBitmap() = default;

TMemBitmap::TMemBitmap(const TMemBitmap& source) { Assign(source); }

TMemBitmap& TMemBitmap::operator=(const TMemBitmap& source) {
    Assign(source);
    return *this;
}

TMemBitmap::~TMemBitmap() { Release(); }

std::int32_t TMemBitmap::ColourTableSize(std::int32_t bits) {
    if (bits == 4)
        return 16 * 4;
    if (bits == 8)
        return 256 * 4;
    return 0;
}

std::int32_t TMemBitmap::StrideFor(std::int32_t pictureWidth, std::int32_t bits) {
    if (pictureWidth < 0)
        return 0;
    switch (bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32: {
        const std::int64_t rowBits = std::int64_t{pictureWidth} * bits;
        return static_cast<std::int32_t>((rowBits + 31) / 32 * 4);
    }
    default:
        return 0;
    }
}

std::int64_t TMemBitmap::PixelAreaOffset() const {
    return std::int64_t{kMemBitmapHeaderSize} + ColourTableSize(bitsPerPixel) + bitsGap;
}

void TMemBitmap::Release() {
    // A drawing context still open would otherwise keep drawing into a freed bitmap.
    drawDC.reset();
    if (memory) {
        if (lockCount > 0)
            memory->Unlock();
        memory.reset();
    }
    bitmap.reset();
    lockCount = 0;
    data = nullptr;
}

bool TMemBitmap::Create(std::int32_t newWidth, std::int32_t newHeight, std::int32_t bits) {
    Release();
    if ((bits != 4 && bits != 8 && bits != 24) || newWidth < 0 || newHeight < 0 ||
        newWidth > kMaxImageSide || newHeight > kMaxImageSide) {
        loaded = false;
        return false;
    }
    const std::int32_t newStride = StrideFor(newWidth, bits);
    const std::size_t size = static_cast<std::size_t>(kMemBitmapHeaderSize + ColourTableSize(bits)) +
                             static_cast<std::size_t>(newStride) * static_cast<std::size_t>(newHeight);
    memory = TMemoryBlock::Allocate(size);
    if (!memory) {
        loaded = false;
        return false;
    }
    width = newWidth;
    height = newHeight;
    stride = newStride;
    bitsPerPixel = bits;
    bitsGap = 0;
    loaded = true;

    std::uint8_t* header = memory->Lock();
    WriteU32(header + 0, kMemBitmapHeaderSize);
    WriteU32(header + 4, static_cast<std::uint32_t>(width));
    WriteU32(header + 8, static_cast<std::uint32_t>(height));
    WriteU16(header + 12, 1);
    WriteU16(header + 14, static_cast<std::uint16_t>(bitsPerPixel));
    // Compression, image size, resolution and colour counts stay 0 from the zero fill.
    memory->Unlock();

    UpdateBitmap();
    if (!loaded) {
        // Without a device bitmap the picture is of no use; leave it empty.
        Release();
        return false;
    }
    return true;
}

std::uint8_t* TMemBitmap::Lock() {
    if (!memory)
        return nullptr;
    data = memory->Lock();
    ++lockCount;
    return data;
}

bool TMemBitmap::Unlock() {
    if (lockCount > 0) {
        if (memory)
            memory->Unlock();
        --lockCount;
        if (lockCount == 0)
            data = nullptr;
    }
    return lockCount > 0;
}

void TMemBitmap::SetPixel(std::int32_t x, std::int32_t y, std::uint32_t colour) {
    if (x < 0 || x >= width || y < 0 || y >= height || !memory)
        return;
    std::int64_t offset = PixelAreaOffset() + std::int64_t{stride} * (std::int64_t{height} - 1 - y);
    std::int64_t bytes = 0;
    switch (bitsPerPixel) {
    case 24: offset += 3 * std::int64_t{x}; bytes = 3; break;
    case 16: offset += 2 * std::int64_t{x}; bytes = 2; break;
    case 8: offset += x; bytes = 1; break;
    case 4: offset += x / 2; bytes = 1; break;
    default: return;
    }
    // A loaded header may promise more rows than the file held.
    if (offset < 0 || offset + bytes > static_cast<std::int64_t>(memory->Size()))
        return;

    const bool ownLock = lockCount == 0;
    std::uint8_t* image = ownLock ? memory->Lock() : data;
    std::uint8_t* p = image + offset;
    const auto red = static_cast<std::uint8_t>(colour & 0xFF);
    const auto green = static_cast<std::uint8_t>((colour >> 8) & 0xFF);
    const auto blue = static_cast<std::uint8_t>((colour >> 16) & 0xFF);
    switch (bitsPerPixel) {
    case 24:
        p[0] = blue;
        p[1] = green;
        p[2] = red;
        break;
    case 16:
        // Five bits each: blue in bits 0-4, green in 5-9, red in 10-14.
        WriteU16(p, static_cast<std::uint16_t>((blue >> 3) | (green >> 3) << 5 | (red >> 3) << 10));
        break;
    case 8:
        p[0] = red;
        break;
    case 4:
        if (x % 2 == 0)
            p[0] = static_cast<std::uint8_t>((p[0] & 0x0F) | (colour & 0x0F) << 4);
        else
            p[0] = static_cast<std::uint8_t>((p[0] & 0xF0) | (colour & 0x0F));
        break;
    default:
        break;
    }
    if (ownLock)
        memory->Unlock();
}

void TMemBitmap::UpdateBitmap() {
    if (!loaded)
        return;
    bitmap.reset();
    std::unique_ptr<TDeviceBitmap> made;
    const std::int64_t pixelOffset = PixelAreaOffset();
    if (memory && pixelOffset >= 0) {
        const std::uint8_t* image = memory->Lock();
        made = TDeviceBitmap::FromMemoryImage(image, memory->Size(), static_cast<std::size_t>(pixelOffset));
        memory->Unlock();
    }
    bitmap = std::move(made);
    if (drawDC)
        drawDC->SelectBitmap(bitmap.get());
    if (!bitmap)
        loaded = false;
}

TDeviceContext* TMemBitmap::BeginDraw(bool keepContents, TDeviceContext* reference) {
    if (drawDC)
        return nullptr;
    drawDC = std::make_unique<TDeviceContext>();
    if (reference == nullptr) {
        drawDC->SelectBitmap(bitmap.get());
    } else if (std::unique_ptr<TDeviceBitmap> fresh = TDeviceBitmap::CreateCompatible(width, height)) {
        // Every device bitmap has the screen's format, so one made for `reference` is
        // simply a new bitmap of this picture's size.
        drawDC->SelectBitmap(fresh.get());
        if (keepContents)
            Draw(*drawDC, 0, 0, rop::kSrcCopy);
        bitmap = std::move(fresh);
    } else {
        drawDC->SelectBitmap(bitmap.get());
    }
    if (!keepContents) {
        drawDC->SelectStockPen(TStockPen::Black);
        drawDC->SelectStockBrush(TStockBrush::Black);
        // The bitmap's own size: a loaded top-down picture records a negative height.
        if (bitmap)
            drawDC->Rectangle(0, 0, bitmap->Width(), bitmap->Height());
    }
    return drawDC.get();
}

void TMemBitmap::EndDraw() {
    if (!drawDC)
        return;
    // Closing the context first finishes every pending drawing call on the bitmap.
    drawDC.reset();
    const std::int64_t pixelOffset = PixelAreaOffset();
    if (memory && bitmap && pixelOffset >= 0) {
        std::uint8_t* image = memory->Lock();
        bitmap->ReadInto(image, memory->Size(), static_cast<std::size_t>(pixelOffset));
        memory->Unlock();
    }
}

void TMemBitmap::Draw(TDeviceContext& target, std::int32_t x, std::int32_t y, std::uint32_t rasterOp) const {
    if (!loaded || !bitmap)
        return;
    TDeviceContext source;
    source.SelectBitmap(bitmap.get());
    target.BitBlt(x, y, bitmap->Width(), bitmap->Height(), source, 0, 0, rasterOp);
}

void TMemBitmap::Assign(const TMemBitmap& source) {
    if (&source == this)
        return;
    Release();
    if (!source.memory) {
        loaded = false;
        return;
    }
    std::unique_ptr<TMemoryBlock> copy = TMemoryBlock::Allocate(source.memory->Size());
    if (!copy) {
        loaded = false;
        return;
    }
    std::memcpy(copy->Lock(), source.memory->Lock(), source.memory->Size());
    source.memory->Unlock();
    copy->Unlock();
    memory = std::move(copy);
    loaded = true;
    bitsPerPixel = source.bitsPerPixel;
    width = source.width;
    height = source.height;
    stride = source.stride;
    bitsGap = source.bitsGap;
    UpdateBitmap();
    for (std::int32_t i = 0; i < source.lockCount; ++i)
        data = memory->Lock();
    lockCount = source.lockCount;
}

void TMemBitmap::LoadFromFile(const char* fileName, std::int32_t format) {
    const std::string extension = UpperExtension(fileName != nullptr ? fileName : "");
    Release();
    const bool jpeg = extension == "JPG" || extension == "JPEG" || format == kFormatJpeg;
    const bool gif = extension == "GIF" || format == kFormatGif;
    loaded = false;
    if (jpeg || gif || fileName == nullptr)
        return;

    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(fileName, "rb"));
    if (!file)
        return;
    std::uint8_t fileHeader[kFileHeaderSize];
    if (std::fread(fileHeader, 1, sizeof fileHeader, file.get()) != sizeof fileHeader ||
        fileHeader[0] != 'B' || fileHeader[1] != 'M')
        return;
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        return;
    const long length = std::ftell(file.get());
    if (length < kFileHeaderSize + kMemBitmapHeaderSize ||
        std::fseek(file.get(), kFileHeaderSize, SEEK_SET) != 0)
        return;
    const auto imageSize = static_cast<std::size_t>(length - kFileHeaderSize);
    std::unique_ptr<TMemoryBlock> block = TMemoryBlock::Allocate(imageSize);
    if (!block)
        return;
    std::uint8_t* image = block->Lock();
    const bool complete = std::fread(image, 1, imageSize, file.get()) == imageSize;
    file.reset();
    const auto pixelOffset = static_cast<std::uint32_t>(ReadI32(fileHeader + 10));
    const std::int32_t fileWidth = ReadI32(image + 4);
    const std::int32_t fileHeight = ReadI32(image + 8);
    const std::int32_t fileBits = image[14] | image[15] << 8;
    block->Unlock();
    // The pixel rows must start after the file header and inside the file.
    if (!complete || pixelOffset < static_cast<std::uint32_t>(kFileHeaderSize + kMemBitmapHeaderSize) ||
        pixelOffset > static_cast<std::uint64_t>(length))
        return;

    memory = std::move(block);
    width = fileWidth;
    height = fileHeight;
    bitsPerPixel = fileBits;
    bitsGap = static_cast<std::int32_t>(pixelOffset) - kFileHeaderSize - kMemBitmapHeaderSize -
              ColourTableSize(fileBits);
    loaded = true;
    // Building the device bitmap checks the header against the bytes actually read.
    UpdateBitmap();
    if (!loaded) {
        memory.reset();
        return;
    }
    stride = StrideFor(width, bitsPerPixel);
}
