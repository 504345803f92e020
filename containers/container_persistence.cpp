// The stored forms of TContainer: direct binary images on C files and streams, the memory
// image, and the text forms.
#include <cstdlib>
#include <cstring>
#include <istream>
#include <limits>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "containers/binary_io.h"
#include "containers/byte_channel.h"
#include "containers/container.h"
#include "containers/hex_block.h"
#include "containers/kest_exception.h"
#include "containers/peer_data_container.h"
#include "memory/image_channel.h"
#include "memory/mem_buffer.h"

namespace {

constexpr int kHeaderSize = 24;
constexpr int kHeaderValues = 11;
// Stored data are taken in pieces of this size, so that memory grows only with data that
// are really there, whatever sizes a damaged image announces.
constexpr int64_t kChunkBytes = int64_t{64} * 1024;

// A decimal number of the text forms, as the memory images' text reader reads it.
bool ReadDecimal(FILE* file, int32_t& value) {
    return kest::detail::TTextFileSource(file).ReadNumber(value);
}

// Bounds of a loaded growth step: beyond them a step only reserves room that no data
// fill, and would let a file make the next Add ask for gigabytes.
constexpr int64_t kMaxLoadedGrowBy = 65536;
constexpr int64_t kMaxLoadedGrowBytes = int64_t{16} << 20;

// The growth step a container takes from an image, for slots of slotBytes each. A step
// of 0 or less is none (SetGrowBy ignores such a step as well): the container keeps its
// own present step. A larger one than kMaxLoadedGrowBy slots or kMaxLoadedGrowBytes of
// storage is cut to that bound.
int32_t LoadedGrowBy(int32_t stored, int32_t present, int32_t slotBytes) {
    if (stored <= 0)
        return present > 0 ? present : 16;
    int64_t most = slotBytes > 0 ? kMaxLoadedGrowBytes / slotBytes : kMaxLoadedGrowBy;
    if (most > kMaxLoadedGrowBy)
        most = kMaxLoadedGrowBy;
    if (most < 1)
        most = 1;
    return stored > most ? static_cast<int32_t>(most) : stored;
}

// Where the hex text of one inline element has got to.
struct TElementText {
    FILE* file;
    size_t done;
    size_t total;
    std::string problem;
};

// For a text header cut short or holding something else than a 32-bit number.
std::string HeaderNumberMissing(int index) {
    return "number " + std::to_string(index + 1) +
           " of the 11 of the container header is missing or not a 32-bit number";
}

// "the data end after N of M elements", for a contiguous read cut short.
std::string ElementsEnd(int32_t done, int32_t count) {
    return "the data end after " + std::to_string(done) + " of " + std::to_string(count) + " elements";
}

// Which item of a stored container a reader is at, so that what goes wrong there says so:
// "item 3 of 5: the data end".
struct TItemPlace {
    int32_t index;
    int32_t count;

    std::string Say(const std::string& what) const {
        return "item " + std::to_string(index + 1) + " of " + std::to_string(count) + ": " + what;
    }
    // Runs read, which gives a new item or null; null, and a TKestSerialization from the
    // item's own reader, come out as a TKestSerialization naming this place.
    template <typename TReader>
    void* Read(TReader read) const {
        void* item = nullptr;
        try {
            item = read();
        } catch (const TKestSerialization& e) {
            throw TKestSerialization(
                Say(e.Detail().empty() ? "the item's own reader refused it" : e.Detail()));
        }
        if (item == nullptr)
            throw TKestSerialization(
                Say("the data end, or this container makes no item of the stored type tag"));
        return item;
    }
};

}  // namespace

