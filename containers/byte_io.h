// The library's one I/O layer: a byte sink and a byte source over the four media (a C
// file, a standard stream, a memory buffer, a memory space), and the codecs every stored
// form is written and read with over them: little-endian and packed integers, byte blocks
// read in steps, decimal numbers and hex blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iosfwd>
#include <string>

#include "containers/block_allocation.h"
#include "containers/kest_exception.h"

class TMemBuffer;
class TMemSpace;

namespace kest::io {

// Little-endian fields, as every binary image of the library stores its integers and the
// picture files store theirs: the value of 2 or 4 bytes, and the bytes of a value.
inline uint32_t LoadUInt32(const uint8_t in[4]) {
    return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}
inline uint16_t LoadUInt16(const uint8_t in[2]) {
    return static_cast<uint16_t>(in[0] | in[1] << 8);
}
inline void StoreUInt32(uint32_t value, uint8_t out[4]) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(value >> (8 * i));
}
inline void StoreUInt16(uint16_t value, uint8_t out[2]) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}
inline int32_t LoadInt32(const uint8_t in[4]) {
    return static_cast<int32_t>(LoadUInt32(in));
}
inline void StoreInt32(int32_t value, uint8_t out[4]) {
    StoreUInt32(static_cast<uint32_t>(value), out);
}

// A write that the C library or the stream reported as failed. It is a
// TKestFileException whose detail gives the system's reason; FCode is the error
// number (EIO when the medium gave none).
class TWriteFailure : public TKestFileException {
public:
    explicit TWriteFailure(int code);
    int FCode;
};

// Where bytes go: a C file or a stream the caller opened (it stays open), or the end of a
// memory buffer. Exactly one medium is set. Every write is checked at once: a short
// fwrite or a failed stream throws TWriteFailure, a buffer that cannot grow TKestBadAlloc.
// Bytes the C library or the stream still holds are checked by whoever flushes or closes
// it: the path saves do; a caller's own file or stream is the caller's to flush.
class TByteSink {
public:
    explicit TByteSink(FILE* file) : FFile(file) {}
    explicit TByteSink(std::ostream& stream) : FStream(&stream) {}
    explicit TByteSink(TMemBuffer& buffer) : FBuffer(&buffer) {}
    // The absolute position of the next byte (an offset in a buffer), or -1 when the
    // medium cannot tell.
    int64_t Position() const;
    void Write(const void* data, size_t size) const;
    void Put(uint8_t byte) const { Write(&byte, 1); }
    // Overwrites 4 little-endian bytes at an earlier position and goes on at the end;
    // nothing when the medium cannot go back.
    void Patch(int64_t position, int32_t value) const;

    FILE* const FFile = nullptr;
    std::ostream* const FStream = nullptr;
    TMemBuffer* const FBuffer = nullptr;
};

// Where bytes come from: a C file or a stream the caller opened, or the cursor of a
// memory space, which reading advances. Exactly one medium is set. No read throws; a
// short one comes back as false (what was read is consumed, and a stream is failed).
class TByteSource {
public:
    explicit TByteSource(FILE* file) : FFile(file) {}
    explicit TByteSource(std::istream& stream) : FStream(&stream) {}
    explicit TByteSource(TMemSpace& space) : FSpace(&space) {}
    // The absolute position of the next byte, or -1 when the medium cannot tell; once
    // bounded, counted from where the bound was set.
    int64_t Position() const;
    // Reads exactly size bytes; false when fewer are left.
    bool Read(void* data, size_t size) const;
    // Reads up to size bytes; returns how many, 0 only at the end.
    size_t ReadSome(void* data, size_t size) const;
    // Moves forward by size bytes; false when that many are not there.
    bool Skip(int64_t size) const;
    // Bytes left before the end (or the bound), or -1 when the medium cannot tell. The
    // position and a stream's state flags are kept.
    int64_t Remaining() const;
    // The next byte without taking it, or EOF (a stream at its end gets its eofbit).
    int Peek() const;
    // Takes the next byte, or gives EOF.
    int Get() const;
    // The next size bytes where they lie, taken, when the medium is a memory space that
    // holds them; else null and nothing taken.
    const uint8_t* Take(size_t size) const;
    // Lets at most size more bytes be read from here on.
    void Bound(int64_t size) const { FBound = FLeft = size; }

