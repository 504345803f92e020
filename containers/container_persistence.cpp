// The stored forms of TContainer: direct binary images on every byte medium, the memory
// image, and the text forms.
#include <cstdio>
#include <istream>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>

#include "containers/byte_io.h"
#include "containers/container.h"
#include "containers/kest_exception.h"
#include "containers/peer_data_container.h"
#include "memory/mem_buffer.h"

using kest::io::TByteSink;
using kest::io::TByteSource;

namespace {

constexpr int kHeaderSize = 24;
constexpr int kHeaderValues = 11;

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

// An item record and the fix-up records of a binary image, each through the hook of the
// medium: a C file's and a binary stream's records are their binary forms, a memory
// image's their memory images.
void WriteRecordOn(TContainer& c, const TByteSink& sink, int index) {
    if (sink.FFile != nullptr)
        c.WriteItemAt(sink.FFile, index);
    else if (sink.FStream != nullptr)
        c.WriteItemAt(*sink.FStream, index, std::ios_base::binary);
    else
        c.WriteItemAt(*sink.FBuffer, index);
}

void WritePeersOn(TPeerDataContainer& peers, const TByteSink& sink) {
    if (sink.FFile != nullptr)
        peers.WriteBinary(sink.FFile);
    else if (sink.FStream != nullptr)
        peers.Write(*sink.FStream, std::ios_base::binary);
    else
        peers.WriteToBuffer(*sink.FBuffer);
}

void* ReadRecordFrom(TContainer& c, const TByteSource& source) {
    if (source.FFile != nullptr)
        return c.ReadItem(source.FFile);
    if (source.FStream != nullptr)
        return c.ReadItem(*source.FStream, std::ios_base::binary);
    return c.ReadItem(*source.FSpace);
}

void ReadPeersFrom(TPeerDataContainer& peers, const TByteSource& source) {
    if (source.FFile != nullptr)
        peers.ReadBinary(source.FFile);
    else if (source.FStream != nullptr)
        peers.Read(*source.FStream, std::ios_base::binary);
    else
        peers.ReadFromSpace(*source.FSpace);
}

}  // namespace

