#include "containers/string_container.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "containers/kest_exception.h"
#include "memory/mem_buffer.h"
#include "tests/support/c_files.h"
#include "tests/support/failing_save.h"
#include "tests/support/files.h"
#include "tests/support/memory_images.h"

namespace {

// Temporary paths and C files holding given bytes.
using namespace kest::test;

std::vector<std::string> Lines(const TStringContainer& c) {
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(c.Count()));
    for (int i = 0; i < c.Count(); ++i)
        out.emplace_back(c.At(i).Text());
    return out;
}

void Fill(TStringContainer& c, const std::vector<std::string>& texts) {
    for (const auto& t : texts)
        c.Add(TString(t.c_str()));
}

Bytes Saved(TStringContainer& c) {
    auto file = TempFile();
    c.WriteText(file.get());
    return FileBytes(file.get());
}

// Loads bytes through a temporary file (LoadLines closes it); returns the longest line.
int Load(TStringContainer& c, const Bytes& bytes) {
    return c.LoadLines(FileWith(bytes).release(), nullptr, 0, nullptr, 0);
}

TEST(StringContainerBasics, DefaultsAndTypedAccess) {
    TStringContainer c;
    EXPECT_TRUE(c.FCrLf);
    EXPECT_FALSE(c.FUnicodeLoaded);
    EXPECT_EQ(c.FGrowBy, 256);
    EXPECT_FALSE(c.FInline);
    EXPECT_TRUE(c.FOwnsItems);
    TString kept("a");
    c.Add(kept).Add(TString("b"));
    EXPECT_EQ(c.FAllocated, 256);
    EXPECT_NE(c.At(0).Text(), kept.Text());
    EXPECT_EQ(c.At(0).FOwner, &c);
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"a", "b"}));
    EXPECT_THROW(c.At(-1), TKestBadIndex);
    EXPECT_THROW(c.At(2), TKestBadIndex);
    EXPECT_THROW(TStringContainer().At(0), TKestBadIndex);
}

TEST(StringContainerBasics, HooksCompareCopyAndRefuseDuplicates) {
    TStringContainer c;
    TString a("abc"), b("abd");
    EXPECT_EQ(c.Compare(static_cast<TContainerItem*>(&a), static_cast<TContainerItem*>(&b)), -1);
    EXPECT_EQ(c.Compare(static_cast<TContainerItem*>(&b), static_cast<TContainerItem*>(&a)), 1);
    void* made = c.CreateItem(42);
    TString& fresh = *static_cast<TString*>(static_cast<TContainerItem*>(made));
    EXPECT_EQ(fresh.Length(), 0);
    c.CopyItem(made, static_cast<TContainerItem*>(&a));
    EXPECT_STREQ(fresh.Text(), "abc");
    delete &fresh;
    c.FDuplicates = false;
    c.Add(a).Add(b).Add(TString("abc"));
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"abc", "abd"}));
}

TEST(StringContainerBasics, AssignCopiesItemsAndLineEnds) {
    TStringContainer source;
    Fill(source, {"x", "y z"});
    source.FCrLf = false;
    TStringContainer target;
    Fill(target, {"old"});
    target.Assign(source);
    EXPECT_EQ(Lines(target), (std::vector<std::string>{"x", "y z"}));
    EXPECT_FALSE(target.FCrLf);
    EXPECT_NE(target.At(0).Text(), source.At(0).Text());
}

TStringContainer TwoLines() {
    TStringContainer lines;
    Fill(lines, {"x", "y z"});
    lines.FCrLf = false;
    return lines;
}

