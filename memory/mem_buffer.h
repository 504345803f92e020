// TMemBuffer: the growable memory space that memory images are appended to and read back from.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>

#include "mem_space.h"

// Storage is one malloc block resized in place with realloc and grown in FGrowBy steps.
// Failures: storage that cannot be obtained or a size that does not fit 32 bits throws
// TKestBadAlloc and leaves the buffer as it was; images fail as TMemSpace states, and a
// C file or stream image without its growth step throws TKestSerialization.
class TMemBuffer : public TMemSpace {
public:
    // Bytes allocated at FData; 0 exactly when FData is null.
    int32_t FCapacity = 0;
    // Step by which SetLength enlarges the storage; always positive.
    int32_t FGrowBy = kDefaultGrowBy;

    static constexpr int32_t kDefaultGrowBy = 256;
    // The largest step a C file or stream image can set (16 MiB); a larger stored one is cut to it.
    static constexpr int32_t kMaxLoadedGrowBy = int32_t{16} << 20;

    // An empty buffer: no storage, length 0, step 256, cursor 0, not compressed.
    TMemBuffer();
    // Takes source's storage, length, step, cursor, flag and type tag; source is left an
    // empty buffer, usable. Never throws.
    TMemBuffer(TMemBuffer&& source) noexcept;
    // Frees this buffer's storage, then takes source's as the move constructor does.
    TMemBuffer& operator=(TMemBuffer&& source) noexcept;
    // Frees the storage.
    ~TMemBuffer() override;

    // Copies flag, cursor and bytes of a memory-space source (FGrowBy is kept); throws
    // TKestBadAssign for a source that is no memory space, TKestBadAlloc without room.
    void Assign(const TContainerItem& source) override;
    // No storage, length 0, not compressed, capacity 0, step 256; frees what is held.
    void Init() override;

    // The memory-space binary image followed by FGrowBy as 4 little-endian bytes.
    void WriteBinary(FILE* file) override;
    // Reads that image; a non-positive stored step becomes 256, one above kMaxLoadedGrowBy
    // becomes kMaxLoadedGrowBy. Throws as stated for the class.
    void ReadBinary(FILE* file) override;
    // The memory-space text image followed by a line with FGrowBy.
    void WriteText(FILE* file) override;
    // Reads that image; the stored step is taken as by ReadBinary. Throws as stated for the class.
    void ReadText(FILE* file) override;
    // Stream versions of the four above, with the same content.
    void WriteBinary(std::ostream& stream) override;
    void WriteText(std::ostream& stream) override;
    void ReadBinary(std::istream& stream) override;
    void ReadText(std::istream& stream) override;

    // Resizes the storage to exactly count bytes (SetCapacity).
    void Allocate(int32_t count) override;
    // Frees the storage; length and capacity 0, step back to 256. Keeps cursor and flag.
    void Release() override;
    // Reads a packed integer at the cursor and advances past it; throws TKestSerialization
    // (cursor kept) when the data end first or the count byte announces 0 or more than 4 bytes.
    int32_t ReadInt() override;

    // Sets the number of valid bytes, growing the storage by whole FGrowBy steps when
    // needed and never shrinking it; 0 releases it. Throws TKestBadAlloc for a negative
    // count or when the storage cannot grow (buffer unchanged).
    void SetLength(int32_t count);
    // Resizes the storage to exactly count bytes, truncating the length if needed; 0
    // releases it. Throws TKestBadAlloc for a negative count or without room (buffer unchanged).
    void SetCapacity(int32_t count);
    // Appends count bytes from source (which may lie in this buffer); nothing for count <= 0.
    // Returns this buffer; throws TKestBadAlloc without room. The cursor does not move.
    TMemBuffer& Append(const void* source, int32_t count);
    // Appends value in packed form (2 to 5 bytes); returns this buffer; throws as Append.
    TMemBuffer& AppendInt(int32_t value);

private:
    // Reads the growth step that follows the memory-space image, binary or in the text form.
    void ReadGrowBy(const kest::io::TByteSource& source, bool text);
    // Takes source's state; this buffer holds no storage.
    void TakeOver(TMemBuffer& source) noexcept;
};
