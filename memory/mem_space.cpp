#include "memory/mem_space.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>

#include "containers/block_allocation.h"
#include "containers/kest_exception.h"
#include "memory/image_channel.h"
#include "memory/mem_buffer.h"
#include "memory/zlib_payload.h"

using kest::detail::TTempBlock;

namespace {

// What a payload read cut short says: the source's own finding, else where the data ended.
std::string Cut(const kest::detail::TImageSource& source, size_t filled, size_t count) {
    if (!source.Problem().empty())
        return source.Problem();
    return "the data end after " + std::to_string(filled) + " or more of " + std::to_string(count) +
           " payload bytes";
}

// A size that the bytes left cannot back.
std::string Announced(int32_t size, const char* what, int64_t left) {
    return std::to_string(size) + " " + what + " announced, at most " + std::to_string(left) + " left";
}

// A read at the cursor that finds too few bytes.
std::string ShortRead(int count, int32_t position, int32_t length) {
    return std::to_string(count) + " bytes wanted at offset " + std::to_string(position) + " of " +
           std::to_string(length);
}

// Step in which bytes are taken from a source whose size cannot be known in advance,
// so that memory grows only with what actually arrives.
constexpr size_t kUnboundedStep = size_t{1} << 20;

// Reads count bytes from a source of unknown size into a new block; throws
// TKestSerialization when the source ends first.
TTempBlock ReadUnbounded(kest::detail::TImageSource& source, size_t count) {
    size_t capacity = std::min(count, kUnboundedStep);
    TTempBlock block = kest::detail::AllocateTemp(capacity);
    size_t filled = 0;
    while (filled < count) {
        if (filled == capacity) {
            const size_t grown = std::min(count, capacity * 2);
            auto* larger = static_cast<uint8_t*>(kest::detail::ResizeBlock(block.get(), grown));
            if (larger == nullptr)
                throw TKestBadAlloc();
            block.release();
            block.reset(larger);
            capacity = grown;
        }
        const size_t step = std::min(capacity - filled, kUnboundedStep);
        if (!source.ReadBytes(block.get() + filled, step))
            throw TKestSerialization(Cut(source, filled, count));
        filled += step;
    }
    return block;
}

// Reads count bytes from a source already known to hold them; throws TKestSerialization
// when it delivers fewer after all.
TTempBlock ReadKnown(kest::detail::TImageSource& source, size_t count) {
    TTempBlock block = kest::detail::AllocateTemp(count);
    if (!source.ReadBytes(block.get(), count))
        throw TKestSerialization(Cut(source, 0, count));
    return block;
}

}  // namespace

namespace {

std::atomic<int32_t> gMaxRestoredLength{TMemSpace::kDefaultMaxRestoredLength};

}  // namespace

int32_t TMemSpace::MaxRestoredLength() {
    return gMaxRestoredLength.load(std::memory_order_relaxed);
}

int32_t TMemSpace::SetMaxRestoredLength(int32_t limit) {
    return gMaxRestoredLength.exchange(limit < 0 ? 0 : limit, std::memory_order_relaxed);
}

TMemSpace::~TMemSpace() {
    // Runs this class's Release: the descendant's part is already gone.
    TMemSpace::Release();
}

void TMemSpace::Assign(const TContainerItem& source) {
    const auto* space = dynamic_cast<const TMemSpace*>(&source);
    if (space == nullptr)
        throw TKestBadAssign();
    TContainerItem::Assign(source);
    FCompressed = space->FCompressed;
    FPosition = space->FPosition;
}

void TMemSpace::Init() {
    // Storage still held would otherwise be lost when FData is cleared.
    if (FData != nullptr)
        Release();
    FData = nullptr;
    FLength = 0;
    FCompressed = false;
}

void TMemSpace::Allocate(int32_t) {}

void TMemSpace::Release() {
    std::free(FData);
    FData = nullptr;
    FLength = 0;
}

uint8_t* TMemSpace::Rewind() {
    FPosition = 0;
    return FData;
}

void* TMemSpace::ReadBytes(void* destination, int32_t count) {
    if (count < 0 || FPosition < 0 || FPosition >= FLength)
        return nullptr;
    if (count > FLength - FPosition)
        return nullptr;
    if (count > 0)
        std::memcpy(destination, FData + FPosition, static_cast<size_t>(count));
    FPosition += count;
    return destination;
}

