// The packed integer: a count byte and 1 to 4 magnitude bytes, least significant first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>

namespace kest::detail {

// Longest packed form: the count byte and four magnitude bytes.
inline constexpr int kPackedIntMaxLength = 5;

// Writes the packed form of value into out; returns its length (2..5). Never throws.
int EncodePackedInt(int32_t value, uint8_t out[5]);
// Decodes the packed form at data[0..size); returns the bytes consumed, or 0 when the
// count byte announces 0 or more than 4 bytes or the data is too short (value untouched).
int DecodePackedInt(const uint8_t* data, size_t size, int32_t& value);

// Writes the packed form to the file; a failed write throws TWriteFailure.
void WritePackedInt(FILE* file, int32_t value);
// Reads one packed form; false (value untouched) at end of file or on a bad count byte.
bool ReadPackedInt(FILE* file, int32_t& value);
// Stream variants of the two above; a failed read also leaves the stream failed.
void WritePackedInt(std::ostream& stream, int32_t value);
bool ReadPackedInt(std::istream& stream, int32_t& value);

}  // namespace kest::detail
