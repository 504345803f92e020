#include "containers/string_container.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "containers/block_allocation.h"
#include "containers/byte_io.h"
#include "containers/file_save.h"
#include "containers/kest_exception.h"
#include "containers/string_pool.h"

namespace {

// Saving stages its output in a buffer of at most this size: a typical list goes out in
// one write, and a large one costs few writes without mapping many fresh pages per save.
constexpr size_t kStagingBytes = size_t{1024} * 1024;
constexpr size_t kFirstLineBytes = 1024;
// Files are read in chunks of at most this size, so that loading costs little more
// memory than the lines themselves.
constexpr size_t kReadChunk = size_t{1024} * 1024;
// A line at least this long is handed to its TString in the buffer it was gathered in.
constexpr size_t kAdoptLineBytes = size_t{64} * 1024;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};
using Block = std::unique_ptr<char, FreeDeleter>;

// A malloc block of at most wanted bytes (at least 1), halving the request while it
// cannot be had; size receives what was obtained. Throws std::bad_alloc when not even a byte is left.
Block HalvingBlock(size_t wanted, size_t& size) {
    size = wanted < 1 ? 1 : wanted;
    for (;;) {
        if (void* block = kest::detail::AllocateBlock(size))
            return Block(static_cast<char*>(block));
        if (size == 1)
            throw std::bad_alloc();
        size /= 2;
    }
}

int ClampToInt(int64_t value) {
    return value > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                   : static_cast<int>(value);
}

// Bit k set where byte k of the 16 from p is CR or LF.
#if defined(__SSE2__)
uint64_t LineEndBits(const char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits =
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')));
    return static_cast<uint16_t>(_mm_movemask_epi8(hits));
}
#endif

// Finds the line ends of one chunk: a mask of the CR and LF bytes of the 64 from where
// the last line began, taken lowest first, so that a short line costs no call; a line
// longer than that is searched with memchr, the next CR kept until passed.
class TLineEnds {
public:
    TLineEnds(const char* begin, const char* end) : FEnd(end), FCr(begin) { Load(begin); }
    // The first CR or LF at or after from, or the chunk's end; from never goes back.
    const char* Next(const char* from) {
        if (from - FBlock >= 64)
            Load(from);
        if (const uint64_t mask = FMask >> (from - FBlock) << (from - FBlock))
            return FBlock + __builtin_ctzll(mask);
        if (FEnd - FBlock <= 64)
            return FEnd;
        const char* rest = FBlock + 64;
        if (FCr < rest)
            FCr = Find(rest, '\r', FEnd);
        Load(Find(rest, '\n', FCr));
        return FBlock;
    }

private:
    void Load(const char* from) {
        FBlock = from;
        FMask = 0;
#if defined(__SSE2__)
        if (FEnd - from >= 64) {
            FMask = LineEndBits(from) | LineEndBits(from + 16) << 16 | LineEndBits(from + 32) << 32 |
                    LineEndBits(from + 48) << 48;
            return;
        }
#endif
        for (int k = 0; k < 64 && from + k < FEnd; ++k)
            if (from[k] == '\r' || from[k] == '\n')
                FMask |= uint64_t{1} << k;
    }

    static const char* Find(const char* from, char c, const char* end) {
        const void* at = std::memchr(from, c, static_cast<size_t>(end - from));
        return at != nullptr ? static_cast<const char*>(at) : end;
    }

    const char* FBlock = nullptr;
    uint64_t FMask = 0;
    const char* FEnd;
    const char* FCr;  // the next CR from where the long search was, or the end
};

TString& AsString(void* item) {
    return *static_cast<TString*>(static_cast<TContainerItem*>(item));
}

}  // namespace

TStringContainer::TStringContainer() {
    FGrowBy = 256;
}

TStringContainer::~TStringContainer() {
    Clear(true);
}

