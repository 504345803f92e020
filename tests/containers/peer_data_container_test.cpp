#include "containers/peer_data_container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "containers/kest_exception.h"
#include "tests/support/link_items.h"

namespace {

using kest::test::TLinkContainer;
using kest::test::TLinkItem;

// Elements of 16 bytes with a pointer field at offset 8 (and room for one at 4).
constexpr int32_t kElementSize = 16;

void Fill(TContainer& owner, bool separateBlocks, int count) {
    owner.FInline = true;
    owner.FPointers = separateBlocks;
    owner.FElementSize = kElementSize;
    std::vector<uint8_t> pattern(kElementSize, 0xAB);
    for (int i = 0; i < count; ++i) {
        pattern[0] = static_cast<uint8_t>(i);
        if (separateBlocks) {
            void* block = owner.CreateItem(0);
            std::memcpy(block, pattern.data(), kElementSize);
            owner.AddItem(block);
        } else {
            owner.AddItem(pattern.data());
        }
    }
}

void* PointerAt(const TContainer& owner, int index, int offset) {
    void* value;
    std::memcpy(&value, static_cast<const uint8_t*>(owner.At(index)) + offset, sizeof value);
    return value;
}

std::vector<uint8_t> Snapshot(const TContainer& owner) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < owner.Count(); ++i) {
        const uint8_t* element = static_cast<const uint8_t*>(owner.At(i));
        bytes.insert(bytes.end(), element, element + kElementSize);
    }
    return bytes;
}

TEST(PeerDataContainer, IsAContiguousContainerOfTwelveByteRecords) {
    TPeerDataContainer peers;
    EXPECT_TRUE(peers.FInline);
    EXPECT_FALSE(peers.FPointers);
    EXPECT_EQ(peers.FElementSize, 12);
    EXPECT_FALSE(peers.FPeerData);
    EXPECT_EQ(peers.FGrowBy, 16);
    EXPECT_TRUE(peers.FOwnsItems);
    EXPECT_EQ(peers.Count(), 0);
}

TEST(PeerDataContainer, RecordsAreThreeLittleEndianIntegersBackToBack) {
    TPeerDataContainer peers;
    peers.Add(2, 0, 8).Add(1, -1, 4);
    ASSERT_EQ(peers.Count(), 2);
    const uint8_t expected[24] = {2, 0, 0, 0, 0,    0,    0,    0,    8, 0, 0, 0,
                                  1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 4, 0, 0, 0};
    EXPECT_EQ(std::memcmp(peers.FItems, expected, sizeof expected), 0);
    EXPECT_EQ(peers.Record(1).FTargetIndex, -1);
    EXPECT_EQ(peers.Record(1).FOffset, 4);
    EXPECT_THROW(peers.Record(2), TKestBadIndex);
    EXPECT_THROW(peers.Record(-1), TKestBadIndex);
}

TEST(PeerDataContainer, FactoryAndCopyHandleWholeRecords) {
    TPeerDataContainer peers;
    void* block = peers.CreateItem(99);
    const TPeerDataContainer::TRecord source{7, 8, 9};
    peers.CopyItem(block, const_cast<TPeerDataContainer::TRecord*>(&source));
    const auto* copy = static_cast<const TPeerDataContainer::TRecord*>(block);
    EXPECT_EQ(copy->FItemIndex, 7);
    EXPECT_EQ(copy->FTargetIndex, 8);
    EXPECT_EQ(copy->FOffset, 9);
    TContainer::ReleaseElement(block);
}

TEST(PeerDataContainer, CopiesKeepTheRecords) {
    TPeerDataContainer peers;
    peers.Add(1, 2, 3);
    TPeerDataContainer copy(peers);
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy.Record(0).FOffset, 3);
    TPeerDataContainer assigned;
    assigned = peers;
    EXPECT_EQ(assigned.Record(0).FTargetIndex, 2);
}

TEST(PeerDataContainer, RecordsPointFieldsAtTargetsOrClearThem) {
    for (bool separate : {false, true}) {
        TContainer owner;
        Fill(owner, separate, 3);
        TPeerDataContainer peers;
        peers.Add(2, 0, 8).Add(1, -1, 4);
        peers.Apply(owner);
        EXPECT_EQ(PointerAt(owner, 2, 8), owner.At(0));
        EXPECT_EQ(PointerAt(owner, 1, 4), nullptr);
        const uint8_t* untouched = static_cast<const uint8_t*>(owner.At(0));
        for (int i = 1; i < kElementSize; ++i)
            EXPECT_EQ(untouched[i], 0xAB);
    }
}

TEST(PeerDataContainer, NoRecordsChangeNothing) {
    TContainer owner;
    Fill(owner, false, 3);
    const std::vector<uint8_t> before = Snapshot(owner);
    TPeerDataContainer().Apply(owner);
    EXPECT_EQ(Snapshot(owner), before);
}

