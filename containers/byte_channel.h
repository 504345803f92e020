// The media every stored form of the library is written to and read from: raw bytes on a
// C file, a standard stream or a memory buffer/space. Everything else (numbers, flags,
// hex blocks, items) is built on these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>

class TMemBuffer;
class TMemSpace;

namespace kest::io {

// Where bytes go. Every write is checked: a failed one throws TWriteFailure (a
// TKestFileException), a memory buffer that cannot grow TKestBadAlloc.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    // The absolute position of the next byte, or -1 when the medium cannot tell.
    virtual int64_t Position() = 0;
    virtual void Write(const void* data, size_t size) = 0;
    // Overwrites 4 little-endian bytes at an earlier position and continues at the end;
    // nothing when the medium cannot go back.
    virtual void Patch(int64_t position, int32_t value) = 0;
};

// Where bytes come from. No source throws; a short read comes back as false.
class TByteSource {
public:
    virtual ~TByteSource() = default;
    // The absolute position of the next byte, or -1 when the medium cannot tell.
    virtual int64_t Position() = 0;
    // Reads exactly size bytes; false when fewer are left (what was read is consumed).
    virtual bool Read(void* data, size_t size) = 0;
    // Reads up to size bytes; returns how many, 0 only at the end.
    virtual size_t ReadSome(void* data, size_t size) = 0;
    // Moves forward by size bytes; false when that many are not there.
    virtual bool Skip(int64_t size) = 0;
    // Bytes left before the end, or -1 when the medium cannot tell.
    virtual int64_t Remaining() = 0;
};

// A C file opened by the caller; it stays open.
class TFileByteSink final : public TByteSink {
public:
    explicit TFileByteSink(FILE* file) : FFile(file) {}
    int64_t Position() override;
    void Write(const void* data, size_t size) override;
    void Patch(int64_t position, int32_t value) override;

private:
    FILE* FFile;
};

class TStreamByteSink final : public TByteSink {
public:
    explicit TStreamByteSink(std::ostream& stream) : FStream(stream) {}
    int64_t Position() override;
    void Write(const void* data, size_t size) override;
    void Patch(int64_t position, int32_t value) override;

private:
    std::ostream& FStream;
};

// Appends to a memory buffer; positions are offsets in it.
class TBufferByteSink final : public TByteSink {
public:
    explicit TBufferByteSink(TMemBuffer& buffer) : FBuffer(buffer) {}
    int64_t Position() override;
    void Write(const void* data, size_t size) override;
    void Patch(int64_t position, int32_t value) override;

private:
    TMemBuffer& FBuffer;
};

class TFileByteSource final : public TByteSource {
public:
    explicit TFileByteSource(FILE* file) : FFile(file) {}
    int64_t Position() override;
    bool Read(void* data, size_t size) override;
    size_t ReadSome(void* data, size_t size) override;
    bool Skip(int64_t size) override;
    int64_t Remaining() override;

private:
    FILE* FFile;
};

class TStreamByteSource final : public TByteSource {
public:
    explicit TStreamByteSource(std::istream& stream) : FStream(stream) {}
    int64_t Position() override;
    bool Read(void* data, size_t size) override;
    size_t ReadSome(void* data, size_t size) override;
    bool Skip(int64_t size) override;
    int64_t Remaining() override;

private:
    std::istream& FStream;
};

// Reads at the cursor of a memory space, advancing it.
class TSpaceByteSource final : public TByteSource {
public:
    explicit TSpaceByteSource(TMemSpace& space) : FSpace(space) {}
    int64_t Position() override;
    bool Read(void* data, size_t size) override;
    size_t ReadSome(void* data, size_t size) override;
    bool Skip(int64_t size) override;
    int64_t Remaining() override;

private:
    TMemSpace& FSpace;
};

// Bytes between the file's position and its end, or -1 for a file that cannot seek (a
// pipe, a terminal). The position is kept.
int64_t FileRemaining(FILE* file);
// Characters between the stream's read position and its end, or -1 when it cannot seek.
// The stream's state flags are kept.
int64_t StreamRemaining(std::istream& stream);

}  // namespace kest::io
