#include "containers/container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "containers/kest_exception.h"
#include "memory/mem_buffer.h"
#include "tests/support/c_files.h"

namespace {

// An item that counts its destructions and remembers the copying hooks it saw.
class TCountedItem : public TContainerItem {
public:
    using TContainerItem::ReadBinary;
    using TContainerItem::WriteBinary;

    static int destroyed;
    int value = 0;
    int copiedTo = 0;
    bool ownerWasCopying = false;
    bool throwOnAssign = false;
    bool throwOnRead = false;

    explicit TCountedItem(int v = 0, int32_t tag = 0) : value(v) { FTypeId = tag; }
    ~TCountedItem() override { ++destroyed; }

    void Assign(const TContainerItem& source) override {
        const TCountedItem& other = static_cast<const TCountedItem&>(source);
        if (other.throwOnAssign)
            throw TKestSerialization();
        value = other.value;
    }
    void CopiedTo(TContainerItem&) override {
        ++copiedTo;
        const TContainer* owner = static_cast<const TContainer*>(FOwner);
        ownerWasCopying = owner != nullptr && owner->FCopying;
    }
    void WriteBinary(FILE* file) override { std::fputc(value, file); }
    void ReadBinary(FILE* file) override {
        if (throwOnRead)
            throw TKestSerialization();
        value = std::fgetc(file);
    }
    void WriteBinary(std::ostream& stream) override { stream.put(static_cast<char>(value)); }
    void ReadBinary(std::istream& stream) override { value = stream.get(); }
    void WriteText(std::ostream& stream) override { stream << value << '\n'; }
    void ReadText(std::istream& stream) override { stream >> value; }
    void WriteToBuffer(TMemBuffer& buffer) override {
        const uint8_t byte = static_cast<uint8_t>(value);
        buffer.Append(&byte, 1);
    }
    void ReadFromSpace(TMemSpace& space) override {
        uint8_t byte = 0;
        space.ReadBytes(&byte, 1);
        value = byte;
    }
};
int TCountedItem::destroyed = 0;

// Object items with a factory and ordering by value.
class TCountedContainer : public TContainer {
public:
    std::vector<std::pair<int, int>> compared;
    bool failNextRead = false;

