#include "containers/hex_block.h"

#include <istream>
#include <ostream>
#include <streambuf>

#include "containers/binary_io.h"

namespace kest::detail {

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

// A character for a message: itself when printable, else its code.
std::string Shown(int c) {
    if (c == EOF)
        return "the end of the data";
    if (c == '\n')
        return "a line end";
    if (c >= 0x20 && c < 0x7F)
        return std::string("\"") + static_cast<char>(c) + "\"";
    return "byte " + std::to_string(c & 0xFF);
}

// The reader proper over a source of characters: next() gives the next one or EOF.
template <typename Next>
bool ReadBlock(Next next, uint8_t* bytes, size_t count, size_t first, size_t total, std::string& problem) {
    for (size_t i = 0; i < count; ++i) {
        const size_t index = first + i;
        const std::string where =
            "byte " + std::to_string(index + 1) + " of " + std::to_string(total) + " of the hex block";
        const int high = next();
        const int low = high == EOF ? EOF : next();
        const int highValue = high == ' ' ? 0 : HexValue(high);
        const int lowValue = HexValue(low);
        if (highValue < 0 || lowValue < 0) {
            const int wrong = highValue < 0 ? high : low;
            problem = where + ": " + Shown(wrong) + " where a hexadecimal digit belongs";
            return false;
        }
        bytes[i] = static_cast<uint8_t>(highValue * 16 + lowValue);
        const bool lineEnds = (index + 1) % kBytesPerLine == 0 || index + 1 == total;
        const int separator = next();
        if (separator != (lineEnds ? '\n' : ' ')) {
            problem = where + ": " + Shown(separator) + " where " + (lineEnds ? "a line end" : "a blank") +
                      " belongs";
            return false;
        }
    }
    return true;
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

bool ReadHexBlock(FILE* file, uint8_t* bytes, size_t count, size_t first, size_t total,
                  std::string& problem) {
    return ReadBlock([file] { return std::fgetc(file); }, bytes, count, first, total, problem);
}

bool ReadHexBlock(std::istream& stream, uint8_t* bytes, size_t count, size_t first, size_t total,
                  std::string& problem) {
    std::streambuf* buffer = stream.rdbuf();
    if (buffer == nullptr || !stream.good()) {
        stream.setstate(std::ios_base::failbit);
        problem = "byte " + std::to_string(first + 1) + " of " + std::to_string(total) +
                  " of the hex block: the stream has failed";
        return false;
    }
    const bool read = ReadBlock(
        [buffer] {
            const auto c = buffer->sbumpc();
            return c == std::char_traits<char>::eof() ? EOF : static_cast<int>(static_cast<unsigned char>(c));
        },
        bytes, count, first, total, problem);
    if (!read)
        stream.setstate(std::ios_base::failbit);
    return read;
}

bool ReadHexBlock(FILE* file, uint8_t* bytes, size_t count) {
    std::string problem;
    return ReadHexBlock(file, bytes, count, 0, count, problem);
}

bool ReadHexBlock(std::istream& stream, uint8_t* bytes, size_t count) {
    std::string problem;
    return ReadHexBlock(stream, bytes, count, 0, count, problem);
}

}  // namespace kest::detail