namespace kest::container_detail {

struct TContainerHeader {
    int32_t count = 0;
    int32_t growBy = 0;
    bool inlineElements = false;
    bool pointers = false;
    bool reserved = false;
    int32_t elementSize = 0;
    bool ownsItems = false;
    bool duplicates = false;
    bool peerData = false;
    bool sizePrefix = false;
    bool linearGrowth = false;
};

TContainerHeader HeaderOf(const TContainer& c, int32_t count) {
    TContainerHeader h;
    h.count = count;
    h.growBy = c.FGrowBy;
    h.inlineElements = c.FInline;
    h.pointers = c.FPointers;
    h.reserved = c.FReserved;
    h.elementSize = c.FElementSize;
    h.ownsItems = c.FOwnsItems;
    h.duplicates = c.FDuplicates;
    h.peerData = c.FPeerData;
    h.sizePrefix = c.FSizePrefix;
    h.linearGrowth = c.FLinearGrowth;
    return h;
}

void EncodeHeader(const TContainerHeader& h, int32_t end, uint8_t out[kHeaderSize]) {
    kest::io::StoreInt32(end, out);
    kest::io::StoreInt32(h.count, out + 4);
    kest::io::StoreInt32(h.growBy, out + 8);
    out[12] = h.inlineElements;
    out[13] = h.pointers;
    out[14] = h.reserved;
    kest::io::StoreInt32(h.elementSize, out + 15);
    out[19] = h.ownsItems;
    out[20] = h.duplicates;
    out[21] = h.peerData;
    out[22] = h.sizePrefix;
    out[23] = h.linearGrowth;
}

TContainerHeader DecodeHeader(const uint8_t in[kHeaderSize]) {
    TContainerHeader h;
    h.count = kest::io::LoadInt32(in + 4);
    h.growBy = kest::io::LoadInt32(in + 8);
    h.inlineElements = in[12] != 0;
    h.pointers = in[13] != 0;
    h.reserved = in[14] != 0;
    h.elementSize = kest::io::LoadInt32(in + 15);
    h.ownsItems = in[19] != 0;
    h.duplicates = in[20] != 0;
    h.peerData = in[21] != 0;
    h.sizePrefix = in[22] != 0;
    h.linearGrowth = in[23] != 0;
    return h;
}

// The header values in the order of the text forms.
std::vector<int32_t> TextValues(const TContainerHeader& h) {
    return {h.count,     h.growBy,     h.inlineElements, h.pointers,   h.reserved,    h.elementSize,
            h.ownsItems, h.duplicates, h.peerData,       h.sizePrefix, h.linearGrowth};
}

TContainerHeader HeaderFromText(const int32_t v[kHeaderValues]) {
    TContainerHeader h;
    h.count = v[0];
    h.growBy = v[1];
    h.inlineElements = v[2] != 0;
    h.pointers = v[3] != 0;
    h.reserved = v[4] != 0;
    h.elementSize = v[5];
    h.ownsItems = v[6] != 0;
    h.duplicates = v[7] != 0;
    h.peerData = v[8] != 0;
    h.sizePrefix = v[9] != 0;
    h.linearGrowth = v[10] != 0;
    return h;
}

// Sets FSaving for the duration of a write and disposes of the peer container after it.
class TSavingScope {
public:
    explicit TSavingScope(TContainer& c) : FContainer(c) {
        FContainer.FSaving = true;
        if (FContainer.FPeerData) {
            delete FContainer.FPeers;
            FContainer.FPeers = new TPeerDataContainer();
        }
    }
    ~TSavingScope() {
        FContainer.FSaving = false;
        delete FContainer.FPeers;
        FContainer.FPeers = nullptr;
    }
    TSavingScope(const TSavingScope&) = delete;
    TSavingScope& operator=(const TSavingScope&) = delete;

private:
    TContainer& FContainer;
};

// Owns the peer container of a read until it is applied or the read fails.
class TLoadingScope {
public:
    explicit TLoadingScope(TContainer& c) : FContainer(c) {
        delete FContainer.FPeers;
        FContainer.FPeers = FContainer.FPeerData ? new TPeerDataContainer() : nullptr;
    }
    ~TLoadingScope() {
        delete FContainer.FPeers;
        FContainer.FPeers = nullptr;
    }
    TLoadingScope(const TLoadingScope&) = delete;
    TLoadingScope& operator=(const TLoadingScope&) = delete;

private:
    TContainer& FContainer;
};

// Where a binary image goes: the medium's bytes, and how items and records are written
// on that medium.
class TContainerSink {
public:
    virtual ~TContainerSink() = default;
    virtual kest::io::TByteSink& Bytes() = 0;
    int64_t Position() { return Bytes().Position(); }
    void Write(const void* data, size_t size) { Bytes().Write(data, size); }
    void Patch(int64_t position, int32_t value) { Bytes().Patch(position, value); }
    virtual void WriteItem(TContainer& c, int index) = 0;
    virtual void WritePeers(TPeerDataContainer& peers) = 0;
};

class TFileSink : public TContainerSink {
public:
    explicit TFileSink(FILE* file) : FFile(file), FBytes(file) {}
    kest::io::TByteSink& Bytes() override { return FBytes; }
    void WriteItem(TContainer& c, int index) override { c.WriteItemAt(FFile, index); }
    void WritePeers(TPeerDataContainer& peers) override { peers.WriteBinary(FFile); }

private:
    FILE* FFile;
    kest::io::TFileByteSink FBytes;
};

class TStreamSink : public TContainerSink {
public:
    explicit TStreamSink(std::ostream& stream) : FStream(stream), FBytes(stream) {}
    kest::io::TByteSink& Bytes() override { return FBytes; }
    void WriteItem(TContainer& c, int index) override {
        c.WriteItemAt(FStream, index, std::ios_base::binary);
    }
    void WritePeers(TPeerDataContainer& peers) override { peers.Write(FStream, std::ios_base::binary); }

private:
    std::ostream& FStream;
    kest::io::TStreamByteSink FBytes;
};

class TBufferSink : public TContainerSink {
public:
    explicit TBufferSink(TMemBuffer& buffer) : FBuffer(buffer), FBytes(buffer) {}
    kest::io::TByteSink& Bytes() override { return FBytes; }
    void WriteItem(TContainer& c, int index) override { c.WriteItemAt(FBuffer, index); }
    void WritePeers(TPeerDataContainer& peers) override { peers.WriteToBuffer(FBuffer); }

private:
    TMemBuffer& FBuffer;
    kest::io::TBufferByteSink FBytes;
};

// Where a binary image comes from: the medium's bytes, and how items and records are read.
class TContainerSource {
public:
    virtual ~TContainerSource() = default;
    virtual kest::io::TByteSource& Bytes() = 0;
    int64_t Position() { return Bytes().Position(); }
    bool Read(void* data, size_t size) { return Bytes().Read(data, size); }
    bool Skip(int64_t size) { return Bytes().Skip(size); }
    virtual void* ReadItem(TContainer& c) = 0;
    virtual void ReadPeers(TPeerDataContainer& peers) = 0;
};

class TFileSource : public TContainerSource {
public:
    explicit TFileSource(FILE* file) : FFile(file), FBytes(file) {}
    kest::io::TByteSource& Bytes() override { return FBytes; }
    void* ReadItem(TContainer& c) override { return c.ReadItem(FFile); }
    void ReadPeers(TPeerDataContainer& peers) override { peers.ReadBinary(FFile); }

private:
    FILE* FFile;
    kest::io::TFileByteSource FBytes;
};

class TStreamSource : public TContainerSource {
public:
    explicit TStreamSource(std::istream& stream) : FStream(stream), FBytes(stream) {}
    kest::io::TByteSource& Bytes() override { return FBytes; }
    void* ReadItem(TContainer& c) override { return c.ReadItem(FStream, std::ios_base::binary); }
    void ReadPeers(TPeerDataContainer& peers) override { peers.Read(FStream, std::ios_base::binary); }

private:
    std::istream& FStream;
    kest::io::TStreamByteSource FBytes;
};

class TSpaceSource : public TContainerSource {
public:
    explicit TSpaceSource(TMemSpace& space) : FSpace(space), FBytes(space) {}
    kest::io::TByteSource& Bytes() override { return FBytes; }
    void* ReadItem(TContainer& c) override { return c.ReadItem(FSpace); }
    void ReadPeers(TPeerDataContainer& peers) override { peers.ReadFromSpace(FSpace); }

private:
    TMemSpace& FSpace;
    kest::io::TSpaceByteSource FBytes;
};

// The payload of a buffered image read in place: at most size bytes of the file,
// positions counted from the payload's start as in the memory space it stands for.
class TPayloadSource : public TContainerSource {
public:
    TPayloadSource(FILE* file, int64_t size) : FBytes(file, size) {}
    kest::io::TByteSource& Bytes() override { return FBytes; }
    // Contiguous elements without records have neither.
    void* ReadItem(TContainer&) override { return nullptr; }
    void ReadPeers(TPeerDataContainer&) override {}

private:
    class TBounded final : public kest::io::TByteSource {
    public:
        TBounded(FILE* file, int64_t size) : FFile(file), FSize(size), FLeft(size) {}
        int64_t Position() override { return FSize - FLeft; }
        bool Read(void* data, size_t size) override {
            if (static_cast<int64_t>(size) > FLeft)
                return false;
            FLeft -= static_cast<int64_t>(size);
            return FFile.Read(data, size);
        }
        size_t ReadSome(void* data, size_t size) override {
            const size_t count =
                FFile.ReadSome(data, static_cast<int64_t>(size) < FLeft ? size : static_cast<size_t>(FLeft));
            FLeft -= static_cast<int64_t>(count);
            return count;
        }
        bool Skip(int64_t size) override {
            if (size > FLeft)
                return false;
            FLeft -= size;
            return FFile.Skip(size);
        }
        int64_t Remaining() override { return FLeft; }