    void* CreateItem(int32_t typeId) override {
        TCountedItem* item = new TCountedItem(0, typeId);
        item->throwOnRead = failNextRead;
        return static_cast<TContainerItem*>(item);
    }
    int Compare(const void* a, const void* b) override {
        const int x = Item(a).value;
        const int y = Item(b).value;
        compared.emplace_back(x, y);
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    static const TCountedItem& Item(const void* p) {
        return *static_cast<const TCountedItem*>(static_cast<const TContainerItem*>(p));
    }
    TCountedItem& ItemAt(int index) {
        return *static_cast<TCountedItem*>(static_cast<TContainerItem*>(At(index)));
    }
};

void* AsItem(TCountedItem* item) {
    return static_cast<TContainerItem*>(item);
}

void MakeInline(TContainer& container, int32_t size, bool separateBlocks) {
    container.FInline = true;
    container.FPointers = separateBlocks;
    container.FElementSize = size;
}

int32_t ElementAt(const TContainer& container, int index) {
    int32_t value;
    std::memcpy(&value, container.At(index), sizeof value);
    return value;
}

void AddInts(TContainer& container, std::initializer_list<int32_t> values) {
    for (int32_t v : values) {
        if (container.IsPointerMode()) {
            void* block = container.CreateItem(0);
            std::memcpy(block, &v, sizeof v);
            container.AddItem(block);
        } else {
            container.AddItem(&v);
        }
    }
}

class ContainerTest : public ::testing::Test {
protected:
    void SetUp() override { TCountedItem::destroyed = 0; }
};

TEST_F(ContainerTest, StartsEmptyWithTheDefaultSettings) {
    TContainer c;
    EXPECT_EQ(c.FOwner, nullptr);
    EXPECT_EQ(c.FTypeId, 0);
    EXPECT_TRUE(c.FBuffered);
    EXPECT_FALSE(c.FCompressed);
    EXPECT_EQ(c.FItems, nullptr);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(c.FAllocated, 0);
    EXPECT_EQ(c.FGrowBy, 16);
    EXPECT_EQ(c.FPeers, nullptr);
    EXPECT_FALSE(c.FSaving);
    EXPECT_FALSE(c.FCopying);
    EXPECT_FALSE(c.FInline);
    EXPECT_TRUE(c.FPointers);
    EXPECT_TRUE(c.FReserved);
    EXPECT_TRUE(c.FOwnsItems);
    EXPECT_TRUE(c.FDuplicates);
    EXPECT_FALSE(c.FPeerData);
    EXPECT_FALSE(c.FSizePrefix);
    EXPECT_FALSE(c.FLinearGrowth);
    EXPECT_EQ(c.FElementSize, 0);
    EXPECT_TRUE(c.IsPointerMode());
}

TEST_F(ContainerTest, AtRejectsEveryIndexThatNamesNoItem) {
    TCountedContainer objects;
    EXPECT_THROW(objects.At(0), TKestBadIndex);
    objects.AddItem(AsItem(new TCountedItem(1)));
    objects.AddItem(AsItem(new TCountedItem(2)));
    EXPECT_THROW(objects.At(-1), TKestBadIndex);
    EXPECT_THROW(objects.At(2), TKestBadIndex);
    EXPECT_THROW(objects.At(std::numeric_limits<int>::min()), TKestBadIndex);
    EXPECT_EQ(objects.ItemAt(1).value, 2);

    TContainer contiguous;
    MakeInline(contiguous, 4, false);
    EXPECT_THROW(contiguous.At(0), TKestBadIndex);
    AddInts(contiguous, {7});
    EXPECT_THROW(contiguous.At(1), TKestBadIndex);
    EXPECT_THROW(contiguous.At(-1), TKestBadIndex);
    EXPECT_EQ(ElementAt(contiguous, 0), 7);
}

TEST_F(ContainerTest, AddedObjectsBelongToTheContainer) {
    TCountedContainer c;
    TCountedItem* item = new TCountedItem(5);
    c.AddItem(AsItem(item));
    EXPECT_EQ(c.Count(), 1);
    EXPECT_EQ(c.At(0), AsItem(item));
    EXPECT_EQ(item->FOwner, &c);
}

TEST_F(ContainerTest, GrowthDoublesFromTheStep) {
    TCountedContainer c;
    std::vector<int32_t> capacities;
    for (int i = 0; i < 65; ++i) {
        c.AddItem(AsItem(new TCountedItem(i)));
        capacities.push_back(c.FAllocated);
    }
    EXPECT_EQ(capacities[0], 16);
    EXPECT_EQ(capacities[15], 16);
    EXPECT_EQ(capacities[16], 32);
    EXPECT_EQ(capacities[32], 64);
    EXPECT_EQ(capacities[64], 128);
    for (int i = 0; i < 65; ++i)
        EXPECT_EQ(c.ItemAt(i).value, i);
}

TEST_F(ContainerTest, LinearGrowthAddsTheStep) {
    TContainer c;
    MakeInline(c, 4, false);
    c.FLinearGrowth = true;
    c.SetGrowBy(10);
    for (int i = 0; i < 11; ++i)
        AddInts(c, {i});
    EXPECT_EQ(c.FAllocated, 20);
    for (int i = 11; i < 21; ++i)
        AddInts(c, {i});
    EXPECT_EQ(c.FAllocated, 30);
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(ElementAt(c, i), i);
}

TEST_F(ContainerTest, ContiguousGrowthKeepsTheElements) {
    TContainer c;
    MakeInline(c, 4, false);
    for (int i = 0; i < 17; ++i)
        AddInts(c, {i * 3});
    EXPECT_EQ(c.FAllocated, 32);
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(ElementAt(c, i), i * 3);
}

TEST_F(ContainerTest, NonPositiveGrowthStepsAreIgnoredOrSurvived) {
    TContainer c;
    MakeInline(c, 4, false);
    c.SetGrowBy(0);
    c.SetGrowBy(-3);
    EXPECT_EQ(c.FGrowBy, 16);
    c.FGrowBy = 0;
    AddInts(c, {1, 2, 3});
    EXPECT_EQ(c.Count(), 3);
    EXPECT_GE(c.FAllocated, 3);
    EXPECT_EQ(ElementAt(c, 2), 3);
    c.FLinearGrowth = true;
    c.FGrowBy = -5;
    AddInts(c, {4, 5});
    EXPECT_EQ(ElementAt(c, 4), 5);
}

TEST_F(ContainerTest, WithoutDuplicatesAnEqualItemIsRefusedAndStaysTheCallers) {
    TCountedContainer c;
    c.FDuplicates = false;
    c.AddItem(AsItem(new TCountedItem(1)));
    c.AddItem(AsItem(new TCountedItem(2)));
    TCountedItem* twin = new TCountedItem(2);
    c.compared.clear();
    c.AddItem(AsItem(twin));
    EXPECT_EQ(c.Count(), 2);
    EXPECT_EQ(twin->FOwner, nullptr);
    EXPECT_EQ(TCountedItem::destroyed, 0);
    EXPECT_EQ(c.compared, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
    delete twin;
    c.AddItem(AsItem(new TCountedItem(3)));
    EXPECT_EQ(c.Count(), 3);
}

TEST_F(ContainerTest, DuplicatesAreStoredByDefault) {
    TCountedContainer c;
    c.AddItem(AsItem(new TCountedItem(2)));
    c.AddItem(AsItem(new TCountedItem(2)));
    EXPECT_EQ(c.Count(), 2);
    EXPECT_TRUE(c.compared.empty());
}

TEST_F(ContainerTest, TheDuplicatesRuleDoesNotApplyToContiguousElements) {
    TContainer c;
    MakeInline(c, 4, false);
    c.FDuplicates = false;
    AddInts(c, {4, 4});
    EXPECT_EQ(c.Count(), 2);
}

TEST_F(ContainerTest, SetCapacityZeroDeletesOwnedItems) {
    TCountedContainer c;
    for (int i = 0; i < 3; ++i)
        c.AddItem(AsItem(new TCountedItem(i)));
    c.SetCapacity(0);
    EXPECT_EQ(TCountedItem::destroyed, 3);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(c.FAllocated, 0);
    EXPECT_EQ(c.FItems, nullptr);
}

TEST_F(ContainerTest, SetCapacityResizesAndKeepsTheItems) {
    TCountedContainer c;
    for (int i = 0; i < 3; ++i)
        c.AddItem(AsItem(new TCountedItem(i)));
    c.SetCapacity(100);
    EXPECT_EQ(c.FAllocated, 100);
    c.SetCapacity(3);
    EXPECT_EQ(c.FAllocated, 3);
    EXPECT_EQ(c.ItemAt(2).value, 2);
    EXPECT_EQ(TCountedItem::destroyed, 0);

    TContainer contiguous;
    MakeInline(contiguous, 4, false);
    AddInts(contiguous, {10, 20});
    contiguous.SetCapacity(1000);
    EXPECT_EQ(contiguous.FAllocated, 1000);
    EXPECT_EQ(ElementAt(contiguous, 1), 20);
}

TEST_F(ContainerTest, UnusableCapacitiesAreRejectedAndChangeNothing) {
    TCountedContainer c;
    for (int i = 0; i < 3; ++i)
        c.AddItem(AsItem(new TCountedItem(i)));
    void* const items = c.FItems;
    for (int n : {-1, 1, 2, std::numeric_limits<int>::max(), 0x10000000}) {
        EXPECT_THROW(c.SetCapacity(n), TKestBadAlloc) << n;
        EXPECT_EQ(c.Count(), 3);
        EXPECT_EQ(c.FAllocated, 16);
        EXPECT_EQ(c.FItems, items);
    }
    EXPECT_EQ(TCountedItem::destroyed, 0);

    TContainer contiguous;
    MakeInline(contiguous, 4, false);
    AddInts(contiguous, {1});
    EXPECT_THROW(contiguous.SetCapacity(0x20000000), TKestBadAlloc);
    contiguous.FElementSize = std::numeric_limits<int32_t>::max();
    EXPECT_THROW(contiguous.SetCapacity(2), TKestBadAlloc);
    contiguous.FElementSize = 4;
    EXPECT_EQ(contiguous.FAllocated, 16);
    EXPECT_EQ(ElementAt(contiguous, 0), 1);
}

TEST_F(ContainerTest, InlineElementsNeedAPositiveSize) {
    TContainer c;
    MakeInline(c, 0, false);
    int32_t value = 3;
    EXPECT_THROW(c.AddItem(&value), TKestBadAlloc);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_THROW(c.CreateItem(0), TKestBadAlloc);
    c.FElementSize = -4;
    EXPECT_THROW(c.SetCapacity(8), TKestBadAlloc);
    EXPECT_EQ(c.FItems, nullptr);
}

TEST_F(ContainerTest, ContiguousElementsAreCopiedIn) {
    TContainer c;
    MakeInline(c, 4, false);
    int32_t value = 41;
    c.AddItem(&value);
    value = 99;
    EXPECT_EQ(ElementAt(c, 0), 41);
    EXPECT_NE(c.At(0), static_cast<void*>(&value));
}

TEST_F(ContainerTest, SeparateElementBlocksAreStoredAndReleased) {
    TContainer c;
    MakeInline(c, 4, true);
    AddInts(c, {1, 2, 3});
    EXPECT_EQ(ElementAt(c, 2), 3);
    void* block = c.At(1);
    EXPECT_NE(block, c.At(0));
    c.DeleteItem(1);
    EXPECT_EQ(c.At(1), nullptr);
    c.DeleteItem(1);
    c.Clear(true);
    EXPECT_EQ(c.Count(), 0);
}

TEST_F(ContainerTest, TheDestructorDeletesOwnedItems) {
    {
        TCountedContainer c;
        for (int i = 0; i < 4; ++i)
            c.AddItem(AsItem(new TCountedItem(i)));
    }
    EXPECT_EQ(TCountedItem::destroyed, 4);
}

TEST_F(ContainerTest, WithoutOwnershipItemsAreOnlyForgotten) {
    TCountedItem a(1), b(2);
    {
        TCountedContainer c;
        c.FOwnsItems = false;
        c.AddItem(AsItem(&a));
        c.AddItem(AsItem(&b));
        c.DeleteItem(0);
        EXPECT_EQ(c.At(0), AsItem(&a));
        c.Clear(true);
        EXPECT_EQ(c.Count(), 0);
        c.AddItem(AsItem(&a));
    }
    EXPECT_EQ(TCountedItem::destroyed, 0);
}

TEST_F(ContainerTest, ClearWithoutDeletingLeavesTheItemsToTheCaller) {
    TCountedContainer c;
    TCountedItem* item = new TCountedItem(1);
    c.AddItem(AsItem(item));
    c.Clear(false);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(c.FAllocated, 0);
    EXPECT_EQ(c.FItems, nullptr);
    EXPECT_EQ(TCountedItem::destroyed, 0);
    delete item;
}

TEST_F(ContainerTest, DeleteItemDisposesOnceAndRejectsBadIndexes) {
    TCountedContainer c;
    c.AddItem(AsItem(new TCountedItem(1)));
    c.AddItem(AsItem(new TCountedItem(2)));
    EXPECT_THROW(c.DeleteItem(2), TKestBadIndex);
    EXPECT_THROW(c.DeleteItem(-1), TKestBadIndex);
    c.DeleteItem(0);
    EXPECT_EQ(TCountedItem::destroyed, 1);
    EXPECT_EQ(c.At(0), nullptr);
    c.DeleteItem(0);
    c.Clear(true);
    EXPECT_EQ(TCountedItem::destroyed, 2);
}

TEST_F(ContainerTest, TypeIdAtGivesTheTagOrZero) {
    TCountedContainer c;
    c.AddItem(AsItem(new TCountedItem(1, 7)));
    c.AddItem(AsItem(new TCountedItem(2, -3)));
    EXPECT_EQ(c.TypeIdAt(0), 7);
    EXPECT_EQ(c.TypeIdAt(1), -3);
    EXPECT_EQ(c.TypeIdAt(2), 0);
    EXPECT_EQ(c.TypeIdAt(-1), 0);
    EXPECT_EQ(c.TypeIdAt(std::numeric_limits<int>::max()), 0);
    c.DeleteItem(0);
    EXPECT_EQ(c.TypeIdAt(0), 0);

    TContainer elements;
    MakeInline(elements, 4, true);
    AddInts(elements, {7});
    EXPECT_EQ(elements.TypeIdAt(0), 0);
}

TEST_F(ContainerTest, CloneItemCopiesAnObjectThroughTheFactory) {
    TCountedContainer c;
    TCountedItem* original = new TCountedItem(42, 5);
    c.AddItem(AsItem(original));
    void* clone = c.CloneItem(0);
    ASSERT_NE(clone, nullptr);
    ASSERT_NE(clone, AsItem(original));
    TCountedItem* copy = static_cast<TCountedItem*>(static_cast<TContainerItem*>(clone));
    EXPECT_EQ(copy->value, 42);
    EXPECT_EQ(copy->FTypeId, 5);
    EXPECT_EQ(copy->FOwner, nullptr);
    EXPECT_EQ(original->copiedTo, 1);
    delete copy;
    EXPECT_THROW(c.CloneItem(1), TKestBadIndex);
    EXPECT_THROW(c.CloneItem(-1), TKestBadIndex);
}

TEST_F(ContainerTest, CloneItemCopiesAnElement) {
    for (bool separate : {false, true}) {
        TContainer c;
        MakeInline(c, 4, separate);
        AddInts(c, {11, 22});
        void* clone = c.CloneItem(1);
        ASSERT_NE(clone, nullptr);
        EXPECT_NE(clone, c.At(1));
        int32_t value;
        std::memcpy(&value, clone, sizeof value);
        EXPECT_EQ(value, 22);
        TContainer::ReleaseElement(clone);
        EXPECT_THROW(c.CloneItem(2), TKestBadIndex);
    }
}

TEST_F(ContainerTest, CloneItemWithoutAFactoryGivesNothing) {
    TContainer c;
    TCountedItem* item = new TCountedItem(1);
    c.AddItem(AsItem(item));
    EXPECT_EQ(c.CloneItem(0), nullptr);
}

TEST_F(ContainerTest, CopyItemAssignsAndTellsTheSource) {
    TCountedContainer c;
    TCountedItem source(8), target(0);
    c.CopyItem(AsItem(&target), AsItem(&source));
    EXPECT_EQ(target.value, 8);
    EXPECT_EQ(source.copiedTo, 1);

    TContainer elements;
    MakeInline(elements, 3, false);
    const uint8_t from[3] = {1, 2, 3};
    uint8_t to[4] = {9, 9, 9, 9};
    elements.CopyItem(to, const_cast<uint8_t*>(from));
    EXPECT_EQ(std::vector<uint8_t>(to, to + 4), (std::vector<uint8_t>{1, 2, 3, 9}));
}

TEST_F(ContainerTest, AssignBetweenStorageModesThrowsAndChangesNothing) {
    TContainer elements;
    MakeInline(elements, 4, false);
    AddInts(elements, {1, 2});
    elements.FGrowBy = 3;

    TCountedContainer objects;
    objects.AddItem(AsItem(new TCountedItem(5)));
    objects.FDuplicates = false;
    void* const items = objects.FItems;
    EXPECT_THROW(objects.Assign(elements), TKestBadAssign);
    EXPECT_THROW(static_cast<TContainer&>(objects) = elements, TKestBadAssign);
    EXPECT_EQ(objects.Count(), 1);
    EXPECT_EQ(objects.FItems, items);
    EXPECT_EQ(objects.ItemAt(0).value, 5);
    EXPECT_EQ(objects.FGrowBy, 16);
    EXPECT_FALSE(objects.FDuplicates);
    EXPECT_FALSE(objects.FInline);
    EXPECT_FALSE(objects.FCopying);
    EXPECT_EQ(TCountedItem::destroyed, 0);

    TContainer blocks;
    MakeInline(blocks, 4, true);
    EXPECT_THROW(blocks.Assign(elements), TKestBadAssign);
    EXPECT_THROW(elements.Assign(blocks), TKestBadAssign);
    EXPECT_EQ(elements.Count(), 2);
    EXPECT_EQ(elements.FGrowBy, 3);
}

TEST_F(ContainerTest, AssignFromSomethingThatIsNoContainerThrows) {
    TCountedContainer c;
    c.AddItem(AsItem(new TCountedItem(5)));
    TCountedItem notAContainer;
    EXPECT_THROW(c.Assign(notAContainer), TKestBadAssign);
    EXPECT_EQ(c.Count(), 1);
}

TEST_F(ContainerTest, AssignCopiesObjectsAndTheirSettings) {
    TCountedContainer source;
    source.AddItem(AsItem(new TCountedItem(1, 4)));
    source.AddItem(AsItem(new TCountedItem(2, 6)));
    source.FGrowBy = 5;
    source.FReserved = false;
    source.FDuplicates = false;
    source.FSizePrefix = true;
    source.FLinearGrowth = true;
    source.FBuffered = false;
    source.FCompressed = true;
    source.FElementSize = 9;

    TCountedContainer target;
    target.AddItem(AsItem(new TCountedItem(77)));
    target = source;
    EXPECT_EQ(TCountedItem::destroyed, 1);
    ASSERT_EQ(target.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(target.At(i), source.At(i));
        EXPECT_EQ(target.ItemAt(i).value, source.ItemAt(i).value);
        EXPECT_EQ(target.ItemAt(i).FTypeId, source.ItemAt(i).FTypeId);
        EXPECT_EQ(target.ItemAt(i).FOwner, &target);
        EXPECT_EQ(source.ItemAt(i).copiedTo, 1);
        EXPECT_TRUE(source.ItemAt(i).ownerWasCopying);
    }
    EXPECT_EQ(target.FGrowBy, 5);
    EXPECT_FALSE(target.FReserved);
    EXPECT_FALSE(target.FDuplicates);
    EXPECT_TRUE(target.FSizePrefix);
    EXPECT_EQ(target.FElementSize, 9);
    EXPECT_FALSE(target.FLinearGrowth);
    EXPECT_TRUE(target.FBuffered);
    EXPECT_FALSE(target.FCompressed);
    EXPECT_FALSE(target.FCopying);
    EXPECT_FALSE(source.FCopying);
    EXPECT_EQ(source.Count(), 2);
}

TEST_F(ContainerTest, AssigningAContainerToItselfKeepsItsItems) {
    TCountedContainer c;
    c.AddItem(AsItem(new TCountedItem(3)));
    TContainer& same = c;
    static_cast<TContainer&>(c) = same;
    EXPECT_EQ(c.Count(), 1);
    EXPECT_EQ(c.ItemAt(0).value, 3);
    EXPECT_EQ(TCountedItem::destroyed, 0);
}

TEST_F(ContainerTest, AssignLeavesItemsTheTargetDidNotOwnAlone) {
    TCountedItem held(1);
    TCountedContainer target;
    target.FOwnsItems = false;
    target.AddItem(AsItem(&held));
    TCountedContainer source;
    source.AddItem(AsItem(new TCountedItem(2)));
    target = source;
    EXPECT_EQ(TCountedItem::destroyed, 0);
    EXPECT_TRUE(target.FOwnsItems);
    EXPECT_EQ(target.ItemAt(0).value, 2);
}

TEST_F(ContainerTest, AFailingItemCopyKeepsTheCopiesMadeSoFar) {
    TCountedContainer source;
    source.AddItem(AsItem(new TCountedItem(1)));
    TCountedItem* bad = new TCountedItem(2);
    bad->throwOnAssign = true;
    source.AddItem(AsItem(bad));
    source.AddItem(AsItem(new TCountedItem(3)));
    TCountedContainer target;
    EXPECT_THROW(target = source, TKestSerialization);
    EXPECT_EQ(target.Count(), 1);
    EXPECT_EQ(target.ItemAt(0).value, 1);
    EXPECT_FALSE(target.FCopying);
    EXPECT_FALSE(source.FCopying);
    EXPECT_EQ(TCountedItem::destroyed, 1);
}

TEST_F(ContainerTest, AssignWithoutAFactoryThrows) {
    TContainer source;
    source.AddItem(AsItem(new TCountedItem(1)));
    TContainer target;
    EXPECT_THROW(target = source, TKestBadAssign);
    EXPECT_EQ(target.Count(), 0);
    EXPECT_FALSE(source.FCopying);
}

TEST_F(ContainerTest, AssignCopiesContiguousElements) {
    TContainer source;
    MakeInline(source, 4, false);
    AddInts(source, {5, 6, 7});
    source.SetCapacity(40);
    TContainer target;
    MakeInline(target, 4, false);
    AddInts(target, {1});
    target = source;
    EXPECT_EQ(target.Count(), 3);
    EXPECT_EQ(target.FAllocated, 40);
    EXPECT_NE(target.FItems, source.FItems);
    EXPECT_EQ(ElementAt(target, 2), 7);

    TContainer empty;
    MakeInline(empty, 4, false);
    target = empty;
    EXPECT_EQ(target.Count(), 0);
    EXPECT_EQ(target.FItems, nullptr);
}

TEST_F(ContainerTest, AssignCopiesSeparateElementBlocks) {
    TContainer source;
    MakeInline(source, 4, true);
    AddInts(source, {8, 9});
    TContainer target;
    MakeInline(target, 4, true);
    target = source;
    ASSERT_EQ(target.Count(), 2);
    EXPECT_NE(target.At(0), source.At(0));
    EXPECT_EQ(ElementAt(target, 1), 9);
}

using kest::test::FileText;

TEST_F(ContainerTest, ItemRecordsOnACFile) {
    TCountedContainer objects;
    objects.AddItem(AsItem(new TCountedItem('x', 0x01020304)));
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    objects.WriteItemAt(file, 0);
    EXPECT_EQ(FileText(file), std::string("\x04\x03\x02\x01x", 5));
    EXPECT_THROW(objects.WriteItemAt(file, 1), TKestBadIndex);

    std::rewind(file);
    void* read = objects.ReadItem(file);
    ASSERT_NE(read, nullptr);
    TCountedItem* item = static_cast<TCountedItem*>(static_cast<TContainerItem*>(read));
    EXPECT_EQ(item->FTypeId, 0x01020304);
    EXPECT_EQ(item->value, 'x');
    EXPECT_EQ(item->FOwner, &objects);
    delete item;
    EXPECT_EQ(objects.ReadItem(file), nullptr);
    std::fclose(file);

    TContainer elements;
    MakeInline(elements, 3, false);
    const uint8_t bytes[3] = {0x01, 0x0A, 0xFF};
    elements.AddItem(const_cast<uint8_t*>(bytes));
    file = std::tmpfile();
    elements.WriteItemAt(file, 0);
    EXPECT_EQ(FileText(file), std::string("\x01\x0A\xFF", 3));
    std::rewind(file);
    void* element = elements.ReadItem(file);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(std::memcmp(element, bytes, 3), 0);
    TContainer::ReleaseElement(element);
    EXPECT_EQ(elements.ReadItem(file), nullptr);
    std::fclose(file);
}

TEST_F(ContainerTest, TruncatedItemRecordsReadAsNothing) {
    TCountedContainer objects;
    FILE* file = std::tmpfile();
    std::fwrite("\x01\x02\x03", 1, 3, file);
    std::rewind(file);
    EXPECT_EQ(objects.ReadItem(file), nullptr);
    std::fclose(file);

    TContainer elements;
    MakeInline(elements, 4, false);
    file = std::tmpfile();
    std::fwrite("\x01\x02\x03", 1, 3, file);
    std::rewind(file);
    EXPECT_EQ(elements.ReadItem(file), nullptr);
    std::fclose(file);

    std::istringstream stream(std::string("\x01\x02", 2));
    EXPECT_EQ(objects.ReadItem(stream, std::ios::binary), nullptr);
    std::istringstream text("12 4");
    MakeInline(elements, 3, false);
    EXPECT_EQ(elements.ReadItem(text, std::ios::in), nullptr);
}

TEST_F(ContainerTest, AnItemWhoseReaderThrowsIsDeleted) {
    TCountedContainer objects;
    objects.failNextRead = true;
    FILE* file = std::tmpfile();
    std::fwrite("\x00\x00\x00\x00x", 1, 5, file);
    std::rewind(file);
    EXPECT_THROW(objects.ReadItem(file), TKestSerialization);
    EXPECT_EQ(TCountedItem::destroyed, 1);
    std::fclose(file);
}

TEST_F(ContainerTest, AFactoryWithoutItemsReadsNothing) {
    TContainer plain;
    FILE* file = std::tmpfile();
    std::fwrite("\x00\x00\x00\x00x", 1, 5, file);
    std::rewind(file);
    EXPECT_EQ(plain.ReadItem(file), nullptr);
    std::fclose(file);
}

TEST_F(ContainerTest, ItemRecordsOnStreams) {
    TCountedContainer objects;
    objects.AddItem(AsItem(new TCountedItem('y', 2)));
    std::ostringstream binary(std::ios::binary);
    objects.WriteItemAt(binary, 0, std::ios::binary);
    EXPECT_EQ(binary.str(), std::string("\x02\x00\x00\x00y", 5));
    std::ostringstream text;
    objects.WriteItemAt(text, 0, std::ios::out);
    EXPECT_EQ(text.str(), "2 121\n");

    std::istringstream binaryIn(binary.str(), std::ios::binary);
    void* read = objects.ReadItem(binaryIn, std::ios::binary);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(TCountedContainer::Item(read).value, 'y');
    EXPECT_EQ(TCountedContainer::Item(read).FTypeId, 2);
    delete static_cast<TContainerItem*>(read);

    std::istringstream textIn(text.str());
    read = objects.ReadItem(textIn, std::ios::in);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(TCountedContainer::Item(read).value, 121);
    EXPECT_EQ(TCountedContainer::Item(read).FOwner, &objects);
    delete static_cast<TContainerItem*>(read);

    TContainer elements;
    MakeInline(elements, 10, false);
    const uint8_t bytes[10] = {1, 10, 255, 0, 4, 5, 6, 7, 8, 9};
    elements.AddItem(const_cast<uint8_t*>(bytes));
    std::ostringstream elementText;
    elements.WriteItemAt(elementText, 0, std::ios::out);
    EXPECT_EQ(elementText.str(), "1 10 255 0 4 5 6 7\n8 9\n");
    std::ostringstream elementBinary(std::ios::binary);
    elements.WriteItemAt(elementBinary, 0, std::ios::binary);
    EXPECT_EQ(elementBinary.str(), std::string(reinterpret_cast<const char*>(bytes), 10));
    std::istringstream elementIn(elementText.str());
    void* element = elements.ReadItem(elementIn, std::ios::in);
    ASSERT_NE(element, nullptr);
    EXPECT_EQ(std::memcmp(element, bytes, 10), 0);
    TContainer::ReleaseElement(element);
}

TEST_F(ContainerTest, ItemRecordsInAMemoryImage) {
    TCountedContainer objects;
    objects.AddItem(AsItem(new TCountedItem('z', 256)));
    TMemBuffer buffer;
    objects.WriteItemAt(buffer, 0);
    ASSERT_EQ(buffer.Length(), 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.Data()), 4), std::string("\x02\x00\x01z", 4));
    EXPECT_THROW(objects.WriteItemAt(buffer, 1), TKestBadIndex);

    buffer.Rewind();
    void* read = objects.ReadItem(buffer);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(TCountedContainer::Item(read).FTypeId, 256);
    EXPECT_EQ(TCountedContainer::Item(read).value, 'z');
    delete static_cast<TContainerItem*>(read);
    EXPECT_THROW(objects.ReadItem(buffer), TKestSerialization);

    TContainer elements;
    MakeInline(elements, 4, false);
    AddInts(elements, {0x11223344});
    TMemBuffer elementBuffer;
    elements.WriteItemAt(elementBuffer, 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(elementBuffer.Data()), 4), "\x44\x33\x22\x11");
    elementBuffer.Rewind();
    void* element = elements.ReadItem(elementBuffer);
    ASSERT_NE(element, nullptr);
    TContainer::ReleaseElement(element);
    EXPECT_EQ(elements.ReadItem(elementBuffer), nullptr);
}

}  // namespace
