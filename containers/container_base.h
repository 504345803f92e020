// The container-level hooks shared by every container: item factory, item readers and writers, comparison.
#pragma once

#include "container_item.h"

// Items travel through these hooks as untyped pointers: an object item is a
// TContainerItem* converted to void*, an inline element is a block of bytes.
// Readers return a new item that the caller owns, or null when nothing was read.
class TContainerBase : public TContainerItem {
public:
    // The binary and stream forms go through a memory image.
    bool FBuffered = true;
    // The memory image is compressed, and the text forms carry it.
    bool FCompressed = false;

    TContainerBase() = default;

    using TContainerItem::ReadBinary;
    using TContainerItem::ReadText;
    using TContainerItem::WriteBinary;
    using TContainerItem::WriteText;

    // The buffered flag byte, then with it set the compressed flag byte and the memory
    // image in a TMemBuffer's binary form (compressed with FCompressed), else WriteDirect.
    void WriteBinary(FILE* file) override;
    // Reads what WriteBinary writes into FBuffered, FCompressed and the container;
    // throws TKestSerialization when the flags are missing, and what the image reader throws.
    void ReadBinary(FILE* file) override;
    // As WriteBinary/ReadBinary on a stream: flag bytes raw, the buffer in the mode's form.
    void Write(std::ostream& stream, std::ios_base::openmode mode) override;
    void Read(std::istream& stream, std::ios_base::openmode mode) override;
    // With FCompressed: the memory image as a compressed TMemBuffer's text form; else nothing.
    void WriteText(FILE* file) override;
    void ReadText(FILE* file) override;

    // A new item for the type tag, owned by the caller; null here (no factory).
    virtual void* CreateItem(int32_t typeId);
    // The item's WriteBinary on the file.
    virtual void WriteItem(FILE* file, TContainerItem& item);
    // An int32 type tag, CreateItem, FOwner set, the item's ReadBinary; null when the tag
    // cannot be read or the factory gives nothing. Whatever the item's reader throws passes
    // through after the new item is deleted.
    virtual void* ReadItem(FILE* file);
    // The item's Write with the mode.
    virtual void WriteItem(std::ostream& stream, TContainerItem& item, std::ios_base::openmode mode);
    // The type tag (4 raw bytes when mode is exactly binary, else a decimal number),
    // CreateItem, FOwner set, then the item's Read, or in a text mode (no binary bit) the
    // item's own ReadText; null as for the C file reader.
    virtual void* ReadItem(std::istream& stream, std::ios_base::openmode mode);
    // The container written and read without a memory image; nothing here on a C file.
    virtual void WriteDirect(FILE* file);
    virtual void ReadDirect(FILE* file);
    // WriteBinary on the stream when mode is exactly binary, else WriteText; ReadDirect mirrors it.
    virtual void WriteDirect(std::ostream& stream, std::ios_base::openmode mode);
    virtual void ReadDirect(std::istream& stream, std::ios_base::openmode mode);
    // The item's WriteToBuffer.
    virtual void WriteItem(TMemBuffer& buffer, TContainerItem& item);
    // The type tag with the space's integer reader, CreateItem, FOwner set, the item's
    // ReadFromSpace; null when the factory gives nothing.
    virtual void* ReadItem(TMemSpace& space);
    // Negative, 0 or positive as a orders before, equal to or after b; 0 (equal) here.
    virtual int Compare(const void* a, const void* b);

    // How deep items may nest in a stored image; a deeper image throws TKestSerialization.
    static constexpr int kMaxNesting = 256;

protected:
    // Counts the item readers running on this thread; throws TKestSerialization when
    // one more would pass kMaxNesting.
    class TNestingGuard {
    public:
        TNestingGuard();
        ~TNestingGuard();
        TNestingGuard(const TNestingGuard&) = delete;
        TNestingGuard& operator=(const TNestingGuard&) = delete;
    };

    // Takes over a freshly made item: sets its owner, so that the item can consult it
    // while it reads, then reads it with reader; deletes it when reader throws. Nested
    // items deeper than kMaxNesting throw TKestSerialization.
    template <typename Reader>
    void* ReadNewItem(int32_t typeId, Reader reader);

    // Reads the memory image of a buffered binary form on a C file (after its two flag
    // bytes): into a TMemBuffer here, then ReadFromSpace. A container may read it in
    // place when it can, with the same results.
    virtual void ReadBufferedImage(FILE* file);

    // Deletes an item made by a reader that no container keeps, with whatever an image left
    // in it for its caller: the items of a container item that it does not own, at any depth.
    static void DiscardReadItem(TContainerItem* item);

    TContainerBase(const TContainerBase& other) = default;
    TContainerBase& operator=(const TContainerBase& other) = default;
};

template <typename Reader>
void* TContainerBase::ReadNewItem(int32_t typeId, Reader reader) {
    void* made = CreateItem(typeId);
    if (made == nullptr)
        return nullptr;
    TContainerItem* item = static_cast<TContainerItem*>(made);
    item->FOwner = this;
    try {
        TNestingGuard nesting;
        reader(*item);
    } catch (...) {
        DiscardReadItem(item);
        throw;
    }
    return made;
}