    private:
        kest::io::TFileByteSource FFile;
        int64_t FSize;
        int64_t FLeft;
    };
    TBounded FBytes;
};

}  // namespace kest::container_detail

using namespace kest::container_detail;

void TContainer::ReadBufferedImage(FILE* file) {
    const int64_t left = kest::io::FileRemaining(file);
    const long start = left >= 0 ? std::ftell(file) : -1;
    if (start >= 0) {
        if (ReadBufferedInPlace(file, left))
            return;
        if (std::fseek(file, start, SEEK_SET) != 0)
            throw TKestFileException("Could not read: the file cannot go back to the buffered image");
    }
    TContainerBase::ReadBufferedImage(file);
}

bool TContainer::ReadBufferedInPlace(FILE* file, int64_t left) {
    // The memory space's binary form: length, compressed flag, payload, then the buffer's
    // growth step. Only a whole one is read here, so that every failure is the payload's
    // own, as from the staged buffer.
    uint8_t head[5 + kHeaderSize];
    if (left < static_cast<int64_t>(sizeof head) + 4 || std::fread(head, 1, sizeof head, file) != sizeof head)
        return false;
    const int32_t length = kest::io::LoadInt32(head);
    if (head[4] != 0 || length < kHeaderSize || int64_t{length} + 9 > left)
        return false;
    const TContainerHeader h = DecodeHeader(head + 5);
    if (!h.inlineElements || h.pointers || h.peerData)
        return false;
    if (std::fseek(file, -kHeaderSize, SEEK_CUR) != 0)
        return false;
    TPayloadSource payload(file, length);
    ReadImage(payload);
    // What the payload holds beyond the image, and the growth step, which a container
    // does not keep.
    if (!payload.Skip(payload.Bytes().Remaining()) || !kest::io::TFileByteSource(file).Skip(4))
        throw TKestSerialization("the data end inside the buffered image");
    return true;
}