// Lists copy and move like values (a moved-from list is empty and usable), their strings
// keep the list that holds them as owner, and range-for walks them.
TEST(StringContainerBasics, ListsCopyMoveAndWalkLikeValues) {
    std::vector<TStringContainer> lists;
    for (int i = 0; i < 20; ++i)
        lists.push_back(TwoLines());  // NOLINT(performance-inefficient-vector-operation): growing moves them
    for (const TStringContainer& list : lists) {
        EXPECT_EQ(Lines(list), (std::vector<std::string>{"x", "y z"}));
        EXPECT_FALSE(list.FCrLf);
        EXPECT_EQ(list.At(1).FOwner, &list);
    }
    TStringContainer copy(lists[3]);
    EXPECT_EQ(Lines(copy), Lines(lists[3]));
    EXPECT_NE(copy.At(0).Text(), lists[3].At(0).Text());
    TStringContainer moved(std::move(lists[3]));
    EXPECT_EQ(moved.At(0).FOwner, &moved);
    EXPECT_EQ(lists[3].Count(), 0);
    lists[3].Add("again");
    EXPECT_EQ(Lines(lists[3]), (std::vector<std::string>{"again"}));
    copy = std::move(moved);
    EXPECT_EQ(copy.At(1), "y z");
    EXPECT_EQ(copy.At(1).FOwner, &copy);
    EXPECT_EQ(moved.Count(), 0);  // NOLINT(bugprone-use-after-move): the moved-from state is defined
    std::string walked;
    for (TString& line : copy) {
        line.ToUpper();
        walked += line.Text();
    }
    EXPECT_EQ(walked, "XY Z");
    const TStringContainer& constant = copy;
    static_assert(std::is_same_v<decltype(constant.At(0)), const TString&>,
                  "a const list gives const strings");
    static_assert(std::is_same_v<decltype(*constant.begin()), const TString&>, "and so does its iterator");
    EXPECT_EQ(std::distance(constant.begin(), constant.end()), 2);
}

TEST(StringContainerSave, ExactBytesWithCrLfAndLf) {
    TStringContainer c;
    char line[32];
    for (int p : {1, 3}) {
        std::snprintf(line, sizeof line, "%d %d", p, p + 1);
        c.Add(TString(line));
    }
    EXPECT_EQ(Saved(c), (Bytes{0x31, 0x20, 0x32, 0x0D, 0x0A, 0x33, 0x20, 0x34}));
    c.FCrLf = false;
    EXPECT_EQ(Saved(c), (Bytes{0x31, 0x20, 0x32, 0x0A, 0x33, 0x20, 0x34}));
}

TEST(StringContainerSave, EmptyListsAndEmptyStringGiveEmptyFiles) {
    TStringContainer none;
    EXPECT_TRUE(Saved(none).empty());
    TStringContainer one;
    Fill(one, {""});
    EXPECT_TRUE(Saved(one).empty());
    TStringContainer two;
    Fill(two, {"", ""});
    EXPECT_EQ(Saved(two), ToBytes("\r\n"));
}

TEST(StringContainerSave, ProgressIsCalledPerItemAndCancelStops) {
    struct Call {
        int total, done, user;
    };
    static std::vector<Call> calls;
    static int cancelAt;
    calls.clear();
    cancelAt = -1;
    auto progress = [](int total, int done, int user, bool* cancel) {
        EXPECT_FALSE(*cancel);
        calls.push_back({total, done, user});
        if (done == cancelAt)
            *cancel = true;
    };
    TStringContainer c;
    Fill(c, {"a", "b", "c"});
    auto file = TempFile();
    c.SaveLines(file.get(), progress, 77);
    ASSERT_EQ(calls.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].total, 2);
        EXPECT_EQ(calls[i].done, i);
        EXPECT_EQ(calls[i].user, 77);
    }
    EXPECT_EQ(FileBytes(file.get()), ToBytes("a\r\nb\r\nc"));
    calls.clear();
    cancelAt = 1;
    auto cancelled = TempFile();
    c.SaveLines(cancelled.get(), progress, 0);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_TRUE(FileBytes(cancelled.get()).empty());

    // A cancelled save to a named file keeps the old file and leaves nothing beside it.
    kest::test::TScratchFolder folder;
    const std::string path = folder.Path("list.txt");
    kest::test::WriteWholeFile(path, "old");
    calls.clear();
    c.SaveTextFile(path.c_str(), progress, 0);
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(kest::test::ReadWholeFile(path), "old");
    EXPECT_EQ(folder.Names(), std::set<std::string>{"list.txt"});
}

