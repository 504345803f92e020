// The general container: a growable array of owned item objects or of plain fixed-size elements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <type_traits>

#include "container_base.h"

class TPeerDataContainer;

namespace kest::container_detail {
struct TContainerHeader;
struct TItemPlace;
}  // namespace kest::container_detail
namespace kest::io {
class TByteSink;
class TByteSource;
}  // namespace kest::io

// Storage modes: pointer mode (FInline false: object items; or FInline and FPointers:
// separately allocated element blocks) keeps an array of pointers in FItems; contiguous
// mode (FInline true, FPointers false) keeps FAllocated elements of FElementSize bytes
// back to back in FItems.
//
// Failures: an index that names no item throws TKestBadIndex before anything is read or
// written; a capacity whose byte size does not fit 32 bits, a negative one, one below the
// count, or inline elements without a positive size throw TKestBadAlloc; exhausted memory
// throws std::bad_alloc. In all these cases the container stays as it was.
class TContainer : public TContainerBase {
public:
    // The array: pointers to items, or contiguous elements. Owned.
    void* FItems = nullptr;
    int32_t FCount = 0;
    int32_t FAllocated = 0;
    int32_t FGrowBy = 16;
    // Fix-up records while saving, loading or copying with peer data; owned while set.
    mutable TPeerDataContainer* FPeers = nullptr;
    // True while the container writes itself.
    bool FSaving = false;
    // True while an assignment copies items (on the source as well as the target).
    mutable bool FCopying = false;
    bool FInline = false;
    bool FPointers = true;
    // Carried in every stored header and copied by Assign; it steers nothing.
    bool FReserved = true;
    bool FOwnsItems = true;
    bool FDuplicates = true;
    bool FPeerData = false;
    bool FSizePrefix = false;
    bool FLinearGrowth = false;
    int32_t FElementSize = 0;

    TContainer() = default;
    // A container of source's storage mode with copies of its settings and items, as
    // Assign makes them; throws what Assign throws (a plain TContainer has no factory for
    // object items: TKestBadAssign). Derived containers copy with their own factories.
    TContainer(const TContainer& source);
    // Takes source's items, settings and flags; source is left empty, with its settings,
    // and usable. Object items get this container as their owner.
    TContainer(TContainer&& source) noexcept;
    // Assign; throws what Assign throws.
    TContainer& operator=(const TContainer& source);
    // Disposes of this container's items and takes source's, as the move constructor.
    // Between containers of different classes whose storage modes or element sizes do not
    // fit, throws TKestBadAssign and changes nothing.
    // NOLINTNEXTLINE(performance-noexcept-move-constructor,bugprone-exception-escape)
    TContainer& operator=(TContainer&& source);
    // Disposes of owned items.
    ~TContainer() override;

    // The number of items.
    int Count() const { return FCount; }

    // Walks a container's items in index order through List::At (what range-for over a
    // derived container gives); changing the container's count invalidates it.
    template <typename List, typename Item>
    class TIndexIterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::remove_const_t<Item>;
        using difference_type = std::ptrdiff_t;
        using pointer = Item*;
        using reference = Item&;

        TIndexIterator() = default;
        TIndexIterator(List* list, int index) : FList(list), FIndex(index) {}
        reference operator*() const { return FList->At(FIndex); }
        pointer operator->() const { return &FList->At(FIndex); }
        TIndexIterator& operator++() {
            ++FIndex;
            return *this;
        }
        TIndexIterator operator++(int) {
            TIndexIterator before = *this;
            ++FIndex;
            return before;
        }
        friend bool operator==(const TIndexIterator& a, const TIndexIterator& b) {
            return a.FList == b.FList && a.FIndex == b.FIndex;
        }
        friend bool operator!=(const TIndexIterator& a, const TIndexIterator& b) { return !(a == b); }