uint8_t* TMemSpace::Seek(int32_t offset, int origin) {
    const int64_t wanted = offset;
    switch (origin) {
    case 0:
        if (wanted >= 0 && wanted < FLength)
            FPosition = offset;
        break;
    case 1:
        if (wanted >= -static_cast<int64_t>(FPosition) &&
            wanted < static_cast<int64_t>(FLength) - FPosition) {
            FPosition = static_cast<int32_t>(FPosition + wanted);
        }
        break;
    case 2:
        if (wanted >= -static_cast<int64_t>(FLength) && wanted <= 0) {
            FPosition = static_cast<int32_t>(FLength + wanted);
        }
        break;
    default: return nullptr;
    }
    return FData == nullptr ? nullptr : FData + FPosition;
}

uint8_t* TMemSpace::WriteAt(int32_t offset, const void* source, int32_t count) {
    if (offset < 0 || count < 0 || static_cast<int64_t>(offset) + count > FLength)
        return nullptr;
    if (count > 0)
        std::memmove(FData + offset, source, static_cast<size_t>(count));
    return FData == nullptr ? nullptr : FData + offset;
}

int32_t TMemSpace::ReadInt() {
    uint8_t bytes[4];
    if (ReadBytes(bytes, 4) == nullptr)
        throw TKestSerialization(ShortRead(4, FPosition, FLength));
    return kest::io::LoadInt32(bytes);
}

float TMemSpace::ReadFloat() {
    uint8_t bytes[4];
    if (ReadBytes(bytes, 4) == nullptr)
        throw TKestSerialization(ShortRead(4, FPosition, FLength));
    return std::bit_cast<float>(static_cast<uint32_t>(kest::io::LoadInt32(bytes)));
}

double TMemSpace::ReadDouble() {
    uint8_t bytes[8];
    if (ReadBytes(bytes, 8) == nullptr)
        throw TKestSerialization(ShortRead(8, FPosition, FLength));
    const uint64_t low = static_cast<uint32_t>(kest::io::LoadInt32(bytes));
    const uint64_t high = static_cast<uint32_t>(kest::io::LoadInt32(bytes + 4));
    return std::bit_cast<double>(low | high << 32);
}

void TMemSpace::Provide(int32_t count) {
    Allocate(count);
    if (count > 0 && FData == nullptr)
        throw TKestBadAlloc();
    FLength = count;
}

void TMemSpace::WriteImage(kest::detail::TImageSink& sink) const {
    if (FLength <= 0 || FData == nullptr) {
        sink.WriteNumber(0);
        return;
    }
    if (!FCompressed) {
        sink.WriteNumber(FLength);
        sink.WriteFlag(false);
        sink.WriteBytes(FData, static_cast<size_t>(FLength));
        return;
    }
    // Compressed before anything is written, so a failure leaves no partial image behind.
    int32_t size = 0;
    const TTempBlock packed = kest::detail::CompressPayload(FData, FLength, size);
    sink.WriteNumber(FLength);
    sink.WriteFlag(true);
    sink.WriteNumber(size);
    sink.WriteBytes(packed.get(), static_cast<size_t>(size));
}