    FILE* const FFile = nullptr;
    std::istream* const FStream = nullptr;
    TMemSpace* const FSpace = nullptr;

private:
    // The bound's size and what is left of it; -1 while unbounded. A source is a handle
    // on its medium, whose reads do not change it: only this bookkeeping follows them.
    mutable int64_t FBound = -1;
    mutable int64_t FLeft = -1;
};

// The names the line-file code reads and writes C files with.
using TFileByteSource = TByteSource;
using TFileByteSink = TByteSink;

// --- the binary codec ----------------------------------------------------------

void WriteInt32(const TByteSink& sink, int32_t value);
// False (value untouched) when fewer than 4 bytes are left.
bool ReadInt32(const TByteSource& source, int32_t& value);

// The packed integer: a count byte (0x80 for negative values) and 1 to 4 magnitude bytes,
// least significant first. Encode writes it into out and returns its length (2..5);
// Decode returns the bytes consumed, or 0 (value untouched) when the count byte announces
// 0 or more than 4 bytes or size is too short.
inline constexpr int kPackedIntMaxLength = 5;
int EncodePackedInt(int32_t value, uint8_t out[5]);
int DecodePackedInt(const uint8_t* data, size_t size, int32_t& value);
void WritePackedInt(const TByteSink& sink, int32_t value);
// False (value untouched) at the end or on a bad count byte; a stream is failed then.
bool ReadPackedInt(const TByteSource& source, int32_t& value);

// Reads a block of count bytes (and extra bytes of room behind them) with
// read(at, first, size), which stores size bytes of the block from its byte first on and
// is false when they are not all there. With left, the bytes the source can still give
// at most (-1: unknown), below count nothing is read or allocated; unknown, the block
// grows in doubling steps from 64 KiB as the bytes arrive, else it is read in one step.
// Null when read fails. Storage that cannot be had throws std::bad_alloc once the rest of
// the block is read past (null when it is not all there).
using TStepReader = std::function<bool(uint8_t* at, size_t first, size_t size)>;
kest::detail::TTempBlock ReadInSteps(size_t count, int64_t left, const TStepReader& read, size_t extra = 0);
// ReadInSteps of raw bytes from source.
kest::detail::TTempBlock ReadBlock(const TByteSource& source, size_t count, size_t extra = 0);

// --- the text codec ------------------------------------------------------------

// Writes value as "%d" does, then the character after.
void WriteDecimal(const TByteSink& sink, int64_t value, char after);
// Reads a decimal number as "%d" does within 32 bits: white space skipped, an optional
// sign, digits. False (value untouched, a stream failed) when there is none or it does
// not fit.
bool ReadDecimal(const TByteSource& source, int32_t& value);

// A number of a memory image: 4 little-endian bytes, or in the text form "%d\n".
void WriteNumber(const TByteSink& sink, int32_t value, bool text);
bool ReadNumber(const TByteSource& source, int32_t& value, bool text);

// The hex block: count bytes as "%2x" (blank-padded, or "%02x" with zeros), " " between
// bytes, "\n" after every eighth and after the last; nothing for count 0.
void WriteHexBlock(const TByteSink& sink, const uint8_t* bytes, size_t count, bool zeros = false);
// Reads what the writer writes, and nothing else: every byte is two characters, a
// hexadecimal digit (either case) or a blank and then a hexadecimal digit, followed by
// " ", or by "\n" after every eighth byte of the block and after its last. The block may
// be read in pieces: first is the index of bytes[0] in the block, total the block's
// length. False at the first character out of place, with problem saying what and where;
// bytes before it are stored, the others keep their values, and a stream is left failed.
bool ReadHexBlock(const TByteSource& source, uint8_t* bytes, size_t count, size_t first, size_t total,
                  std::string& problem);
// Bytes a hex block of that many characters can hold at most (-1 for -1).
inline int64_t HexBlockCapacity(int64_t characters) {
    return characters < 0 ? -1 : (characters + 1) / 2;
}

}  // namespace kest::io