void TStringContainer::Clear(bool deleteItems) {
    if (deleteItems && FOwnsItems && IsPointerMode() && !FInline) {
        // Consecutive lines of a load lie in one slab: each is destroyed, and the slab's
        // count settled once for the run instead of once per string.
        char* slab = nullptr;
        int64_t inSlab = 0;
        for (int32_t i = 0; i < FCount; ++i) {
            auto* item = static_cast<TContainerItem*>(static_cast<void**>(FItems)[i]);
            if (item == nullptr)
                continue;
            if (slab == nullptr || !kest::detail::InSlab(item, slab)) {
                kest::detail::ReleasePooled(slab, inSlab);
                inSlab = 0;
                slab = kest::detail::PoolSlabOf(item);
                if (slab == nullptr) {
                    delete item;
                    continue;
                }
            }
            // Only the strings of a load live in slabs: one whose text is behind it owns nothing else.
            if (!static_cast<TString*>(item)->TextBehind())
                item->~TContainerItem();
            ++inSlab;
        }
        kest::detail::ReleasePooled(slab, inSlab);
        FCount = 0;  // every item is gone: nothing left for DeleteItem
    }
    TContainer::Clear(deleteItems);
}

TStringContainer::TStringContainer(const TStringContainer& source) : TStringContainer() {
    CopyConstruct(source);
}

TStringContainer::TStringContainer(TStringContainer&& source) noexcept
    : TContainer(std::move(source)), FCrLf(source.FCrLf), FUnicodeLoaded(source.FUnicodeLoaded) {}

TStringContainer& TStringContainer::operator=(const TStringContainer& source) {
    if (this != &source)
        Assign(source);
    return *this;
}

TStringContainer& TStringContainer::operator=(TStringContainer&& source) noexcept {
    FCrLf = source.FCrLf;
    FUnicodeLoaded = source.FUnicodeLoaded;
    MoveFrom(source);
    return *this;
}

TStringContainer& TStringContainer::Add(const TString& s) {
    AddString(new TString(s.Text()));
    return *this;
}

const TString& TStringContainer::At(int index) const {
    const void* item = TContainer::At(index);
    if (item == nullptr)
        throw TKestBadIndex();
    return AsString(const_cast<void*>(item));
}

TString& TStringContainer::At(int index) {
    return const_cast<TString&>(static_cast<const TStringContainer&>(*this).At(index));
}

void* TStringContainer::CreateItem(int32_t) {
    return static_cast<TContainerItem*>(new TString());
}

int TStringContainer::Compare(const void* a, const void* b) {
    return TString::Compare(AsString(const_cast<void*>(a)), AsString(const_cast<void*>(b)));
}

void TStringContainer::CopyItem(void* target, void* source) {
    AsString(target) = AsString(source);
    AsString(source).CopiedTo(AsString(target));
}

void TStringContainer::Assign(const TContainerItem& source) {
    TContainer::Assign(source);
    if (const auto* other = dynamic_cast<const TStringContainer*>(&source))
        FCrLf = other->FCrLf;
}

// --- saving ----------------------------------------------------------------------

void TStringContainer::SaveLines(FILE* file, TProgress progress, int user) {
    if (file == nullptr)
        throw TKestFileException("Could not write: no file");
    WriteLines(file, progress, user);
}

bool TStringContainer::WriteLines(FILE* file, TProgress progress, int user) {
    kest::io::TFileByteSink sink(file);
    auto put = [&sink](const char* bytes, size_t count) { sink.Write(bytes, count); };
    const size_t lineEnd = FCrLf ? 2 : 1;
    const char* const endBytes = FCrLf ? "\r\n" : "\n";
    // A small list needs no more staging than its whole form.
    size_t total = 0;
    for (int i = 0; i < FCount && total < kStagingBytes; ++i)
        total += static_cast<size_t>(At(i).Length()) + lineEnd;
    size_t size = 0;
    Block staging = HalvingBlock(total < kStagingBytes ? total : kStagingBytes, size);
    size_t staged = 0;
    bool cancel = false;
    for (int i = 0; i < FCount; ++i) {
        const TString& item = At(i);
        const size_t n = static_cast<size_t>(item.Length());
        const bool last = i == FCount - 1;
        if (staged + n + lineEnd > size) {
            put(staging.get(), staged);
            staged = 0;
        }
        if (n + lineEnd > size) {
            // Longer than the whole staging buffer: straight through, with the same bytes.
            put(item.Text(), n);
            if (!last)
                put(endBytes, lineEnd);
        } else {
            std::memcpy(staging.get() + staged, item.Text(), n);
            staged += n;
            if (!last) {
                std::memcpy(staging.get() + staged, endBytes, lineEnd);
                staged += lineEnd;
            }
        }
        if (progress != nullptr) {
            progress(FCount - 1, i, user, &cancel);
            if (cancel)
                return false;
        }
    }
    put(staging.get(), staged);
    return true;
}

