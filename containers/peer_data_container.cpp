#include "containers/peer_data_container.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "containers/block_allocation.h"
#include "containers/kest_exception.h"

namespace {

constexpr int32_t kRecordSize = static_cast<int32_t>(sizeof(TPeerDataContainer::TRecord));

// True when a pointer field at offset lies wholly within an item of size bytes.
bool FieldFits(int32_t offset, int32_t size) {
    return offset >= 0 && static_cast<int64_t>(offset) + static_cast<int64_t>(sizeof(void*)) <= size;
}

}  // namespace

TPeerDataContainer::TPeerDataContainer() {
    Init();
}

TPeerDataContainer::TPeerDataContainer(const TPeerDataContainer& source) : TPeerDataContainer() {
    CopyConstruct(source);
}

void TPeerDataContainer::Init() {
    FInline = true;
    FPointers = false;
    FElementSize = kRecordSize;
    FPeerData = false;
}

void* TPeerDataContainer::CreateItem(int32_t) {
    void* block = kest::detail::AllocateZeroedBlock(sizeof(TRecord));
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void TPeerDataContainer::CopyItem(void* target, void* source) {
    std::memcpy(target, source, sizeof(TRecord));
}

bool TPeerDataContainer::AcceptsElementSize(int32_t size) const {
    return size == kRecordSize;
}

const TPeerDataContainer::TRecord& TPeerDataContainer::Record(int index) const {
    if (!FInline || FElementSize != kRecordSize)
        throw TKestSerialization();
    return *static_cast<const TRecord*>(At(index));
}

TPeerDataContainer::TRecord& TPeerDataContainer::Record(int index) {
    return const_cast<TRecord&>(static_cast<const TPeerDataContainer&>(*this).Record(index));
}

TPeerDataContainer& TPeerDataContainer::Add(int32_t itemIndex, int32_t targetIndex, int32_t offset) {
    TRecord record{itemIndex, targetIndex, offset};
    AddItem(&record);
    return *this;
}

void TPeerDataContainer::Apply(TContainer& owner) const {
    const int32_t count = Count();
    for (int32_t i = 0; i < count; ++i) {
        const TRecord& record = Record(i);
        const std::string where =
            "fix-up record " + std::to_string(i + 1) + " of " + std::to_string(count) + ": ";
        if (record.FItemIndex < 0 || record.FItemIndex >= owner.Count())
            throw TKestBadIndex(where + "item " + std::to_string(record.FItemIndex) + " of " +
                                std::to_string(owner.Count()));
        if (record.FTargetIndex < -1 || record.FTargetIndex >= owner.Count())
            throw TKestBadIndex(where + "target " + std::to_string(record.FTargetIndex) + " of " +
                                std::to_string(owner.Count()));
        if (owner.At(record.FItemIndex) == nullptr)
            throw TKestBadIndex(where + "item " + std::to_string(record.FItemIndex) + " is an empty slot");
        if (!FieldFits(record.FOffset, owner.ItemByteSize(record.FItemIndex)))
            throw TKestBadIndex(where + "offset " + std::to_string(record.FOffset) + " outside the " +
                                std::to_string(owner.ItemByteSize(record.FItemIndex)) + " bytes of item " +
                                std::to_string(record.FItemIndex));
    }
    for (int32_t i = 0; i < count; ++i) {
        const TRecord& record = Record(i);
        void* target = record.FTargetIndex == -1 ? nullptr : owner.At(record.FTargetIndex);
        unsigned char* holder = static_cast<unsigned char*>(owner.At(record.FItemIndex));
        std::memcpy(holder + record.FOffset, &target, sizeof(target));
    }
}
