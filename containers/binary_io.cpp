#include "containers/binary_io.h"

#include <istream>
#include <ostream>

void StoreInt32(int32_t value, uint8_t out[4]) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t LoadInt32(const uint8_t in[4]) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(in[i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

void WriteInt32(FILE* file, int32_t value) {
    uint8_t bytes[4];
    StoreInt32(value, bytes);
    std::fwrite(bytes, 1, 4, file);
}

void WriteInt32(std::ostream& stream, int32_t value) {
    uint8_t bytes[4];
    StoreInt32(value, bytes);
    stream.write(reinterpret_cast<const char*>(bytes), 4);
}

bool ReadInt32(FILE* file, int32_t& value) {
    uint8_t bytes[4];
    if (std::fread(bytes, 1, 4, file) != 4) return false;
    value = LoadInt32(bytes);
    return true;
}

bool ReadInt32(std::istream& stream, int32_t& value) {
    char bytes[4];
    if (!stream.read(bytes, 4)) return false;
    value = LoadInt32(reinterpret_cast<const uint8_t*>(bytes));
    return true;
}
