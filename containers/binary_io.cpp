#include "containers/binary_io.h"

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>

namespace kest::io {

void WriteInt32(FILE* file, int32_t value) {
    uint8_t bytes[4];
    StoreInt32(value, bytes);
    PutBytes(file, bytes, 4);
}

void WriteInt32(std::ostream& stream, int32_t value) {
    uint8_t bytes[4];
    StoreInt32(value, bytes);
    PutBytes(stream, bytes, 4);
}

bool ReadInt32(FILE* file, int32_t& value) {
    uint8_t bytes[4];
    if (std::fread(bytes, 1, 4, file) != 4)
        return false;
    value = LoadInt32(bytes);
    return true;
}

bool ReadInt32(std::istream& stream, int32_t& value) {
    char bytes[4];
    if (!stream.read(bytes, 4))
        return false;
    value = LoadInt32(reinterpret_cast<const uint8_t*>(bytes));
    return true;
}

namespace {

// The error number of a failure just seen, or EIO when the C library left none.
int LastError() {
    return errno != 0 ? errno : EIO;
}

}  // namespace

TWriteFailure::TWriteFailure(int code)
    : TKestFileException(std::string("Could not write: ") + std::strerror(code)), FCode(code) {}

void PutBytes(FILE* file, const void* bytes, size_t count) {
    if (count == 0)
        return;
    errno = 0;
    if (file == nullptr)
        throw TWriteFailure(EBADF);
    if (std::fwrite(bytes, 1, count, file) != count)
        throw TWriteFailure(LastError());
}

void PutChar(FILE* file, int c) {
    errno = 0;
    if (file == nullptr)
        throw TWriteFailure(EBADF);
    if (std::fputc(c, file) == EOF)
        throw TWriteFailure(LastError());
}

void PutFormat(FILE* file, const char* format, ...) {
    errno = 0;
    if (file == nullptr)
        throw TWriteFailure(EBADF);
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vfprintf(file, format, arguments);
    va_end(arguments);
    if (written < 0)
        throw TWriteFailure(LastError());
}

void PutBytes(std::ostream& stream, const void* bytes, size_t count) {
    errno = 0;
    stream.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    if (!stream)
        throw TWriteFailure(LastError());
}

void CheckStream(std::ostream& stream) {
    if (!stream)
        throw TWriteFailure(LastError());
}

}  // namespace kest::io
