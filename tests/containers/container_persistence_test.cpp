#include "containers/container.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "containers/byte_io.h"
#include "containers/kest_exception.h"
#include "containers/kest_string.h"
#include "containers/peer_data_container.h"
#include "memory/int_container.h"
#include "memory/mem_buffer.h"
#include "tests/support/block_cap.h"
#include "tests/support/c_files.h"
#include "tests/support/files.h"
#include "tests/support/link_items.h"

namespace {

using Bytes = std::string;
using kest::io::LoadInt32;
using kest::io::ReadInt32;
using kest::io::StoreInt32;
using kest::io::TByteSink;
using kest::io::TByteSource;
using kest::io::WriteInt32;
using kest::test::TLinkContainer;
using kest::test::TLinkItem;

// An object item holding a few bytes; it writes writeSize bytes and reads readSize of them
// (both its length by default), so that size prefixes can be put to the test.
class TBlobItem : public TContainerItem {
public:
    using TContainerItem::ReadBinary;
    using TContainerItem::ReadText;
    using TContainerItem::WriteBinary;
    using TContainerItem::WriteText;

    static int destroyed;
    static int readSize;
    std::string bytes;
    // The owner as the item saw it when its reader began.
    const TContainerBase* ownerWhileReading = nullptr;

    explicit TBlobItem(std::string b = std::string()) : bytes(std::move(b)) {}
    ~TBlobItem() override { ++destroyed; }

