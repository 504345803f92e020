// TMemSpace: an owned block of bytes with a read cursor, persisted as binary or text images
// whose payload can be compressed with zlib.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>

#include "../containers/container_item.h"

namespace kest::io {
class TByteSink;
class TByteSource;
}  // namespace kest::io

// The bytes in memory are always uncompressed; only the written images compress them.
// Storage comes from the descendant's Allocate and goes back through Release (malloc family).
//
// Failures: a stored image that is truncated, or announces a negative size or more bytes
// than its source can still deliver, throws TKestSerialization before anything is
// allocated for it; a payload that cannot be compressed or restored, or restores to a
// size other than the stored length, throws TKestCompressException. A reader that fails
// before the storage is replaced leaves the object as it was; one that fails after
// leaves it empty (no storage, length 0). A compressed image that restores to more than
// MaxRestoredLength() is refused as well. Storage failures are the descendant's
// (TMemBuffer: TKestBadAlloc). No operation reads or writes outside the storage.
class TMemSpace : public TContainerItem {
public:
    // Cursor: byte offset from the start of the data. Kept by Init, Release and every load.
    int32_t FPosition = 0;
    // The owned bytes; null when there are none.
    uint8_t* FData = nullptr;
    // Number of valid bytes at FData.
    int32_t FLength = 0;
    // Whether images written from this object compress the payload; set by loading an image.
    bool FCompressed = false;

    // Copies FCompressed and FPosition from a memory-space source (the bytes are the
    // descendant's to copy); throws TKestBadAssign when the source is no memory space.
    void Assign(const TContainerItem& source) override;
    // Releases the storage.
    ~TMemSpace() override;
    // No bytes, length 0, not compressed; gives back any storage still held. Keeps the cursor.
    void Init() override;

    // Binary image on a C file (the caller opens and closes it).
    void WriteBinary(FILE* file) override;
    // Reads a binary image from a C file; throws as stated for the class.
    void ReadBinary(FILE* file) override;
    // Text image on a C file: decimal lines and hex blocks.
    void WriteText(FILE* file) override;
    // Reads a text image from a C file; throws as stated for the class.
    void ReadText(FILE* file) override;
    // Binary image on an output stream; the same bytes as on a C file.
    void WriteBinary(std::ostream& stream) override;
    // Text image on an output stream.
    void WriteText(std::ostream& stream) override;
    // Reads a binary image from an input stream; throws as stated for the class.
    void ReadBinary(std::istream& stream) override;
    // Reads a text image from an input stream; throws as stated for the class.
    void ReadText(std::istream& stream) override;
    // Appends the binary image to buffer (the same bytes as on a C file); the buffer may be this object.
    void WriteToBuffer(TMemBuffer& buffer) override;
    // Reads a binary image at the cursor of space, advancing it; space may be this object.
    void ReadFromSpace(TMemSpace& space) override;

    // Storage hook run before a load stores its length: provides count bytes at FData.
    // Nothing here; a memory space cannot hold bytes without a descendant.
    virtual void Allocate(int32_t count);
    // Frees the storage; FData null, FLength 0. Keeps FPosition and FCompressed.
    virtual void Release();
    // The 4 bytes at the cursor as a little-endian signed integer, advancing the cursor;
    // throws TKestSerialization (cursor kept) when fewer than 4 bytes are left.
    virtual int32_t ReadInt();
    // The 4 bytes at the cursor as a single-precision value; throws as ReadInt.
    virtual float ReadFloat();
    // The 8 bytes at the cursor as a double-precision value; throws as ReadInt.
    virtual double ReadDouble();

    // The largest length a compressed image may restore to; 256 MiB unless set. The caller
    // sets it for the whole process: a compressed image that announces more throws
    // TKestCompressException before anything is allocated for it (a few bytes of zlib
    // stream can stand for a thousand times as many).
    static int32_t MaxRestoredLength();
    // Sets that limit (a negative one counts as 0) and returns the previous one.
    static int32_t SetMaxRestoredLength(int32_t limit);
    static constexpr int32_t kDefaultMaxRestoredLength = int32_t{256} << 20;

    // Number of valid bytes.
    int32_t Length() const { return FLength; }
    // The bytes, owned by this object; null when there are none.
    const uint8_t* Data() const { return FData; }
    uint8_t* Data() { return FData; }
    // The cursor.
    int32_t Position() const { return FPosition; }
    // Puts the cursor at 0; returns FData.
    uint8_t* Rewind();
    // Copies count bytes at the cursor to destination and advances the cursor when the
    // cursor is before the end and count bytes are left; returns destination, else null
    // with nothing copied and the cursor kept. Never throws.
    void* ReadBytes(void* destination, int32_t count);
    // Moves the cursor (origin 0: from the start, 1: from the cursor, 2: from the end) when
    // the offset lies in the origin's range, else keeps it; returns FData + FPosition, or null
    // for any other origin (nothing changed) or when there are no bytes. Never throws.
    uint8_t* Seek(int32_t offset, int origin);
    // Copies count bytes from source over FData + offset when they lie within the data;
    // returns FData + offset, else null and nothing written. Never grows, never moves the cursor.
    uint8_t* WriteAt(int32_t offset, const void* source, int32_t count);

    TMemSpace(const TMemSpace&) = delete;
    TMemSpace& operator=(const TMemSpace&) = delete;

protected:
    // Cursor at 0, no bytes. Only descendants, which provide storage, are instantiated.
    TMemSpace() = default;

private:
    // The image on a medium, binary or in the text form.
    void WriteImage(const kest::io::TByteSink& sink, bool text) const;
    void ReadImage(const kest::io::TByteSource& source, bool text);
    // The payload of an image that announced length bytes, stored as they are or compressed.
    void ReadStored(const kest::io::TByteSource& source, int32_t length, bool text);
    void ReadCompressed(const kest::io::TByteSource& source, int32_t length, bool text);
    // Replaces the bytes by count bytes of fresh storage from Allocate.
    void Provide(int32_t count);
};
