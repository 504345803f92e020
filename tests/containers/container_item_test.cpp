#include "containers/container_item.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "containers/kest_exception.h"
#include "containers/kest_string.h"
#include "containers/string_container.h"
#include "memory/int_container.h"
#include "memory/mem_buffer.h"
#include "tests/support/failing_save.h"
#include "tests/support/files.h"

namespace {

// Records which forms were used and writes a small recognisable payload.
class TProbeItem : public TContainerItem {
public:
    using TContainerItem::ReadBinary;
    using TContainerItem::ReadText;
    using TContainerItem::WriteBinary;
    using TContainerItem::WriteText;

    std::vector<std::string> calls;
    std::string read;
    bool throwOnRead = false;

    void WriteBinary(FILE* file) override {
        calls.push_back("WriteBinary(FILE)");
        std::fwrite("B\0b", 1, 3, file);
    }
    void ReadBinary(FILE* file) override {
        calls.push_back("ReadBinary(FILE)");
        if (throwOnRead)
            throw TKestSerialization();
        char text[3] = {};
        read.assign(text, std::fread(text, 1, 3, file));
    }
    void WriteText(FILE* file) override {
        calls.push_back("WriteText(FILE)");
        std::fputs("text\n", file);
    }
    void ReadText(FILE* file) override {
        calls.push_back("ReadText(FILE)");
        if (throwOnRead)
            throw TKestSerialization();
        char text[16] = {};
        if (std::fgets(text, sizeof text, file) != nullptr)
            read = text;
    }
    void WriteBinary(std::ostream& stream) override {
        calls.push_back("WriteBinary(stream)");
        stream.write("S\0s", 3);
    }
    void ReadBinary(std::istream& stream) override {
        calls.push_back("ReadBinary(stream)");
        char text[3] = {};
        stream.read(text, 3);
        read.assign(text, static_cast<size_t>(stream.gcount()));
    }
    void WriteText(std::ostream& stream) override {
        calls.push_back("WriteText(stream)");
        stream << "words\n";
    }
    void ReadText(std::istream& stream) override {
        calls.push_back("ReadText(stream)");
        std::getline(stream, read);
    }
};

// A free-standing item whose copy is public, to check what copying carries.
class TCopyableItem : public TContainerItem {
public:
    TCopyableItem() = default;
    TCopyableItem(const TCopyableItem&) = default;
    TCopyableItem& operator=(const TCopyableItem&) = default;
};

using kest::test::ReadWholeFile;
using kest::test::TempPath;
using kest::test::WriteWholeFile;

using kest::test::OpenDescriptors;

const char* const kMissing = "/nonexistent-quillory-dir/item.bin";

TEST(ContainerItem, StartsFreeWithTypeTagZero) {
    TContainerItem item;
    EXPECT_EQ(item.FOwner, nullptr);
    EXPECT_EQ(item.FTypeId, 0);
}

TEST(ContainerItem, BaseFormsWriteNothingButTheTextLineEnd) {
    TContainerItem item;
    std::ostringstream binary(std::ios::binary);
    item.WriteBinary(binary);
    EXPECT_EQ(binary.str(), "");
    std::ostringstream text;
    item.WriteText(text);
    EXPECT_EQ(text.str(), "\n");
    std::ostringstream viaWrite;
    item.Write(viaWrite, std::ios::out);
    EXPECT_EQ(viaWrite.str(), "\n");
}

TEST(ContainerItem, WriteAndReadChooseByTheBinaryBit) {
    TProbeItem item;
    std::ostringstream out;
    item.Write(out, std::ios::binary);
    item.Write(out, std::ios::binary | std::ios::out);
    item.Write(out, std::ios::out);
    item.Write(out, std::ios::openmode{});
    std::istringstream in("abc\n");
    item.Read(in, std::ios::binary | std::ios::in);
    item.Read(in, std::ios::in);
    EXPECT_EQ(item.calls,
              (std::vector<std::string>{"WriteBinary(stream)", "WriteBinary(stream)", "WriteText(stream)",
                                        "WriteText(stream)", "ReadBinary(stream)", "ReadText(stream)"}));
}

TEST(ContainerItem, SameTypeMeansSameTypeTag) {
    TContainerItem a, b;
    EXPECT_TRUE(a.IsSameType(b));
    b.FTypeId = 3;
    EXPECT_FALSE(a.IsSameType(b));
    a.FTypeId = 3;
    EXPECT_TRUE(a.IsSameType(b));
}

TEST(ContainerItem, ACopyIsFreeAndKeepsTheTypeTag) {
    TCopyableItem original;
    original.FTypeId = 9;
    original.FOwner = reinterpret_cast<TContainerBase*>(&original);
    TCopyableItem copy(original);
    EXPECT_EQ(copy.FOwner, nullptr);
    EXPECT_EQ(copy.FTypeId, 9);
    TCopyableItem held;
    TContainerBase* owner = reinterpret_cast<TContainerBase*>(&held);
    held.FOwner = owner;
    held = original;
    EXPECT_EQ(held.FOwner, owner);
    EXPECT_EQ(held.FTypeId, 9);
}

TEST(ContainerItem, NamedFilesCarryTheItemsOwnForms) {
    const std::string path = TempPath("forms");
    TProbeItem item;
    item.SaveBinaryFile(path.c_str());
    EXPECT_EQ(ReadWholeFile(path), std::string("B\0b", 3));
    item.LoadBinaryFile(path.c_str());
    EXPECT_EQ(item.read, std::string("B\0b", 3));

    item.SaveTextFile(path.c_str());
    EXPECT_EQ(ReadWholeFile(path), "text\n");
    item.LoadTextFile(path.c_str());
    EXPECT_EQ(item.read, "text\n");

    item.SaveToStreamFile(path.c_str(), std::ios::binary);
    EXPECT_EQ(ReadWholeFile(path), std::string("S\0s", 3));
    item.LoadFromStreamFile(path.c_str(), std::ios::binary);
    EXPECT_EQ(item.read, std::string("S\0s", 3));

    item.SaveToStreamFile(path.c_str(), std::ios::openmode{});
    EXPECT_EQ(ReadWholeFile(path), "words\n");
    item.LoadFromStreamFile(path.c_str(), std::ios::openmode{});
    EXPECT_EQ(item.read, "words");
    std::remove(path.c_str());
}

TEST(ContainerItem, SavingTruncatesWhatWasThere) {
    const std::string path = TempPath("truncate");
    WriteWholeFile(path, std::string(100, 'x'));
    TProbeItem item;
    item.SaveToStreamFile(path.c_str(), std::ios::binary);
    EXPECT_EQ(ReadWholeFile(path), std::string("S\0s", 3));
    WriteWholeFile(path, std::string(100, 'x'));
    item.SaveBinaryFile(path.c_str());
    EXPECT_EQ(ReadWholeFile(path), std::string("B\0b", 3));
    std::remove(path.c_str());
}

TEST(ContainerItem, FilesThatCannotBeOpenedThrowAndTouchNothing) {
    TProbeItem item;
    EXPECT_THROW(item.SaveBinaryFile(kMissing), TKestFileException);
    EXPECT_THROW(item.LoadBinaryFile(kMissing), TKestFileException);
    EXPECT_THROW(item.SaveTextFile(kMissing), TKestFileException);
    EXPECT_THROW(item.LoadTextFile(kMissing), TKestFileException);
    EXPECT_THROW(item.SaveToStreamFile(kMissing, std::ios::binary), TKestFileException);
    EXPECT_THROW(item.LoadFromStreamFile(kMissing, std::ios::binary), TKestFileException);
    EXPECT_THROW(item.SaveBinaryFile(nullptr), TKestFileException);
    EXPECT_THROW(item.LoadFromStreamFile(nullptr, std::ios::in), TKestFileException);
    EXPECT_TRUE(item.calls.empty());
}

TEST(ContainerItem, AFileIsClosedAlsoWhenTheReaderThrows) {
    const std::string path = TempPath("close");
    WriteWholeFile(path, "abc");
    TProbeItem item;
    item.throwOnRead = true;
    const int before = OpenDescriptors();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 20; ++i) {
        EXPECT_THROW(item.LoadBinaryFile(path.c_str()), TKestSerialization);
        EXPECT_THROW(item.LoadTextFile(path.c_str()), TKestSerialization);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    std::remove(path.c_str());
}

TEST(ContainerItem, ExceptionsNameTheirKind) {
    EXPECT_STREQ(TKestBadIndex().What(), "Index out of range");
    EXPECT_STREQ(TKestFileException().What(), "File could not be opened");
    const TKestException& base = TKestBadAssign();
    EXPECT_STRNE(base.What(), TKestException().What());
}

// A program that only knows the standard exceptions still catches the library's, and
// what() carries the detail behind the fixed text.
TEST(ContainerItem, ExceptionsAreStandardExceptionsWithTheirDetail) {
    const std::string path = TempPath("missing") + "/none";
    TIntContainer c;
    try {
        c.LoadBinaryFile(path.c_str());
        FAIL() << "a missing file loaded";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()),
                  "File could not be opened: Could not open " + path + ": No such file or directory");
    }
    EXPECT_STREQ(TKestSerialization().what(), "Stored data is corrupt or truncated");
    const TKestSerialization detailed("item 3 of 5: the data end");
    EXPECT_STREQ(detailed.What(), "Stored data is corrupt or truncated");
    EXPECT_STREQ(detailed.what(), "Stored data is corrupt or truncated: item 3 of 5: the data end");
}

}  // namespace

