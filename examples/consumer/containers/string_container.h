// The program's own containers/ folder, with a header of the same name as one of the
// library's: neither may hide the other.
#pragma once

#include <cstdint>
#include <cstdio>

// The program's own helpers, under names the library once used at global scope too.
bool ReadInt32(FILE* file, int32_t& value);
void StoreInt32(int32_t value, uint8_t out[4]);
int EncodePackedInt(int32_t value, uint8_t out[5]);
extern const int AccentHalf;

// Marks that this header, not the library's, was included as "containers/string_container.h".
inline constexpr int kConsumerOwnHeader = 1;