void TMemSpace::ReadImage(kest::detail::TImageSource& source) {
    int32_t length = 0;
    if (!source.ReadNumber(length))
        throw TKestSerialization("the memory image's length is missing or not a 32-bit number");
    if (length < 0)
        throw TKestSerialization("memory image of length " + std::to_string(length));
    if (length == 0) {
        Provide(0);
        return;
    }
    bool compressed = false;
    if (!source.ReadFlag(compressed))
        throw TKestSerialization("the compressed flag after the length " + std::to_string(length) +
                                 " is missing");

    if (!compressed) {
        const int64_t left = source.Remaining();
        if (left >= 0 && length > left)
            throw TKestSerialization(Announced(length, "bytes", left));
        source.BeginBytes(static_cast<size_t>(length));
        // Text may turn out malformed part way, and a source of unknown size may end
        // early: such payloads are read apart, so a failure leaves the object as it was.
        if (left < 0 || !source.RawBytes()) {
            const TTempBlock bytes = left < 0 ? ReadUnbounded(source, static_cast<size_t>(length))
                                              : ReadKnown(source, static_cast<size_t>(length));
            Provide(length);
            FCompressed = false;
            std::memcpy(FData, bytes.get(), static_cast<size_t>(length));
            return;
        }
        Provide(length);
        FCompressed = false;
        if (!source.ReadBytes(FData, static_cast<size_t>(length))) {
            Release();
            throw TKestSerialization("the data end inside the " + std::to_string(length) +
                                     " bytes of the memory image");
        }
        return;
    }

    int32_t size = 0;
    if (!source.ReadNumber(size))
        throw TKestSerialization("the compressed size after the length " + std::to_string(length) +
                                 " is missing or not a 32-bit number");
    if (size < 0)
        throw TKestSerialization("compressed size " + std::to_string(size));
    const int64_t left = source.Remaining();
    if (left >= 0 && size > left)
        throw TKestSerialization(Announced(size, "compressed bytes", left));
    if (length > MaxRestoredLength())
        throw TKestCompressException("the image restores to " + std::to_string(length) +
                                     " bytes, above the limit of " + std::to_string(MaxRestoredLength()));
    if (size == 0 || length > kest::detail::MaxRestoredLength(size))
        throw TKestCompressException(std::to_string(size) + " compressed bytes cannot restore to " +
                                     std::to_string(length));
    source.BeginBytes(static_cast<size_t>(size));
    const TTempBlock packed = left >= 0 ? ReadKnown(source, static_cast<size_t>(size))
                                        : ReadUnbounded(source, static_cast<size_t>(size));
    Provide(length);
    FCompressed = true;
    if (!kest::detail::RestorePayload(packed.get(), size, FData, length)) {
        Release();
        throw TKestCompressException(
            "the " + std::to_string(size) +
            " compressed bytes are no zlib stream that restores to the stored length " +
            std::to_string(length));
    }
}

void TMemSpace::WriteBinary(FILE* file) {
    kest::detail::TBinaryFileSink sink(file);
    WriteImage(sink);
}

void TMemSpace::ReadBinary(FILE* file) {
    kest::detail::TBinaryFileSource source(file);
    ReadImage(source);
}

void TMemSpace::WriteText(FILE* file) {
    kest::detail::TTextFileSink sink(file);
    WriteImage(sink);
}

void TMemSpace::ReadText(FILE* file) {
    kest::detail::TTextFileSource source(file);
    ReadImage(source);
}

void TMemSpace::WriteBinary(std::ostream& stream) {
    kest::detail::TBinaryStreamSink sink(stream);
    WriteImage(sink);
}

void TMemSpace::WriteText(std::ostream& stream) {
    kest::detail::TTextStreamSink sink(stream);
    WriteImage(sink);
}

void TMemSpace::ReadBinary(std::istream& stream) {
    kest::detail::TBinaryStreamSource source(stream);
    ReadImage(source);
}

void TMemSpace::ReadText(std::istream& stream) {
    kest::detail::TTextStreamSource source(stream);
    ReadImage(source);
}

void TMemSpace::WriteToBuffer(TMemBuffer& buffer) {
    if (static_cast<TMemSpace*>(&buffer) != this) {
        kest::detail::TBufferSink sink(buffer);
        WriteImage(sink);
        return;
    }
    // Appending to our own storage may move it while it is being read: build the image apart.
    TMemBuffer image;
    kest::detail::TBufferSink sink(image);
    WriteImage(sink);
    buffer.Append(image.Data(), image.Length());
}

void TMemSpace::ReadFromSpace(TMemSpace& space) {
    if (&space != this) {
        kest::detail::TSpaceSource source(space);
        ReadImage(source);
        return;
    }
    // Loading replaces the very bytes being read: read from a copy of what is left, then
    // move our cursor past the image as a source's cursor moves.
    const int32_t start = FPosition;
    TMemBuffer copy;
    if (start >= 0 && start < FLength)
        copy.Append(FData + start, FLength - start);
    kest::detail::TSpaceSource source(copy);
    ReadImage(source);
    FPosition = start + copy.Position();
}
