#include "memory/int_container.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "containers/kest_exception.h"

namespace {

std::vector<int32_t> Values(const TIntContainer& c) {
    std::vector<int32_t> values;
    values.reserve(static_cast<size_t>(c.Count()));
    for (int i = 0; i < c.Count(); ++i)
        values.push_back(c.At(i));
    return values;
}

std::string Text(const TIntContainer& c) {
    std::ostringstream stream;
    stream << c;
    return stream.str();
}

// Separately allocated elements, as a stored image can ask for.
void UseSeparateBlocks(TIntContainer& c) {
    c.FPointers = true;
}

TEST(IntContainer, IsAContiguousContainerOfFourByteElements) {
    TIntContainer c;
    EXPECT_TRUE(c.FInline);
    EXPECT_FALSE(c.FPointers);
    EXPECT_EQ(c.FElementSize, 4);
    EXPECT_FALSE(c.FPeerData);
    EXPECT_EQ(c.FGrowBy, 16);
    EXPECT_TRUE(c.FDuplicates);
    EXPECT_EQ(c.Count(), 0);
}

TEST(IntContainer, AddAppendsAndChains) {
    TIntContainer c;
    c.Add(3).Add(-7).Add(12);
    EXPECT_EQ(Values(c), (std::vector<int32_t>{3, -7, 12}));
    c.At(1) = 70;
    EXPECT_EQ(c.At(1), 70);
}

// Range-for gives the integers in both storage modes; moves leave the source empty and usable.
TEST(IntContainer, WalksAndMovesLikeAValue) {
    for (bool pointers : {false, true}) {
        TIntContainer c;
        c.FPointers = pointers;
        c.Add(3).Add(-7).Add(12);
        std::vector<int32_t> walked;
        for (int32_t value : c)
            walked.push_back(value);
        EXPECT_EQ(walked, (std::vector<int32_t>{3, -7, 12}));
        for (int32_t& value : c)
            value *= 2;
        TIntContainer moved(std::move(c));
        EXPECT_EQ(Values(moved), (std::vector<int32_t>{6, -14, 24}));
        EXPECT_EQ(c.Count(), 0);  // NOLINT(bugprone-use-after-move): the moved-from state is defined
        c.Add(1);
        EXPECT_EQ(Values(c), (std::vector<int32_t>{1}));
        TIntContainer copy(moved);
        copy = std::move(c);
        EXPECT_EQ(Values(copy), (std::vector<int32_t>{1}));
        const TIntContainer& constant = moved;
        static_assert(std::is_same_v<decltype(constant.At(0)), const int32_t&>,
                      "a const container gives const integers");
        EXPECT_EQ(*constant.begin(), 6);
    }
}

TEST(IntContainer, AtChecksTheIndex) {
    TIntContainer c;
    EXPECT_THROW(c.At(0), TKestBadIndex);
    c.Add(1).Add(2);
    EXPECT_EQ(c.At(c.Count() - 1), 2);
    EXPECT_THROW(c.At(c.Count()), TKestBadIndex);
    EXPECT_THROW(c.At(-1), TKestBadIndex);
}

TEST(IntContainer, AddNewGivesTheNextElement) {
    TIntContainer c;
    c.Add(5);
    int32_t& fresh = c.AddNew();
    EXPECT_EQ(fresh, 0);
    fresh = 9;
    EXPECT_EQ(Values(c), (std::vector<int32_t>{5, 9}));
}

TEST(IntContainer, GrowsLikeEveryContainer) {
    TIntContainer c;
    for (int i = 0; i < 17; ++i)
        c.Add(i);
    EXPECT_EQ(c.FAllocated, 32);
    EXPECT_EQ(c.At(16), 16);
}

TEST(IntContainer, CompareOrdersTheIntegers) {
    TIntContainer c;
    const int32_t minus7 = -7, three = 3, five = 5, low = std::numeric_limits<int32_t>::min(),
                  high = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(c.Compare(&minus7, &three), -1);
    EXPECT_EQ(c.Compare(&five, &five), 0);
    EXPECT_EQ(c.Compare(&three, &minus7), 1);
    EXPECT_EQ(c.Compare(&low, &high), -1);
    EXPECT_EQ(c.Compare(&high, &low), 1);
}

TEST(IntContainer, CopyItemAndCreateItemHandleOneInteger) {
    TIntContainer c;
    void* block = c.CreateItem(0);
    int32_t value = -123456;
    c.CopyItem(block, &value);
    EXPECT_EQ(*static_cast<int32_t*>(block), -123456);
    TContainer::ReleaseElement(block);
}

TEST(IntContainer, TextFormIsTheCountThenOneIntegerALine) {
    TIntContainer c;
    EXPECT_EQ(Text(c), "0\n");
    c.Add(3).Add(-7).Add(12);
    EXPECT_EQ(Text(c), "3\n3\n-7\n12\n");
    TIntContainer extremes;
    extremes.Add(std::numeric_limits<int32_t>::min()).Add(std::numeric_limits<int32_t>::max());
    EXPECT_EQ(Text(extremes), "2\n-2147483648\n2147483647\n");
}

TEST(IntContainer, ExtractionReadsTheTextFormBack) {
    TIntContainer c;
    std::istringstream stream("3\n3\n-7\n12\n");
    stream >> c;
    EXPECT_FALSE(stream.fail());
    EXPECT_EQ(Values(c), (std::vector<int32_t>{3, -7, 12}));

    TIntContainer empty;
    empty.Add(4);
    std::istringstream zero("0\n");
    zero >> empty;
    EXPECT_EQ(empty.Count(), 0);
    EXPECT_FALSE(zero.fail());
}

TEST(IntContainer, ExtractionDiscardsWhatWasThere) {
    TIntContainer c;
    c.Add(1).Add(2).Add(3).Add(4);
    std::istringstream stream("1 99");
    stream >> c;
    EXPECT_EQ(Values(c), (std::vector<int32_t>{99}));
}

TEST(IntContainer, TruncatedOrCorruptTextKeepsWhatWasReadAndFailsTheStream) {
    const std::vector<std::pair<std::string, std::vector<int32_t>>> cases = {
        {"3\n3\n-7\n", {3, -7}},
        {"2\n5\nxx\n", {5}},
        {"2\n5\n99999999999\n", {5}},
        {"2000000000\n1\n", {1}},
        {"", {}},
        {"abc", {}},
    };
    for (const auto& [text, expected] : cases) {
        TIntContainer c;
        c.Add(42);
        std::istringstream stream(text);
        stream >> c;
        EXPECT_TRUE(stream.fail()) << text;
        EXPECT_EQ(Values(c), expected) << text;
        EXPECT_LE(c.FAllocated, 16) << text;
    }
}

TEST(IntContainer, ANegativeCountReadsNothingMore) {
    TIntContainer c;
    std::istringstream stream("-3 1 2 3");
    stream >> c;
    EXPECT_EQ(c.Count(), 0);
    int32_t next = 0;
    stream >> next;
    EXPECT_EQ(next, 1);
}

TEST(IntContainer, RandomContentsRoundTripThroughText) {
    std::mt19937 random(31337);
    TIntContainer c;
    for (int i = 0; i < 1000; ++i)
        c.Add(static_cast<int32_t>(random()));
    std::stringstream stream;
    stream << c;
    TIntContainer back;
    stream >> back;
    EXPECT_EQ(Values(back), Values(c));
}

TEST(IntContainer, AssignmentAndCopiesCarryTheIntegers) {
    TIntContainer c;
    c.Add(1).Add(2).Add(3);
    TIntContainer copy(c);
    EXPECT_EQ(Values(copy), Values(c));
    TIntContainer assigned;
    assigned.Add(9);
    assigned = c;
    EXPECT_EQ(Values(assigned), Values(c));
    c.At(0) = 100;
    EXPECT_EQ(copy.At(0), 1);
}

TEST(IntContainer, WorksWithSeparateBlocks) {
    TIntContainer c;
    UseSeparateBlocks(c);
    c.Add(3).Add(-7);
    c.AddNew() = 12;
    EXPECT_EQ(Values(c), (std::vector<int32_t>{3, -7, 12}));
    EXPECT_EQ(Text(c), "3\n3\n-7\n12\n");
    EXPECT_THROW(c.At(3), TKestBadIndex);

    TIntContainer copy;
    UseSeparateBlocks(copy);
    copy = c;
    EXPECT_EQ(Values(copy), Values(c));
    EXPECT_NE(copy.FItems, c.FItems);

    std::istringstream stream("2 8 9");
    stream >> c;
    EXPECT_EQ(Values(c), (std::vector<int32_t>{8, 9}));
}

TEST(IntContainer, WithoutDuplicatesSeparateBlocksRefuseEqualValues) {
    TIntContainer c;
    UseSeparateBlocks(c);
    c.FDuplicates = false;
    c.Add(5).Add(5).Add(6).Add(5);
    EXPECT_EQ(Values(c), (std::vector<int32_t>{5, 6}));
}

TEST(IntContainer, AssignmentFromElementsOfAnotherSizeIsRefused) {
    TContainer bytes;
    bytes.FInline = true;
    bytes.FPointers = false;
    bytes.FElementSize = 1;
    const uint8_t byte = 7;
    bytes.AddItem(const_cast<uint8_t*>(&byte));
    TIntContainer c;
    c.Add(1).Add(2);
    EXPECT_THROW(c.Assign(bytes), TKestBadAssign);
    EXPECT_EQ(Values(c), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(c.FElementSize, 4);
}

TEST(IntContainer, ElementsOfAnotherShapeAreRejected) {
    TIntContainer c;
    c.Add(1);
    c.FElementSize = 2;
    EXPECT_THROW(c.At(0), TKestSerialization);
    EXPECT_THROW(c.Add(2), TKestSerialization);
    EXPECT_THROW(c.AddNew(), TKestSerialization);
    c.FElementSize = 4;
    EXPECT_EQ(c.Count(), 1);
}

}  // namespace