    void Assign(const TContainerItem& source) override {
        bytes = static_cast<const TBlobItem&>(source).bytes;
    }
    void WriteBinary(FILE* file) override {
        WriteInt32(TByteSink(file), static_cast<int32_t>(bytes.size()));
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    }
    void ReadBinary(FILE* file) override {
        ownerWhileReading = FOwner;
        int32_t size = 0;
        if (!ReadInt32(TByteSource(file), size) || size < 0 || size > 1000)
            throw TKestSerialization();
        const int32_t take = readSize >= 0 ? readSize : size;
        bytes.assign(static_cast<size_t>(take), '\0');
        if (take > 0 &&
            std::fread(bytes.data(), 1, static_cast<size_t>(take), file) != static_cast<size_t>(take))
            throw TKestSerialization();
    }
    void WriteBinary(std::ostream& stream) override {
        WriteInt32(TByteSink(stream), static_cast<int32_t>(bytes.size()));
        stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    void ReadBinary(std::istream& stream) override {
        ownerWhileReading = FOwner;
        int32_t size = 0;
        if (!ReadInt32(TByteSource(stream), size) || size < 0 || size > 1000)
            throw TKestSerialization();
        const int32_t take = readSize >= 0 ? readSize : size;
        bytes.assign(static_cast<size_t>(take), '\0');
        if (!stream.read(bytes.data(), take))
            throw TKestSerialization();
    }
    void WriteToBuffer(TMemBuffer& buffer) override {
        buffer.AppendInt(static_cast<int32_t>(bytes.size()));
        buffer.Append(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    void ReadFromSpace(TMemSpace& space) override {
        ownerWhileReading = FOwner;
        const int32_t size = space.ReadInt();
        if (size < 0 || size > 1000)
            throw TKestSerialization();
        const int32_t take = readSize >= 0 ? readSize : size;
        bytes.assign(static_cast<size_t>(take), '\0');
        if (take > 0 && space.ReadBytes(bytes.data(), take) == nullptr)
            throw TKestSerialization();
    }
    void WriteText(FILE* file) override { std::fprintf(file, "%s\n", bytes.c_str()); }
    void ReadText(FILE* file) override {
        ownerWhileReading = FOwner;
        char word[64] = {};
        if (std::fscanf(file, "%63s", word) != 1)
            throw TKestSerialization();
        bytes = word;
    }
    void WriteText(std::ostream& stream) override { stream << bytes << '\n'; }
    void ReadText(std::istream& stream) override {
        ownerWhileReading = FOwner;
        if (!(stream >> bytes))
            throw TKestSerialization();
    }
};
int TBlobItem::destroyed = 0;
int TBlobItem::readSize = -1;

class TBlobContainer : public TContainer {
public:
    void* CreateItem(int32_t typeId) override {
        TBlobItem* item = new TBlobItem;
        item->FTypeId = typeId;
        return static_cast<TContainerItem*>(item);
    }
    TBlobItem& Blob(int index) { return *static_cast<TBlobItem*>(static_cast<TContainerItem*>(At(index))); }
    const TBlobItem& Blob(int index) const {
        return *static_cast<const TBlobItem*>(static_cast<const TContainerItem*>(At(index)));
    }
    std::vector<std::string> Contents() const {
        std::vector<std::string> all;
        all.reserve(static_cast<size_t>(Count()));
        for (int i = 0; i < Count(); ++i)
            all.push_back(Blob(i).bytes);
        return all;
    }
    void Add(const std::string& bytes, int32_t tag = 0) {
        TBlobItem* item = new TBlobItem(bytes);
        item->FTypeId = tag;
        AddItem(static_cast<TContainerItem*>(item));
    }
};

// Strings (type tag 1) and containers of its own kind (any other tag), so that images
// can nest containers in containers.
class TNestContainer : public TContainer {
public:
    void* CreateItem(int32_t typeId) override {
        TContainerItem* item = typeId == 1 ? static_cast<TContainerItem*>(new TString) : new TNestContainer;
        item->FTypeId = typeId;
        return item;
    }
    // A chain depth levels deep: every level holds the string "level k" and the next level.
    static void Build(TNestContainer& root, int depth) {
        TNestContainer* level = &root;
        for (int k = 0; k < depth; ++k) {
            TString* text = new TString(("level " + std::to_string(k)).c_str());
            text->FTypeId = 1;
            level->AddItem(static_cast<TContainerItem*>(text));
            if (k + 1 == depth)
                break;
            TNestContainer* next = new TNestContainer;
            next->FTypeId = 2;
            level->AddItem(static_cast<TContainerItem*>(next));
            level = next;
        }
    }
    // The number of levels, each checked for its string.
    static int Depth(const TNestContainer& root) {
        const TNestContainer* level = &root;
        for (int k = 0;; ++k) {
            const TString& text =
                *static_cast<const TString*>(static_cast<const TContainerItem*>(level->At(0)));
            if (text != ("level " + std::to_string(k)).c_str())
                return -1;
            if (level->Count() == 1)
                return k + 1;
            level = static_cast<const TNestContainer*>(static_cast<const TContainerItem*>(level->At(1)));
        }
    }
};

Bytes Hex(std::initializer_list<int> bytes) {
    Bytes out;
    for (int b : bytes)
        out.push_back(static_cast<char>(b));
    return out;
}

Bytes HeaderWith(int32_t count, bool inlineElements, bool pointers, int32_t elementSize) {
    Bytes header(24, '\0');
    uint8_t* h = reinterpret_cast<uint8_t*>(header.data());
    StoreInt32(count, h + 4);
    StoreInt32(16, h + 8);
    h[12] = inlineElements;
    h[13] = pointers;
    StoreInt32(elementSize, h + 15);
    h[19] = 1;
    h[20] = 1;
    return header;
}

using kest::test::FileText;
using kest::test::FileWithText;

// The stored forms a container can take, each written and read on its own medium.
enum class TForm {
    DirectFile,
    BufferedFile,
    BinaryStream,
    BufferedStream,
    MemoryImage,
    FileText,
    StreamText
};
const TForm kForms[] = {TForm::DirectFile,  TForm::BufferedFile, TForm::BinaryStream, TForm::BufferedStream,
                        TForm::MemoryImage, TForm::FileText,     TForm::StreamText};

const char* Name(TForm form) {
    switch (form) {
    case TForm::DirectFile: return "direct file";
    case TForm::BufferedFile: return "buffered file";
    case TForm::BinaryStream: return "binary stream";
    case TForm::BufferedStream: return "buffered stream";
    case TForm::MemoryImage: return "memory image";
    case TForm::FileText: return "file text";
    case TForm::StreamText: return "stream text";
    }
    return "";
}

Bytes Save(TContainer& c, TForm form) {
    switch (form) {
    case TForm::DirectFile:
    case TForm::BufferedFile:
    case TForm::FileText: {
        FILE* file = std::tmpfile();
        if (form == TForm::DirectFile)
            c.WriteDirect(file);
        if (form == TForm::BufferedFile)
            c.WriteBinary(file);
        if (form == TForm::FileText)
            c.WriteText(file);
        Bytes bytes = FileText(file);
        std::fclose(file);
        return bytes;
    }
    case TForm::BinaryStream:
    case TForm::BufferedStream:
    case TForm::StreamText: {
        std::ostringstream stream(std::ios::binary);
        if (form == TForm::BinaryStream)
            c.WriteBinary(stream);
        if (form == TForm::BufferedStream)
            c.Write(stream, std::ios::binary);
        if (form == TForm::StreamText)
            c.WriteText(stream);
        return stream.str();
    }
    case TForm::MemoryImage: {
        TMemBuffer buffer;
        c.WriteToBuffer(buffer);
        return Bytes(reinterpret_cast<const char*>(buffer.Data()), static_cast<size_t>(buffer.Length()));
    }
    }
    return Bytes();
}

void Load(TContainer& c, TForm form, const Bytes& bytes) {
    switch (form) {
    case TForm::DirectFile:
    case TForm::BufferedFile:
    case TForm::FileText: {
        FILE* file = FileWithText(bytes).release();
        try {
            if (form == TForm::DirectFile)
                c.ReadDirect(file);
            if (form == TForm::BufferedFile)
                c.ReadBinary(file);
            if (form == TForm::FileText)
                c.ReadText(file);
        } catch (...) {
            std::fclose(file);
            throw;
        }
        std::fclose(file);
        return;
    }
    case TForm::BinaryStream:
    case TForm::BufferedStream:
    case TForm::StreamText: {
        std::istringstream stream(bytes, std::ios::binary);
        if (form == TForm::BinaryStream)
            c.ReadBinary(stream);
        if (form == TForm::BufferedStream)
            c.Read(stream, std::ios::binary);
        if (form == TForm::StreamText)
            c.ReadText(stream);
        return;
    }
    case TForm::MemoryImage: {
        TMemBuffer buffer;
        buffer.Append(bytes.data(), static_cast<int32_t>(bytes.size()));
        c.ReadFromSpace(buffer);
        return;
    }
    }
}

// Loads an image that must be refused with an exception of type E whose detail says what
// was wrong and where, after the fixed text in what().
template <typename E>
void ExpectRefused(TContainer& c, TForm form, const Bytes& image, const std::string& what) {
    try {
        Load(c, form, image);
        ADD_FAILURE() << what << " " << Name(form) << ": loaded";
    } catch (const E& e) {
        EXPECT_FALSE(e.Detail().empty()) << what << " " << Name(form) << ": " << e.what();
        EXPECT_EQ(std::string(e.what()).rfind(e.What(), 0), 0u);
    }
}

class ContainerPersistence : public ::testing::Test {
protected:
    void SetUp() override {
        TBlobItem::destroyed = 0;
        TBlobItem::readSize = -1;
    }
    void TearDown() override { TBlobItem::readSize = -1; }
};

const Bytes kEmptyHeader =
    Hex({0x18, 0, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0});

TEST_F(ContainerPersistence, AnEmptyContainerIsTheBareHeader) {
    TContainer c;
    EXPECT_EQ(Save(c, TForm::DirectFile), kEmptyHeader);
    EXPECT_EQ(Save(c, TForm::BinaryStream), kEmptyHeader);
    EXPECT_EQ(Save(c, TForm::MemoryImage), kEmptyHeader);
    EXPECT_EQ(Save(c, TForm::FileText), "0 0 16 0 1 1 0 1 1 0 0 0\n");
    EXPECT_EQ(Save(c, TForm::StreamText), "0 16 0 1 1 0 1 1 0 0 0\n");
}

TEST_F(ContainerPersistence, TheBufferedFormWrapsTheMemoryImageInABuffer) {
    TContainer c;
    const Bytes expected = Hex({1, 0}) + Hex({0x18, 0, 0, 0}) + Hex({0}) + kEmptyHeader + Hex({0, 1, 0, 0});
    EXPECT_EQ(Save(c, TForm::BufferedFile), expected);
    EXPECT_EQ(Save(c, TForm::BufferedStream), expected);
    // Unbuffered, the direct image follows the flag byte, so it ends at 25.
    c.FBuffered = false;
    const Bytes direct = Hex({0, 0x19, 0, 0, 0}) + kEmptyHeader.substr(4);
    EXPECT_EQ(Save(c, TForm::BufferedFile), direct);
    EXPECT_EQ(Save(c, TForm::BufferedStream), direct);
}

TEST_F(ContainerPersistence, TheEndPositionIsAbsolute) {
    TContainer c;
    FILE* file = std::tmpfile();
    std::fputs("abc", file);
    c.WriteDirect(file);
    EXPECT_EQ(FileText(file), "abc" + Hex({0x1B, 0, 0, 0}) + kEmptyHeader.substr(4));
    std::fclose(file);

    TMemBuffer buffer;
    buffer.Append("xy", 2);
    c.WriteToBuffer(buffer);
    EXPECT_EQ(buffer.Data()[2], 26);
}

// Takes bytes but cannot tell or change its position, as a pipe cannot.
class TForwardOnlyBuffer : public std::streambuf {
public:
    std::string bytes;

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof())
            bytes.push_back(static_cast<char>(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        bytes.append(s, static_cast<size_t>(n));
        return n;
    }
};

TEST_F(ContainerPersistence, AStreamWithoutPositionsGetsTheImageWithItsOwnPositions) {
    TBlobContainer c;
    c.FSizePrefix = true;
    c.Add("abc");
    c.Add("de");
    TForwardOnlyBuffer pipe;
    std::ostream stream(&pipe);
    ASSERT_EQ(stream.tellp(), std::ostream::pos_type(-1));
    c.WriteBinary(stream);
    EXPECT_EQ(pipe.bytes, Save(c, TForm::BinaryStream));
    TBlobContainer back;
    Load(back, TForm::BinaryStream, pipe.bytes);
    EXPECT_EQ(back.Contents(), c.Contents());
}

TEST_F(ContainerPersistence, ObjectItemRecordsCarryTheirTypeTag) {
    TBlobContainer c;
    c.Add("ab", 0);
    const Bytes item = Hex({2, 0, 0, 0}) + "ab";
    const Bytes header = Hex({34, 0, 0, 0, 1, 0, 0, 0, 0x10, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0});
    EXPECT_EQ(Save(c, TForm::DirectFile), header + Hex({0, 0, 0, 0}) + item);
    EXPECT_EQ(Save(c, TForm::BinaryStream), header + Hex({0, 0, 0, 0}) + item);
    const Bytes image = Save(c, TForm::MemoryImage);
    EXPECT_EQ(image.substr(24), Hex({1, 0}) + Hex({1, 2}) + "ab");
    EXPECT_EQ(image[0], 30);
    EXPECT_EQ(Save(c, TForm::FileText), "0 1 16 0 1 1 0 1 1 0 0 0\n0\nab\n");
    EXPECT_EQ(Save(c, TForm::StreamText), "1 16 0 1 1 0 1 1 0 0 0\n0 ab\n");
}

TEST_F(ContainerPersistence, SizePrefixesAnnounceEachRecord) {
    TBlobContainer c;
    c.FSizePrefix = true;
    c.Add("abc", 0);
    const Bytes image = Save(c, TForm::DirectFile);
    EXPECT_EQ(image.substr(24), Hex({11, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0}) + "abc");
    EXPECT_EQ(Save(c, TForm::BinaryStream).substr(24), image.substr(24));
    EXPECT_EQ(Save(c, TForm::MemoryImage).substr(24), Hex({7, 0, 0, 0, 1, 0, 1, 3}) + "abc");
    EXPECT_EQ(Save(c, TForm::FileText), "0 1 16 0 1 1 0 1 1 0 1 0\n0\nabc\n");
}

TEST_F(ContainerPersistence, AReaderSkipsWhatAnItemLeftOfItsRecord) {
    for (TForm form : {TForm::DirectFile, TForm::BinaryStream, TForm::MemoryImage}) {
        TBlobContainer c;
        c.FSizePrefix = true;
        c.Add("abc");
        c.Add("defg");
        const Bytes image = Save(c, form);
        TBlobItem::readSize = 1;
        TBlobContainer back;
        Load(back, form, image);
        EXPECT_EQ(back.Contents(), (std::vector<std::string>{"a", "d"})) << Name(form);
    }
}

TEST_F(ContainerPersistence, AnItemThatReadsPastItsRecordIsRejected) {
    for (TForm form : {TForm::DirectFile, TForm::BinaryStream, TForm::MemoryImage}) {
        TBlobContainer c;
        c.FSizePrefix = true;
        c.Add("abc");
        c.Add("defgh");
        const Bytes image = Save(c, form);
        TBlobItem::readSize = 5;
        TBlobContainer back;
        TBlobItem::destroyed = 0;
        EXPECT_THROW(Load(back, form, image), TKestSerialization) << Name(form);
        EXPECT_EQ(back.Count(), 0) << Name(form);
        EXPECT_EQ(TBlobItem::destroyed, 1) << Name(form);
        EXPECT_EQ(back.FPeers, nullptr);
    }
}

TEST_F(ContainerPersistence, InlineElementsInTheTextForms) {
    TContainer c;
    c.FInline = true;
    c.FPointers = false;
    c.FElementSize = 3;
    const uint8_t element[3] = {0x01, 0x0A, 0xFF};
    c.AddItem(const_cast<uint8_t*>(element));
    EXPECT_EQ(Save(c, TForm::FileText), "0 1 16 1 0 1 3 1 1 0 0 0\n01 0a ff\n");
    EXPECT_EQ(Save(c, TForm::StreamText), "1 16 1 0 1 3 1 1 0 0 0\n1 10 255\n");
    EXPECT_EQ(Save(c, TForm::DirectFile).substr(24), Hex({0x01, 0x0A, 0xFF}));
}

TEST_F(ContainerPersistence, LongElementsBreakTheirTextLinesAfterEightBytes) {
    TPeerDataContainer records;
    records.Add(1, 2, 3);
    EXPECT_EQ(Save(records, TForm::FileText),
              "0 1 16 1 0 1 12 1 1 0 0 0\n01 00 00 00 02 00 00 00\n03 00 00 00\n");
}

TEST_F(ContainerPersistence, IntegersRoundTripInEveryForm) {
    for (TForm form : kForms) {
        TIntContainer c;
        c.Add(3).Add(-7).Add(12).Add(std::numeric_limits<int32_t>::min());
        const Bytes image = Save(c, form);
        TIntContainer back;
        back.Add(99);
        Load(back, form, image);
        ASSERT_EQ(back.Count(), 4) << Name(form);
        EXPECT_EQ(back.At(1), -7) << Name(form);
        EXPECT_EQ(back.At(3), std::numeric_limits<int32_t>::min()) << Name(form);
        EXPECT_EQ(back.FAllocated, 4) << Name(form);
        EXPECT_FALSE(back.FPointers);
    }
}

TEST_F(ContainerPersistence, ManyIntegersRoundTripInEveryForm) {
    std::mt19937 random(99);
    TIntContainer c;
    for (int i = 0; i < 40000; ++i)
        c.Add(static_cast<int32_t>(random()));
    for (TForm form : kForms) {
        TIntContainer back;
        Load(back, form, Save(c, form));
        ASSERT_EQ(back.Count(), c.Count()) << Name(form);
        EXPECT_EQ(std::memcmp(back.FItems, c.FItems, 4 * static_cast<size_t>(c.Count())), 0) << Name(form);
    }
}

TEST_F(ContainerPersistence, SeparateElementBlocksRoundTripInEveryForm) {
    for (TForm form : kForms) {
        TIntContainer c;
        c.FPointers = true;
        c.FSizePrefix = true;
        c.Add(5).Add(-6);
        TIntContainer back;
        Load(back, form, Save(c, form));
        EXPECT_TRUE(back.FPointers) << Name(form);
        ASSERT_EQ(back.Count(), 2) << Name(form);
        EXPECT_EQ(back.At(1), -6) << Name(form);
    }
}

TEST_F(ContainerPersistence, ObjectsAndSettingsRoundTripInEveryForm) {
    for (TForm form : kForms) {
        TBlobItem::destroyed = 0;
        TBlobContainer c;
        c.Add("one", 3);
        c.Add("two", -4);
        c.Add("three", 0);
        c.FGrowBy = 7;
        c.FReserved = false;
        c.FLinearGrowth = true;
        c.FSizePrefix = form != TForm::FileText && form != TForm::StreamText;
        TBlobContainer back;
        back.Add("old");
        Load(back, form, Save(c, form));
        EXPECT_EQ(TBlobItem::destroyed, 1) << Name(form);
        TBlobItem::destroyed = 0;
        EXPECT_EQ(back.Contents(), c.Contents()) << Name(form);
        EXPECT_EQ(back.TypeIdAt(0), 3) << Name(form);
        EXPECT_EQ(back.TypeIdAt(1), -4) << Name(form);
        EXPECT_EQ(back.Blob(2).FOwner, &back) << Name(form);
        EXPECT_EQ(back.FGrowBy, 7) << Name(form);
        EXPECT_FALSE(back.FReserved) << Name(form);
        EXPECT_TRUE(back.FLinearGrowth) << Name(form);
        EXPECT_FALSE(back.FSaving);
        EXPECT_FALSE(c.FSaving);
    }
}

TEST_F(ContainerPersistence, CompressedImagesRoundTrip) {
    TBlobContainer c;
    for (int i = 0; i < 50; ++i)
        c.Add("same");
    c.FCompressed = true;
    const Bytes binary = Save(c, TForm::BufferedFile);
    EXPECT_EQ(binary.substr(0, 2), Hex({1, 1}));
    TBlobContainer plain;
    for (int i = 0; i < 50; ++i)
        plain.Add("same");
    EXPECT_LT(binary.size(), Save(plain, TForm::BufferedFile).size());
    for (TForm form : {TForm::BufferedFile, TForm::BufferedStream, TForm::FileText}) {
        TBlobContainer back;
        Load(back, form, Save(c, form));
        EXPECT_TRUE(back.FCompressed) << Name(form);
        EXPECT_EQ(back.Contents(), c.Contents()) << Name(form);
    }
    EXPECT_EQ(Save(c, TForm::FileText).substr(0, 2), "1 ");
}

TEST_F(ContainerPersistence, PeerDataWithoutRecordsLeavesTheItemsAlone) {
    TIntContainer c;
    c.FPeerData = true;
    c.Add(1).Add(2);
    const Bytes image = Save(c, TForm::DirectFile);
    TPeerDataContainer empty;
    const Bytes emptyPeers = Save(empty, TForm::BufferedFile);
    EXPECT_EQ(image.substr(24 + 8), emptyPeers);
    // Nested in the image, the record container's end position counts from the image's start.
    const Bytes nested = Save(c, TForm::MemoryImage).substr(24 + 8);
    EXPECT_EQ(LoadInt32(reinterpret_cast<const uint8_t*>(nested.data())), 24 + 8 + 24);
    EXPECT_EQ(nested.substr(4), Save(empty, TForm::MemoryImage).substr(4));
    EXPECT_EQ(Save(c, TForm::StreamText),
              "2 16 1 0 1 4 1 1 1 0 0\n1 0 0 0\n2 0 0 0\n0 16 1 0 1 12 1 1 0 0 0\n");
    for (TForm form : kForms) {
        TIntContainer back;
        Load(back, form, Save(c, form));
        ASSERT_EQ(back.Count(), 2) << Name(form);
        EXPECT_EQ(back.At(0), 1);
        EXPECT_EQ(back.At(1), 2);
        EXPECT_TRUE(back.FPeerData);
        EXPECT_EQ(back.FPeers, nullptr);
    }
}

TEST_F(ContainerPersistence, PointersBetweenItemsSurviveSavingAndLoading) {
    for (TForm form : kForms) {
        TLinkContainer c;
        c.FPeerData = true;
        c.AddLinks(3);
        c.Link(0).FNext = &c.Link(2);
        c.Link(1).FNext = &c.Link(1);
        TLinkContainer back;
        Load(back, form, Save(c, form));
        ASSERT_EQ(back.Count(), 3) << Name(form);
        EXPECT_EQ(back.Link(0).FNext, &back.Link(2)) << Name(form);
        EXPECT_EQ(back.Link(1).FNext, &back.Link(1)) << Name(form);
        EXPECT_EQ(back.Link(2).FNext, nullptr) << Name(form);
        EXPECT_EQ(c.FPeers, nullptr);
        EXPECT_EQ(back.FPeers, nullptr);
        // A copy gets the pointers pointing at its own items.
        TLinkContainer copy;
        copy.Assign(back);
        ASSERT_EQ(copy.Count(), 3);
        auto link = [&copy](int i) {
            return static_cast<TLinkItem*>(static_cast<TContainerItem*>(copy.At(i)));
        };
        EXPECT_EQ(link(0)->FNext, link(2)) << Name(form);
        EXPECT_EQ(link(1)->FNext, link(1)) << Name(form);
        EXPECT_EQ(link(2)->FNext, nullptr) << Name(form);
    }
}

TEST_F(ContainerPersistence, ObjectItemsSeeTheirOwnerWhileTheyRead) {
    TBlobContainer c;
    c.Add("first");
    for (TForm form : kForms) {
        TBlobContainer back;
        Load(back, form, Save(c, form));
        ASSERT_EQ(back.Count(), 1) << Name(form);
        EXPECT_EQ(back.Blob(0).ownerWhileReading, &back) << Name(form);
    }
}

TEST_F(ContainerPersistence, ContainersOfContainersRoundTripInEveryForm) {
    TNestContainer deep;
    TNestContainer::Build(deep, 40);
    for (TForm form : kForms) {
        TNestContainer back;
        Load(back, form, Save(deep, form));
        EXPECT_EQ(TNestContainer::Depth(back), 40) << Name(form);
    }
    // The stream text form carries each nested container in its own text form.
    TNestContainer pair;
    TNestContainer::Build(pair, 2);
    EXPECT_EQ(Save(pair, TForm::StreamText),
              "2 16 0 1 1 0 1 1 0 0 0\n1 \n1\n5\nlevel_0\n2 1 16 0 1 1 0 1 1 0 0 0\n1 \n1\n5\nlevel_1\n");
}

TEST_F(ContainerPersistence, ImagesNestedTooDeepAreRejectedInEveryForm) {
    TNestContainer deep;
    TNestContainer::Build(deep, TContainerBase::kMaxNesting + 10);
    for (TForm form : kForms) {
        TNestContainer back;
        EXPECT_THROW(Load(back, form, Save(deep, form)), TKestSerialization) << Name(form);
    }
    // An image made by hand 40000 levels deep never reaches that depth of recursion.
    Bytes image;
    const Bytes level = HeaderWith(1, false, true, 0) + Hex({0x01, 0x02});
    for (int k = 0; k < 40000; ++k)
        image += level;
    image += HeaderWith(0, false, true, 0);
    TNestContainer handMade;
    EXPECT_THROW(Load(handMade, TForm::MemoryImage, image), TKestSerialization);
    // The same made 100 levels deep is a good image.
    Bytes shallow;
    for (int k = 0; k < 100; ++k)
        shallow += level;
    shallow += HeaderWith(0, false, true, 0);
    Load(handMade, TForm::MemoryImage, shallow);
    EXPECT_EQ(handMade.Count(), 1);

    TNestContainer limit;
    TNestContainer::Build(limit, TContainerBase::kMaxNesting);
    TNestContainer back;
    Load(back, TForm::MemoryImage, Save(limit, TForm::MemoryImage));
    EXPECT_EQ(TNestContainer::Depth(back), TContainerBase::kMaxNesting);
}

TEST_F(ContainerPersistence, NamedFilesRoundTrip) {
    const std::string path = kest::test::TempPath("container");
    TIntContainer c;
    c.Add(10).Add(20);
    c.SaveBinaryFile(path.c_str());
    TIntContainer binary;
    binary.LoadBinaryFile(path.c_str());
    EXPECT_EQ(binary.At(1), 20);
    c.SaveTextFile(path.c_str());
    TIntContainer text;
    text.LoadTextFile(path.c_str());
    EXPECT_EQ(text.At(0), 10);
    for (std::ios::openmode mode : {std::ios::binary, std::ios::openmode{}}) {
        c.SaveToStreamFile(path.c_str(), mode);
        TIntContainer stream;
        stream.LoadFromStreamFile(path.c_str(), mode);
        ASSERT_EQ(stream.Count(), 2);
        EXPECT_EQ(stream.At(1), 20);
    }
    std::remove(path.c_str());
    EXPECT_THROW(c.LoadBinaryFile(path.c_str()), TKestFileException);
    EXPECT_EQ(c.Count(), 2);
}

// Every shorter piece of a good image must be refused, never half-read into garbage.
TEST_F(ContainerPersistence, TruncatedImagesAreRejectedInEveryForm) {
    for (TForm form : kForms) {
        TBlobContainer c;
        c.FSizePrefix = form != TForm::FileText && form != TForm::StreamText;
        c.Add("alpha", 1);
        c.Add("beta", 2);
        const Bytes image = Save(c, form);
        // A text form cut inside its last word still reads as a shorter word.
        const bool text = form == TForm::FileText || form == TForm::StreamText;
        const size_t whole = text ? image.find_last_of(" \n", image.size() - 2) + 1 : image.size();
        for (size_t size = 0; size < whole; ++size) {
            TBlobContainer back;
            ExpectRefused<TKestException>(back, form, image.substr(0, size),
                                          "cut at " + std::to_string(size));
            EXPECT_LE(back.Count(), 2);
            EXPECT_EQ(back.FPeers, nullptr);
        }
    }
}

TEST_F(ContainerPersistence, TruncatedContiguousImagesAreRejected) {
    for (TForm form : kForms) {
        TIntContainer c;
        c.Add(1).Add(2).Add(3);
        c.FPeerData = true;
        const Bytes image = Save(c, form);
        for (size_t size = 0; size + 1 < image.size(); ++size) {
            TIntContainer back;
            ExpectRefused<TKestException>(back, form, image.substr(0, size),
                                          "cut at " + std::to_string(size));
        }
    }
}

TEST_F(ContainerPersistence, CorruptedImagesNeverCrash) {
    std::mt19937 random(8086);
    for (TForm form : kForms) {
        TBlobContainer c;
        c.FSizePrefix = true;
        c.Add("alpha", 1);
        c.Add("beta", 2);
        const Bytes image = Save(c, form);
        for (int round = 0; round < 300; ++round) {
            Bytes damaged = image;
            const int flips = 1 + static_cast<int>(random() % 3);
            for (int f = 0; f < flips; ++f)
                damaged[random() % damaged.size()] = static_cast<char>(random());
            TBlobContainer back;
            try {
                Load(back, form, damaged);
            } catch (const TKestException& e) {
                EXPECT_FALSE(e.Detail().empty()) << Name(form) << ": " << e.what();
            }
            EXPECT_LE(back.Count(), 2) << Name(form);
        }
    }
}

TEST_F(ContainerPersistence, ImpossibleHeadersAreRejectedBeforeAnythingIsAllocated) {
    struct TCase {
        Bytes image;
        const char* what;
        // Refused by a general inline container too, not only by one of fixed-size elements.
        bool byAnyContainer = false;
    };
    const std::vector<TCase> cases = {
        {HeaderWith(-1, true, false, 4), "negative count", true},
        {HeaderWith(2, true, false, 0), "elements without a size", true},
        {HeaderWith(2, true, false, -4), "elements of negative size", true},
        {HeaderWith(0, true, false, 0), "no elements, of no size", true},
        {HeaderWith(0, true, false, -4), "no elements, of negative size", true},
        {HeaderWith(0, true, true, 0), "no element blocks, of no size", true},
        {HeaderWith(0x7FFFFFFF, true, false, 4), "count whose bytes do not fit"},
        {HeaderWith(1, false, true, 0), "objects where integers belong"},
        {HeaderWith(1, false, true, 0) + Bytes(4, '\0') + "abcdefgh",
         "an object record where integers belong"},
        {HeaderWith(0x7FFFFFFF, true, false, 1) + "abc", "count far beyond the data"},
        {HeaderWith(0x7FFFFFFF, true, true, 4) + "abcd", "blocks far beyond the data"},
        {HeaderWith(1, true, true, 0x7FFFFFFF) + "abcd", "huge element"},
        {HeaderWith(1, true, false, 0x7FFFFFFF) + "abcd", "huge contiguous element", true},
        {HeaderWith(1, true, false, 1) + "a", "elements of another size"},
        {HeaderWith(2, true, true, 2) + "abcd", "element blocks of another size"},
    };
    // Nothing is asked for before the data are found missing: the cap refuses any large block.
    const kest::test::TBlockCap cap(kest::test::kTestBlockCap);
    for (const TCase& item : cases) {
        for (TForm form : {TForm::DirectFile, TForm::BinaryStream, TForm::MemoryImage}) {
            TIntContainer back;
            back.Add(5);
            ExpectRefused<TKestSerialization>(back, form, item.image, item.what);
            EXPECT_LE(back.FAllocated, 1 << 16) << item.what;
            if (!item.byAnyContainer)
                continue;
            TContainer general;
            general.FInline = true;
            general.FPointers = false;
            general.FElementSize = 4;
            ExpectRefused<TKestSerialization>(general, form, item.image, item.what);
        }
    }
    // From a pipe or a stream that cannot seek, whose length is unknown, an element is
    // gathered in pieces before the array grows for it.
    const Bytes huge = HeaderWith(1, true, false, 0x7FFFFFFF) + "abcd";
    TContainer general;
    general.FInline = true;
    general.FPointers = false;
    general.FElementSize = 4;
    kest::test::File pipe = kest::test::PipeWith(kest::test::ToBytes(huge));
    EXPECT_THROW(general.ReadDirect(pipe.get()), TKestSerialization);
    kest::test::TForwardOnlyBuffer forward(kest::test::ToBytes(huge));
    std::istream stream(&forward);
    EXPECT_THROW(general.ReadBinary(stream), TKestSerialization);
}

TEST_F(ContainerPersistence, ElementsCannotBeReadIntoAContainerOfObjects) {
    TIntContainer integers;
    integers.Add(1).Add(2);
    for (TForm form : kForms) {
        TBlobContainer objects;
        objects.Add("kept");
        EXPECT_THROW(Load(objects, form, Save(integers, form)), TKestSerialization) << Name(form);
        EXPECT_FALSE(objects.FInline);
    }
}

TEST_F(ContainerPersistence, ImpossibleTextHeadersAreRejected) {
    // Elements are read as they are written, two hexadecimal digits a byte: never a read of
    // more or fewer digits, nor into the next element.
    for (const char* text :
         {"0 -1 16 1 0 1 4 1 1 0 0 0\n", "0 1 16 0 1 1 4 1 1 0 0 0\n", "0 99999999999 16\n",
          "0 2000000000 16 1 0 1 4 1 1 0 0 0\n1 0 0 0\n", "x", "0 1 16 1 0 1 4 1 1 0 0 0\n01020304\n",
          "0 1 16 1 0 1 4 1 1 0 0 0\n01 02 030 4\n", "0 2 16 1 0 1 4 1 1 0 0 0\n01 02 03\n04 05 06 07\n",
          "0 1 16 1 0 1 4 1 1 0 0 0\n 01 02 03 04\n", "0 1 16 1 0 1 4 1 1 0 0 0\n01 02 03 zz\n"}) {
        TIntContainer back;
        ExpectRefused<TKestSerialization>(back, TForm::FileText, text, text);
        EXPECT_LE(back.FAllocated, 1 << 16);
    }
    TIntContainer back;
    EXPECT_THROW(Load(back, TForm::StreamText, "2000000000 16 1 1 1 4 1 1 0 0 0\n1 0 0 0\n"),
                 TKestSerialization);
    EXPECT_LE(back.FAllocated, 1 << 16);
}

TEST_F(ContainerPersistence, RecordContainersTakeOnlyTwelveByteRecords) {
    TIntContainer integers;
    integers.Add(1).Add(2).Add(3);
    for (TForm form : kForms) {
        TPeerDataContainer records;
        records.Add(1, 2, 3);
        EXPECT_THROW(Load(records, form, Save(integers, form)), TKestSerialization) << Name(form);
        EXPECT_EQ(records.Count(), 1);
        EXPECT_EQ(records.FElementSize, 12);
    }
}

TEST_F(ContainerPersistence, RecordImagesWithRecordsOfTheirOwnAreRejected) {
    Bytes nested;
    for (int level = 0; level < 20000; ++level) {
        Bytes header = HeaderWith(0, true, false, 12);
        header[21] = 1;
        nested += header;
    }
    for (TForm form : {TForm::DirectFile, TForm::BinaryStream, TForm::MemoryImage}) {
        TPeerDataContainer records;
        EXPECT_THROW(Load(records, form, nested), TKestSerialization) << Name(form);
        EXPECT_FALSE(records.FPeerData);
    }
    TPeerDataContainer records;
    EXPECT_THROW(Load(records, TForm::StreamText, "0 16 1 0 1 12 1 1 1 0 0\n0 16 1 0 1 12 1 1 1 0 0\n"),
                 TKestSerialization);
}

TEST_F(ContainerPersistence, AContainerWithoutAFactoryCannotReadObjects) {
    TBlobContainer c;
    c.Add("x");
    TContainer plain;
    EXPECT_THROW(Load(plain, TForm::DirectFile, Save(c, TForm::DirectFile)), TKestSerialization);
    EXPECT_EQ(plain.Count(), 0);
}

// An image's settings cannot make the loaded container leak, drop stored items or ask
// for memory that no data back.
TEST_F(ContainerPersistence, StoredSettingsCannotMakeALoadedContainerHarmful) {
    const kest::test::TBlockCap cap(kest::test::kTestBlockCap);
    for (TForm form : kForms) {
        const bool text = form == TForm::FileText || form == TForm::StreamText;
        // Not owning its items: the loaded container owns them all the same.
        TBlobContainer c;
        c.Add("one");
        c.Add("two");
        c.FOwnsItems = false;
        c.FSizePrefix = !text;
        const Bytes notOwning = Save(c, form);
        c.FOwnsItems = true;
        TBlobItem::destroyed = 0;
        {
            TBlobContainer back;
            Load(back, form, notOwning);
            EXPECT_TRUE(back.FOwnsItems) << Name(form);
            back.Add("three");
        }
        EXPECT_EQ(TBlobItem::destroyed, 3) << Name(form);

        // No duplicates: all three stored items load; the rule governs later Adds.
        TIntContainer ints;
        ints.FPointers = true;
        ints.Add(4).Add(4).Add(5);
        ints.FDuplicates = false;
        TIntContainer intsBack;
        Load(intsBack, form, Save(ints, form));
        ASSERT_EQ(intsBack.Count(), 3) << Name(form);
        EXPECT_EQ(intsBack.At(1), 4) << Name(form);
        EXPECT_EQ(intsBack.At(2), 5) << Name(form);
        intsBack.Add(5).Add(6);
        EXPECT_EQ(intsBack.Count(), 4) << Name(form);

        // A growth step of 2^31 - 1: cut to 65,536 slots, so the first Add asks for
        // 512 KiB instead of 2 GB (the block cap would refuse that).
        TBlobContainer huge;
        huge.FGrowBy = 0x7FFFFFFF;
        TBlobContainer hugeBack;
        Load(hugeBack, form, Save(huge, form));
        EXPECT_EQ(hugeBack.FGrowBy, 65536) << Name(form);
        EXPECT_NO_THROW(hugeBack.Add("x")) << Name(form);
        TIntContainer hugeInts;
        hugeInts.FGrowBy = 0x7FFFFFFF;
        TIntContainer hugeIntsBack;
        Load(hugeIntsBack, form, Save(hugeInts, form));
        EXPECT_EQ(hugeIntsBack.FGrowBy, 65536) << Name(form);
        EXPECT_NO_THROW(hugeIntsBack.Add(1)) << Name(form);

        // Linear growth by 0: the container keeps its own step, so Adds stay cheap.
        TBlobContainer none;
        none.FGrowBy = 0;
        none.FLinearGrowth = true;
        TBlobContainer noneBack;
        Load(noneBack, form, Save(none, form));
        EXPECT_EQ(noneBack.FGrowBy, 16) << Name(form);
        EXPECT_TRUE(noneBack.FLinearGrowth) << Name(form);
        for (int i = 0; i < 20000; ++i)
            noneBack.Add("x");
        EXPECT_LE(noneBack.FAllocated, 20000 + 16) << Name(form);
    }
}

}  // namespace
