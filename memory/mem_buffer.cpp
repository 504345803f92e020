#include "memory/mem_buffer.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <istream>
#include <limits>
#include <ostream>
#include <string>

#include "containers/block_allocation.h"
#include "containers/byte_io.h"
#include "containers/kest_exception.h"

namespace {

constexpr int64_t kMaxSize = std::numeric_limits<int32_t>::max();

}  // namespace

TMemBuffer::TMemBuffer() {
    Init();
}

TMemBuffer::TMemBuffer(TMemBuffer&& source) noexcept {
    Init();
    TakeOver(source);
}

TMemBuffer& TMemBuffer::operator=(TMemBuffer&& source) noexcept {
    if (this != &source) {
        TMemBuffer::Release();
        TakeOver(source);
    }
    return *this;
}

void TMemBuffer::TakeOver(TMemBuffer& source) noexcept {
    FData = source.FData;
    FLength = source.FLength;
    FCapacity = source.FCapacity;
    FGrowBy = source.FGrowBy;
    FCompressed = source.FCompressed;
    FPosition = source.FPosition;
    FTypeId = source.FTypeId;
    source.FData = nullptr;
    source.FLength = 0;
    source.FCapacity = 0;
    source.FGrowBy = kDefaultGrowBy;
    source.FPosition = 0;
}

TMemBuffer::~TMemBuffer() {
    TMemBuffer::Release();
}

void TMemBuffer::Assign(const TContainerItem& source) {
    const auto* space = dynamic_cast<const TMemSpace*>(&source);
    if (space == nullptr)
        throw TKestBadAssign();
    if (space == this)
        return;
    // The bytes first: when the storage cannot be had nothing else has changed.
    SetLength(space->FLength);
    if (FLength > 0)
        std::memcpy(FData, space->FData, static_cast<size_t>(FLength));
    TMemSpace::Assign(source);
}

void TMemBuffer::Init() {
    TMemSpace::Init();
    FCapacity = 0;
    FGrowBy = kDefaultGrowBy;
}

void TMemBuffer::Allocate(int32_t count) {
    SetCapacity(count);
}

void TMemBuffer::Release() {
    TMemSpace::Release();
    FCapacity = 0;
    FGrowBy = kDefaultGrowBy;
}

int32_t TMemBuffer::ReadInt() {
    if (FPosition < 0 || FPosition >= FLength)
        throw TKestSerialization("no packed integer at offset " + std::to_string(FPosition) +
                                 ": the data end at " + std::to_string(FLength));
    int32_t value = 0;
    const int used =
        kest::io::DecodePackedInt(FData + FPosition, static_cast<size_t>(FLength - FPosition), value);
    if (used == 0)
        throw TKestSerialization("the packed integer at offset " + std::to_string(FPosition) + " of " +
                                 std::to_string(FLength) + " announces " +
                                 std::to_string(FData[FPosition] & 0x7F) +
                                 " bytes (1 to 4, all present, are allowed)");
    FPosition += used;
    return value;
}

void TMemBuffer::SetLength(int32_t count) {
    if (count < 0)
        throw TKestBadAlloc();
    if (count == 0) {
        Release();
        return;
    }
    if (count > FCapacity || FData == nullptr) {
        const int64_t step = FGrowBy > 0 ? FGrowBy : kDefaultGrowBy;
        const int64_t have = FData == nullptr ? 0 : FCapacity;
        // count > have here, so this is at least one step.
        const int64_t steps = (count - have + step - 1) / step;
        int64_t capacity = have + steps * step;
        // The last step is cut short rather than fail a length that itself fits.
        if (capacity > kMaxSize)
            capacity = kMaxSize;
        SetCapacity(static_cast<int32_t>(capacity));
    }
    FLength = count;
}

void TMemBuffer::SetCapacity(int32_t count) {
    if (count < 0)
        throw TKestBadAlloc();
    if (count == 0) {
        Release();
        return;
    }
    auto* block = static_cast<uint8_t*>(kest::detail::ResizeBlock(FData, static_cast<size_t>(count)));
    if (block == nullptr)
        throw TKestBadAlloc();
    FData = block;
    FCapacity = count;
    if (count < FLength)
        FLength = count;
}

TMemBuffer& TMemBuffer::Append(const void* source, int32_t count) {
    if (count <= 0)
        return *this;
    const int64_t total = static_cast<int64_t>(FLength) + count;
    if (total > kMaxSize)
        throw TKestBadAlloc();
    // A source inside our own storage moves with it when the storage is resized.
    const auto* from = static_cast<const uint8_t*>(source);
    const bool inside =
        FData != nullptr && std::greater_equal<>()(from, FData) && std::less<>()(from, FData + FCapacity);
    const size_t offset = inside ? static_cast<size_t>(from - FData) : 0;
    const int32_t old = FLength;
    SetLength(static_cast<int32_t>(total));
    if (inside)
        from = FData + offset;
    std::memmove(FData + old, from, static_cast<size_t>(count));
    return *this;
}

TMemBuffer& TMemBuffer::AppendInt(int32_t value) {
    uint8_t packed[kest::io::kPackedIntMaxLength];
    const int size = kest::io::EncodePackedInt(value, packed);
    return Append(packed, size);
}

void TMemBuffer::ReadGrowBy(const kest::io::TByteSource& source, bool text) {
    int32_t step = 0;
    if (!kest::io::ReadNumber(source, step, text)) {
        // The image is cut short: what was loaded is not a whole buffer.
        Release();
        throw TKestSerialization(
            "the growth step after the buffer's bytes is missing or not a 32-bit number");
    }
    // The growth loop needs a positive step; a stored one that is not is no step at all.
    // A larger step than kMaxLoadedGrowBy only reserves room that no data fill, and would
    // let a file make the next Append ask for gigabytes: it is cut to that bound.
    FGrowBy = step <= 0 ? kDefaultGrowBy : (step > kMaxLoadedGrowBy ? kMaxLoadedGrowBy : step);
}

void TMemBuffer::WriteBinary(FILE* file) {
    TMemSpace::WriteBinary(file);
    kest::io::WriteInt32(kest::io::TByteSink(file), FGrowBy);
}

void TMemBuffer::ReadBinary(FILE* file) {
    TMemSpace::ReadBinary(file);
    ReadGrowBy(kest::io::TByteSource(file), false);
}

void TMemBuffer::WriteText(FILE* file) {
    TMemSpace::WriteText(file);
    kest::io::WriteDecimal(kest::io::TByteSink(file), FGrowBy, '\n');
}

void TMemBuffer::ReadText(FILE* file) {
    TMemSpace::ReadText(file);
    ReadGrowBy(kest::io::TByteSource(file), true);
}

void TMemBuffer::WriteBinary(std::ostream& stream) {
    TMemSpace::WriteBinary(stream);
    kest::io::WriteInt32(kest::io::TByteSink(stream), FGrowBy);
}

void TMemBuffer::WriteText(std::ostream& stream) {
    TMemSpace::WriteText(stream);
    kest::io::WriteDecimal(kest::io::TByteSink(stream), FGrowBy, '\n');
}

void TMemBuffer::ReadBinary(std::istream& stream) {
    TMemSpace::ReadBinary(stream);
    ReadGrowBy(kest::io::TByteSource(stream), false);
}

void TMemBuffer::ReadText(std::istream& stream) {
    TMemSpace::ReadText(stream);
    ReadGrowBy(kest::io::TByteSource(stream), true);
}
