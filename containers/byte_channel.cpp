#include "containers/byte_channel.h"

#include <sys/types.h>

#include <cerrno>
#include <istream>
#include <limits>
#include <ostream>
#include <streambuf>

#include "containers/binary_io.h"
#include "containers/kest_exception.h"
#include "memory/mem_buffer.h"

namespace kest::io {

// --- sinks ---------------------------------------------------------------------

int64_t TFileByteSink::Position() {
    return static_cast<int64_t>(::ftello(FFile));
}

void TFileByteSink::Write(const void* data, size_t size) {
    PutBytes(FFile, data, size);
}

void TFileByteSink::Patch(int64_t position, int32_t value) {
    const off_t end = ::ftello(FFile);
    if (position < 0 || end < 0 || ::fseeko(FFile, static_cast<off_t>(position), SEEK_SET) != 0)
        return;
    WriteInt32(FFile, value);
    if (::fseeko(FFile, end, SEEK_SET) != 0)
        throw TWriteFailure(EIO);
}

int64_t TStreamByteSink::Position() {
    return static_cast<int64_t>(FStream.tellp());
}

void TStreamByteSink::Write(const void* data, size_t size) {
    PutBytes(FStream, data, size);
}

void TStreamByteSink::Patch(int64_t position, int32_t value) {
    const std::ostream::pos_type end = FStream.tellp();
    if (position < 0 || end == std::ostream::pos_type(-1))
        return;
    FStream.seekp(position);
    WriteInt32(FStream, value);
    FStream.seekp(end);
    CheckStream(FStream);
}

int64_t TBufferByteSink::Position() {
    return FBuffer.Length();
}

void TBufferByteSink::Write(const void* data, size_t size) {
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw TKestBadAlloc();
    FBuffer.Append(data, static_cast<int32_t>(size));
}

void TBufferByteSink::Patch(int64_t position, int32_t value) {
    uint8_t bytes[4];
    StoreInt32(value, bytes);
    if (position >= 0 && position <= std::numeric_limits<int32_t>::max())
        FBuffer.WriteAt(static_cast<int32_t>(position), bytes, 4);
}

// --- sources -------------------------------------------------------------------

int64_t TFileByteSource::Position() {
    return static_cast<int64_t>(::ftello(FFile));
}

bool TFileByteSource::Read(void* data, size_t size) {
    return std::fread(data, 1, size, FFile) == size;
}

size_t TFileByteSource::ReadSome(void* data, size_t size) {
    return std::fread(data, 1, size, FFile);
}

bool TFileByteSource::Skip(int64_t size) {
    char scrap[512];
    while (size > 0) {
        const size_t step = size > 512 ? 512 : static_cast<size_t>(size);
        if (std::fread(scrap, 1, step, FFile) != step)
            return false;
        size -= static_cast<int64_t>(step);
    }
    return size == 0;
}

int64_t TFileByteSource::Remaining() {
    return FileRemaining(FFile);
}

int64_t TStreamByteSource::Position() {
    return static_cast<int64_t>(FStream.tellg());
}

bool TStreamByteSource::Read(void* data, size_t size) {
    FStream.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    return static_cast<size_t>(FStream.gcount()) == size && !FStream.fail();
}

size_t TStreamByteSource::ReadSome(void* data, size_t size) {
    FStream.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    return static_cast<size_t>(FStream.gcount());
}

bool TStreamByteSource::Skip(int64_t size) {
    if (size < 0)
        return false;
    FStream.ignore(static_cast<std::streamsize>(size));
    return FStream.gcount() == static_cast<std::streamsize>(size);
}

int64_t TStreamByteSource::Remaining() {
    return StreamRemaining(FStream);
}

int64_t TSpaceByteSource::Position() {
    return FSpace.Position();
}

bool TSpaceByteSource::Read(void* data, size_t size) {
    // Nothing to read succeeds anywhere, also at the end where the space's own reader
    // refuses even that.
    if (size == 0)
        return true;
    if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return false;
    return FSpace.ReadBytes(data, static_cast<int32_t>(size)) != nullptr;
}

size_t TSpaceByteSource::ReadSome(void* data, size_t size) {
    const int64_t left = Remaining();
    const size_t count = static_cast<int64_t>(size) < left ? size : static_cast<size_t>(left);
    return Read(data, count) ? count : 0;
}

bool TSpaceByteSource::Skip(int64_t size) {
    const int64_t left = Remaining();
    if (size < 0 || size > left)
        return false;
    if (size == left)
        FSpace.Seek(0, 2);
    else if (size > 0)
        FSpace.Seek(static_cast<int32_t>(size), 1);
    return true;
}

int64_t TSpaceByteSource::Remaining() {
    const int64_t position = FSpace.Position();
    const int64_t length = FSpace.Length();
    if (position < 0 || position >= length)
        return 0;
    return length - position;
}

int64_t FileRemaining(FILE* file) {
    const off_t here = ::ftello(file);
    if (here < 0)
        return -1;
    if (::fseeko(file, 0, SEEK_END) != 0)
        return -1;
    const off_t end = ::ftello(file);
    if (::fseeko(file, here, SEEK_SET) != 0)
        return -1;
    if (end < here)
        return 0;
    return static_cast<int64_t>(end - here);
}

int64_t StreamRemaining(std::istream& stream) {
    std::streambuf* buffer = stream.rdbuf();
    if (buffer == nullptr || !stream.good())
        return -1;
    const std::streampos here = buffer->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (here == std::streampos(-1))
        return -1;
    const std::streampos end = buffer->pubseekoff(0, std::ios_base::end, std::ios_base::in);
    if (buffer->pubseekpos(here, std::ios_base::in) != here)
        return -1;
    if (end == std::streampos(-1))
        return -1;
    const std::streamoff left = end - here;
    return left < 0 ? 0 : static_cast<int64_t>(left);
}

}  // namespace kest::io
