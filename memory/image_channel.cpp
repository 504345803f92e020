#include "memory/image_channel.h"

#include <istream>
#include <limits>
#include <ostream>
#include <streambuf>

#include "containers/binary_io.h"
#include "containers/hex_block.h"
#include "containers/kest_exception.h"
#include "memory/mem_buffer.h"
#include "memory/mem_space.h"

namespace kest::detail {

using kest::io::FileRemaining;
using kest::io::StreamRemaining;

// --- text C file ---------------------------------------------------------------

bool TTextFileSource::ReadNumber(int32_t& value) {
    long long number = 0;
    if (std::fscanf(FFile, "%lld", &number) != 1)
        return false;
    if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

bool TTextFileSource::ReadFlag(bool& value) {
    int32_t number = 0;
    if (!ReadNumber(number))
        return false;
    value = number != 0;
    return true;
}

namespace {

// Reads the next piece of a hex block with read(bytes, count, first, total, problem); the
// block starts on the line after the number before it, whose line end next() must give.
template <typename Next, typename Read>
bool ReadHexPiece(THexBlockProgress& block, std::string& problem, uint8_t* bytes, size_t count, Next next,
                  Read read) {
    if (!block.begun)
        block = THexBlockProgress{0, count, true};
    if (block.done == 0 && count > 0 && next() != '\n') {
        problem =
            "the hex block of " + std::to_string(block.total) + " bytes does not start on a line of its own";
        return false;
    }
    if (!read(bytes, count, block.done, block.total, problem))
        return false;
    block.done += count;
    if (block.done >= block.total)
        block = THexBlockProgress{};
    return true;
}

}  // namespace

bool TTextFileSource::ReadBytes(uint8_t* bytes, size_t count) {
    FILE* file = FFile;
    return ReadHexPiece(
        FBlock, FProblem, bytes, count, [file] { return std::fgetc(file); },
        [file](uint8_t* b, size_t n, size_t first, size_t total, std::string& problem) {
            return ReadHexBlock(file, b, n, first, total, problem);
        });
}

namespace {

// Bytes a hex block of characters can hold at most: every byte but the last takes a
// digit and a separator (or two digits), the last at least one digit.
int64_t HexBlockCapacity(int64_t characters) {
    return characters < 0 ? -1 : (characters + 1) / 2;
}

}  // namespace

int64_t TTextFileSource::Remaining() {
    return HexBlockCapacity(FileRemaining(FFile));
}

// --- text stream ---------------------------------------------------------------

bool TTextStreamSource::ReadNumber(int32_t& value) {
    int32_t number = 0;
    if (!(FStream >> number))
        return false;
    value = number;
    return true;
}

bool TTextStreamSource::ReadFlag(bool& value) {
    int32_t number = 0;
    if (!ReadNumber(number))
        return false;
    value = number != 0;
    return true;
}

bool TTextStreamSource::ReadBytes(uint8_t* bytes, size_t count) {
    std::istream& stream = FStream;
    return ReadHexPiece(
        FBlock, FProblem, bytes, count,
        [&stream] {
            const auto c = stream.get();
            return c == std::char_traits<char>::eof() ? EOF : static_cast<int>(c);
        },
        [&stream](uint8_t* b, size_t n, size_t first, size_t total, std::string& problem) {
            return ReadHexBlock(stream, b, n, first, total, problem);
        });
}

int64_t TTextStreamSource::Remaining() {
    return HexBlockCapacity(StreamRemaining(FStream));
}

// --- sinks ---------------------------------------------------------------------

void TTextFileSink::WriteNumber(int32_t value) {
    kest::io::PutFormat(FFile, "%d\n", value);
}

void TTextFileSink::WriteFlag(bool value) {
    WriteNumber(value ? 1 : 0);
}

void TTextFileSink::WriteBytes(const uint8_t* bytes, size_t count) {
    WriteHexBlock(FFile, bytes, count);
}

void TTextStreamSink::WriteNumber(int32_t value) {
    FStream << value << '\n';
    kest::io::CheckStream(FStream);
}

void TTextStreamSink::WriteFlag(bool value) {
    WriteNumber(value ? 1 : 0);
}

void TTextStreamSink::WriteBytes(const uint8_t* bytes, size_t count) {
    WriteHexBlock(FStream, bytes, count);
}

}  // namespace kest::detail
