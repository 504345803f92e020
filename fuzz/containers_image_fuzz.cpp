// Fuzz entry for the container readers: the first byte picks the container and the stored
// form, the rest is the image. Any outcome but a library exception is a fault; whatever
// loads must write itself and load again to as many items.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "containers/byte_io.h"
#include "containers/container.h"
#include "containers/kest_exception.h"
#include "containers/kest_string.h"
#include "containers/peer_data_container.h"
#include "containers/string_container.h"
#include "fuzz/fuzz_support.h"
#include "memory/int_container.h"
#include "memory/mem_buffer.h"

namespace {

constexpr int32_t kMostItemBytes = 64;
// Containers held in containers go no deeper than this.
constexpr int kMostDepth = 3;

// The containers, in the order of the selector byte.
enum TKind { kIntegers, kObjects, kRecords, kElements, kStrings, kKindCount };
// The stored forms, in the order of the selector byte.
enum TForm {
    kDirectFile,      // ReadDirect on a C file
    kBufferedFile,    // the buffered wrapper on a C file
    kTextFile,        // the text form on a C file
    kBinaryStream,    // ReadBinary on a stream
    kBufferedBinary,  // the buffered wrapper on a binary stream
    kTextStream,      // ReadText on a stream
    kBufferedText,    // the buffered wrapper on a text stream
    kSpace,           // the memory image
    kDirectText,      // the integers' stream reader; ReadDirect in text mode for the others
    kFormCount
};

// A small object item with a length-prefixed payload in the binary forms and one word in text.
class TFuzzItem : public TContainerItem {
public:
    using TContainerItem::ReadBinary;
    using TContainerItem::ReadText;
    using TContainerItem::WriteBinary;
    using TContainerItem::WriteText;

    std::string FBytes;

    void ReadBinary(FILE* file) override {
        int32_t size = 0;
        kest::io::TByteSource source(file);
        if (!kest::io::ReadInt32(source, size) || size < 0 || size > kMostItemBytes)
            throw TKestSerialization();
        FBytes.assign(static_cast<size_t>(size), '\0');
        if (size > 0 && std::fread(FBytes.data(), 1, FBytes.size(), file) != FBytes.size())
            throw TKestSerialization();
    }
    void ReadBinary(std::istream& stream) override {
        int32_t size = 0;
        kest::io::TByteSource source(stream);
        if (!kest::io::ReadInt32(source, size) || size < 0 || size > kMostItemBytes)
            throw TKestSerialization();
        FBytes.assign(static_cast<size_t>(size), '\0');
        if (!stream.read(FBytes.data(), size))
            throw TKestSerialization();
    }
    void ReadFromSpace(TMemSpace& space) override {
        const int32_t size = space.ReadInt();
        if (size < 0 || size > kMostItemBytes)
            throw TKestSerialization();
        FBytes.assign(static_cast<size_t>(size), '\0');
        if (size > 0 && space.ReadBytes(FBytes.data(), size) == nullptr)
            throw TKestSerialization();
    }
    void ReadText(FILE* file) override {
        char word[kMostItemBytes + 1] = {};
        if (std::fscanf(file, "%64s", word) != 1)
            throw TKestSerialization();
        FBytes = word;
    }
    void ReadText(std::istream& stream) override {
        std::string word;
        stream.width(kMostItemBytes);
        if (!(stream >> word))
            throw TKestSerialization();
        FBytes = word;
    }

    void WriteBinary(FILE* file) override {
        kest::io::WriteInt32(kest::io::TByteSink(file), static_cast<int32_t>(FBytes.size()));
        std::fwrite(FBytes.data(), 1, FBytes.size(), file);
    }
    void WriteBinary(std::ostream& stream) override {
        kest::io::WriteInt32(kest::io::TByteSink(stream), static_cast<int32_t>(FBytes.size()));
        stream.write(FBytes.data(), static_cast<std::streamsize>(FBytes.size()));
    }
    void WriteToBuffer(TMemBuffer& buffer) override {
        buffer.AppendInt(static_cast<int32_t>(FBytes.size()));
        buffer.Append(FBytes.data(), static_cast<int32_t>(FBytes.size()));
    }
    // Text forms keep one word: an empty or blank payload is written as "-".
    void WriteText(FILE* file) override { std::fprintf(file, "%s\n", Word().c_str()); }
    void WriteText(std::ostream& stream) override { stream << Word() << '\n'; }

private:
    std::string Word() const {
        return FBytes.empty() || FBytes.find_first_of(" \t\r\n\v\f") != std::string::npos ? "-" : FBytes;
    }
};

// Object items by type tag: 1 integers, 2 strings, 3 objects (nested up to kMostDepth),
// anything else a TFuzzItem.
class TFuzzContainer : public TContainer {
public:
    explicit TFuzzContainer(int depth = 0) : FDepth(depth) {}