TEST(StringContainerLoad, LineEndsOfEveryKind) {
    TStringContainer c;
    EXPECT_EQ(Load(c, ToBytes("1 2\r\n3 4")), 3);
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"1 2", "3 4"}));
    Load(c, ToBytes("1 2\n3 4"));
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"1 2", "3 4"}));
    for (const char* text : {"a\rb", "a\nb", "a\r\nb"}) {
        Load(c, ToBytes(text));
        EXPECT_EQ(Lines(c), (std::vector<std::string>{"a", "b"})) << text;
    }
    Load(c, ToBytes("a\r\rb"));
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"a", "", "b"}));
    Load(c, ToBytes("a\n\rb"));
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_FALSE(c.FUnicodeLoaded);
}

TEST(StringContainerLoad, FinalLineEndGivesAnEmptyItemAndSavesBackExactly) {
    TStringContainer c;
    const Bytes file = ToBytes("one\r\ntwo\r\n");
    Load(c, file);
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"one", "two", ""}));
    EXPECT_EQ(Saved(c), file);
}

TEST(StringContainerLoad, EmptyFilesAndByteOrderMark) {
    TStringContainer c;
    Fill(c, {"old"});
    EXPECT_EQ(Load(c, {}), 0);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_FALSE(c.FUnicodeLoaded);
    EXPECT_EQ(Load(c, {0xFF, 0xFE}), 0);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_TRUE(c.FUnicodeLoaded);
    Load(c, {0xFF});
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"\xFF"}));
    EXPECT_FALSE(c.FUnicodeLoaded);
}

TEST(StringContainerLoad, Utf16KeepsLowBytes) {
    TStringContainer c;
    Load(c, {0xFF, 0xFE, 0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x62, 0x00});
    EXPECT_TRUE(c.FUnicodeLoaded);
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"a", "b"}));
    // An odd byte at the end and code units above 0xFF cannot lead out of the data.
    Load(c, {0xFF, 0xFE, 0xE1, 0x00, 0x41, 0x01, 0x0A, 0x0D, 0x63});
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"\xE1\x41", "c"}));
}

// Loaded lines live in shared slabs with their texts behind them; each must still move,
// grow, read, outlive its list and be deleted on its own as any string does.
TEST(StringContainerLoad, LoadedStringsBehaveAsAnyOther) {
    TStringContainer c;
    Load(c, ToBytes("alpha\nbeta\ngamma\ndelta\nepsilon"));
    ASSERT_TRUE(c.At(0).TextBehind());
    TString moved(std::move(c.At(0)));
    EXPECT_EQ(moved, "alpha");
    EXPECT_FALSE(moved.TextBehind());
    EXPECT_EQ(c.At(0), "");
    TString other("a heap text longer than the line");
    other = std::move(c.At(1));
    EXPECT_EQ(other, "beta");
    c.At(1) = std::move(moved);
    EXPECT_EQ(c.At(1), "alpha");
    c.At(2).SetLength(40);
    EXPECT_EQ(c.At(2).Length(), 40);
    TMemBuffer image;
    TString("a text read back over a loaded line").WriteToBuffer(image);
    image.Rewind();
    c.At(3).ReadFromSpace(image);
    EXPECT_EQ(c.At(3), "a text read back over a loaded line");
    // Given away by a list that does not own them: each is deleted on its own, the last
    // after its list and the slab's other strings are gone.
    c.DeleteItem(0);
    std::vector<TString*> given;
    for (int i = 1; i < c.Count(); ++i)
        given.push_back(&c.At(i));
    c.FOwnsItems = false;
    c.Clear(true);
    for (size_t i = 0; i + 1 < given.size(); ++i)
        delete given[i];
    EXPECT_EQ(*given.back(), "epsilon");
    delete given.back();
    // One whose text moved to a block of its own frees that block with its list.
    TStringContainer grown;
    Load(grown, ToBytes("a\nb"));
    grown.At(0).SetLength(40);
}

