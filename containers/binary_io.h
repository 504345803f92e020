// The library's byte-I/O base: little-endian 32-bit packing, as every binary image stores
// integers, and checked writes to C files and streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>

#include "containers/kest_exception.h"

namespace kest::io {

// Little-endian fields, as every binary image of the library stores its integers and the
// picture files store theirs: the value of 2 or 4 bytes, and the bytes of a value.
inline uint32_t LoadUInt32(const uint8_t in[4]) {
    return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}
inline uint16_t LoadUInt16(const uint8_t in[2]) {
    return static_cast<uint16_t>(in[0] | in[1] << 8);
}
inline void StoreUInt32(uint32_t value, uint8_t out[4]) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void StoreUInt16(uint16_t value, uint8_t out[2]) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}
inline int32_t LoadInt32(const uint8_t in[4]) {
    return static_cast<int32_t>(LoadUInt32(in));
}
inline void StoreInt32(int32_t value, uint8_t out[4]) {
    StoreUInt32(static_cast<uint32_t>(value), out);
}

// Writes value as 4 little-endian bytes; throws as the checked writes below.
void WriteInt32(FILE* file, int32_t value);
void WriteInt32(std::ostream& stream, int32_t value);
// Reads 4 little-endian bytes; false (value untouched) when fewer are left.
bool ReadInt32(FILE* file, int32_t& value);
bool ReadInt32(std::istream& stream, int32_t& value);

// A write that the C library or the stream reported as failed. It is a
// TKestFileException whose detail gives the system's reason; FCode is the error
// number (EIO when the stream gave none).
class TWriteFailure : public TKestFileException {
public:
    explicit TWriteFailure(int code);
    int FCode;
};

// Every write of the library goes through these: a short fwrite, an EOF from fputc, a
// negative fprintf or a failed stream throws TWriteFailure at once. Bytes the C library
// still buffers are checked by whoever flushes or closes the file: the path operations
// do; a caller's own file is the caller's to flush.
void PutBytes(FILE* file, const void* bytes, size_t count);
void PutChar(FILE* file, int c);
void PutFormat(FILE* file, const char* format, ...) __attribute__((format(printf, 2, 3)));
void PutBytes(std::ostream& stream, const void* bytes, size_t count);
// Throws TWriteFailure when the stream is failed (after insertions the caller made).
void CheckStream(std::ostream& stream);

}  // namespace kest::io