TEST(PeerDataContainer, RecordsNamingNoItemOrFieldAreRejectedBeforeAnyIsApplied) {
    const std::vector<TPeerDataContainer::TRecord> bad = {{0, 3, 8},
                                                          {0, -2, 8},
                                                          {3, 0, 8},
                                                          {-1, 0, 8},
                                                          {0, 1, -1},
                                                          {0, 1, 9},
                                                          {0, 1, kElementSize},
                                                          {0, 1, 0x7FFFFFFF},
                                                          {0x7FFFFFFF, 0, 0},
                                                          {0, std::numeric_limits<int32_t>::min(), 0}};
    for (const auto& record : bad) {
        TContainer owner;
        Fill(owner, false, 3);
        const std::vector<uint8_t> before = Snapshot(owner);
        TPeerDataContainer peers;
        peers.Add(2, 0, 0);
        peers.Add(record.FItemIndex, record.FTargetIndex, record.FOffset);
        EXPECT_THROW(peers.Apply(owner), TKestBadIndex)
            << record.FItemIndex << " " << record.FTargetIndex << " " << record.FOffset;
        EXPECT_EQ(Snapshot(owner), before);
    }
}

TEST(PeerDataContainer, AFieldAtTheVeryEndOfAnItemIsAccepted) {
    TContainer owner;
    Fill(owner, true, 2);
    TPeerDataContainer peers;
    peers.Add(0, 1, kElementSize - static_cast<int32_t>(sizeof(void*)));
    peers.Apply(owner);
    EXPECT_EQ(PointerAt(owner, 0, kElementSize - static_cast<int>(sizeof(void*))), owner.At(1));
}

TEST(PeerDataContainer, RecordsForAnEmptiedSlotAreRejected) {
    TContainer owner;
    Fill(owner, true, 2);
    owner.DeleteItem(0);
    TPeerDataContainer peers;
    peers.Add(0, 1, 0);
    EXPECT_THROW(peers.Apply(owner), TKestBadIndex);
}

TEST(PeerDataContainer, ARecordContainerOfAnotherShapeIsRejected) {
    TContainer owner;
    Fill(owner, false, 2);
    TPeerDataContainer peers;
    peers.Add(0, 1, 0);
    peers.FElementSize = 4;
    EXPECT_THROW(peers.Apply(owner), TKestSerialization);
    peers.FElementSize = 12;
}

TEST(PeerDataContainer, AssignmentRestoresPointersBetweenCopiedItems) {
    TLinkContainer source;
    source.FPeerData = true;
    source.AddLinks(3);
    source.Link(0).FNext = &source.Link(2);
    source.Link(2).FNext = &source.Link(1);

    TLinkContainer target;
    target = source;
    ASSERT_EQ(target.Count(), 3);
    EXPECT_TRUE(target.FPeerData);
    EXPECT_EQ(target.Link(0).FNext, &target.Link(2));
    EXPECT_EQ(target.Link(1).FNext, nullptr);
    EXPECT_EQ(target.Link(2).FNext, &target.Link(1));
    EXPECT_EQ(target.FPeers, nullptr);
    EXPECT_EQ(source.FPeers, nullptr);
    EXPECT_FALSE(target.FCopying);
    EXPECT_FALSE(source.FCopying);
}

TEST(PeerDataContainer, ObjectItemsTakeFixUpsWithinTheirOwnSize) {
    // Any container applies records to an object item, bounded by the item's own size.
    TContainer plain;
    plain.AddItem(static_cast<TContainerItem*>(new TLinkItem));
    TPeerDataContainer peers;
    peers.Add(0, 0, TLinkItem::NextOffset());
    peers.Apply(plain);
    EXPECT_EQ(static_cast<TLinkItem*>(static_cast<TContainerItem*>(plain.At(0)))->FNext, plain.At(0));

    TPeerDataContainer beyond;
    beyond.Add(0, -1, static_cast<int32_t>(sizeof(TLinkItem)) - static_cast<int32_t>(sizeof(void*)) + 1);
    EXPECT_THROW(beyond.Apply(plain), TKestBadIndex);

    // An item that does not say its size offers only the root class's bytes.
    TContainer bare;
    bare.AddItem(new TContainerItem);
    TPeerDataContainer past;
    past.Add(0, -1, static_cast<int32_t>(sizeof(TContainerItem)));
    EXPECT_THROW(past.Apply(bare), TKestBadIndex);
}

TEST(PeerDataContainer, AFailingFixUpDuringAssignmentCleansUp) {
    TLinkContainer source;
    source.FPeerData = true;
    TLinkItem* item = new TLinkItem;
    item->FIndex = 5;
    source.AddItem(static_cast<TContainerItem*>(item));
    TLinkContainer target;
    EXPECT_THROW(target = source, TKestBadIndex);
    EXPECT_EQ(target.FPeers, nullptr);
    EXPECT_EQ(source.FPeers, nullptr);
    EXPECT_FALSE(target.FCopying);
    EXPECT_FALSE(source.FCopying);
}

}  // namespace