// Fills with integers that do not compress, so that every form is well over the limit.
void FillInts(TIntContainer& ints) {
    std::mt19937 random(7);
    for (int i = 0; i < 10000; ++i)
        ints.Add(static_cast<int32_t>(random()));
}

struct TSaveCase {
    const char* name;
    std::function<void(const char*)> save;
};

// Every named-file save of the library: each class's forms, over data well over 64 bytes.
std::vector<TSaveCase> SaveCases() {
    static const std::string longText(5000, 'q');
    return {
        {"integers, buffered binary",
         [](const char* path) {
             TIntContainer c;
             FillInts(c);
             c.SaveBinaryFile(path);
         }},
        {"integers, direct binary",
         [](const char* path) {
             TIntContainer c;
             FillInts(c);
             c.FBuffered = false;
             c.SaveBinaryFile(path);
         }},
        {"integers, compressed binary",
         [](const char* path) {
             TIntContainer c;
             FillInts(c);
             c.FCompressed = true;
             c.SaveBinaryFile(path);
         }},
        {"integers, C file text",
         [](const char* path) {
             TIntContainer c;
             FillInts(c);
             c.SaveTextFile(path);
         }},
        {"integers, compressed C file text",
         [](const char* path) {
             TIntContainer c;
             FillInts(c);
             c.FCompressed = true;
             c.SaveTextFile(path);
         }},
        {"integers, binary stream",
         [](const char* path) {
             TIntContainer c;
             FillInts(c);
             c.SaveToStreamFile(path, std::ios::binary);
         }},
        {"integers, text stream",
         [](const char* path) {
             TIntContainer c;
             FillInts(c);
             c.SaveToStreamFile(path, std::ios::openmode{});
         }},
        {"string list, line file",
         [](const char* path) {
             TStringContainer c;
             c.Add(longText.c_str()).Add("3 4");
             c.SaveTextFile(path);
         }},
        {"string list, line file with progress",
         [](const char* path) {
             TStringContainer c;
             c.Add(longText.c_str()).Add("3 4");
             c.SaveTextFile(
                 path, [](int, int, int, bool*) {}, 0);
         }},
        {"string list, binary",
         [](const char* path) {
             TStringContainer c;
             c.Add(longText.c_str());
             c.SaveBinaryFile(path);
         }},
        {"memory buffer, binary",
         [](const char* path) {
             TMemBuffer b;
             b.Append(longText.data(), 5000);
             b.SaveBinaryFile(path);
         }},
        {"memory buffer, text",
         [](const char* path) {
             TMemBuffer b;
             b.Append(longText.data(), 5000);
             b.SaveTextFile(path);
         }},
        {"memory buffer, binary stream",
         [](const char* path) {
             TMemBuffer b;
             b.Append(longText.data(), 5000);
             b.SaveToStreamFile(path, std::ios::binary);
         }},
        {"memory buffer, text stream",
         [](const char* path) {
             TMemBuffer b;
             b.Append(longText.data(), 5000);
             b.SaveToStreamFile(path, std::ios::openmode{});
         }},
        {"string, binary",
         [](const char* path) {
             TString t(longText.c_str());
             t.SaveBinaryFile(path);
         }},
        {"string, C file text",
         [](const char* path) {
             TString t(longText.c_str());
             t.SaveTextFile(path);
         }},
        {"string, binary stream",
         [](const char* path) {
             TString t(longText.c_str());
             t.SaveToStreamFile(path, std::ios::binary);
         }},
        {"string, text stream",
         [](const char* path) {
             TString t(longText.c_str());
             t.SaveToStreamFile(path, std::ios::openmode{});
         }},
    };
}

