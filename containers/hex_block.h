// The hex block: raw bytes as text, two hexadecimal characters a byte, eight bytes a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>

// Writes count bytes with "%2x", " " between bytes, "\n" before every eighth and after the last.
// Nothing is written for count 0. Write errors are the file's (ferror).
void WriteHexBlock(FILE* file, const uint8_t* bytes, size_t count);
// Reads count bytes written as above (any white space between them); false when a byte
// cannot be read. Bytes not reached keep their values.
bool ReadHexBlock(FILE* file, uint8_t* bytes, size_t count);
// Stream variants; the reader takes white-space-delimited tokens of one or two hex digits.
void WriteHexBlock(std::ostream& stream, const uint8_t* bytes, size_t count);
bool ReadHexBlock(std::istream& stream, uint8_t* bytes, size_t count);
