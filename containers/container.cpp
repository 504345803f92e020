#include "containers/container.h"

#include <cstdlib>
#include <cstring>
#include <istream>
#include <limits>
#include <memory>
#include <new>
#include <ostream>
#include <typeinfo>
#include <vector>

#include "containers/binary_io.h"
#include "containers/block_allocation.h"
#include "containers/kest_exception.h"
#include "containers/peer_data_container.h"
#include "memory/mem_buffer.h"

namespace {

// Every array and element block must be describable by a 32-bit size.
constexpr int64_t kMaxBytes = std::numeric_limits<int32_t>::max();
// Elements larger than this are read in pieces of this size.
constexpr size_t kPieceBytes = size_t{64} * 1024;

void* AllocateOrThrow(size_t bytes) {
    void* block = kest::detail::AllocateBlock(bytes == 0 ? 1 : bytes);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
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
    void* elements = nullptr;
    int32_t allocated = 0;
    if (!IsPointerMode() && source.FCount > 0) {
        allocated = source.FAllocated > source.FCount ? source.FAllocated : source.FCount;
        if (source.FElementSize <= 0)
            throw TKestBadAlloc();
        const int64_t bytes = static_cast<int64_t>(allocated) * source.FElementSize;
        if (bytes > kMaxBytes)
            throw TKestBadAlloc();
        elements = AllocateOrThrow(static_cast<size_t>(bytes));
        std::memcpy(elements, source.FItems,
                    static_cast<size_t>(source.FCount) * static_cast<size_t>(source.FElementSize));
    }

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
    void* item = At(index);
    if (item == nullptr)
        throw TKestBadIndex();
    if (FInline) {
        kest::io::PutBytes(file, item, static_cast<size_t>(FElementSize));
        return;
    }
    TContainerItem& object = *static_cast<TContainerItem*>(item);
    kest::io::WriteInt32(file, object.FTypeId);
    WriteItem(file, object);
}

void TContainer::WriteItemAt(std::ostream& stream, int index, std::ios_base::openmode mode) {
    void* item = At(index);
    if (item == nullptr)
        throw TKestBadIndex();
    const bool binary = mode == std::ios_base::binary;
    if (FInline) {
        const unsigned char* bytes = static_cast<const unsigned char*>(item);
        if (binary) {
            kest::io::PutBytes(stream, bytes, static_cast<size_t>(FElementSize));
            return;
        }
        for (int32_t i = 0; i < FElementSize; ++i) {
            if (i != 0)
                stream << (i % 8 == 0 ? '\n' : ' ');
            stream << static_cast<int>(bytes[i]);
        }
        stream << '\n';
        kest::io::CheckStream(stream);
        return;
    }
    TContainerItem& object = *static_cast<TContainerItem*>(item);
    if (binary) {
        kest::io::WriteInt32(stream, object.FTypeId);
        WriteItem(stream, object, mode);
        return;
    }
    // The text form carries the item in its own text form, not in a binary wrapper.
    stream << object.FTypeId << ' ';
    kest::io::CheckStream(stream);
    object.WriteText(stream);
}

void TContainer::WriteItemAt(TMemBuffer& buffer, int index) {
    void* item = At(index);
    if (item == nullptr)
        throw TKestBadIndex();
    if (FInline) {
        buffer.Append(item, FElementSize);
        return;
    }
    TContainerItem& object = *static_cast<TContainerItem*>(item);
    buffer.AppendInt(object.FTypeId);
    WriteItem(buffer, object);
}

void* TContainer::ReadElement(bool (*read)(void* context, unsigned char* data, size_t size), void* context) {
    if (FElementSize <= 0)
        throw TKestBadAlloc();
    const size_t size = static_cast<size_t>(FElementSize);
    if (size <= kPieceBytes) {
        void* block = TContainer::CreateItem(0);
        if (!read(context, static_cast<unsigned char*>(block), size)) {
            ReleaseElement(block);
            return nullptr;
        }
        return block;
    }
    // A large element is gathered piece by piece first, so that a size announced by damaged
    // data costs memory only as far as the data really reach.
    std::vector<unsigned char> bytes;
    while (bytes.size() < size) {
        const size_t at = bytes.size();
        const size_t step = size - at < kPieceBytes ? size - at : kPieceBytes;
        bytes.resize(at + step);
        if (!read(context, bytes.data() + at, step))
            return nullptr;
    }
    void* block = TContainer::CreateItem(0);
    std::memcpy(block, bytes.data(), size);
    return block;
}

void* TContainer::ReadItem(TMemSpace& space) {
    if (!FInline)
        return TContainerBase::ReadItem(space);
    return ReadElement(
        [](void* context, unsigned char* data, size_t size) -> bool {
            return static_cast<TMemSpace*>(context)->ReadBytes(data, static_cast<int32_t>(size)) != nullptr;
        },
        &space);
}

void* TContainer::ReadItem(FILE* file) {
    if (!FInline)
        return TContainerBase::ReadItem(file);
    return ReadElement(
        [](void* context, unsigned char* data, size_t size) -> bool {
            return std::fread(data, 1, size, static_cast<FILE*>(context)) == size;
        },
        file);
}

void* TContainer::ReadItem(std::istream& stream, std::ios_base::openmode mode) {
    if (!FInline)
        return TContainerBase::ReadItem(stream, mode);
    if (mode == std::ios_base::binary) {
        return ReadElement(
            [](void* context, unsigned char* data, size_t size) -> bool {
                return static_cast<bool>(static_cast<std::istream*>(context)->read(
                    reinterpret_cast<char*>(data), static_cast<std::streamsize>(size)));
            },
            &stream);
    }
    return ReadElement(
        [](void* context, unsigned char* data, size_t size) -> bool {
            std::istream& in = *static_cast<std::istream*>(context);
            for (size_t i = 0; i < size; ++i) {
                int value = 0;
                if (!(in >> value))
                    return false;
                data[i] = static_cast<unsigned char>(value);
            }
            return true;
        },
        &stream);
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