    void* CreateItem(int32_t typeId) override {
        TContainerItem* item = nullptr;
        if (typeId == 1)
            item = new TIntContainer;
        else if (typeId == 2)
            item = new TStringContainer;
        else if (typeId == 3 && FDepth < kMostDepth)
            item = new TFuzzContainer(FDepth + 1);
        else
            item = new TFuzzItem;
        item->FTypeId = typeId;
        return item;
    }

private:
    int FDepth;
};

std::unique_ptr<TContainer> MakeContainer(int kind) {
    switch (kind) {
    case kIntegers: return std::make_unique<TIntContainer>();
    case kObjects: return std::make_unique<TFuzzContainer>();
    case kRecords: return std::make_unique<TPeerDataContainer>();
    case kElements: return std::make_unique<TContainer>();
    default: return std::make_unique<TStringContainer>();
    }
}

// Reads the image through a C file reading the bytes in place: directly, through the
// buffered wrapper or as text.
void LoadFromFile(TContainer& container, int form, const std::uint8_t* data, std::size_t size) {
    fuzz::ReadBytesFile(data, size, [&](std::FILE* file) {
        if (form == kDirectFile)
            container.ReadDirect(file);
        if (form == kBufferedFile)
            container.ReadBinary(file);
        if (form == kTextFile)
            container.ReadText(file);
    });
}

// Reads the image as a memory image.
void LoadFromSpace(TContainer& container, const std::uint8_t* data, std::size_t size) {
    TMemBuffer buffer;
    buffer.Append(data, static_cast<int32_t>(size));
    buffer.Rewind();
    container.ReadFromSpace(buffer);
}

// Reads the image from a string stream in one of the stream forms.
void LoadFromStream(TContainer& container, int kind, int form, const std::string& image) {
    const bool binary = form == kBinaryStream || form == kBufferedBinary;
    std::istringstream stream(image, binary ? std::ios::in | std::ios::binary : std::ios::in);
    if (form == kBinaryStream)
        container.ReadBinary(stream);
    if (form == kBufferedBinary)
        container.Read(stream, std::ios::binary);
    if (form == kTextStream)
        container.ReadText(stream);
    if (form == kBufferedText)
        container.Read(stream, std::ios::in);
    if (form == kDirectText) {
        if (kind == kIntegers)
            stream >> static_cast<TIntContainer&>(container);
        else
            static_cast<TContainerBase&>(container).ReadDirect(stream, std::ios::in);
    }
}

void Load(TContainer& container, int kind, int form, const std::uint8_t* data, std::size_t size) {
    try {
        if (form <= kTextFile)
            LoadFromFile(container, form, data, size);
        else if (form == kSpace)
            LoadFromSpace(container, data, size);
        else
            LoadFromStream(container, kind, form, std::string(reinterpret_cast<const char*>(data), size));
    } catch (const TKestException&) {
    }
}

// Touches every item the container offers.
void Visit(TContainer& container, int kind) {
    for (int i = 0; i < container.Count(); ++i) {
        try {
            if (kind == kIntegers)
                (void)static_cast<TIntContainer&>(container).At(i);
            if (kind == kStrings)
                (void)static_cast<TStringContainer&>(container).At(i).Length();
            if (kind == kRecords)
                (void)static_cast<TPeerDataContainer&>(container).Record(i);
            (void)container.TypeIdAt(i);
        } catch (const TKestException&) {
        }
    }
}

// Writes the loaded container as a memory image and loads that again: as many items.
void CheckRoundTrip(TContainer& loaded, int kind) {
    TMemBuffer image;
    try {
        loaded.WriteToBuffer(image);
    } catch (const TKestException&) {
        return;
    }
    image.Rewind();
    std::unique_ptr<TContainer> again = MakeContainer(kind);
    try {
        again->ReadFromSpace(image);
    } catch (const TKestException&) {
        fuzz::ReleaseHandedItems(*again);
        std::abort();
    }
    const bool same = again->Count() == loaded.Count() && image.Position() == image.Length();
    fuzz::ReleaseHandedItems(*again);
    if (!same)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20))
        return 0;
    const int form = data[0] % kFormCount;
    const int kind = (data[0] / kFormCount) % kKindCount;
    std::unique_ptr<TContainer> container = MakeContainer(kind);
    Load(*container, kind, form, data + 1, size - 1);
    Visit(*container, kind);
    CheckRoundTrip(*container, kind);
    fuzz::ReleaseHandedItems(*container);
    return 0;
}

// --- seeds ------------------------------------------------------------------------------

