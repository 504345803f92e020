#include "containers/container.h"

#include <cstdlib>
#include <cstring>
#include <istream>
#include <limits>
#include <new>
#include <ostream>
#include <typeinfo>

#include "containers/block_allocation.h"
#include "containers/byte_io.h"
#include "containers/kest_exception.h"
#include "containers/peer_data_container.h"
#include "memory/mem_buffer.h"

using kest::io::TByteSink;
using kest::io::TByteSource;

namespace {

// Every array and element block must be describable by a 32-bit size.
constexpr int64_t kMaxBytes = std::numeric_limits<int32_t>::max();

void* AllocateOrThrow(size_t bytes) {
    void* block = kest::detail::AllocateBlock(bytes == 0 ? 1 : bytes);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

// A copy of source's contiguous elements in a new array of its capacity, which allocated
// receives; throws TKestBadAlloc for a size that does not fit, std::bad_alloc without room.
void* CopyElements(const TContainer& source, int32_t& allocated) {
    allocated = source.FAllocated > source.FCount ? source.FAllocated : source.FCount;
    const int64_t bytes = static_cast<int64_t>(allocated) * source.FElementSize;
    if (source.FElementSize <= 0 || bytes > kMaxBytes)
        throw TKestBadAlloc();
    void* elements = AllocateOrThrow(static_cast<size_t>(bytes));
    std::memcpy(elements, source.FItems,
                static_cast<size_t>(source.FCount) * static_cast<size_t>(source.FElementSize));
    return elements;
}

// Clears the copying flags on both sides of an assignment and disposes of any peer
// container left behind, however the assignment ends.
class TCopyingScope {
public:
    TCopyingScope(TContainer& target, const TContainer& source) : FTarget(target), FSource(source) {
        FTarget.FCopying = true;
        FSource.FCopying = true;
    }
    ~TCopyingScope() {
        FTarget.FCopying = false;
        FSource.FCopying = false;
        delete FSource.FPeers;
        FSource.FPeers = nullptr;
        delete FTarget.FPeers;
        FTarget.FPeers = nullptr;
    }
    TCopyingScope(const TCopyingScope&) = delete;
    TCopyingScope& operator=(const TCopyingScope&) = delete;

private:
    TContainer& FTarget;
    const TContainer& FSource;
};

}  // namespace

TContainer::TContainer(const TContainer& source) : TContainerBase(source) {
    CopyConstruct(source);
}

void TContainer::CopyConstruct(const TContainer& source) {
    FBuffered = source.FBuffered;
    FCompressed = source.FCompressed;
    FTypeId = source.FTypeId;
    FInline = source.FInline;
    FPointers = source.FPointers;
    FLinearGrowth = source.FLinearGrowth;
    Assign(source);
}

TContainer::TContainer(TContainer&& source) noexcept : TContainerBase(source) {
    TakeOver(source);
}

TContainer& TContainer::operator=(const TContainer& source) {
    if (this != &source)
        Assign(source);
    return *this;
}

// Between two containers of any classes the modes must fit, which only a check at run
// time can tell; derived classes move between their own kind with MoveFrom, which cannot throw.
// NOLINTNEXTLINE(performance-noexcept-move-constructor,bugprone-exception-escape)
TContainer& TContainer::operator=(TContainer&& source) {
    if (this == &source)
        return *this;
    if (typeid(*this) != typeid(source) && (source.FInline != FInline || source.FPointers != FPointers ||
                                            (source.FInline && !AcceptsElementSize(source.FElementSize))))
        throw TKestBadAssign("Containers of different storage modes cannot be moved into each other");
    MoveFrom(source);
    return *this;
}

void TContainer::MoveFrom(TContainer& source) noexcept {
    if (this == &source)
        return;
    // As in the destructor: Clear throws only for an index out of range, which its own loop
    // never passes; should it ever, the array is still released.
    try {
        Clear(true);
    } catch (...) {
        std::free(FItems);
        FItems = nullptr;
    }
    TContainerBase::operator=(source);
    TakeOver(source);
}

void TContainer::TakeOver(TContainer& source) noexcept {
    FItems = source.FItems;
    FCount = source.FCount;
    FAllocated = source.FAllocated;
    FGrowBy = source.FGrowBy;
    FInline = source.FInline;
    FPointers = source.FPointers;
    FReserved = source.FReserved;
    FOwnsItems = source.FOwnsItems;
    FDuplicates = source.FDuplicates;
    FPeerData = source.FPeerData;
    FSizePrefix = source.FSizePrefix;
    FLinearGrowth = source.FLinearGrowth;
    FElementSize = source.FElementSize;
    source.FItems = nullptr;
    source.FCount = 0;
    source.FAllocated = 0;
    if (FInline)
        return;
    for (int32_t i = 0; i < FCount; ++i) {
        if (Slots()[i] != nullptr)
            static_cast<TContainerItem*>(Slots()[i])->FOwner = this;
    }
}

TContainer::~TContainer() {
    // Clear throws only for an index out of range, which its own loop never passes. A
    // destructor must not throw, so should it ever do so the array is still released.
    try {
        Clear(true);
    } catch (...) {
        std::free(FItems);
        FItems = nullptr;
    }
    delete FPeers;
}

int32_t TContainer::SlotSize() const {
    return IsPointerMode() ? static_cast<int32_t>(sizeof(void*)) : FElementSize;
}

void TContainer::CheckIndex(int index) const {
    if (index < 0 || index >= FCount)
        throw TKestBadIndex();
}

const void* TContainer::At(int index) const {
    CheckIndex(index);
    if (IsPointerMode())
        return Slots()[index];
    return Bytes() + static_cast<size_t>(index) * static_cast<size_t>(FElementSize);
}

void* TContainer::At(int index) {
    return const_cast<void*>(static_cast<const TContainer&>(*this).At(index));
}

void TContainer::Reallocate(int32_t n) {
    const int32_t unit = SlotSize();
    if (unit <= 0 || n < FCount || n <= 0)
        throw TKestBadAlloc();
    const int64_t bytes = static_cast<int64_t>(n) * unit;
    if (bytes > kMaxBytes)
        throw TKestBadAlloc();
    void* block = kest::detail::ResizeBlock(FItems, static_cast<size_t>(bytes));
    if (block == nullptr)
        throw std::bad_alloc();
    FItems = block;
    FAllocated = n;
}

void TContainer::Grow() {
    if (FCount < FAllocated && FItems != nullptr)
        return;
    const int32_t unit = SlotSize();
    if (unit <= 0)
        throw TKestBadAlloc();
    const int64_t step = FGrowBy > 0 ? FGrowBy : 1;
    int64_t wanted = FLinearGrowth ? FCount + step : (FCount == 0 ? step : int64_t{FCount} * 2);
    const int64_t most = kMaxBytes / unit;
    if (wanted > most)
        wanted = most;
    if (wanted <= FCount)
        throw TKestBadAlloc();
    Reallocate(static_cast<int32_t>(wanted));
}

void* TContainer::StoreItem(void* item) {
    Grow();
    if (IsPointerMode()) {
        Slots()[FCount] = item;
        ++FCount;
        if (!FInline && item != nullptr)
            static_cast<TContainerItem*>(item)->FOwner = this;
        return item;
    }
    unsigned char* slot = Bytes() + static_cast<size_t>(FCount) * static_cast<size_t>(FElementSize);
    if (item != nullptr)
        std::memcpy(slot, item, static_cast<size_t>(FElementSize));
    else
        std::memset(slot, 0, static_cast<size_t>(FElementSize));
    ++FCount;
    return slot;
}

void TContainer::AddItem(void* item) {
    if (IsPointerMode() && !FDuplicates) {
        for (int32_t i = 0; i < FCount; ++i) {
            void* present = Slots()[i];
            if (present != nullptr && Compare(present, item) == 0)
                return;
        }
    }
    StoreItem(item);
}

void TContainer::SetCapacity(int n) {
    if (n < 0)
        throw TKestBadAlloc();
    if (n == 0) {
        Clear(true);
        return;
    }
    Reallocate(n);
}

void TContainer::SetGrowBy(int n) {
    if (n > 0)
        FGrowBy = n;
}

int32_t TContainer::TypeIdAt(int index) const {
    if (FInline || index < 0 || index >= FCount)
        return 0;
    const void* item = Slots()[index];
    return item != nullptr ? static_cast<const TContainerItem*>(item)->FTypeId : 0;
}

void TContainer::Assign(const TContainerItem& source) {
    if (&source == this)
        return;
    const TContainer* container = dynamic_cast<const TContainer*>(&source);
    if (container == nullptr || container->FInline != FInline || container->FPointers != FPointers)
        throw TKestBadAssign();
    if (FInline && !AcceptsElementSize(container->FElementSize))
        throw TKestBadAssign();
    AssignFrom(*container);
}

void TContainer::AssignFrom(const TContainer& source) {
    // Contiguous elements are copied into a new array before anything else changes, so
    // that a failed allocation leaves this container as it was.
    int32_t allocated = 0;
    void* elements = !IsPointerMode() && source.FCount > 0 ? CopyElements(source, allocated) : nullptr;

    // The present items go under this container's own ownership rule, before the
    // source's settings replace it.
    Clear(true);
    FGrowBy = source.FGrowBy;
    FElementSize = source.FElementSize;
    FReserved = source.FReserved;
    FOwnsItems = source.FOwnsItems;
    FDuplicates = source.FDuplicates;
    FPeerData = source.FPeerData;
    FSizePrefix = source.FSizePrefix;

    if (elements != nullptr) {
        FItems = elements;
        FAllocated = allocated;
        FCount = source.FCount;
    }

    TCopyingScope copying(*this, source);
    if (FPeerData) {
        delete source.FPeers;
        source.FPeers = new TPeerDataContainer();
    }

    if (IsPointerMode())
        CopyItemsFrom(source);

    if (FPeerData) {
        FPeers = source.FPeers;
        source.FPeers = nullptr;
        FPeers->Apply(*this);
    }
}

void TContainer::CopyItemsFrom(const TContainer& source) {
    for (int32_t i = 0; i < source.FCount; ++i) {
        void* original = source.Slots()[i];
        if (original == nullptr) {
            StoreItem(nullptr);
            continue;
        }
        void* copy = CreateItem(FInline ? 0 : source.TypeIdAt(i));
        if (copy == nullptr)
            throw TKestBadAssign();
        const int32_t before = FCount;
        try {
            CopyItem(copy, original);
            AddItem(copy);
        } catch (...) {
            DisposeLoose(copy);
            throw;
        }
        if (FCount == before)
            DisposeLoose(copy);
    }
}

void* TContainer::CreateItem(int32_t) {
    if (!FInline)
        return nullptr;
    if (FElementSize <= 0)
        throw TKestBadAlloc();
    void* block = kest::detail::AllocateZeroedBlock(static_cast<size_t>(FElementSize));
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

int TContainer::Compare(const void*, const void*) {
    return 0;
}

void TContainer::DeleteItem(int index) {
    CheckIndex(index);
    if (!IsPointerMode() || !FOwnsItems)
        return;
    void* item = Slots()[index];
    Slots()[index] = nullptr;
    if (FInline)
        ReleaseElement(item);
    else
        delete static_cast<TContainerItem*>(item);
}

void TContainer::Clear(bool deleteItems) {
    if (IsPointerMode() && deleteItems) {
        for (int32_t i = 0; i < FCount; ++i)
            DeleteItem(i);
    }
    std::free(FItems);
    FItems = nullptr;
    FCount = 0;
    FAllocated = 0;
}

void TContainer::WriteItemAt(FILE* file, int index) {
    WriteRecord(TByteSink(file), index, std::ios_base::binary);
}

void TContainer::WriteItemAt(std::ostream& stream, int index, std::ios_base::openmode mode) {
    WriteRecord(TByteSink(stream), index, mode);
}

void TContainer::WriteItemAt(TMemBuffer& buffer, int index) {
    WriteRecord(TByteSink(buffer), index, std::ios_base::binary);
}

void TContainer::WriteRecord(const TByteSink& sink, int index, std::ios_base::openmode mode) {
    void* item = At(index);
    if (item == nullptr)
        throw TKestBadIndex();
    // Only a stream has a text form of its own: decimal bytes, or the item's stream text.
    const bool text = sink.FStream != nullptr && mode != std::ios_base::binary;
    if (FInline && !text) {
        sink.Write(item, static_cast<size_t>(FElementSize));
        return;
    }
    if (FInline) {
        const unsigned char* bytes = static_cast<const unsigned char*>(item);
        for (int32_t i = 0; i < FElementSize; ++i)
            kest::io::WriteDecimal(sink, bytes[i], (i + 1) % 8 == 0 || i + 1 == FElementSize ? '\n' : ' ');
        return;
    }
    TContainerItem& object = *static_cast<TContainerItem*>(item);
    if (text) {
        // The text form carries the item in its own text form, not in a binary wrapper.
        kest::io::WriteDecimal(sink, object.FTypeId, ' ');
        object.WriteText(*sink.FStream);
    } else if (sink.FBuffer != nullptr) {
        kest::io::WritePackedInt(sink, object.FTypeId);
        WriteItem(*sink.FBuffer, object);
    } else {
        kest::io::WriteInt32(sink, object.FTypeId);
        if (sink.FFile != nullptr)
            WriteItem(sink.FFile, object);
        else
            WriteItem(*sink.FStream, object, mode);
    }
}

void* TContainer::ReadElement(const TByteSource& source, bool decimal) {
    if (FElementSize <= 0)
        throw TKestBadAlloc();
    const kest::io::TStepReader read = [&](uint8_t* at, size_t, size_t size) {
        for (size_t i = 0; decimal && i < size; ++i) {
            int32_t value = 0;
            if (!kest::io::ReadDecimal(source, value))
                return false;
            at[i] = static_cast<uint8_t>(value);
        }
        return decimal || source.Read(at, size);
    };
    // The block grows only with bytes that are really there, whatever size damaged data announce.
    return kest::io::ReadInSteps(static_cast<size_t>(FElementSize), -1, read).release();
}

void* TContainer::ReadItem(TMemSpace& space) {
    return FInline ? ReadElement(TByteSource(space), false) : TContainerBase::ReadItem(space);
}

void* TContainer::ReadItem(FILE* file) {
    return FInline ? ReadElement(TByteSource(file), false) : TContainerBase::ReadItem(file);
}

void* TContainer::ReadItem(std::istream& stream, std::ios_base::openmode mode) {
    if (!FInline)
        return TContainerBase::ReadItem(stream, mode);
    return ReadElement(TByteSource(stream), mode != std::ios_base::binary);
}

void* TContainer::CloneItem(int index) {
    void* original = At(index);
    if (original == nullptr)
        return nullptr;
    void* copy = CreateItem(FInline ? 0 : TypeIdAt(index));
    if (copy == nullptr)
        return nullptr;
    try {
        CopyItem(copy, original);
    } catch (...) {
        DisposeLoose(copy);
        throw;
    }
    return copy;
}

void TContainer::CopyItem(void* target, void* source) {
    if (FInline) {
        if (FElementSize > 0)
            std::memcpy(target, source, static_cast<size_t>(FElementSize));
        return;
    }
    TContainerItem& copy = *static_cast<TContainerItem*>(target);
    TContainerItem& original = *static_cast<TContainerItem*>(source);
    copy.Assign(original);
    original.CopiedTo(copy);
}

int32_t TContainer::ItemByteSize(int index) const {
    if (FInline)
        return FElementSize;
    if (index < 0 || index >= FCount || Slots()[index] == nullptr)
        return 0;
    return static_cast<const TContainerItem*>(Slots()[index])->ObjectSize();
}

bool TContainer::AcceptsElementSize(int32_t) const {
    return true;
}

void TContainer::ReleaseElement(void* element) {
    std::free(element);
}

void TContainer::DisposeLoose(void* item) const {
    if (FInline)
        ReleaseElement(item);
    else
        DiscardReadItem(static_cast<TContainerItem*>(item));
}

namespace {

// Frees the items a container holds for its caller (those it does not own), and the same
// inside every container among its items; their slots are emptied.
void ReleaseCallerItems(TContainer& container) {
    if (!container.IsPointerMode())
        return;
    void** slots = static_cast<void**>(container.FItems);
    for (int32_t i = 0; i < container.FCount; ++i) {
        if (slots[i] == nullptr)
            continue;
        if (!container.FInline) {
            TContainerItem* object = static_cast<TContainerItem*>(slots[i]);
            if (TContainer* nested = dynamic_cast<TContainer*>(object))
                ReleaseCallerItems(*nested);
            if (container.FOwnsItems)
                continue;
            delete object;
        } else if (container.FOwnsItems) {
            continue;
        } else {
            TContainer::ReleaseElement(slots[i]);
        }
        slots[i] = nullptr;
    }
}

}  // namespace

void TContainerBase::DiscardReadItem(TContainerItem* item) {
    if (TContainer* container = dynamic_cast<TContainer*>(item))
        ReleaseCallerItems(*container);
    delete item;
}
