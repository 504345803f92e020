// Little-endian 32-bit integers on C files and streams, as every binary image of the library stores them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>

// The four little-endian bytes of value into out.
void StoreInt32(int32_t value, uint8_t out[4]);
// The value of four little-endian bytes.
int32_t LoadInt32(const uint8_t in[4]);

// Writes value as 4 little-endian bytes; write errors are the file's or stream's.
void WriteInt32(FILE* file, int32_t value);
void WriteInt32(std::ostream& stream, int32_t value);
// Reads 4 little-endian bytes; false (value untouched) when fewer are left.
bool ReadInt32(FILE* file, int32_t& value);
bool ReadInt32(std::istream& stream, int32_t& value);