// Header, items and peer records, as the three binary forms share them.
void TContainer::WriteImage(TContainerSink& sink) {
    TSavingScope saving(*this);
    const int64_t start = sink.Position();
    uint8_t header[kHeaderSize];
    EncodeHeader(HeaderOf(*this, FCount), 0, header);
    sink.Write(header, kHeaderSize);
    if (!IsPointerMode()) {
        if (FCount > 0)
            sink.Write(FItems, static_cast<size_t>(FCount) * static_cast<size_t>(FElementSize));
    } else {
        for (int32_t i = 0; i < FCount; ++i) {
            if (!FSizePrefix) {
                sink.WriteItem(*this, i);
                continue;
            }
            const int64_t mark = sink.Position();
            uint8_t placeholder[4] = {0, 0, 0, 0};
            sink.Write(placeholder, 4);
            sink.WriteItem(*this, i);
            sink.Patch(mark, static_cast<int32_t>(sink.Position() - mark - 4));
        }
    }
    if (FPeerData)
        sink.WritePeers(*FPeers);
    sink.Patch(start, static_cast<int32_t>(sink.Position()));
}

void TContainer::TakeHeader(const TContainerHeader& h, bool text) {
    // Where a field lies, for the message: its offset in the binary header, or its place
    // among the numbers of the text header.
    const auto where = [text](int offset, int place) {
        return text ? " as number " + std::to_string(place) + " of the container header"
                    : " at offset " + std::to_string(offset) + " of the container header";
    };
    if (h.count < 0)
        throw TKestSerialization("count " + std::to_string(h.count) + where(4, 1));
    // The kind of item is the container class's own; an image cannot turn elements into
    // objects or back.
    if (h.inlineElements != FInline)
        throw TKestSerialization(std::string(h.inlineElements ? "elements" : "object items") + where(12, 3) +
                                 ", where this container holds " + (FInline ? "elements" : "object items"));
    // Records carry no records of their own (an image that says otherwise would nest
    // record containers as deep as its bytes reach), and lie back to back: records read
    // one by one into blocks of their own, by a container that an image may say does not
    // own them, would be lost with the owner's record container.
    if ((h.peerData || h.pointers) && dynamic_cast<const TPeerDataContainer*>(this) != nullptr)
        throw TKestSerialization(
            std::string(h.peerData ? "peer data" + where(21, 9) : "separate blocks" + where(13, 4)) +
            " of a container of fix-up records");
    // An element needs at least one byte, whether or not any are stored.
    if (h.inlineElements && h.elementSize <= 0)
        throw TKestSerialization("element size " + std::to_string(h.elementSize) + where(15, 6));
    if (h.inlineElements && !AcceptsElementSize(h.elementSize))
        throw TKestSerialization("element size " + std::to_string(h.elementSize) + where(15, 6) +
                                 ", which this container does not hold");
    if (h.inlineElements && !h.pointers &&
        static_cast<int64_t>(h.count) * h.elementSize > std::numeric_limits<int32_t>::max())
        throw TKestSerialization("count " + std::to_string(h.count) + " of " + std::to_string(h.elementSize) +
                                 "-byte elements" + where(4, 1) + ": more than 2 GB");
    Clear(true);
    FInline = h.inlineElements;
    FPointers = h.pointers;
    FReserved = h.reserved;
    FElementSize = h.elementSize;
    FGrowBy = LoadedGrowBy(h.growBy, FGrowBy, SlotSize());
    // The items a reader makes are this container's, whatever the image says: nobody
    // else knows of them, and a program's later Add would leak the same way.
    FOwnsItems = true;
    // Governs later Adds; every stored item loads, duplicate or not.
    FDuplicates = h.duplicates;
    FPeerData = h.peerData;
    FSizePrefix = h.sizePrefix;
    FLinearGrowth = h.linearGrowth;
}

