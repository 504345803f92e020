// The program's own containers/ folder, with a header of the same name as one of the
// library's: neither may hide the other.
#pragma once

#include <cstdint>
#include <cstdio>

// The program's own reader of a 32-bit number, under a name the library once used too.
bool ReadInt32(FILE* file, int32_t& value);

// Marks that this header, not the library's, was included as "containers/string_container.h".
inline constexpr int kConsumerOwnHeader = 1;
