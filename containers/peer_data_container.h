// The peer-data container: fix-up records that restore pointers between items of one container.
#pragma once

#include <cstdint>

#include "container.h"

// Contiguous 12-byte records. Lives only for one save, load or assignment of its owner.
class TPeerDataContainer : public TContainer {
public:
    // One pointer field to restore: three int32 values in this order.
    struct TRecord {
        // Index, in the owner, of the item that holds the pointer field.
        int32_t FItemIndex;
        // Index of the item pointed at, or -1 for a null pointer.
        int32_t FTargetIndex;
        // Byte offset of the pointer field inside the holding item.
        int32_t FOffset;
    };

    // The TContainer defaults, then Init.
    TPeerDataContainer();
    TPeerDataContainer(const TPeerDataContainer& source);
    TPeerDataContainer(TPeerDataContainer&& source) noexcept = default;
    TPeerDataContainer& operator=(const TPeerDataContainer& source) = default;
    TPeerDataContainer& operator=(TPeerDataContainer&& source) noexcept {
        MoveFrom(source);
        return *this;
    }

    // Contiguous mode, 12-byte elements, no peer data of its own.
    void Init() override;
    // A new 12-byte block (whatever the tag), owned by the caller; release with ReleaseElement.
    void* CreateItem(int32_t typeId) override;
    // Copies the three values.
    void CopyItem(void* target, void* source) override;
    // Only 12-byte records.
    bool AcceptsElementSize(int32_t size) const override;

    // The record at index; throws TKestBadIndex.
    TRecord& Record(int index);
    const TRecord& Record(int index) const;
    // Appends a record; returns this container. Throws what AddItem throws.
    TPeerDataContainer& Add(int32_t itemIndex, int32_t targetIndex, int32_t offset);
    // Stores every record's target (null for -1) in the owner's items. All records are
    // checked first: one whose item or target names no item of owner, or whose pointer
    // field does not lie within owner.ItemByteSize of its item, throws TKestBadIndex and
    // nothing is written.
    void Apply(TContainer& owner) const;
};

static_assert(sizeof(TPeerDataContainer::TRecord) == 12, "a fix-up record is three int32 values");
