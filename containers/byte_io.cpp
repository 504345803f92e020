#include "containers/byte_io.h"

#include <sys/types.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <istream>
#include <limits>
#include <new>
#include <ostream>
#include <streambuf>

#include "memory/mem_buffer.h"

namespace kest::io {

namespace {

// The error number of a failure just seen, or EIO when the medium left none.
int LastError() {
    return errno != 0 ? errno : EIO;
}

// Bytes between the file's position and its end, or -1 for a file that cannot seek (a
// pipe, a terminal). The position is kept.
int64_t FileRemaining(FILE* file) {
    const off_t here = ::ftello(file);
    if (here < 0 || ::fseeko(file, 0, SEEK_END) != 0)
        return -1;
    const off_t end = ::ftello(file);
    if (::fseeko(file, here, SEEK_SET) != 0)
        return -1;
    return end < here ? 0 : static_cast<int64_t>(end - here);
}

// Characters between the stream's read position and its end, or -1 when it cannot seek.
int64_t StreamRemaining(std::istream& stream) {
    std::streambuf* buffer = stream.rdbuf();
    if (buffer == nullptr || !stream.good())
        return -1;
    const std::streampos here = buffer->pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (here == std::streampos(-1))
        return -1;
    const std::streampos end = buffer->pubseekoff(0, std::ios_base::end, std::ios_base::in);
    if (buffer->pubseekpos(here, std::ios_base::in) != here || end == std::streampos(-1))
        return -1;
    const std::streamoff left = end - here;
    return left < 0 ? 0 : static_cast<int64_t>(left);
}

int64_t SpaceRemaining(const TMemSpace& space) {
    const int32_t position = space.Position();
    return position < 0 || position >= space.Length() ? 0 : int64_t{space.Length()} - position;
}

}  // namespace

TWriteFailure::TWriteFailure(int code)
    : TKestFileException(std::string("Could not write: ") + std::strerror(code)), FCode(code) {}

// --- the sink ------------------------------------------------------------------

int64_t TByteSink::Position() const {
    if (FFile != nullptr)
        return static_cast<int64_t>(::ftello(FFile));
    if (FStream != nullptr)
        return static_cast<int64_t>(FStream->tellp());
    return FBuffer->Length();
}

void TByteSink::Write(const void* data, size_t size) const {
    if (FBuffer != nullptr) {
        if (size > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            throw TKestBadAlloc();
        FBuffer->Append(data, static_cast<int32_t>(size));
        return;
    }
    errno = 0;
    if (FStream != nullptr) {
        FStream->write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!*FStream)
            throw TWriteFailure(LastError());
        return;
    }
    if (FFile == nullptr)
        throw TWriteFailure(EBADF);
    if (size != 0 && std::fwrite(data, 1, size, FFile) != size)
        throw TWriteFailure(LastError());
}

void TByteSink::Patch(int64_t position, int32_t value) const {
    uint8_t bytes[4];
    StoreInt32(value, bytes);
    if (FBuffer != nullptr) {
        if (position >= 0 && position <= std::numeric_limits<int32_t>::max())
            FBuffer->WriteAt(static_cast<int32_t>(position), bytes, 4);
        return;
    }
    const int64_t end = Position();
    if (position < 0 || end < 0)
        return;
    if (FStream != nullptr) {
        FStream->seekp(position);
        Write(bytes, 4);
        FStream->seekp(end);
        if (!*FStream)
            throw TWriteFailure(LastError());
        return;
    }
    if (::fseeko(FFile, static_cast<off_t>(position), SEEK_SET) != 0)
        return;
    Write(bytes, 4);
    if (::fseeko(FFile, static_cast<off_t>(end), SEEK_SET) != 0)
        throw TWriteFailure(EIO);
}

// --- the source ----------------------------------------------------------------

int64_t TByteSource::Position() const {
    if (FLeft >= 0)
        return FBound - FLeft;
    if (FFile != nullptr)
        return static_cast<int64_t>(::ftello(FFile));
    if (FStream != nullptr)
        return static_cast<int64_t>(FStream->tellg());
    return FSpace->Position();
}

bool TByteSource::Read(void* data, size_t size) const {
    return ReadSome(data, size) == size;
}

size_t TByteSource::ReadSome(void* data, size_t size) const {
    if (FLeft >= 0 && static_cast<int64_t>(size) > FLeft)
        size = static_cast<size_t>(FLeft);
    size_t got = 0;
    if (FFile != nullptr) {
        got = std::fread(data, 1, size, FFile);
    } else if (FStream != nullptr) {
        FStream->read(static_cast<char*>(data), static_cast<std::streamsize>(size));
        got = static_cast<size_t>(FStream->gcount());
    } else {
        got = std::min(size, static_cast<size_t>(SpaceRemaining(*FSpace)));
        if (got > 0)
            FSpace->ReadBytes(data, static_cast<int32_t>(got));
    }
    if (FLeft >= 0)
        FLeft -= static_cast<int64_t>(got);
    return got;
}

bool TByteSource::Skip(int64_t size) const {
    if (size < 0 || (FLeft >= 0 && size > FLeft))
        return false;
    if (FSpace != nullptr) {
        if (size > SpaceRemaining(*FSpace))
            return false;
        FSpace->FPosition += static_cast<int32_t>(size);
        return true;
    }
    uint8_t scrap[4096];
    for (; size > 0; size -= static_cast<int64_t>(sizeof scrap))
        if (!Read(scrap, static_cast<size_t>(std::min<int64_t>(size, sizeof scrap))))
            return false;
    return true;
}

int64_t TByteSource::Remaining() const {
    if (FLeft >= 0)
        return FLeft;
    if (FFile != nullptr)
        return FileRemaining(FFile);
    if (FStream != nullptr)
        return StreamRemaining(*FStream);
    return SpaceRemaining(*FSpace);
}

int TByteSource::Peek() const {
    if (FLeft == 0)
        return EOF;
    if (FFile != nullptr) {
        const int c = std::fgetc(FFile);
        return c == EOF ? EOF : std::ungetc(c, FFile);
    }
    if (FStream != nullptr) {
        const int c = FStream->good() ? FStream->rdbuf()->sgetc() : EOF;
        if (c == EOF)
            FStream->setstate(std::ios_base::eofbit);
        return c;
    }
    return SpaceRemaining(*FSpace) > 0 ? FSpace->Data()[FSpace->Position()] : EOF;
}

const uint8_t* TByteSource::Take(size_t size) const {
    if (FSpace == nullptr || static_cast<int64_t>(size) > SpaceRemaining(*FSpace))
        return nullptr;
    const uint8_t* at = FSpace->Data() + FSpace->Position();
    FSpace->FPosition += static_cast<int32_t>(size);
    return at;
}

int TByteSource::Get() const {
    uint8_t byte = 0;
    return Read(&byte, 1) ? byte : EOF;
}

// --- the binary codec ----------------------------------------------------------

void WriteInt32(const TByteSink& sink, int32_t value) {
    uint8_t bytes[4];
    StoreInt32(value, bytes);
    sink.Write(bytes, 4);
}

bool ReadInt32(const TByteSource& source, int32_t& value) {
    uint8_t bytes[4];
    if (!source.Read(bytes, 4))
        return false;
    value = LoadInt32(bytes);
    return true;
}

namespace {

constexpr uint8_t kNegativeBit = 0x80;
constexpr uint8_t kCountMask = 0x7F;

}  // namespace

int EncodePackedInt(int32_t value, uint8_t out[5]) {
    // The magnitude as unsigned, so that the most negative value has one too.
    const uint32_t bits = static_cast<uint32_t>(value);
    const uint32_t magnitude = value < 0 ? 0u - bits : bits;
    int n = 1;
    while (n < 4 && magnitude >> (8 * n) != 0)
        ++n;
    out[0] = static_cast<uint8_t>(n | (value < 0 ? kNegativeBit : 0));
    for (int i = 0; i < n; ++i)
        out[1 + i] = static_cast<uint8_t>(magnitude >> (8 * i));
    return n + 1;
}

int DecodePackedInt(const uint8_t* data, size_t size, int32_t& value) {
    if (data == nullptr || size < 1)
        return 0;
    const int n = data[0] & kCountMask;
    if (n < 1 || n > 4 || size < static_cast<size_t>(n) + 1)
        return 0;
    uint32_t magnitude = 0;
    for (int i = 0; i < n; ++i)
        magnitude |= static_cast<uint32_t>(data[1 + i]) << (8 * i);
    // A magnitude that does not fit the sign wraps as two's complement would.
    value = static_cast<int32_t>((data[0] & kNegativeBit) ? 0u - magnitude : magnitude);
    return n + 1;
}

void WritePackedInt(const TByteSink& sink, int32_t value) {
    uint8_t bytes[kPackedIntMaxLength];
    sink.Write(bytes, static_cast<size_t>(EncodePackedInt(value, bytes)));
}

bool ReadPackedInt(const TByteSource& source, int32_t& value) {
    uint8_t bytes[kPackedIntMaxLength];
    if (!source.Read(bytes, 1))
        return false;
    const size_t n = bytes[0] & kCountMask;
    if (n >= 1 && n <= 4 && source.Read(bytes + 1, n))
        return DecodePackedInt(bytes, n + 1, value) != 0;
    if (source.FStream != nullptr)
        source.FStream->setstate(std::ios_base::failbit);
    return false;
}

namespace {

// The first step of a block whose source cannot tell its size.
constexpr size_t kFirstStep = size_t{64} * 1024;

}  // namespace

kest::detail::TTempBlock ReadInSteps(size_t count, int64_t left, const TStepReader& read, size_t extra) {
    if (left >= 0 && static_cast<uint64_t>(left) < count)
        return nullptr;
    size_t room = left >= 0 ? count : std::min(count, kFirstStep);
    size_t done = 0;
    kest::detail::TTempBlock block(
        static_cast<uint8_t*>(kest::detail::AllocateBlock(std::max<size_t>(room + extra, 1))));
    while (block != nullptr) {
        if (!read(block.get() + done, done, room - done))
            return nullptr;
        if (room == count)
            return block;
        done = room;
        room = std::min(count, room * 2);
        auto* larger = static_cast<uint8_t*>(kest::detail::ResizeBlock(block.get(), room + extra));
        if (larger != nullptr)
            (void)block.release();
        block.reset(larger);
    }
    // No room: the rest of the block is read past, so that what follows it is in place.
    uint8_t scrap[4096];
    for (; done < count; done += sizeof scrap)
        if (!read(scrap, done, std::min(count - done, sizeof scrap)))
            return nullptr;
    throw std::bad_alloc();
}

kest::detail::TTempBlock ReadBlock(const TByteSource& source, size_t count, size_t extra) {
    return ReadInSteps(
        count, source.Remaining(),
        [&source](uint8_t* at, size_t, size_t size) { return source.Read(at, size); }, extra);
}

// --- the text codec ------------------------------------------------------------

void WriteDecimal(const TByteSink& sink, int64_t value, char after) {
    char text[24];
    const int length = std::snprintf(text, sizeof text, "%lld%c", static_cast<long long>(value), after);
    sink.Write(text, static_cast<size_t>(length));
}

bool ReadDecimal(const TByteSource& source, int32_t& value) {
    int c = source.Peek();
    for (; c != EOF && std::isspace(c); c = source.Peek())
        source.Get();
    const bool negative = c == '-';
    if (c == '-' || c == '+')
        source.Get();
    // The magnitude of the most negative value; a larger one stays larger.
    constexpr int64_t kMost = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    bool digits = false;
    int64_t number = 0;
    for (c = source.Peek(); c >= '0' && c <= '9'; c = source.Peek()) {
        source.Get();
        digits = true;
        if (number <= kMost)
            number = number * 10 + (c - '0');
    }
    if (!digits || number > (negative ? kMost : kMost - 1)) {
        if (source.FStream != nullptr)
            source.FStream->setstate(std::ios_base::failbit);
        return false;
    }
    value = static_cast<int32_t>(negative ? -number : number);
    return true;
}

void WriteNumber(const TByteSink& sink, int32_t value, bool text) {
    if (text)
        WriteDecimal(sink, value, '\n');
    else
        WriteInt32(sink, value);
}

bool ReadNumber(const TByteSource& source, int32_t& value, bool text) {
    return text ? ReadDecimal(source, value) : ReadInt32(source, value);
}

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

}  // namespace