namespace kest::container_detail {

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

// The header line of the text forms: the values, a blank between them, a line end after.
void WriteHeaderText(const TByteSink& sink, const TContainerHeader& h) {
    const int32_t values[kHeaderValues] = {h.count,    h.growBy,      h.inlineElements, h.pointers,
                                           h.reserved, h.elementSize, h.ownsItems,      h.duplicates,
                                           h.peerData, h.sizePrefix,  h.linearGrowth};
    for (int i = 0; i < kHeaderValues; ++i)
        kest::io::WriteDecimal(sink, values[i], i + 1 < kHeaderValues ? ' ' : '\n');
}

// Reads the header line of the text forms.
TContainerHeader ReadHeaderText(const TByteSource& source) {
    int32_t v[kHeaderValues];
    for (int i = 0; i < kHeaderValues; ++i)
        if (!kest::io::ReadDecimal(source, v[i]))
            throw TKestSerialization("number " + std::to_string(i + 1) +
                                     " of the 11 of the container header is missing or not a 32-bit number");
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

}  // namespace kest::container_detail

using namespace kest::container_detail;

void TContainer::ReadBufferedImage(FILE* file) {
    const int64_t left = TByteSource(file).Remaining();
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
    TByteSource payload(file);
    if (left < static_cast<int64_t>(sizeof head) + 4 || !payload.Read(head, sizeof head))
        return false;
    const int32_t length = kest::io::LoadInt32(head);
    if (head[4] != 0 || length < kHeaderSize || int64_t{length} + 9 > left)
        return false;
    const TContainerHeader h = DecodeHeader(head + 5);
    if (!h.inlineElements || h.pointers || h.peerData)
        return false;
    if (std::fseek(file, -kHeaderSize, SEEK_CUR) != 0)
        return false;
    // Positions count from the payload's start, as in the memory space it stands for.
    payload.Bound(length);
    ReadImage(payload);
    // What the payload holds beyond the image, and the growth step, which a container
    // does not keep.
    if (!payload.Skip(payload.Remaining()) || !TByteSource(file).Skip(4))
        throw TKestSerialization("the data end inside the buffered image");
    return true;
}

// Header, items and peer records, as the binary forms share them.
void TContainer::WriteImage(const TByteSink& sink) {
    TSavingScope saving(*this);
    const int64_t start = sink.Position();
    uint8_t header[kHeaderSize];
    EncodeHeader(HeaderOf(*this, FCount), 0, header);
    sink.Write(header, kHeaderSize);
    if (!IsPointerMode())
        sink.Write(FItems, static_cast<size_t>(FCount) * static_cast<size_t>(FElementSize));
    for (int32_t i = 0; IsPointerMode() && i < FCount; ++i) {
        const int64_t mark = sink.Position();
        if (FSizePrefix)
            kest::io::WriteInt32(sink, 0);
        WriteRecordOn(*this, sink, i);
        if (FSizePrefix)
            sink.Patch(mark, static_cast<int32_t>(sink.Position() - mark - 4));
    }
    if (FPeerData)
        WritePeersOn(*FPeers, sink);
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

void TContainer::ReadContiguous(int32_t count, const TByteSource& source) {
    const int64_t total = int64_t{count} * FElementSize;
    const int64_t left = source.Remaining();
    if (left >= 0 && total > left)
        throw TKestSerialization(std::to_string(count) + " elements of " + std::to_string(FElementSize) +
                                 " bytes announced, " + std::to_string(left) + " bytes left");
    if (count == 0)
        return;
    const std::string cut = "the data end inside the " + std::to_string(count) + " elements";
    if (left >= 0) {
        // Known to be there: the whole array at once, in one read.
        Reallocate(count);
        if (!source.Read(FItems, static_cast<size_t>(total)))
            throw TKestSerialization(cut);
    } else {
        // The array grows only with the bytes that arrive.
        kest::detail::TTempBlock block = kest::io::ReadBlock(source, static_cast<size_t>(total));
        if (block == nullptr)
            throw TKestSerialization(cut);
        FItems = block.release();
        FAllocated = count;
    }
    FCount = count;
}

void* TContainer::ReadPrefixedRecord(const TItemPlace& place, const TByteSource& source) {
    const int64_t mark = source.Position();
    int32_t size = 0;
    if (mark < 0)
        throw TKestSerialization(place.Say("size prefixes on a medium that cannot tell its position"));
    if (!kest::io::ReadInt32(source, size))
        throw TKestSerialization(place.Say("the data end in its size prefix"));
    void* item = place.Read([&] { return ReadRecordFrom(*this, source); });
    const int64_t after = source.Position();
    const int64_t consumed = after - mark - 4;
    // An item that read beyond its announced size has eaten into what follows.
    if (after < 0 || size < consumed) {
        DisposeLoose(item);
        throw TKestSerialization(place.Say("it read " + std::to_string(consumed) +
                                           " bytes, its size prefix at offset " + std::to_string(mark) +
                                           " says " + std::to_string(size)));
    }
    KeepReadItem(item);
    if (size > consumed && !source.Skip(size - consumed))
        throw TKestSerialization(place.Say("the data end before the " + std::to_string(size) +
                                           " bytes its size prefix announces"));
    return nullptr;
}

template <typename TRead, typename TPeers>
void TContainer::ReadItems(int32_t count, TRead read, TPeers peers) {
    if (count > 0)
        Reallocate(count < 1024 ? count : 1024);
    for (int32_t i = 0; i < count; ++i)
        if (void* item = read(TItemPlace{i, count}))
            KeepReadItem(item);
    if (FCount > 0 && FAllocated != FCount && FCount == count)
        Reallocate(FCount);
    if (FPeerData) {
        peers();
        FPeers->Apply(*this);
    }
}

void TContainer::ReadImage(const TByteSource& source) {
    uint8_t header[kHeaderSize];
    const int64_t start = source.Position();
    if (!source.Read(header, kHeaderSize))
        throw TKestSerialization(
            "the data end inside the 24-byte container header" +
            (start >= 0 ? " that starts at offset " + std::to_string(start) : std::string()));
    const TContainerHeader h = DecodeHeader(header);
    TakeHeader(h, false);
    TLoadingScope loading(*this);
    // Contiguous elements are read whole; items one by one.
    if (!IsPointerMode())
        ReadContiguous(h.count, source);
    ReadItems(
        IsPointerMode() ? h.count : 0,
        [&](const TItemPlace& place) {
            return FSizePrefix ? ReadPrefixedRecord(place, source)
                               : place.Read([&] { return ReadRecordFrom(*this, source); });
        },
        [&] { ReadPeersFrom(*FPeers, source); });
}

void TContainer::WriteDirect(FILE* file) {
    WriteImage(TByteSink(file));
}

void TContainer::ReadDirect(FILE* file) {
    ReadImage(TByteSource(file));
}

void TContainer::WriteBinary(std::ostream& stream) {
    if (stream.tellp() != std::ostream::pos_type(-1)) {
        WriteImage(TByteSink(stream));
        return;
    }
    // A stream that cannot tell its position cannot have the lengths patched in either: the
    // image is made apart, its positions counted from its own start, and then copied out.
    std::ostringstream image(std::ios_base::binary);
    WriteImage(TByteSink(image));
    const std::string bytes = image.str();
    TByteSink(stream).Write(bytes.data(), bytes.size());
}

void TContainer::ReadBinary(std::istream& stream) {
    ReadImage(TByteSource(stream));
}

void TContainer::WriteToBuffer(TMemBuffer& buffer) {
    WriteImage(TByteSink(buffer));
}

void TContainer::ReadFromSpace(TMemSpace& space) {
    ReadImage(TByteSource(space));
}

void TContainer::WriteText(FILE* file) {
    const TByteSink sink(file);
    kest::io::WriteDecimal(sink, FCompressed ? 1 : 0, ' ');
    if (FCompressed) {
        TContainerBase::WriteText(file);
        return;
    }
    TSavingScope saving(*this);
    WriteHeaderText(sink, HeaderOf(*this, FCount));
    for (int32_t i = 0; i < FCount; ++i) {
        void* item = At(i);
        if (item == nullptr)
            throw TKestBadIndex();
        if (FInline) {
            kest::io::WriteHexBlock(sink, static_cast<const uint8_t*>(item),
                                    static_cast<size_t>(FElementSize), true);
            continue;
        }
        TContainerItem& object = *static_cast<TContainerItem*>(item);
        kest::io::WriteDecimal(sink, object.FTypeId, '\n');
        object.WriteText(file);
    }
    if (FPeerData)
        FPeers->WriteText(file);
}

void* TContainer::ReadTextRecord(const TItemPlace& place, const TByteSource& source) {
    if (!FInline) {
        int32_t typeId = 0;
        if (!kest::io::ReadDecimal(source, typeId))
            throw TKestSerialization(place.Say("no type tag (a decimal number)"));
        FILE* file = source.FFile;
        return place.Read(
            [&] { return ReadNewItem(typeId, [file](TContainerItem& item) { item.ReadText(file); }); });
    }
    // The elements start on the line after the header; each is a hex block, read exactly
    // as written.
    if (place.index == 0 && source.Get() != '\n')
        throw TKestSerialization(place.Say("the elements do not start on the line after the header"));
    const size_t size = static_cast<size_t>(FElementSize);
    std::string problem;
    void* element = kest::io::ReadInSteps(size, -1, [&](uint8_t* at, size_t first, size_t count) {
                        return kest::io::ReadHexBlock(source, at, count, first, size, problem);
                    }).release();
    if (element == nullptr)
        throw TKestSerialization(place.Say(problem));
    return element;
}

void TContainer::ReadText(FILE* file) {
    TByteSource source(file);
    int32_t compressed = 0;
    if (!kest::io::ReadDecimal(source, compressed))
        throw TKestSerialization("no compressed flag (a decimal number) where the container's text starts");
    FCompressed = compressed != 0;
    if (FCompressed) {
        TContainerBase::ReadText(file);
        return;
    }
    const TContainerHeader h = ReadHeaderText(source);
    TakeHeader(h, true);
    TLoadingScope loading(*this);
    ReadItems(
        h.count, [&](const TItemPlace& place) { return ReadTextRecord(place, source); },
        [&] { FPeers->ReadText(file); });
}

void TContainer::WriteText(std::ostream& stream) {
    TSavingScope saving(*this);
    WriteHeaderText(TByteSink(stream), HeaderOf(*this, FCount));
    for (int32_t i = 0; i < FCount; ++i)
        WriteItemAt(stream, i, std::ios_base::out);
    if (FPeerData)
        FPeers->WriteText(stream);
}

void TContainer::ReadText(std::istream& stream) {
    const TContainerHeader h = ReadHeaderText(TByteSource(stream));
    TakeHeader(h, true);
    TLoadingScope loading(*this);
    ReadItems(
        h.count,
        [&](const TItemPlace& place) {
            return place.Read([&] { return ReadItem(stream, std::ios_base::in); });
        },
        [&] { FPeers->ReadText(stream); });
}