void TContainer::KeepReadItem(void* item) {
    if (item == nullptr)
        throw TKestSerialization("the data end, or this container makes no item of the stored type tag");
    try {
        // Without the duplicates rule: the stored data are what they are, and a reader
        // that dropped some would lose them without a word.
        StoreItem(item);
    } catch (...) {
        DisposeLoose(item);
        throw;
    }
    // Contiguous mode copied the element in; the block is this reader's to dispose of.
    if (!IsPointerMode())
        DisposeLoose(item);
}

void TContainer::ReadContiguous(int32_t count, TContainerSource& source) {
    const int64_t total = int64_t{count} * FElementSize;
    const int64_t left = source.Bytes().Remaining();
    if (left >= 0 && total > left)
        throw TKestSerialization(std::to_string(count) + " elements of " + std::to_string(FElementSize) +
                                 " bytes announced, " + std::to_string(left) + " bytes left");
    if (left < 0 && FElementSize > kChunkBytes) {
        ReadLargeElements(count, source);
        return;
    }
    const int64_t perChunk = FElementSize >= kChunkBytes ? 1 : kChunkBytes / FElementSize;
    while (FCount < count) {
        const int32_t batch = static_cast<int32_t>(count - FCount < perChunk ? count - FCount : perChunk);
        if (FCount + batch > FAllocated) {
            // Known to be there: the whole array at once, never a copy of a part of it.
            int64_t capacity = left >= 0 ? count : int64_t{FAllocated} * 2;
            if (capacity < FCount + batch)
                capacity = FCount + batch;
            if (capacity > count)
                capacity = count;
            Reallocate(static_cast<int32_t>(capacity));
        }
        unsigned char* slot = Bytes() + static_cast<size_t>(FCount) * static_cast<size_t>(FElementSize);
        if (!source.Read(slot, static_cast<size_t>(batch) * static_cast<size_t>(FElementSize)))
            throw TKestSerialization(ElementsEnd(FCount, count));
        FCount += batch;
    }
}

void TContainer::ReadLargeElements(int32_t count, TContainerSource& source) {
    // Each element is gathered in pieces before the array grows for it, so that the
    // array never holds room the data have not filled.
    std::vector<unsigned char> element;
    const size_t size = static_cast<size_t>(FElementSize);
    while (FCount < count) {
        element.clear();
        while (element.size() < size) {
            const size_t at = element.size();
            const size_t step = size - at < static_cast<size_t>(kChunkBytes) ? size - at : kChunkBytes;
            element.resize(at + step);
            if (!source.Read(element.data() + at, step))
                throw TKestSerialization(ElementsEnd(FCount, count));
        }
        Reallocate(FCount + 1);
        std::memcpy(Bytes() + static_cast<size_t>(FCount) * size, element.data(), size);
        ++FCount;
    }
}

