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

void StoreLittleEndian32(uint32_t value, uint8_t out[4]) { StoreInt32(static_cast<int32_t>(value), out); }

uint32_t LoadLittleEndian32(const uint8_t in[4]) { return static_cast<uint32_t>(LoadInt32(in)); }

namespace {

// Bytes between the file's position and its end, or -1 for a file that cannot seek
// (a pipe, a terminal). The position is restored.
int64_t FileRemaining(FILE* file) {
    const off_t here = ftello(file);
    if (here < 0) return -1;
    if (fseeko(file, 0, SEEK_END) != 0) return -1;
    const off_t end = ftello(file);
    if (fseeko(file, here, SEEK_SET) != 0) return -1;
    if (end < here) return 0;
    return static_cast<int64_t>(end - here);
}

// Characters between the stream's read position and its end, or -1 when the stream
// cannot seek. Works on the buffer directly so the stream's state flags stay as they are.
int64_t StreamRemaining(std::istream& stream) {
    std::streambuf* buffer = stream.rdbuf();
    if (buffer == nullptr || !stream.good()) return -1;
    const std::streampos here = buffer->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (here == std::streampos(-1)) return -1;
    const std::streampos end = buffer->pubseekoff(0, std::ios_base::end, std::ios_base::in);
    if (buffer->pubseekpos(here, std::ios_base::in) != here) return -1;
    if (end == std::streampos(-1)) return -1;
    const std::streamoff left = end - here;
    return left < 0 ? 0 : static_cast<int64_t>(left);
}

int32_t ToSigned(uint32_t value) {
    return static_cast<int32_t>(value);
}

}  // namespace

// --- binary C file -------------------------------------------------------------

bool TBinaryFileSource::ReadNumber(int32_t& value) {
    uint8_t bytes[4];
    if (std::fread(bytes, 1, 4, FFile) != 4) return false;
    value = ToSigned(LoadLittleEndian32(bytes));
    return true;
}

bool TBinaryFileSource::ReadFlag(bool& value) {
    const int c = std::fgetc(FFile);
    if (c == EOF) return false;
    value = c != 0;
    return true;
}

bool TBinaryFileSource::ReadBytes(uint8_t* bytes, size_t count) {
    return std::fread(bytes, 1, count, FFile) == count;
}

int64_t TBinaryFileSource::Remaining() {
    return FileRemaining(FFile);
}

// --- text C file ---------------------------------------------------------------

bool TTextFileSource::ReadNumber(int32_t& value) {
    long long number = 0;
    if (std::fscanf(FFile, "%lld", &number) != 1) return false;
    if (number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    value = static_cast<int32_t>(number);
    return true;
}

bool TTextFileSource::ReadFlag(bool& value) {
    int32_t number = 0;
    if (!ReadNumber(number)) return false;
    value = number != 0;
    return true;
}

bool TTextFileSource::ReadBytes(uint8_t* bytes, size_t count) {
    return ReadHexBlock(FFile, bytes, count);
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

// --- binary stream -------------------------------------------------------------

bool TBinaryStreamSource::ReadNumber(int32_t& value) {
    uint8_t bytes[4];
    if (!ReadBytes(bytes, 4)) return false;
    value = ToSigned(LoadLittleEndian32(bytes));
    return true;
}

bool TBinaryStreamSource::ReadFlag(bool& value) {
    uint8_t byte = 0;
    if (!ReadBytes(&byte, 1)) return false;
    value = byte != 0;
    return true;
}

bool TBinaryStreamSource::ReadBytes(uint8_t* bytes, size_t count) {
    FStream.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count));
    return static_cast<size_t>(FStream.gcount()) == count && !FStream.fail();
}

int64_t TBinaryStreamSource::Remaining() {
    return StreamRemaining(FStream);
}

// --- text stream ---------------------------------------------------------------

bool TTextStreamSource::ReadNumber(int32_t& value) {
    int32_t number = 0;
    if (!(FStream >> number)) return false;
    value = number;
    return true;
}

bool TTextStreamSource::ReadFlag(bool& value) {
    int32_t number = 0;
    if (!ReadNumber(number)) return false;
    value = number != 0;
    return true;
}

bool TTextStreamSource::ReadBytes(uint8_t* bytes, size_t count) {
    return ReadHexBlock(FStream, bytes, count);
}

int64_t TTextStreamSource::Remaining() {
    return HexBlockCapacity(StreamRemaining(FStream));
}

// --- memory space --------------------------------------------------------------

bool TSpaceSource::ReadNumber(int32_t& value) {
    uint8_t bytes[4];
    if (!ReadBytes(bytes, 4)) return false;
    value = ToSigned(LoadLittleEndian32(bytes));
    return true;
}

bool TSpaceSource::ReadFlag(bool& value) {
    uint8_t byte = 0;
    if (!ReadBytes(&byte, 1)) return false;
    value = byte != 0;
    return true;
}

bool TSpaceSource::ReadBytes(uint8_t* bytes, size_t count) {
    if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
    return FSpace.ReadBytes(bytes, static_cast<int32_t>(count)) != nullptr;
}

int64_t TSpaceSource::Remaining() {
    const int64_t position = FSpace.Position();
    const int64_t length = FSpace.Length();
    if (position < 0 || position >= length) return 0;
    return length - position;
}

// --- sinks ---------------------------------------------------------------------

void TBinaryFileSink::WriteNumber(int32_t value) {
    WriteInt32(FFile, value);
}

void TBinaryFileSink::WriteFlag(bool value) {
    kest::io::PutChar(FFile, value ? 1 : 0);
}

void TBinaryFileSink::WriteBytes(const uint8_t* bytes, size_t count) {
    kest::io::PutBytes(FFile, bytes, count);
}

void TTextFileSink::WriteNumber(int32_t value) {
    kest::io::PutFormat(FFile, "%d\n", value);
}

void TTextFileSink::WriteFlag(bool value) {
    WriteNumber(value ? 1 : 0);
}

void TTextFileSink::WriteBytes(const uint8_t* bytes, size_t count) {
    WriteHexBlock(FFile, bytes, count);
}

void TBinaryStreamSink::WriteNumber(int32_t value) {
    uint8_t bytes[4];
    StoreLittleEndian32(static_cast<uint32_t>(value), bytes);
    WriteBytes(bytes, 4);
}

void TBinaryStreamSink::WriteFlag(bool value) {
    const uint8_t byte = value ? 1 : 0;
    WriteBytes(&byte, 1);
}

void TBinaryStreamSink::WriteBytes(const uint8_t* bytes, size_t count) {
    kest::io::PutBytes(FStream, bytes, count);
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

void TBufferSink::WriteNumber(int32_t value) {
    uint8_t bytes[4];
    StoreLittleEndian32(static_cast<uint32_t>(value), bytes);
    FBuffer.Append(bytes, 4);
}

void TBufferSink::WriteFlag(bool value) {
    const uint8_t byte = value ? 1 : 0;
    FBuffer.Append(&byte, 1);
}

void TBufferSink::WriteBytes(const uint8_t* bytes, size_t count) {
    if (count > static_cast<size_t>(std::numeric_limits<int32_t>::max())) throw TKestBadAlloc();
    FBuffer.Append(bytes, static_cast<int32_t>(count));
}

}  // namespace kest::detail