    private:
        List* FList = nullptr;
        int FIndex = 0;
    };
    // True when FItems holds pointers (object items or separately allocated elements).
    bool IsPointerMode() const { return !FInline || FPointers; }
    // The item pointer (pointer mode) or the element's address (contiguous mode); the
    // container keeps ownership. Throws TKestBadIndex unless 0 <= index < Count(). Through
    // a const container the item cannot be changed.
    const void* At(int index) const;
    void* At(int index);
    // Pointer mode: stores the pointer, taking it over when FOwnsItems (object items get
    // FOwner set); with FDuplicates false an item that Compare finds equal to a present one
    // is refused and stays the caller's. Contiguous mode: copies FElementSize bytes from item.
    // On a throw nothing is stored and the caller keeps the item.
    void AddItem(void* item);
    // Resizes the array to n slots; 0 empties the container (disposing of owned items).
    // Throws TKestBadAlloc for n < 0, 0 < n < Count() or a size that does not fit.
    void SetCapacity(int n);
    // Sets the growth step; n <= 0 is ignored.
    void SetGrowBy(int n);
    // The item's FTypeId; 0 for inline elements, empty slots and indexes out of range.
    int32_t TypeIdAt(int index) const;

    using TContainerBase::ReadBinary;
    using TContainerBase::ReadItem;
    using TContainerBase::ReadText;
    using TContainerBase::WriteBinary;
    using TContainerBase::WriteItem;
    using TContainerBase::WriteText;

    // Copies the settings and the items of another TContainer (see the class comment for
    // failures). Throws TKestBadAssign, changing nothing, when source is no TContainer or
    // its FInline or FPointers differ; a failing item copy leaves the items copied so far.
    void Assign(const TContainerItem& source) override;
    // Inline: a new block of FElementSize bytes, owned by the caller (release with
    // ReleaseElement); objects: null. Throws TKestBadAlloc when FElementSize is not positive.
    void* CreateItem(int32_t typeId) override;
    // 0 (equal).
    int Compare(const void* a, const void* b) override;
    // Inline elements: a new block of FElementSize bytes (raw; decimal byte values in a
    // text mode), null when the data end first; the block grows only with data really
    // read. Objects: as in TContainerBase.
    void* ReadItem(FILE* file) override;
    void* ReadItem(std::istream& stream, std::ios_base::openmode mode) override;
    void* ReadItem(TMemSpace& space) override;

    // Stored forms. Binary images (direct on a C file or binary stream, and the memory
    // image) are the 24-byte header, the items and, with FPeerData, the fix-up records;
    // text forms hold the same as decimal numbers and hex pairs. Writers set FSaving while
    // they run. Readers empty the container first and take the stored settings; an image
    // that is truncated, announces a negative count, inline elements of a size below one
    // byte or other than this container's own (even with no elements), a different kind
    // of item (objects for elements or back), an item that read past its size prefix, an
    // item this container cannot make, or items nested deeper than kMaxNesting throws
    // TKestSerialization, keeping the items read so far (the container still owns them).
    // Object items get FOwner set before they read themselves. Memory grows only with data
    // actually read: counts and sizes are checked against the bytes left where the medium
    // knows them, and read in pieces where it does not. The stored settings are taken
    // except where they would harm: the container always owns the items it reads (an
    // image's FOwnsItems 0 is not taken), every stored item loads (FDuplicates governs
    // later Adds only), and a stored growth step of 0 or less keeps the container's own
    // step while one above 65,536 slots or 16 MiB of storage is cut to that. On a stream
    // that cannot tell its position, positions count from the image's own start.
    void WriteDirect(FILE* file) override;
    void ReadDirect(FILE* file) override;
    void WriteBinary(std::ostream& stream) override;
    void ReadBinary(std::istream& stream) override;
    void WriteToBuffer(TMemBuffer& buffer) override;
    void ReadFromSpace(TMemSpace& space) override;
    // "%d " with FCompressed, then the compressed memory image's text form, or the header
    // line, the items and the records.
    void WriteText(FILE* file) override;
    void ReadText(FILE* file) override;
    // The header values, the items and the records, with the stream's own number forms;
    // an object item is its type tag, a blank and the item's own stream text form.
    void WriteText(std::ostream& stream) override;
    void ReadText(std::istream& stream) override;

    // Disposes of the item at index when FOwnsItems in pointer mode and empties its slot;
    // nothing in contiguous mode. Throws TKestBadIndex for an index out of range.
    virtual void DeleteItem(int index);
    // In pointer mode with deleteItems, DeleteItem for every index; then releases the array.
    virtual void Clear(bool deleteItems);
    // Writes the item record at index (an inline element's bytes, or tag and item's form).
    // Throws TKestBadIndex for an index out of range.
    virtual void WriteItemAt(FILE* file, int index);
    virtual void WriteItemAt(std::ostream& stream, int index, std::ios_base::openmode mode);
    virtual void WriteItemAt(TMemBuffer& buffer, int index);
    // A copy of the item at index, owned by the caller: a new element block, or a new
    // item from CreateItem (null when the factory gives none). Throws TKestBadIndex.
    virtual void* CloneItem(int index);
    // Inline: copies FElementSize bytes; objects: target Assign from source, then source
    // CopiedTo target.
    virtual void CopyItem(void* target, void* source);
    // The bytes of the item at index that pointer fix-ups may write into: FElementSize
    // for inline elements, the object's own ObjectSize for object items (0 for none).
    virtual int32_t ItemByteSize(int index) const;
    // True when this container's inline elements may be size bytes long; a container whose
    // hooks handle one fixed size says so, and images and assignments of other sizes are refused.
    virtual bool AcceptsElementSize(int32_t size) const;

    // Frees an element block; null is ignored. Element blocks of every container come
    // from std::malloc or std::calloc, so that any container can release them.
    static void ReleaseElement(void* element);

