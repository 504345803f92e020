// Sources and sinks through which memory-space images are read and written: C files, streams, memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>

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
};

// Where an image is written to; write errors stay with the target (ferror, stream state).
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

// Binary image on a C file opened by the caller.
class TBinaryFileSource final : public TImageSource {
public:
    explicit TBinaryFileSource(FILE* file) : FFile(file) {}
    bool ReadNumber(int32_t& value) override;
    bool ReadFlag(bool& value) override;
    bool ReadBytes(uint8_t* bytes, size_t count) override;
    int64_t Remaining() override;
    bool RawBytes() const override { return true; }

private:
    FILE* FFile;
};

// Text image on a C file opened by the caller.
class TTextFileSource final : public TImageSource {
public:
    explicit TTextFileSource(FILE* file) : FFile(file) {}
    bool ReadNumber(int32_t& value) override;
    bool ReadFlag(bool& value) override;
    bool ReadBytes(uint8_t* bytes, size_t count) override;
    int64_t Remaining() override;
    bool RawBytes() const override { return false; }

private:
    FILE* FFile;
};

// Binary image on an input stream.
class TBinaryStreamSource final : public TImageSource {
public:
    explicit TBinaryStreamSource(std::istream& stream) : FStream(stream) {}
    bool ReadNumber(int32_t& value) override;
    bool ReadFlag(bool& value) override;
    bool ReadBytes(uint8_t* bytes, size_t count) override;
    int64_t Remaining() override;
    bool RawBytes() const override { return true; }

private:
    std::istream& FStream;
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

private:
    std::istream& FStream;
};

// Binary image at the cursor of a memory space; reading advances that cursor.
class TSpaceSource final : public TImageSource {
public:
    explicit TSpaceSource(TMemSpace& space) : FSpace(space) {}
    bool ReadNumber(int32_t& value) override;
    bool ReadFlag(bool& value) override;
    bool ReadBytes(uint8_t* bytes, size_t count) override;
    int64_t Remaining() override;
    bool RawBytes() const override { return true; }

private:
    TMemSpace& FSpace;
};

// Binary image on a C file opened by the caller.
class TBinaryFileSink final : public TImageSink {
public:
    explicit TBinaryFileSink(FILE* file) : FFile(file) {}
    void WriteNumber(int32_t value) override;
    void WriteFlag(bool value) override;
    void WriteBytes(const uint8_t* bytes, size_t count) override;

private:
    FILE* FFile;
};

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

// Binary image on an output stream.
class TBinaryStreamSink final : public TImageSink {
public:
    explicit TBinaryStreamSink(std::ostream& stream) : FStream(stream) {}
    void WriteNumber(int32_t value) override;
    void WriteFlag(bool value) override;
    void WriteBytes(const uint8_t* bytes, size_t count) override;

private:
    std::ostream& FStream;
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

// Binary image appended to a memory buffer; may throw TKestBadAlloc from the buffer.
class TBufferSink final : public TImageSink {
public:
    explicit TBufferSink(TMemBuffer& buffer) : FBuffer(buffer) {}
    void WriteNumber(int32_t value) override;
    void WriteFlag(bool value) override;
    void WriteBytes(const uint8_t* bytes, size_t count) override;

private:
    TMemBuffer& FBuffer;
};

// Stores value as 4 little-endian bytes at out.
void StoreLittleEndian32(uint32_t value, uint8_t out[4]);
// The 4 little-endian bytes at in as an unsigned value.
uint32_t LoadLittleEndian32(const uint8_t in[4]);

}  // namespace kest::detail