TEST(StringContainerLoad, LongLineGrowsTheLineBuffer) {
    TStringContainer c;
    const std::string big(5000, 'k');
    EXPECT_EQ(Load(c, ToBytes("ab\n" + big + "\ncd")), 5000);
    ASSERT_EQ(c.Count(), 3);
    EXPECT_EQ(std::string(c.At(1).Text()), big);
}

// The lines of a line file as the format defines them, byte by byte.
std::vector<std::string> ReferenceLines(const Bytes& bytes, bool utf16) {
    std::vector<std::string> lines;
    std::string line;
    int previous = -1;
    bool ended = false;
    for (size_t i = utf16 ? 2 : 0; i < bytes.size(); i += utf16 ? 2 : 1) {
        const int c = bytes[i];
        const int before = previous;
        previous = c;
        if (c != '\r' && c != '\n') {
            line.push_back(static_cast<char>(c));
            ended = false;
            continue;
        }
        ended = true;
        if (c == '\n' && before == '\r')
            continue;
        lines.push_back(line);
        line.clear();
    }
    if (!line.empty() || ended)
        lines.push_back(line);
    return lines;
}

TEST(StringContainerLoad, LinesSpanningReadsComeOutWhole) {
    // Several reads' worth of lines of every length, a CR LF pair split between two reads,
    // a line longer than a read and one holding a 0 byte.
    const size_t read = size_t{1024} * 1024;
    std::mt19937 random(11);
    Bytes bytes;
    while (bytes.size() < read - 1) {
        const size_t length = random() % 200;
        for (size_t k = 0; k < length && bytes.size() < read - 1; ++k)
            bytes.push_back(static_cast<uint8_t>('a' + random() % 26));
        if (bytes.size() < read - 1)
            bytes.push_back(random() % 3 == 0 ? '\n' : '\r');
    }
    bytes.push_back('\r');
    bytes.push_back('\n');
    bytes.insert(bytes.end(), 3 * read / 2, 'L');
    bytes.push_back('\n');
    for (char c : std::string("zero\0byte\r\ntail", 15))
        bytes.push_back(static_cast<uint8_t>(c));
    std::vector<std::string> expected = ReferenceLines(bytes, false);
    ASSERT_EQ(expected[expected.size() - 3].size(), 3 * read / 2);

    static std::vector<std::string> seen;
    seen.clear();
    TStringContainer c;
    c.LoadLines(
        FileWith(bytes).release(), nullptr, 0,
        [](const char* line, int length, int) { seen.emplace_back(line, static_cast<size_t>(length)); }, 0);
    EXPECT_TRUE(seen == expected);
    EXPECT_EQ(Load(c, bytes), static_cast<int>(3 * read / 2));
    // Stored items end at a 0 byte, as every TString does.
    expected[expected.size() - 2] = "zero";
    EXPECT_TRUE(Lines(c) == expected);

    // The same lines as UTF-16, whose code units straddle reads too.
    Bytes wide = {0xFF, 0xFE};
    for (size_t i = 0; i < bytes.size() / 2; ++i) {
        wide.push_back(bytes[i]);
        wide.push_back(0);
    }
    Load(c, wide);
    std::vector<std::string> wideExpected = ReferenceLines(wide, true);
    for (auto& line : wideExpected)
        line = line.c_str();
    EXPECT_TRUE(Lines(c) == wideExpected);
}

TEST(StringContainerLoad, PipeOfUnknownSize) {
    TStringContainer c;
    EXPECT_EQ(c.LoadLines(PipeWith(ToBytes("p\r\nq")).release(), nullptr, 0, nullptr, 0), 1);
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"p", "q"}));
}

TEST(StringContainerLoad, SinkTakesLinesInsteadOfItems) {
    static std::vector<std::string> seen;
    static std::vector<int> values;
    seen.clear();
    values.clear();
    TStringContainer c;
    Fill(c, {"old"});
    auto sink = [](const char* line, int length, int value) {
        seen.emplace_back(line, static_cast<size_t>(length));
        values.push_back(value);
    };
    c.LoadLines(FileWith(ToBytes("x\nyy\n")).release(), nullptr, 0, sink, 9);
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"x", "yy", ""}));
    EXPECT_EQ(values, (std::vector<int>{9, 9, 9}));
}

