// TMemBitmap: an off-screen picture kept as a packed memory image and as a device bitmap.
#include "graphics/mem_bitmap.h"

#include <cctype>
#include <cstring>
#include <string>

#include "containers/byte_io.h"
#include "graphics/bmp_file_reader.h"

namespace {

constexpr std::int32_t kFormatJpeg = 1;
constexpr std::int32_t kFormatGif = 2;

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

}  // namespace

TMemBitmap::TMemBitmap() = default;

TMemBitmap::TMemBitmap(const TMemBitmap& source) {
    Assign(source);
}

TMemBitmap& TMemBitmap::operator=(const TMemBitmap& source) {
    if (this != &source)
        Assign(source);
    return *this;
}

TMemBitmap::~TMemBitmap() {
    // The context goes first: it may still be painting on the bitmap.
    drawDC.reset();
    Release();
}

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
    default: return 0;
    }
}

std::int64_t TMemBitmap::PixelAreaOffset() const {
    return std::int64_t{kMemBitmapHeaderSize} + ColourTableSize(bitsPerPixel) + bitsGap;
}

void TMemBitmap::Release() {
    if (memory) {
        if (lockCount > 0)
            memory->Unlock();
        memory.reset();
    }
    if (drawDC && !drawDetached_) {
        // The open context keeps its bitmap until EndDraw, which then discards it.
        drawTarget_ = std::move(bitmap);
        drawDetached_ = true;
    }
    bitmap.reset();
    lockCount = 0;
    data = nullptr;
}

bool TMemBitmap::Create(std::int32_t newWidth, std::int32_t newHeight, std::int32_t bits) {
    Release();
    if ((bits != 4 && bits != 8 && bits != 24) || newWidth < 0 || newHeight < 0 || newWidth > kMaxImageSide ||
        newHeight > kMaxImageSide) {
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
    rowsTopDown_ = false;
    plainRows_ = true;
    loaded = true;

    TBitmapInfoHeader header;
    header.width = width;
    header.height = height;
    header.bitCount = static_cast<std::uint16_t>(bitsPerPixel);
    EncodeBitmapInfoHeader(header, memory->Lock());
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
    if (x < 0 || x >= width || y < 0 || y >= height || !memory || !plainRows_)
        return;
    const std::int64_t storedRow = rowsTopDown_ ? y : std::int64_t{height} - 1 - y;
    std::int64_t offset = PixelAreaOffset() + std::int64_t{stride} * storedRow;
    std::int64_t bytes = 0;
    switch (bitsPerPixel) {
    case 24:
        offset += 3 * std::int64_t{x};
        bytes = 3;
        break;
    case 16:
        offset += 2 * std::int64_t{x};
        bytes = 2;
        break;
    case 8:
        offset += x;
        bytes = 1;
        break;
    case 4:
        offset += x / 2;
        bytes = 1;
        break;
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
        kest::io::StoreUInt16(static_cast<std::uint16_t>((blue >> 3) | (green >> 3) << 5 | (red >> 3) << 10),
                              p);
        break;
    case 8: p[0] = red; break;
    case 4:
        if (x % 2 == 0)
            p[0] = static_cast<std::uint8_t>((p[0] & 0x0F) | (colour & 0x0F) << 4);
        else
            p[0] = static_cast<std::uint8_t>((p[0] & 0xF0) | (colour & 0x0F));
        break;
    default: break;
    }
    if (ownLock)
        memory->Unlock();
}

void TMemBitmap::UpdateBitmap() {
    if (!loaded)
        return;
    // An open context drawing on this picture moves to the new bitmap; one left on a
    // released bitmap stays there.
    const bool moveContext = drawDC && !drawDetached_;
    if (moveContext)
        drawDC->SelectBitmap(nullptr);
    bitmap.reset();
    std::unique_ptr<TDeviceBitmap> made;
    const std::int64_t pixelOffset = PixelAreaOffset();
    if (memory && pixelOffset >= 0) {
        const std::uint8_t* image = memory->Lock();
        made = TDeviceBitmap::FromMemoryImage(image, memory->Size(), static_cast<std::size_t>(pixelOffset));
        memory->Unlock();
    }
    bitmap = std::move(made);
    if (moveContext)
        drawDC->SelectBitmap(bitmap.get());
    if (!bitmap)
        loaded = false;
}

TDeviceContext* TMemBitmap::BeginDraw(bool keepContents, TDeviceContext* reference) {
    if (drawDC)
        return nullptr;
    drawDC = std::make_unique<TDeviceContext>();
    drawDetached_ = false;
    // Every device bitmap has the screen's format, so one made for `reference` is simply a
    // new bitmap of this picture's size. Without a reference, or when none can be made, the
    // present bitmap is drawn on.
    std::unique_ptr<TDeviceBitmap> fresh =
        reference != nullptr ? TDeviceBitmap::CreateCompatible(width, height) : nullptr;
    if (fresh) {
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
    const bool detached = drawDetached_;
    drawTarget_.reset();
    drawDetached_ = false;
    // A context whose picture was released or replaced drew on a bitmap of its own.
    if (detached)
        return;
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
    rowsTopDown_ = source.rowsTopDown_;
    plainRows_ = source.plainRows_;
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
    if (jpeg || gif)
        return;
    TBmpFileImage file;
    if (!ReadBmpFile(fileName, file))
        return;
    const TBitmapInfoHeader& header = file.header;
    // A top-down file stores its height negated; the picture has that many rows.
    const std::int64_t rows = header.height < 0 ? -std::int64_t{header.height} : header.height;
    // A picture with nothing in it cannot be shown.
    if (header.width <= 0 || rows == 0 || rows > kMaxImageSide)
        return;

    memory = std::move(file.memory);
    width = header.width;
    height = static_cast<std::int32_t>(rows);
    bitsPerPixel = header.bitCount;
    bitsGap = static_cast<std::int32_t>(std::int64_t{file.pixelOffset} - kBmpFileHeaderSize -
                                        kMemBitmapHeaderSize - ColourTableSize(bitsPerPixel));
    rowsTopDown_ = header.height < 0;
    plainRows_ = header.compression != bmp_coding::kRle8 && header.compression != bmp_coding::kRle4;
    loaded = true;
    // Building the device bitmap checks the header against the bytes actually read.
    UpdateBitmap();
    if (!loaded) {
        memory.reset();
        return;
    }
    stride = StrideFor(width, bitsPerPixel);
}
