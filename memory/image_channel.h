// Number, flag and payload readers and writers of memory-space images, binary (on the
// byte media of containers/byte_channel.h) and text (decimal lines and hex blocks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>
#include <type_traits>
#include <utility>

#include "containers/binary_io.h"
#include "containers/byte_channel.h"

class TMemBuffer;
class TMemSpace;

namespace kest::detail {

// Where an image is read from. Binary sources give numbers as 4 little-endian bytes,
// the flag as one byte and payload bytes raw; text sources give decimal numbers and
// payload bytes as a hex block. No source throws; failures come back as false.
class TImageSource {
public:
    virtual ~TImageSource() = default;
    // Reads one 32-bit number; false when it is missing, malformed or out of range.
    virtual bool ReadNumber(int32_t& value) = 0;
    // Reads the compressed flag (any non-zero value is true); false when it is missing.
    virtual bool ReadFlag(bool& value) = 0;
    // Reads exactly count payload bytes into bytes; false when fewer could be read.
    virtual bool ReadBytes(uint8_t* bytes, size_t count) = 0;
    // An upper bound on the payload bytes still deliverable, or -1 when it cannot be known.
    virtual int64_t Remaining() = 0;
    // True when payload bytes arrive raw, so that within Remaining() only an I/O error can
    // stop them; false when they are text that may still turn out malformed.
    virtual bool RawBytes() const = 0;
    // Announces a payload of total bytes, which the following ReadBytes calls deliver,
    // possibly in pieces; a text source checks the hex block's layout against it. Without
    // it, each ReadBytes is a whole block.
    virtual void BeginBytes(size_t total) { (void)total; }
    // What the last failed read found wrong and where; empty when it has nothing to say.
    const std::string& Problem() const { return FProblem; }

protected:
    std::string FProblem;
};

// The hex block of a text source: where a payload read in pieces has got to.
struct THexBlockProgress {
    size_t done = 0;
    size_t total = 0;
    bool begun = false;
};

// Where an image is written to. Every write is checked: a failed one throws TWriteFailure
// (a TKestFileException), a memory buffer that cannot grow TKestBadAlloc.
class TImageSink {
public:
    virtual ~TImageSink() = default;
    // Writes one 32-bit number.
    virtual void WriteNumber(int32_t value) = 0;
    // Writes the compressed flag as 0 or 1.
    virtual void WriteFlag(bool value) = 0;
    // Writes the count payload bytes as one block.
    virtual void WriteBytes(const uint8_t* bytes, size_t count) = 0;
};

// Binary image on a byte medium (kest::io): numbers as 4 little-endian bytes, the flag as
// one byte, payload bytes raw.
template <typename Medium>
class TBinarySource final : public TImageSource {
public:
    // Takes the medium's target; never another TBinarySource, so copying and moving stay the
    // compiler's.
    template <typename Target,
              typename = std::enable_if_t<!std::is_same_v<std::remove_cvref_t<Target>, TBinarySource>>>
    explicit TBinarySource(Target&& target) : FBytes(std::forward<Target>(target)) {}
    bool ReadNumber(int32_t& value) override {
        uint8_t bytes[4];
        if (!FBytes.Read(bytes, 4))
            return false;
        value = kest::io::LoadInt32(bytes);
        return true;
    }
    bool ReadFlag(bool& value) override {
        uint8_t byte = 0;
        if (!FBytes.Read(&byte, 1))
            return false;
        value = byte != 0;
        return true;
    }
    bool ReadBytes(uint8_t* bytes, size_t count) override { return FBytes.Read(bytes, count); }
    int64_t Remaining() override { return FBytes.Remaining(); }
    bool RawBytes() const override { return true; }

private:
    Medium FBytes;
};

// Binary image on a C file opened by the caller.
using TBinaryFileSource = TBinarySource<kest::io::TFileByteSource>;
// Binary image on an input stream.
using TBinaryStreamSource = TBinarySource<kest::io::TStreamByteSource>;
// Binary image at the cursor of a memory space; reading advances that cursor.
using TSpaceSource = TBinarySource<kest::io::TSpaceByteSource>;

// Text image on a C file opened by the caller.
class TTextFileSource final : public TImageSource {
public:
    explicit TTextFileSource(FILE* file) : FFile(file) {}
    bool ReadNumber(int32_t& value) override;
    bool ReadFlag(bool& value) override;
    bool ReadBytes(uint8_t* bytes, size_t count) override;
    int64_t Remaining() override;
    bool RawBytes() const override { return false; }
    void BeginBytes(size_t total) override { FBlock = THexBlockProgress{0, total, true}; }

private:
    THexBlockProgress FBlock;
    FILE* FFile;
};

// Text image on an input stream.
class TTextStreamSource final : public TImageSource {
public:
    explicit TTextStreamSource(std::istream& stream) : FStream(stream) {}
    bool ReadNumber(int32_t& value) override;
    bool ReadFlag(bool& value) override;
    bool ReadBytes(uint8_t* bytes, size_t count) override;
    int64_t Remaining() override;
    bool RawBytes() const override { return false; }
    void BeginBytes(size_t total) override { FBlock = THexBlockProgress{0, total, true}; }

private:
    THexBlockProgress FBlock;
    std::istream& FStream;
};

// Binary image on a byte medium (kest::io): the same bytes on every medium. Writes are
// checked by the medium.
template <typename Medium>
class TBinarySink final : public TImageSink {
public:
    // Takes the medium's target; never another TBinarySink, so copying and moving stay the
    // compiler's.
    template <typename Target,
              typename = std::enable_if_t<!std::is_same_v<std::remove_cvref_t<Target>, TBinarySink>>>
    explicit TBinarySink(Target&& target) : FBytes(std::forward<Target>(target)) {}
    void WriteNumber(int32_t value) override {
        uint8_t bytes[4];
        kest::io::StoreInt32(value, bytes);
        FBytes.Write(bytes, 4);
    }
    void WriteFlag(bool value) override {
        const uint8_t byte = value ? 1 : 0;
        FBytes.Write(&byte, 1);
    }
    void WriteBytes(const uint8_t* bytes, size_t count) override { FBytes.Write(bytes, count); }

private:
    Medium FBytes;
};

// Binary image on a C file opened by the caller.
using TBinaryFileSink = TBinarySink<kest::io::TFileByteSink>;
// Binary image on an output stream.
using TBinaryStreamSink = TBinarySink<kest::io::TStreamByteSink>;
// Binary image appended to a memory buffer; may throw TKestBadAlloc from the buffer.
using TBufferSink = TBinarySink<kest::io::TBufferByteSink>;

// Text image on a C file: numbers as "%d\n", bytes as a hex block.
class TTextFileSink final : public TImageSink {
public:
    explicit TTextFileSink(FILE* file) : FFile(file) {}
    void WriteNumber(int32_t value) override;
    void WriteFlag(bool value) override;
    void WriteBytes(const uint8_t* bytes, size_t count) override;

private:
    FILE* FFile;
};

// Text image on an output stream: numbers inserted and ended by a line end, bytes as a hex block.
class TTextStreamSink final : public TImageSink {
public:
    explicit TTextStreamSink(std::ostream& stream) : FStream(stream) {}
    void WriteNumber(int32_t value) override;
    void WriteFlag(bool value) override;
    void WriteBytes(const uint8_t* bytes, size_t count) override;

private:
    std::ostream& FStream;
};

}  // namespace kest::detail