TEST(ContainerItem, EveryNamedSaveThatFailsPartWayKeepsTheOldFile) {
    for (const TSaveCase& c : SaveCases()) {
        SCOPED_TRACE(c.name);
        kest::test::ExpectFailedSaveKeepsOldFile(c.save);
    }
}

TEST(ContainerItem, EveryFailingSystemCallOfANamedSaveKeepsTheOldFile) {
    kest::test::TFaultTally tally;
    const std::vector<TSaveCase> cases = SaveCases();
    for (const TSaveCase& c : cases) {
        SCOPED_TRACE(c.name);
        kest::test::ExpectEveryFailingCallKeepsOldFile(c.save, tally);
    }
    kest::test::PrintTally("named saves with failing calls", static_cast<int>(cases.size()), tally);
}

struct TLoadCase {
    const char* name;
    std::function<void(const char*)> save;
    // Loads the file and describes what it holds.
    std::function<std::string(const char*)> load;
};

std::string Describe(const TIntContainer& ints) {
    std::string text;
    for (int i = 0; i < ints.Count(); ++i)
        text += std::to_string(ints.At(i)) + " ";
    return text;
}

std::string Describe(const TStringContainer& lines) {
    std::string text;
    for (int i = 0; i < lines.Count(); ++i)
        text += std::string(lines.At(i).Text()) + "\n";
    return text;
}