void TStringContainer::WriteText(FILE* file) {
    SaveLines(file, nullptr, 0);
}

void TStringContainer::SaveTextFile(const char* path) {
    SaveTextFile(path, nullptr, 0);
}

void TStringContainer::SaveTextFile(const char* path, TProgress progress, int user) {
    kest::io::TFileSave save(path);
    bool finished = false;
    try {
        finished = WriteLines(save.File(), progress, user);
    } catch (const kest::io::TWriteFailure& failure) {
        save.Abandon();
        save.Fail(failure.FCode);
    }
    // A cancelled save keeps the old file: the save drops its temporary file.
    if (finished)
        save.Commit();
}

// --- loading ---------------------------------------------------------------------

namespace {

// The growing buffer of a line that spans reads, a malloc block so that a long line can
// be handed to its TString without a copy.
class TLineBuffer {
public:
    TLineBuffer() { Reset(); }
    ~TLineBuffer() { std::free(FData); }
    TLineBuffer(const TLineBuffer&) = delete;
    TLineBuffer& operator=(const TLineBuffer&) = delete;

    char* Data() const { return FData; }
    size_t Used() const { return FUsed; }
    // Appends count bytes. The buffer doubles, but never beyond bound bytes (the line so
    // far, the rest of the file and a terminator; -1 when the size is unknown). A line
    // that no TString could hold is refused before storage is taken for it.
    void Append(const char* bytes, size_t count, int64_t bound) {
        if (count > kMaxLine - FUsed)
            throw TKestSerialization("A line longer than a string can hold");
        const size_t need = FUsed + count + 1;
        if (need > FSize) {
            size_t size = FSize;
            while (size < need)
                size *= 2;
            if (bound >= 0)
                size = std::min(size, static_cast<size_t>(bound));
            size = std::min(std::max(size, need), kMaxLine + 1);
            char* larger = static_cast<char*>(kest::detail::ResizeBlock(FData, size));
            if (larger == nullptr)
                throw std::bad_alloc();
            FData = larger;
            FSize = size;
        }
        std::memcpy(FData + FUsed, bytes, count);
        FUsed += count;
    }
    // Terminates the line in place and returns it.
    char* Terminated() {
        FData[FUsed] = 0;
        return FData;
    }
    void Clear() { FUsed = 0; }
    // Gives up the block (terminated, FUsed + 1 bytes or more) and starts a new one.
    char* Release() {
        char* block = Terminated();
        FData = nullptr;
        Reset();
        return block;
    }

    // Longest text a TString holds: its capacity, length + 1, fits 32 bits.
    static constexpr size_t kMaxLine = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 1;

private:
    void Reset() {
        std::free(FData);
        FData = static_cast<char*>(kest::detail::AllocateBlock(kFirstLineBytes));
        if (FData == nullptr)
            throw std::bad_alloc();
        FSize = kFirstLineBytes;
        FUsed = 0;
    }

    char* FData = nullptr;
    size_t FSize = 0;
    size_t FUsed = 0;
};

// One reading of lines: the line in hand, what was seen last and what is reported.
// Lines go to `sink` when there is one, else to `add` (a copy of the text, cut at its first
// 0 byte as every TString is) or `adopt` (a block the new string takes over).
template <typename TAdd, typename TAdopt>
class TLineReading {
public:
    TLineReading(int64_t known, TAdd add, TAdopt adopt, TStringContainer::TLineSink sink, int sinkValue,
                 TStringContainer::TProgress progress, int user)
        : FKnown(known),
          FAdd(add),
          FAdopt(adopt),
          FSink(sink),
          FSinkValue(sinkValue),
          FProgress(progress),
          FUser(user),
          FTotal(ClampToInt(known)) {}

