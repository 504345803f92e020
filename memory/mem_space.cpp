#include "memory/mem_space.h"

#include <atomic>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <new>
#include <ostream>
#include <string>

#include "containers/byte_io.h"
#include "containers/kest_exception.h"
#include "memory/mem_buffer.h"
#include "memory/zlib_payload.h"

using kest::detail::TTempBlock;
using kest::io::TByteSink;
using kest::io::TByteSource;

namespace {

// A size that the bytes left cannot back.
std::string Announced(int32_t size, const char* what, int64_t left) {
    return std::to_string(size) + " " + what + " announced, at most " + std::to_string(left) + " left";
}

// A read at the cursor that finds too few bytes.
std::string ShortRead(int count, int32_t position, int32_t length) {
    return std::to_string(count) + " bytes wanted at offset " + std::to_string(position) + " of " +
           std::to_string(length);
}

// The flag of an image: a byte, or in the text form a decimal number.
bool ReadFlag(const TByteSource& source, bool& value, bool text) {
    int32_t number = 0;
    uint8_t byte = 0;
    if (text ? !kest::io::ReadDecimal(source, number) : !source.Read(&byte, 1))
        return false;
    value = text ? number != 0 : byte != 0;
    return true;
}

// The payload bytes a source can still give at most, -1 when it cannot tell: raw bytes,
// or the bytes of a hex block in the text form.
int64_t PayloadLeft(const TByteSource& source, bool text) {
    return text ? kest::io::HexBlockCapacity(source.Remaining()) : source.Remaining();
}

// Reads a payload of count bytes into a new block: raw, or a hex block on the line after
// the number before it. Throws TKestSerialization when the source ends first or the text
// is out of place.
TTempBlock ReadPayload(const TByteSource& source, size_t count, bool text) {
    std::string problem;
    if (text && count > 0 && source.Get() != '\n')
        throw TKestSerialization("the hex block of " + std::to_string(count) +
                                 " bytes does not start on a line of its own");
    TTempBlock block;
    try {
        block = kest::io::ReadInSteps(
            count, PayloadLeft(source, text), [&](uint8_t* at, size_t first, size_t size) {
                return text ? kest::io::ReadHexBlock(source, at, size, first, count, problem)
                            : source.Read(at, size);
            });
    } catch (const std::bad_alloc&) {
        throw TKestBadAlloc();
    }
    if (block == nullptr)
        throw TKestSerialization(problem.empty()
                                     ? "the data end inside the " + std::to_string(count) + " payload bytes"
                                     : problem);
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

void TMemSpace::WriteImage(const TByteSink& sink, bool text) const {
    const bool stored = FLength > 0 && FData != nullptr;
    kest::io::WriteNumber(sink, stored ? FLength : 0, text);
    if (!stored)
        return;
    // Compressed before anything else is written, so a failure leaves no partial image behind.
    int32_t size = FLength;
    const TTempBlock packed = FCompressed ? kest::detail::CompressPayload(FData, FLength, size) : nullptr;
    if (text)
        kest::io::WriteDecimal(sink, FCompressed ? 1 : 0, '\n');
    else
        sink.Put(FCompressed ? 1 : 0);
    if (FCompressed)
        kest::io::WriteNumber(sink, size, text);
    const uint8_t* bytes = FCompressed ? packed.get() : FData;
    if (text)
        kest::io::WriteHexBlock(sink, bytes, static_cast<size_t>(size));
    else
        sink.Write(bytes, static_cast<size_t>(size));
}

void TMemSpace::ReadImage(const TByteSource& source, bool text) {
    int32_t length = 0;
    if (!kest::io::ReadNumber(source, length, text))
        throw TKestSerialization("the memory image's length is missing or not a 32-bit number");
    if (length < 0)
        throw TKestSerialization("memory image of length " + std::to_string(length));
    if (length == 0) {
        Provide(0);
        return;
    }
    bool compressed = false;
    if (!ReadFlag(source, compressed, text))
        throw TKestSerialization("the compressed flag after the length " + std::to_string(length) +
                                 " is missing");
    if (compressed)
        ReadCompressed(source, length, text);
    else
        ReadStored(source, length, text);
}

void TMemSpace::ReadStored(const TByteSource& source, int32_t length, bool text) {
    const int64_t left = PayloadLeft(source, text);
    if (left >= 0 && length > left)
        throw TKestSerialization(Announced(length, "bytes", left));
    // Text may turn out malformed part way, and a source of unknown size may end early:
    // such payloads are read apart, so that a failure leaves the object as it was.
    if (left < 0 || text) {
        const TTempBlock bytes = ReadPayload(source, static_cast<size_t>(length), text);
        Provide(length);
        FCompressed = false;
        std::memcpy(FData, bytes.get(), static_cast<size_t>(length));
        return;
    }
    Provide(length);
    FCompressed = false;
    if (!source.Read(FData, static_cast<size_t>(length))) {
        Release();
        throw TKestSerialization("the data end inside the " + std::to_string(length) +
                                 " bytes of the memory image");
    }
}

void TMemSpace::ReadCompressed(const TByteSource& source, int32_t length, bool text) {
    int32_t size = 0;
    if (!kest::io::ReadNumber(source, size, text))
        throw TKestSerialization("the compressed size after the length " + std::to_string(length) +
                                 " is missing or not a 32-bit number");
    if (size < 0)
        throw TKestSerialization("compressed size " + std::to_string(size));
    const int64_t left = PayloadLeft(source, text);
    if (left >= 0 && size > left)
        throw TKestSerialization(Announced(size, "compressed bytes", left));
    if (length > MaxRestoredLength())
        throw TKestCompressException("the image restores to " + std::to_string(length) +
                                     " bytes, above the limit of " + std::to_string(MaxRestoredLength()));
    if (size == 0 || length > kest::detail::MaxRestoredLength(size))
        throw TKestCompressException(std::to_string(size) + " compressed bytes cannot restore to " +
                                     std::to_string(length));
    // The packed bytes of a memory image are restored where they lie, others from a copy.
    const uint8_t* packed = text ? nullptr : source.Take(static_cast<size_t>(size));
    TTempBlock copy = packed == nullptr ? ReadPayload(source, static_cast<size_t>(size), text) : nullptr;
    Provide(length);
    FCompressed = true;
    if (!kest::detail::RestorePayload(packed != nullptr ? packed : copy.get(), size, FData, length)) {
        Release();
        throw TKestCompressException(
            "the " + std::to_string(size) +
            " compressed bytes are no zlib stream that restores to the stored length " +
            std::to_string(length));
    }
}

void TMemSpace::WriteBinary(FILE* file) {
    WriteImage(TByteSink(file), false);
}

void TMemSpace::ReadBinary(FILE* file) {
    ReadImage(TByteSource(file), false);
}

void TMemSpace::WriteText(FILE* file) {
    WriteImage(TByteSink(file), true);
}

void TMemSpace::ReadText(FILE* file) {
    ReadImage(TByteSource(file), true);
}

void TMemSpace::WriteBinary(std::ostream& stream) {
    WriteImage(TByteSink(stream), false);
}

void TMemSpace::WriteText(std::ostream& stream) {
    WriteImage(TByteSink(stream), true);
}

void TMemSpace::ReadBinary(std::istream& stream) {
    ReadImage(TByteSource(stream), false);
}

void TMemSpace::ReadText(std::istream& stream) {
    ReadImage(TByteSource(stream), true);
}

void TMemSpace::WriteToBuffer(TMemBuffer& buffer) {
    if (static_cast<TMemSpace*>(&buffer) != this) {
        WriteImage(TByteSink(buffer), false);
        return;
    }
    // Appending to our own storage may move it while it is being read: build the image apart.
    TMemBuffer image;
    WriteImage(TByteSink(image), false);
    buffer.Append(image.Data(), image.Length());
}

void TMemSpace::ReadFromSpace(TMemSpace& space) {
    if (&space != this) {
        ReadImage(TByteSource(space), false);
        return;
    }
    // Loading replaces the very bytes being read: read from a copy of what is left, then
    // move our cursor past the image as a source's cursor moves.
    const int32_t start = FPosition;
    TMemBuffer copy;
    if (start >= 0 && start < FLength)
        copy.Append(FData + start, FLength - start);
    ReadImage(TByteSource(copy), false);
    FPosition = start + copy.Position();
}