namespace {

// A container of the kind with a few items of every sort it holds.
std::unique_ptr<TContainer> Sample(int kind, bool compressed) {
    std::unique_ptr<TContainer> made = MakeContainer(kind);
    TContainer& c = *made;
    c.FCompressed = compressed;
    if (kind == kIntegers) {
        TIntContainer& integers = static_cast<TIntContainer&>(c);
        for (int32_t v : {0, 1, -1, 127, 128, -129, 65536, 2147483647})
            integers.Add(v);
    } else if (kind == kObjects) {
        for (int32_t tag : {0, 1, 2, 3}) {
            TContainerItem* item = static_cast<TContainerItem*>(c.CreateItem(tag));
            if (TFuzzItem* word = dynamic_cast<TFuzzItem*>(item))
                word->FBytes = "quill";
            if (TIntContainer* integers = dynamic_cast<TIntContainer*>(item))
                integers->Add(7).Add(-7);
            if (TStringContainer* strings = dynamic_cast<TStringContainer*>(item))
                strings->Add("one").Add("two words");
            if (TFuzzContainer* nested = dynamic_cast<TFuzzContainer*>(item)) {
                TFuzzItem* inner =
                    static_cast<TFuzzItem*>(static_cast<TContainerItem*>(nested->CreateItem(0)));
                inner->FBytes = "inner";
                nested->AddItem(static_cast<TContainerItem*>(inner));
            }
            c.AddItem(item);
        }
        c.FSizePrefix = true;
    } else if (kind == kRecords) {
        static_cast<TPeerDataContainer&>(c).Add(0, 1, 0).Add(1, -1, 4).Add(2, 0, 8);
    } else if (kind == kElements) {
        c.FInline = true;
        c.FPointers = true;
        c.FElementSize = 8;
        c.FPeerData = true;
        for (uint64_t v : {uint64_t{0x0102030405060708}, uint64_t{0}, ~uint64_t{0}}) {
            void* element = c.CreateItem(0);
            std::memcpy(element, &v, sizeof v);
            c.AddItem(element);
        }
    } else {
        static_cast<TStringContainer&>(c).Add("first line").Add("").Add("  blanks  ").Add("\xE1\xE9");
    }
    return made;
}

std::string Written(TContainer& c, int kind, int form) {
    if (form == kSpace) {
        TMemBuffer buffer;
        c.WriteToBuffer(buffer);
        return std::string(reinterpret_cast<const char*>(buffer.Data()),
                           static_cast<size_t>(buffer.Length()));
    }
    if (form <= kTextFile) {
        std::FILE* file = std::tmpfile();
        if (file == nullptr)
            std::abort();
        if (form == kDirectFile)
            c.WriteDirect(file);
        if (form == kBufferedFile)
            c.WriteBinary(file);
        if (form == kTextFile)
            c.WriteText(file);
        std::string bytes(static_cast<size_t>(std::ftell(file)), '\0');
        std::rewind(file);
        if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
            std::abort();
        std::fclose(file);
        return bytes;
    }
    std::ostringstream stream(std::ios::out | std::ios::binary);
    if (form == kBinaryStream)
        c.WriteBinary(stream);
    if (form == kBufferedBinary)
        c.Write(stream, std::ios::binary);
    if (form == kTextStream)
        c.WriteText(stream);
    if (form == kBufferedText)
        c.Write(stream, std::ios::out);
    if (form == kDirectText) {
        if (kind == kIntegers)
            stream << static_cast<TIntContainer&>(c);
        else
            static_cast<TContainerBase&>(c).WriteDirect(stream, std::ios::out);
    }
    return stream.str();
}

}  // namespace

// One seed per container and form, and the compressed images of the buffered forms.
void WriteFuzzSeeds(const std::string& folder) {
    static const char* const kinds[] = {"integers", "objects", "records", "elements", "strings"};
    static const char* const forms[] = {"directfile",   "bufferedfile",   "textfile",
                                        "binarystream", "bufferedbinary", "textstream",
                                        "bufferedtext", "space",          "directtext"};
    for (int kind = 0; kind < kKindCount; ++kind) {
        for (int form = 0; form < kFormCount; ++form) {
            for (bool compressed : {false, true}) {
                if (compressed && form != kBufferedFile && form != kTextFile && form != kBufferedBinary &&
                    form != kBufferedText)
                    continue;
                std::unique_ptr<TContainer> c = Sample(kind, compressed);
                const std::string image = Written(*c, kind, form);
                std::ofstream(
                    folder + "/" + kinds[kind] + "_" + forms[form] + (compressed ? "_compressed" : ""),
                    std::ios::binary)
                    << static_cast<char>(kind * kFormCount + form) << image;
            }
        }
    }
}