    bool Cancelled() const { return FCancel; }
    int64_t Longest() const { return FLongest; }

    // Takes the UTF-16 bytes from i to filled of a chunk starting at offset chunkStart:
    // the low byte of each code unit, the bytes at even offsets, gathered at the chunk's
    // start and taken as bytes two offsets apart.
    void ScanUtf16(char* bytes, size_t i, size_t filled, int64_t chunkStart) {
        i += static_cast<size_t>((chunkStart + static_cast<int64_t>(i)) & 1);
        const int64_t first = chunkStart + static_cast<int64_t>(i);
        size_t count = 0;
        for (; i < filled; i += 2)
            bytes[count++] = bytes[i];
        ScanBytes(bytes, 0, count, first, 2);
    }

    // Takes the bytes from i to filled of a chunk whose byte k is at offset chunkStart + k * step.
    void ScanBytes(char* bytes, size_t i, size_t filled, int64_t chunkStart, int64_t step = 1) {
        FClean = std::memchr(bytes + i, 0, filled - i) == nullptr;
        TLineEnds ends(bytes + i, bytes + filled);
        while (i < filled && !FCancel) {
            const size_t j = static_cast<size_t>(ends.Next(bytes + i) - bytes);
            if (j == filled) {
                FPrevious = static_cast<unsigned char>(bytes[j - 1]);
                Keep(bytes + i, bytes + j, chunkStart + step * static_cast<int64_t>(i));
                return;
            }
            // Only a line end right after another can be the LF of a CR LF pair.
            const int c = static_cast<unsigned char>(bytes[j]);
            const bool pair = c == '\n' && FPrevious == '\r' && j == i;
            FPrevious = c;
            if (!pair) {
                Hand(bytes + i, bytes + j);
                Report(chunkStart + step * static_cast<int64_t>(j) + 1);
            }
            i = j + 1;
        }
    }

    // After the last chunk: hands over the last line, if any, and reports the end. A
    // cancelled load stops with the line just ended: it hands over nothing more. `free`
    // is a byte of storage the empty rest of the line may be handed from.
    void Finish(char* free, int64_t offset) {
        if (!FCancel && (FLine.Used() > 0 || FPrevious == '\r' || FPrevious == '\n'))
            Hand(free, free);
        if (FKnown < 0)
            FTotal = ClampToInt(offset);
        if (FProgress != nullptr)
            FProgress(FTotal, FTotal, FUser, &FCancel);
    }

private:
    TLineBuffer FLine;
    int64_t FKnown;
    TAdd FAdd;
    TAdopt FAdopt;
    TStringContainer::TLineSink FSink;
    int FSinkValue;
    TStringContainer::TProgress FProgress;
    int FUser;
    int FTotal;
    int64_t FLongest = 0;
    bool FCancel = false;
    bool FClean = false;  // no 0 byte in the chunk in hand
    int FPrevious = -1;   // the last character taken

    void Report(int64_t done) {
        if (FProgress != nullptr)
            FProgress(FTotal, ClampToInt(done), FUser, &FCancel);
    }

    // Hands over a line that ends at byte end of the chunk: the bytes held in the line
    // buffer, followed by those from begin.
    void Hand(char* begin, char* end) {
        const size_t direct = static_cast<size_t>(end - begin);
        if (FLine.Used() == 0) {
            HandDirect(begin, end, direct);
            return;
        }
        FLine.Append(begin, direct, -1);
        const size_t used = FLine.Used();
        if (static_cast<int64_t>(used) > FLongest)
            FLongest = static_cast<int64_t>(used);
        if (FSink != nullptr) {
            FSink(FLine.Terminated(), static_cast<int>(used), FSinkValue);
        } else if (used >= kAdoptLineBytes && strnlen(FLine.Data(), used) == used) {
            char* block = FLine.Release();
            if (char* fitted = static_cast<char*>(kest::detail::ResizeBlock(block, used + 1)))
                block = fitted;
            FAdopt(block, used);
        } else {
            FAdd(FLine.Data(), strnlen(FLine.Data(), used));
        }
        FLine.Clear();
    }

