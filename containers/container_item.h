// The root item of the container library: an object a container can hold and that saves and loads itself.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ios>
#include <iosfwd>

// Every header of the library brings the exception family along.
#include "kest_exception.h"

class TContainerBase;
class TMemBuffer;
class TMemSpace;

// Every object of the library derives from this class. The virtual operations
// are declared in their fixed slot order; the base versions do nothing unless
// said otherwise. Path operations throw TKestFileException when the file cannot
// be opened (nothing is read or written then) and always close what they opened,
// also when the item's own reader or writer throws. Saves to a path write a temporary
// file in the same folder and swap it in only when every byte was written and flushed
// to disk, then flush the folder (containers/file_save.h); on any failure the old file
// stays as it was, the temporary file is removed, and the failure throws
// TKestFileException whose Detail() is "Could not save PATH: reason". A load whose
// disk fails throws "Could not read PATH: reason". Writers on a C file or stream the
// caller opened throw TKestFileException as soon as a write is reported failed.
class TContainerItem {
public:
    // The container that holds this item, null while the item is free. Not owned.
    TContainerBase* FOwner = nullptr;
    // Type tag written before the item in stored images and handed to the owner's factory.
    int32_t FTypeId = 0;

    TContainerItem() = default;

    // Copies nothing (overriders copy their own state). Never throws here.
    virtual void Assign(const TContainerItem& source);
    // Called on the source after a container made copy from it. Nothing here.
    virtual void CopiedTo(TContainerItem& copy);
    virtual ~TContainerItem();
    // Sets the class defaults; nothing here.
    virtual void Init();

    // C file forms; the file is the caller's and stays open. Nothing here.
    virtual void WriteBinary(FILE* file);
    virtual void ReadBinary(FILE* file);
    virtual void WriteText(FILE* file);
    virtual void ReadText(FILE* file);

    // WriteBinary on the stream when mode has the binary bit, else WriteText.
    virtual void Write(std::ostream& stream, std::ios_base::openmode mode);
    // ReadBinary on the stream when mode has the binary bit, else ReadText.
    virtual void Read(std::istream& stream, std::ios_base::openmode mode);
    // Stream forms; WriteText writes a line end here, the others nothing.
    virtual void WriteBinary(std::ostream& stream);
    virtual void WriteText(std::ostream& stream);
    virtual void ReadBinary(std::istream& stream);
    virtual void ReadText(std::istream& stream);

    // Opens path as a stream and calls Write/Read with the caller's mode; throws
    // TKestFileException when it cannot be opened, saved or read (see above).
    virtual void SaveToStreamFile(const char* path, std::ios_base::openmode mode);
    virtual void LoadFromStreamFile(const char* path, std::ios_base::openmode mode);
    // The matching C file form on path, opened as a C file; saves go through a
    // temporary file (see above). TKestFileException when not opened, saved or read.
    virtual void SaveBinaryFile(const char* path);
    virtual void LoadBinaryFile(const char* path);
    virtual void SaveTextFile(const char* path);
    virtual void LoadTextFile(const char* path);

    // Appends the memory image to buffer; nothing here.
    virtual void WriteToBuffer(TMemBuffer& buffer);
    // Reads the memory image at the space's cursor; nothing here.
    virtual void ReadFromSpace(TMemSpace& space);
    // True when both items carry the same FTypeId.
    virtual bool IsSameType(const TContainerItem& other) const;
    // The bytes of this object, as far as pointer fix-up records (TPeerDataContainer) may
    // write into it: sizeof(TContainerItem) here. A class whose items point at their peers
    // returns sizeof of itself.
    virtual int32_t ObjectSize() const;

protected:
    // A copy is a new, free item: the owner is never copied, the type tag is.
    TContainerItem(const TContainerItem& other) noexcept : FTypeId(other.FTypeId) {}
    // Keeps this item's owner; takes the type tag.
    TContainerItem& operator=(const TContainerItem& other) noexcept {
        if (this != &other)
            FTypeId = other.FTypeId;
        return *this;
    }
};
