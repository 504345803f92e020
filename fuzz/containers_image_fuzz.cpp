// Fuzz entry for the container readers: the first byte picks the container and the stored
// form, the rest is the image. Any outcome but a library exception is a fault.
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "containers/binary_io.h"
#include "containers/container.h"
#include "containers/kest_exception.h"
#include "containers/peer_data_container.h"
#include "memory/int_container.h"
#include "memory/mem_buffer.h"

namespace {

constexpr int32_t kMostItemBytes = 64;

// A small object item with a length-prefixed payload in the binary forms and one word in text.
class TFuzzItem : public TContainerItem {
public:
    using TContainerItem::ReadBinary;
    using TContainerItem::ReadText;

    std::string FBytes;

    void ReadBinary(FILE* file) override {
        int32_t size = 0;
        if (!ReadInt32(file, size) || size < 0 || size > kMostItemBytes) throw TKestSerialization();
        FBytes.assign(static_cast<size_t>(size), '\0');
        if (size > 0 && std::fread(FBytes.data(), 1, FBytes.size(), file) != FBytes.size()) throw TKestSerialization();
    }
    void ReadBinary(std::istream& stream) override {
        int32_t size = 0;
        if (!ReadInt32(stream, size) || size < 0 || size > kMostItemBytes) throw TKestSerialization();
        FBytes.assign(static_cast<size_t>(size), '\0');
        if (!stream.read(FBytes.data(), size)) throw TKestSerialization();
    }
    void ReadFromSpace(TMemSpace& space) override {
        const int32_t size = space.ReadInt();
        if (size < 0 || size > kMostItemBytes) throw TKestSerialization();
        FBytes.assign(static_cast<size_t>(size), '\0');
        if (size > 0 && space.ReadBytes(FBytes.data(), size) == nullptr) throw TKestSerialization();
    }
    void ReadText(FILE* file) override {
        char word[kMostItemBytes + 1] = {};
        if (std::fscanf(file, "%64s", word) != 1) throw TKestSerialization();
        FBytes = word;
    }
    void ReadText(std::istream& stream) override {
        std::string word;
        stream.width(kMostItemBytes);
        if (!(stream >> word)) throw TKestSerialization();
        FBytes = word;
    }
};

class TFuzzContainer : public TContainer {
public:
    void* CreateItem(int32_t typeId) override {
        TFuzzItem* item = new TFuzzItem;
        item->FTypeId = typeId;
        return static_cast<TContainerItem*>(item);
    }
};

FILE* FileWith(const std::string& bytes) {
    FILE* file = std::tmpfile();
    if (file == nullptr) return nullptr;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

void Load(TContainer& container, int form, const std::string& image) {
    switch (form) {
        case 0:
        case 1:
        case 2: {
            FILE* file = FileWith(image);
            if (file == nullptr) return;
            try {
                if (form == 0) container.ReadDirect(file);
                if (form == 1) container.ReadBinary(file);
                if (form == 2) container.ReadText(file);
            } catch (const TKestException&) {
            }
            std::fclose(file);
            return;
        }
        case 3:
        case 4:
        case 5: {
            std::istringstream stream(image, std::ios::binary);
            try {
                if (form == 3) container.ReadBinary(stream);
                if (form == 4) container.Read(stream, std::ios::binary);
                if (form == 5) container.ReadText(stream);
            } catch (const TKestException&) {
            }
            return;
        }
        default: {
            TMemBuffer buffer;
            try {
                buffer.Append(image.data(), static_cast<int32_t>(image.size()));
                container.ReadFromSpace(buffer);
            } catch (const TKestException&) {
            }
            return;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    const int form = data[0] % 7;
    const int kind = (data[0] / 7) % 3;
    const std::string image(reinterpret_cast<const char*>(data + 1), size - 1);
    if (kind == 0) {
        TIntContainer integers;
        Load(integers, form, image);
        for (int i = 0; i < integers.Count(); ++i) {
            try {
                (void)integers.At(i);
            } catch (const TKestException&) {
            }
        }
    } else if (kind == 1) {
        TFuzzContainer objects;
        Load(objects, form, image);
        // An image may say that the container does not own its items; they are the caller's then.
        if (!objects.FOwnsItems) {
            for (int i = 0; i < objects.Count(); ++i) delete static_cast<TContainerItem*>(objects.At(i));
        }
    } else {
        TPeerDataContainer records;
        Load(records, form, image);
    }
    return 0;
}