    // Hands over a line that lies whole in the chunk, from begin to end.
    void HandDirect(char* begin, char* end, size_t direct) {
        if (static_cast<int64_t>(direct) > FLongest)
            FLongest = static_cast<int64_t>(direct);
        if (FSink != nullptr) {
            const char kept = *end;
            *end = 0;
            FSink(begin, static_cast<int>(direct), FSinkValue);
            *end = kept;
        } else {
            FAdd(begin, FClean ? direct : strnlen(begin, direct));
        }
    }

    // The line continues beyond this chunk: keep its bytes.
    void Keep(const char* begin, const char* end, int64_t at) {
        const int64_t bound = FKnown < 0 ? -1 : static_cast<int64_t>(FLine.Used()) + (FKnown - at) + 1;
        FLine.Append(begin, static_cast<size_t>(end - begin), bound);
    }
};

}  // namespace

void TStringContainer::AddString(TString* made) {
    // Room left and no duplicates to look for: stored as StoreItem would store it.
    if (FDuplicates && !FInline && FCount < FAllocated) {
        made->FOwner = this;
        static_cast<void**>(FItems)[FCount++] = made;
        return;
    }
    TContainerItem* item = made;
    const int before = FCount;
    try {
        AddItem(item);
    } catch (...) {
        delete made;
        throw;
    }
    // Refused as a duplicate: nobody else would delete it.
    if (FCount == before)
        delete made;
}

int TStringContainer::ReadLines(FILE* file, TProgress progress, int user, TLineSink sink, int sinkValue) {
    Clear(true);
    kest::io::TFileByteSource source(file);
    const int64_t known = source.Remaining();
    // Bounded reads: the file is never held whole, only a chunk and the line in hand.
    size_t size = 0;
    Block data =
        HalvingBlock(known < 0 || known > static_cast<int64_t>(kReadChunk) ? kReadChunk + 1
                                                                           : static_cast<size_t>(known) + 1,
                     size);
    --size;              // one byte past the data stays free for a terminator
    int64_t offset = 0;  // of the next byte, counted from where reading began
    FUnicodeLoaded = false;
    kest::detail::TStringPool pool;
    auto add = [this, &pool](const char* text, size_t n) { AddString(TString::Pooled(pool, text, n)); };
    auto adopt = [this](char* block, size_t length) { AddString(TString::Adopting(block, length)); };
    TLineReading<decltype(add), decltype(adopt)> reading(known, add, adopt, sink, sinkValue, progress, user);

    bool first = true;
    size_t filled = 0;
    while (!reading.Cancelled() && (filled = source.ReadSome(data.get(), size)) > 0) {
        char* const bytes = data.get();
        size_t i = 0;
        if (first) {
            first = false;
            if (filled >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
                static_cast<unsigned char>(bytes[1]) == 0xFE) {
                FUnicodeLoaded = true;
                i = 2;
                offset = 2;
            }
        }
        const int64_t chunkStart = offset - static_cast<int64_t>(i);
        if (FUnicodeLoaded)
            reading.ScanUtf16(bytes, i, filled, chunkStart);
        else
            reading.ScanBytes(bytes, i, filled, chunkStart);
        offset = chunkStart + static_cast<int64_t>(filled);
    }
    reading.Finish(data.get(), offset);
    return ClampToInt(reading.Longest());
}

int TStringContainer::LoadLines(FILE* file, TProgress progress, int user, TLineSink sink, int sinkValue) {
    if (file == nullptr)
        throw TKestFileException();
    FileHandle owned(file);
    return ReadLines(owned.get(), progress, user, sink, sinkValue);
}

void TStringContainer::ReadText(FILE* file) {
    if (file == nullptr)
        throw TKestFileException();
    ReadLines(file, nullptr, 0, nullptr, 0);
}

void TStringContainer::LoadTextFile(const char* path) {
    LoadTextFile(path, nullptr, 0, nullptr, 0);
}

int TStringContainer::LoadTextFile(const char* path, TProgress progress, int user, TLineSink sink,
                                   int sinkValue) {
    int longest = 0;
    kest::io::LoadFile(path, [&](FILE* file) { longest = ReadLines(file, progress, user, sink, sinkValue); });
    return longest;
}
