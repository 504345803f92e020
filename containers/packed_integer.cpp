#include "containers/packed_integer.h"

#include <istream>
#include <ostream>

#include "containers/binary_io.h"

namespace kest::detail {

namespace {

constexpr uint8_t kNegativeBit = 0x80;
constexpr uint8_t kCountMask = 0x7F;

// The magnitude as unsigned, so that the most negative value has one too.
uint32_t Magnitude(int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    return value < 0 ? 0u - bits : bits;
}

// Turns a count byte and a magnitude back into a value; a magnitude that does not
// fit the sign wraps as two's complement would (only 0x80000000 negative fits exactly).
int32_t Assemble(uint8_t countByte, uint32_t magnitude) {
    const uint32_t bits = (countByte & kNegativeBit) ? 0u - magnitude : magnitude;
    return static_cast<int32_t>(bits);
}

}  // namespace

int EncodePackedInt(int32_t value, uint8_t out[5]) {
    const uint32_t magnitude = Magnitude(value);
    int n = 1;
    if (magnitude >= 0x100u)
        ++n;
    if (magnitude >= 0x10000u)
        ++n;
    if (magnitude >= 0x1000000u)
        ++n;
    out[0] = static_cast<uint8_t>(n | (value < 0 ? kNegativeBit : 0));
    for (int i = 0; i < n; ++i)
        out[1 + i] = static_cast<uint8_t>(magnitude >> (8 * i));
    return n + 1;
}

int DecodePackedInt(const uint8_t* data, size_t size, int32_t& value) {
    if (data == nullptr || size < 1)
        return 0;
    const int n = data[0] & kCountMask;
    if (n < 1 || n > 4 || size < static_cast<size_t>(n) + 1)
        return 0;
    uint32_t magnitude = 0;
    for (int i = 0; i < n; ++i)
        magnitude |= static_cast<uint32_t>(data[1 + i]) << (8 * i);
    value = Assemble(data[0], magnitude);
    return n + 1;
}

void WritePackedInt(FILE* file, int32_t value) {
    uint8_t bytes[kPackedIntMaxLength];
    const int length = EncodePackedInt(value, bytes);
    kest::io::PutBytes(file, bytes, static_cast<size_t>(length));
}

bool ReadPackedInt(FILE* file, int32_t& value) {
    uint8_t bytes[kPackedIntMaxLength];
    if (std::fread(bytes, 1, 1, file) != 1)
        return false;
    const int n = bytes[0] & kCountMask;
    if (n < 1 || n > 4)
        return false;
    if (std::fread(bytes + 1, 1, static_cast<size_t>(n), file) != static_cast<size_t>(n))
        return false;
    return DecodePackedInt(bytes, static_cast<size_t>(n) + 1, value) != 0;
}

void WritePackedInt(std::ostream& stream, int32_t value) {
    uint8_t bytes[kPackedIntMaxLength];
    const int length = EncodePackedInt(value, bytes);
    kest::io::PutBytes(stream, bytes, static_cast<size_t>(length));
}

bool ReadPackedInt(std::istream& stream, int32_t& value) {
    char bytes[kPackedIntMaxLength];
    if (!stream.read(bytes, 1))
        return false;
    const int n = static_cast<uint8_t>(bytes[0]) & kCountMask;
    if (n < 1 || n > 4) {
        stream.setstate(std::ios_base::failbit);
        return false;
    }
    if (!stream.read(bytes + 1, n))
        return false;
    return DecodePackedInt(reinterpret_cast<const uint8_t*>(bytes), static_cast<size_t>(n) + 1, value) != 0;
}

}  // namespace kest::detail
