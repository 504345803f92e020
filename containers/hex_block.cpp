#include "containers/hex_block.h"

#include <cctype>
#include <istream>
#include <ostream>

#include "containers/binary_io.h"

namespace {

constexpr size_t kBytesPerLine = 8;
constexpr char kDigits[] = "0123456789abcdef";

// The value of a hexadecimal digit, or -1.
int HexValue(int c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One byte as "%2x" gives it: blank-padded, lower case.
void FormatByte(uint8_t byte, char out[2]) {
    out[0] = byte < 0x10 ? ' ' : kDigits[byte >> 4];
    out[1] = kDigits[byte & 0x0F];
}

}  // namespace

void WriteHexBlock(FILE* file, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (i != 0)
            kest::io::PutChar(file, i % kBytesPerLine == 0 ? '\n' : ' ');
        char text[2];
        FormatByte(bytes[i], text);
        kest::io::PutBytes(file, text, 2);
    }
    if (count != 0)
        kest::io::PutChar(file, '\n');
}

bool ReadHexBlock(FILE* file, uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        int c = std::fgetc(file);
        while (c != EOF && std::isspace(static_cast<unsigned char>(c)))
            c = std::fgetc(file);
        const int high = HexValue(c);
        if (high < 0) {
            if (c != EOF)
                std::ungetc(c, file);
            return false;
        }
        int value = high;
        c = std::fgetc(file);
        const int low = HexValue(c);
        if (low >= 0) {
            value = value * 16 + low;
        } else if (c != EOF) {
            std::ungetc(c, file);
        }
        bytes[i] = static_cast<uint8_t>(value);
    }
    return true;
}

void WriteHexBlock(std::ostream& stream, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        char text[2];
        FormatByte(bytes[i], text);
        const bool lineFull = (i + 1) % kBytesPerLine == 0;
        const bool last = i + 1 == count;
        const char piece[3] = {text[0], text[1], lineFull || last ? '\n' : ' '};
        kest::io::PutBytes(stream, piece, 3);
    }
}

bool ReadHexBlock(std::istream& stream, uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        stream >> std::ws;
        // Only the first two characters of a token count; the rest of it is consumed
        // without being stored, so a long token costs no memory.
        int value = 0;
        int digits = 0;
        bool inPrefix = true;
        for (int taken = 0;; ++taken) {
            const int c = stream.peek();
            if (c == std::char_traits<char>::eof() || std::isspace(c))
                break;
            stream.get();
            if (!inPrefix || taken >= 2)
                continue;
            const int digit = HexValue(c);
            if (digit < 0) {
                inPrefix = false;
                continue;
            }
            value = value * 16 + digit;
            ++digits;
        }
        if (digits == 0) {
            stream.setstate(std::ios_base::failbit);
            return false;
        }
        bytes[i] = static_cast<uint8_t>(value);
    }
    return true;
}
