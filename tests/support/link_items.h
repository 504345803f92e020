// Object items that point at a sibling, for the tests of the peer data: the pointer is
// recorded in the owner's peer data while the owner saves itself or is copied.
#pragma once

#include <cstdint>
#include <cstdio>
#include <istream>
#include <ostream>

#include "containers/byte_io.h"
#include "containers/container.h"
#include "containers/kest_exception.h"
#include "containers/peer_data_container.h"
#include "memory/mem_buffer.h"
#include "memory/mem_space.h"

namespace kest::test {

class TLinkItem : public TContainerItem {
public:
    using TContainerItem::ReadBinary;
    using TContainerItem::WriteBinary;

    TLinkItem* FNext = nullptr;
    int32_t FIndex = 0;

    int32_t ObjectSize() const override { return static_cast<int32_t>(sizeof(TLinkItem)); }
    // The offset of FNext in the item, as the peer data name it.
    static int32_t NextOffset() {
        TLinkItem probe;
        return static_cast<int32_t>(reinterpret_cast<const char*>(&probe.FNext) -
                                    reinterpret_cast<const char*>(&probe));
    }
    // Adds this item's pointer to the owner's peer data when the owner is saving (saving
    // true) or copying itself.
    void Record(bool saving) {
        TContainer* owner = static_cast<TContainer*>(FOwner);
        if (owner != nullptr && (saving ? owner->FSaving : owner->FCopying) && owner->FPeers != nullptr)
            owner->FPeers->Add(FIndex, FNext != nullptr ? FNext->FIndex : -1, NextOffset());
    }
    void WriteBinary(FILE* file) override {
        Record(true);
        kest::io::WriteInt32(kest::io::TByteSink(file), FIndex);
    }
    void ReadBinary(FILE* file) override { kest::io::ReadInt32(kest::io::TByteSource(file), FIndex); }
    void WriteToBuffer(TMemBuffer& buffer) override {
        Record(true);
        buffer.AppendInt(FIndex);
    }
    void ReadFromSpace(TMemSpace& space) override { FIndex = space.ReadInt(); }
    void WriteText(FILE* file) override {
        Record(true);
        std::fprintf(file, "%d\n", FIndex);
    }
    void ReadText(FILE* file) override {
        if (std::fscanf(file, "%d", &FIndex) != 1)
            throw TKestSerialization();
    }
    void WriteBinary(std::ostream& stream) override {
        Record(true);
        kest::io::WriteInt32(kest::io::TByteSink(stream), FIndex);
    }
    void ReadBinary(std::istream& stream) override {
        kest::io::ReadInt32(kest::io::TByteSource(stream), FIndex);
    }
    void WriteText(std::ostream& stream) override {
        Record(true);
        stream << FIndex << '\n';
    }
    void ReadText(std::istream& stream) override {
        if (!(stream >> FIndex))
            throw TKestSerialization();
    }
    // The pointer is not copied: the copying owner restores it from its peer data.
    void Assign(const TContainerItem& source) override {
        FIndex = static_cast<const TLinkItem&>(source).FIndex;
        FNext = nullptr;
    }
    void CopiedTo(TContainerItem&) override { Record(false); }
};

class TLinkContainer : public TContainer {
public:
    void* CreateItem(int32_t) override { return static_cast<TContainerItem*>(new TLinkItem); }
    TLinkItem& Link(int index) { return *static_cast<TLinkItem*>(static_cast<TContainerItem*>(At(index))); }
    // Adds count items numbered 0 to count - 1, pointing nowhere.
    void AddLinks(int count) {
        for (int i = 0; i < count; ++i) {
            TLinkItem* item = new TLinkItem;
            item->FIndex = i;
            AddItem(static_cast<TContainerItem*>(item));
        }
    }
};

}  // namespace kest::test