protected:
    // An uncompressed image of contiguous elements without records, whole on a file that
    // can seek, is read straight into the array (no staging copy); any other as TContainerBase does.
    void ReadBufferedImage(FILE* file) override;

    // What a copy constructor does once the class defaults are set: takes source's storage
    // mode, flags and type tag, then Assign. Throws what Assign throws.
    void CopyConstruct(const TContainer& source);
    // What a move assignment between two containers of one class does: disposes of this
    // container's items and takes source's items, settings and flags.
    void MoveFrom(TContainer& source) noexcept;

    // Stores item without the duplicates rule, growing first; returns the stored item
    // (pointer mode) or the element's address (contiguous mode, copied from item or zeroed
    // when item is null).
    void* StoreItem(void* item);

private:
    void** Slots() const { return static_cast<void**>(FItems); }
    unsigned char* Bytes() const { return static_cast<unsigned char*>(FItems); }
    // Bytes of one array slot in the present mode.
    int32_t SlotSize() const;
    // Throws TKestBadIndex unless 0 <= index < FCount.
    void CheckIndex(int index) const;
    // Makes room for one more item.
    void Grow();
    // Resizes the array to n >= FCount slots; the container is unchanged on a throw.
    void Reallocate(int32_t n);
    // The assignment proper, once the storage modes are known to agree.
    void AssignFrom(const TContainer& source);
    // Of the assignment in pointer mode: a copy of each of source's items, made by
    // CreateItem and CopyItem, added in order (null slots stay null).
    void CopyItemsFrom(const TContainer& source);
    // Takes the array and the settings of source, which is left empty; this container holds nothing.
    void TakeOver(TContainer& source) noexcept;
    // Deletes an item or releases an element block that the container did not take over.
    void DisposeLoose(void* item) const;
    // The item record at index on the sink (mode: a stream's form).
    void WriteRecord(const kest::io::TByteSink& sink, int index, std::ios_base::openmode mode);
    // Reads FElementSize bytes (decimal numbers on a text stream) into a new element block;
    // null when the data end first. The block grows only with the data really read.
    void* ReadElement(const kest::io::TByteSource& source, bool decimal);
    // The binary image on a medium, and the records of the items.
    void WriteImage(const kest::io::TByteSink& sink);
    void ReadImage(const kest::io::TByteSource& source);
    // Reads an item record after its size prefix and keeps it; gives null.
    void* ReadPrefixedRecord(const kest::container_detail::TItemPlace& place,
                             const kest::io::TByteSource& source);
    // Reads an element's hex block, or a type tag and the item's C file text form.
    void* ReadTextRecord(const kest::container_detail::TItemPlace& place,
                         const kest::io::TByteSource& source);
    // Reads count items through read(place) and keeps those it gives, fits the array to a
    // whole read, then reads the fix-up records through peers() and applies them.
    template <typename TRead, typename TPeers>
    void ReadItems(int32_t count, TRead read, TPeers peers);
    // ReadBufferedImage's own path; false, the file's position moved, when the image is not
    // one it reads (the caller goes back and stages it).
    bool ReadBufferedInPlace(FILE* file, int64_t left);
    // Empties the container and takes the stored settings; throws TKestSerialization first
    // for settings this container cannot hold.
    // text: the header came as numbers, not bytes (for the messages).
    void TakeHeader(const kest::container_detail::TContainerHeader& header, bool text);
    // Stores an item made by a reader (copying it in, contiguous mode); throws TKestSerialization
    // for none. What the container does not take over is disposed of.
    void KeepReadItem(void* item);
    // Reads count contiguous elements, in one read where the source knows it holds them;
    // none when it holds fewer bytes.
    void ReadContiguous(int32_t count, const kest::io::TByteSource& source);
};