void WriteHexBlock(const TByteSink& sink, const uint8_t* bytes, size_t count, bool zeros) {
    for (size_t i = 0; i < count; ++i) {
        const bool lineEnds = (i + 1) % kBytesPerLine == 0 || i + 1 == count;
        const char piece[3] = {bytes[i] < 0x10 && !zeros ? ' ' : kDigits[bytes[i] >> 4],
                               kDigits[bytes[i] & 0x0F], lineEnds ? '\n' : ' '};
        sink.Write(piece, 3);
    }
}

namespace {

// Reads one byte of a hex block, its two characters and the separator after it (a line
// end when lineEnds); what is out of place, or nothing.
std::string ReadHexByte(const TByteSource& source, bool lineEnds, uint8_t& byte) {
    const int high = source.Get();
    const int low = high == EOF ? EOF : source.Get();
    const int highValue = high == ' ' ? 0 : HexValue(high);
    const int lowValue = HexValue(low);
    if (highValue < 0 || lowValue < 0)
        return Shown(highValue < 0 ? high : low) + " where a hexadecimal digit belongs";
    byte = static_cast<uint8_t>(highValue * 16 + lowValue);
    const int separator = source.Get();
    if (separator != (lineEnds ? '\n' : ' '))
        return Shown(separator) + " where " + (lineEnds ? "a line end" : "a blank") + " belongs";
    return std::string();
}

}  // namespace

bool ReadHexBlock(const TByteSource& source, uint8_t* bytes, size_t count, size_t first, size_t total,
                  std::string& problem) {
    for (size_t i = 0; i < count; ++i) {
        const size_t index = first + i;
        const std::string wrong =
            ReadHexByte(source, (index + 1) % kBytesPerLine == 0 || index + 1 == total, bytes[i]);
        if (wrong.empty())
            continue;
        problem = "byte " + std::to_string(index + 1) + " of " + std::to_string(total) +
                  " of the hex block: " + wrong;
        if (source.FStream != nullptr)
            source.FStream->setstate(std::ios_base::failbit);
        return false;
    }
    return true;
}

}  // namespace kest::io
