// The hex block: raw bytes as text, two characters a byte, eight bytes a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>

namespace kest::detail {

// Writes count bytes with "%2x", " " between bytes, "\n" before every eighth and after the last.
// Nothing is written for count 0. A failed write throws TWriteFailure.
void WriteHexBlock(FILE* file, const uint8_t* bytes, size_t count);
void WriteHexBlock(std::ostream& stream, const uint8_t* bytes, size_t count);

// Reads what the writers write, and nothing else, from a C file or a stream alike: every
// byte is two characters, a hexadecimal digit (either case) or a blank and then a
// hexadecimal digit, followed by " ", or by "\n" after every eighth byte of the block and
// after its last. The block may be read in pieces: first is the index of bytes[0] in the
// block, total the block's length. False at the first character out of place, with
// problem saying what and where; bytes before it are stored, the others keep their values,
// and a stream is left failed.
bool ReadHexBlock(FILE* file, uint8_t* bytes, size_t count, size_t first, size_t total, std::string& problem);
bool ReadHexBlock(std::istream& stream, uint8_t* bytes, size_t count, size_t first, size_t total,
                  std::string& problem);
// A whole block of count bytes.
bool ReadHexBlock(FILE* file, uint8_t* bytes, size_t count);
bool ReadHexBlock(std::istream& stream, uint8_t* bytes, size_t count);

}  // namespace kest::detail