// Every named-file load of the library, each over a file of its own form.
std::vector<TLoadCase> LoadCases() {
    const auto ints = [](bool compressed) {
        auto c = std::make_unique<TIntContainer>();
        FillInts(*c);
        c->FCompressed = compressed;
        return c;
    };
    struct TLines : TStringContainer {
        TLines() {
            for (int i = 0; i < 3000; ++i)
                Add(std::to_string(i).c_str());
        }
    };
    const auto lines = [] { return std::make_unique<TLines>(); };
    return {
        {"integers, binary", [=](const char* path) { ints(false)->SaveBinaryFile(path); },
         [](const char* path) {
             TIntContainer c;
             c.LoadBinaryFile(path);
             return Describe(c);
         }},
        {"integers, compressed binary", [=](const char* path) { ints(true)->SaveBinaryFile(path); },
         [](const char* path) {
             TIntContainer c;
             c.LoadBinaryFile(path);
             return Describe(c);
         }},
        {"integers, C file text", [=](const char* path) { ints(false)->SaveTextFile(path); },
         [](const char* path) {
             TIntContainer c;
             c.LoadTextFile(path);
             return Describe(c);
         }},
        {"integers, binary stream",
         [=](const char* path) { ints(false)->SaveToStreamFile(path, std::ios::binary); },
         [](const char* path) {
             TIntContainer c;
             c.LoadFromStreamFile(path, std::ios::binary);
             return Describe(c);
         }},
        {"integers, text stream",
         [=](const char* path) { ints(false)->SaveToStreamFile(path, std::ios::openmode{}); },
         [](const char* path) {
             TIntContainer c;
             c.LoadFromStreamFile(path, std::ios::openmode{});
             return Describe(c);
         }},
        {"string list, line file", [=](const char* path) { lines()->SaveTextFile(path); },
         [](const char* path) {
             TStringContainer c;
             c.LoadTextFile(path);
             return Describe(c);
         }},
        {"string list, line file with progress", [=](const char* path) { lines()->SaveTextFile(path); },
         [](const char* path) {
             TStringContainer c;
             const int longest = c.LoadTextFile(
                 path, [](int, int, int, bool*) {}, 0, nullptr, 0);
             return std::to_string(longest) + ":" + Describe(c);
         }},
        {"string list, binary stream",
         [=](const char* path) { lines()->SaveToStreamFile(path, std::ios::binary); },
         [](const char* path) {
             TStringContainer c;
             c.LoadFromStreamFile(path, std::ios::binary);
             return Describe(c);
         }},
        {"memory buffer, text",
         [](const char* path) {
             TMemBuffer b;
             b.Append("0123456789", 10);
             b.SaveTextFile(path);
         },
         [](const char* path) {
             TMemBuffer b;
             b.LoadTextFile(path);
             return std::string(reinterpret_cast<const char*>(b.Data()), static_cast<size_t>(b.Length()));
         }},
        {"string, binary", [](const char* path) { TString("a string of text").SaveBinaryFile(path); },
         [](const char* path) {
             TString t;
             t.LoadBinaryFile(path);
             return std::string(t.Text());
         }},
    };
}

TEST(ContainerItem, EveryFailingSystemCallOfANamedLoadIsReported) {
    kest::test::TFaultTally tally;
    const std::vector<TLoadCase> cases = LoadCases();
    for (const TLoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        kest::test::ExpectEveryFailingCallOnLoadIsReported(c.save, c.load, tally);
    }
    kest::test::PrintTally("named loads with failing calls", static_cast<int>(cases.size()), tally);
}

TEST(ContainerItem, WritesThatFailOnTheCallersFileOrStreamThrow) {
    kest::test::TScratchFolder folder;
    const std::string path = folder.Path("callers.dat");
    TIntContainer ints;
    FillInts(ints);
    kest::test::WithFileSizeLimit(64, [&] {
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        EXPECT_THROW(ints.WriteDirect(file), TKestFileException);
        std::fclose(file);
        std::ofstream stream(path, std::ios::binary | std::ios::trunc);
        EXPECT_THROW(ints.WriteText(stream), TKestFileException);
    });
}