void TContainer::ReadImage(TContainerSource& source) {
    uint8_t header[kHeaderSize];
    const int64_t start = source.Position();
    if (!source.Read(header, kHeaderSize))
        throw TKestSerialization(
            "the data end inside the 24-byte container header" +
            (start >= 0 ? " that starts at offset " + std::to_string(start) : std::string()));
    const TContainerHeader h = DecodeHeader(header);
    TakeHeader(h, false);
    TLoadingScope loading(*this);
    if (!IsPointerMode()) {
        ReadContiguous(h.count, source);
    } else {
        if (h.count > 0)
            Reallocate(h.count < 1024 ? h.count : 1024);
        for (int32_t i = 0; i < h.count; ++i) {
            const TItemPlace place{i, h.count};
            if (!FSizePrefix) {
                KeepReadItem(place.Read([&] { return source.ReadItem(*this); }));
                continue;
            }
            const int64_t mark = source.Position();
            uint8_t bytes[4];
            if (mark < 0)
                throw TKestSerialization(
                    place.Say("size prefixes on a medium that cannot tell its position"));
            if (!source.Read(bytes, 4))
                throw TKestSerialization(place.Say("the data end in its size prefix"));
            const int32_t size = kest::io::LoadInt32(bytes);
            void* item = place.Read([&] { return source.ReadItem(*this); });
            const int64_t after = source.Position();
            const int64_t consumed = after - mark - 4;
            // An item that read beyond its announced size has eaten into what follows.
            if (item == nullptr || after < 0 || size < consumed) {
                if (item != nullptr)
                    DisposeLoose(item);
                throw TKestSerialization(place.Say(
                    item == nullptr
                        ? "the data end, or this container makes no item of the stored type tag"
                        : "it read " + std::to_string(consumed) + " bytes, its size prefix at offset " +
                              std::to_string(mark) + " says " + std::to_string(size)));
            }
            KeepReadItem(item);
            if (size > consumed && !source.Skip(size - consumed))
                throw TKestSerialization(place.Say("the data end before the " + std::to_string(size) +
                                                   " bytes its size prefix announces"));
        }
    }
    if (FCount > 0 && FAllocated != FCount && FCount == h.count)
        Reallocate(FCount);
    if (FPeerData) {
        source.ReadPeers(*FPeers);
        FPeers->Apply(*this);
    }
}

void TContainer::WriteDirect(FILE* file) {
    TFileSink sink(file);
    WriteImage(sink);
}

void TContainer::ReadDirect(FILE* file) {
    TFileSource source(file);
    ReadImage(source);
}

void TContainer::WriteBinary(std::ostream& stream) {
    if (stream.tellp() != std::ostream::pos_type(-1)) {
        TStreamSink sink(stream);
        WriteImage(sink);
        return;
    }
    // A stream that cannot tell its position cannot have the lengths patched in either: the
    // image is made apart, its positions counted from its own start, and then copied out.
    std::ostringstream image(std::ios_base::binary);
    TStreamSink sink(image);
    WriteImage(sink);
    const std::string bytes = image.str();
    kest::io::PutBytes(stream, bytes.data(), bytes.size());
}

void TContainer::ReadBinary(std::istream& stream) {
    TStreamSource source(stream);
    ReadImage(source);
}

void TContainer::WriteToBuffer(TMemBuffer& buffer) {
    TBufferSink sink(buffer);
    WriteImage(sink);
}

void TContainer::ReadFromSpace(TMemSpace& space) {
    TSpaceSource source(space);
    ReadImage(source);
}

void TContainer::WriteText(FILE* file) {
    kest::io::PutFormat(file, "%d ", FCompressed ? 1 : 0);
    if (FCompressed) {
        TContainerBase::WriteText(file);
        return;
    }
    TSavingScope saving(*this);
    const std::vector<int32_t> values = TextValues(HeaderOf(*this, FCount));
    for (size_t i = 0; i < values.size(); ++i)
        kest::io::PutFormat(file, i + 1 < values.size() ? "%d " : "%d\n", values[i]);
    for (int32_t i = 0; i < FCount; ++i) {
        void* item = At(i);
        if (item == nullptr)
            throw TKestBadIndex();
        if (FInline) {
            const unsigned char* bytes = static_cast<const unsigned char*>(item);
            for (int32_t b = 0; b < FElementSize; ++b) {
                if (b != 0)
                    kest::io::PutChar(file, b % 8 == 0 ? '\n' : ' ');
                kest::io::PutFormat(file, "%02x", bytes[b]);
            }
            kest::io::PutChar(file, '\n');
        } else {
            TContainerItem& object = *static_cast<TContainerItem*>(item);
            kest::io::PutFormat(file, "%d\n", object.FTypeId);
            object.WriteText(file);
        }
    }
    if (FPeerData)
        FPeers->WriteText(file);
}