TEST(StringContainerLoad, ProgressAndCancel) {
    static std::vector<std::pair<int, int>> calls;
    static bool cancelFirst;
    calls.clear();
    cancelFirst = false;
    auto progress = [](int total, int done, int user, bool* cancel) {
        EXPECT_EQ(user, 5);
        calls.emplace_back(total, done);
        if (cancelFirst)
            *cancel = true;
    };
    TStringContainer c;
    c.LoadLines(FileWith(ToBytes("ab\ncd\n")).release(), progress, 5, nullptr, 0);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{6, 3}, {6, 6}, {6, 6}}));
    calls.clear();
    cancelFirst = true;
    c.LoadLines(FileWith(ToBytes("ab\ncd\n")).release(), progress, 5, nullptr, 0);
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"ab"}));
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{6, 3}, {6, 6}}));
}

TEST(StringContainerFiles, NamedFilesRoundTripAndMissingFilesThrow) {
    const std::string path = TempPath("track");
    TStringContainer c;
    Fill(c, {"5 6", "0 0", "17 11"});
    c.SaveTextFile(path.c_str());
    TStringContainer back;
    Fill(back, {"stays"});
    back.LoadTextFile(path.c_str());
    EXPECT_EQ(Lines(back), Lines(c));
    std::remove(path.c_str());
    EXPECT_THROW(back.LoadTextFile(path.c_str()), TKestFileException);
    EXPECT_EQ(Lines(back), Lines(c));
    EXPECT_THROW(c.SaveTextFile((path + "/no/such/dir").c_str()), TKestFileException);
    EXPECT_THROW(c.LoadLines(nullptr, nullptr, 0, nullptr, 0), TKestFileException);
    EXPECT_THROW(c.SaveTextFile(nullptr), TKestFileException);
}

TEST(StringContainerFiles, ReadTextLeavesTheFileOpen) {
    auto file = FileWith(ToBytes("a\nb"));
    TStringContainer c;
    c.ReadText(file.get());
    EXPECT_EQ(Lines(c), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(std::fseek(file.get(), 0, SEEK_SET), 0);
    EXPECT_EQ(std::fgetc(file.get()), 'a');
}

TEST(StringContainerImages, MemoryImageHoldsStringForms) {
    TStringContainer c;
    Fill(c, {"ab"});
    TMemBuffer buffer;
    c.WriteToBuffer(buffer);
    ASSERT_EQ(buffer.Length(), 24 + 2 + 7);
    const Bytes tail(buffer.Data() + 24, buffer.Data() + buffer.Length());
    EXPECT_EQ(tail, (Bytes{0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x61, 0x62}));
    buffer.Rewind();
    TStringContainer back;
    back.ReadFromSpace(buffer);
    EXPECT_EQ(Lines(back), (std::vector<std::string>{"ab"}));
}

TEST(StringContainerImages, BinaryFileRoundTripAndTruncatedImagesThrow) {
    TStringContainer c;
    Fill(c, {"first", "", "third"});
    auto file = TempFile();
    c.WriteBinary(file.get());
    const Bytes image = FileBytes(file.get());
    TStringContainer back;
    back.ReadBinary(FileWith(image).get());
    EXPECT_EQ(Lines(back), Lines(c));
    for (size_t cut = 0; cut < image.size(); ++cut) {
        TStringContainer part;
        EXPECT_ANY_THROW(
            part.ReadBinary(FileWith(Bytes(image.begin(), image.begin() + static_cast<long>(cut))).get()))
            << cut;
    }
}

TEST(StringContainerImages, CorruptStringLengthInsideAnImageThrows) {
    TStringContainer c;
    Fill(c, {"ab"});
    TMemBuffer buffer;
    c.WriteToBuffer(buffer);
    const uint8_t huge[4] = {0xFF, 0xFF, 0xFF, 0x7F};
    ASSERT_NE(buffer.WriteAt(26, huge, 4), nullptr);
    buffer.Rewind();
    TStringContainer back;
    EXPECT_THROW(back.ReadFromSpace(buffer), TKestSerialization);
}

}  // namespace