void TContainer::ReadText(FILE* file) {
    int32_t compressed = 0;
    if (!ReadDecimal(file, compressed))
        throw TKestSerialization("no compressed flag (a decimal number) where the container's text starts");
    if (compressed != 0) {
        FCompressed = true;
        TContainerBase::ReadText(file);
        return;
    }
    FCompressed = false;
    int32_t values[kHeaderValues];
    for (int i = 0; i < kHeaderValues; ++i)
        if (!ReadDecimal(file, values[i]))
            throw TKestSerialization(HeaderNumberMissing(i));
    const TContainerHeader h = HeaderFromText(values);
    TakeHeader(h, true);
    TLoadingScope loading(*this);
    if (h.count > 0)
        Reallocate(h.count < 1024 ? h.count : 1024);
    for (int32_t i = 0; i < h.count; ++i) {
        const TItemPlace place{i, h.count};
        if (FInline) {
            // The elements start on the line after the header; each is a hex block, read
            // exactly as written, possibly in pieces.
            if (i == 0 && std::fgetc(file) != '\n')
                throw TKestSerialization(place.Say("the elements do not start on the line after the header"));
            TElementText text{file, 0, static_cast<size_t>(FElementSize), std::string()};
            void* element = nullptr;
            try {
                element = place.Read([&] {
                    return ReadElement(
                        [](void* context, unsigned char* data, size_t size) -> bool {
                            TElementText& at = *static_cast<TElementText*>(context);
                            if (!kest::detail::ReadHexBlock(at.file, data, size, at.done, at.total,
                                                            at.problem))
                                return false;
                            at.done += size;
                            return true;
                        },
                        &text);
                });
            } catch (const TKestSerialization&) {
                if (!text.problem.empty())
                    throw TKestSerialization(place.Say(text.problem));
                throw;
            }
            KeepReadItem(element);
            continue;
        }
        int32_t typeId = 0;
        if (!ReadDecimal(file, typeId))
            throw TKestSerialization(place.Say("no type tag (a decimal number)"));
        KeepReadItem(place.Read(
            [&] { return ReadNewItem(typeId, [file](TContainerItem& item) { item.ReadText(file); }); }));
    }
    if (FCount > 0 && FAllocated != FCount && FCount == h.count)
        Reallocate(FCount);
    if (FPeerData) {
        FPeers->ReadText(file);
        FPeers->Apply(*this);
    }
}

void TContainer::WriteText(std::ostream& stream) {
    TSavingScope saving(*this);
    const std::vector<int32_t> values = TextValues(HeaderOf(*this, FCount));
    for (size_t i = 0; i < values.size(); ++i)
        stream << values[i] << (i + 1 < values.size() ? ' ' : '\n');
    kest::io::CheckStream(stream);
    for (int32_t i = 0; i < FCount; ++i)
        WriteItemAt(stream, i, std::ios_base::out);
    if (FPeerData)
        FPeers->WriteText(stream);
}

void TContainer::ReadText(std::istream& stream) {
    int32_t values[kHeaderValues];
    for (int i = 0; i < kHeaderValues; ++i)
        if (!(stream >> values[i]))
            throw TKestSerialization(HeaderNumberMissing(i));
    const TContainerHeader h = HeaderFromText(values);
    TakeHeader(h, true);
    TLoadingScope loading(*this);
    if (h.count > 0)
        Reallocate(h.count < 1024 ? h.count : 1024);
    for (int32_t i = 0; i < h.count; ++i)
        KeepReadItem(TItemPlace{i, h.count}.Read([&] { return ReadItem(stream, std::ios_base::in); }));
    if (FCount > 0 && FAllocated != FCount && FCount == h.count)
        Reallocate(FCount);
    if (FPeerData) {
        FPeers->ReadText(stream);
        FPeers->Apply(*this);
    }
}
