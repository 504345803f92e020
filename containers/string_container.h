// TStringContainer: a list of owned TString items with a plain line-file form (8-bit or UTF-16 input).
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>

#include "container.h"
#include "kest_string.h"

// Every item is a TString owned by the container. The line-file form is the texts of all
// items with one line end (CR LF, or LF without FCrLf) between consecutive items and none
// after the last. Loading takes CR, LF and CR LF as line ends, and a file that starts with
// the bytes FF FE as UTF-16 little-endian, of whose code units only the low byte is kept.
//
// Failures: a file that cannot be opened (or a null file) throws TKestFileException with
// the container as it was; bytes that cannot all be written throw TKestFileException;
// a line longer than a TString can hold throws TKestSerialization before storage is taken
// for it; exhausted memory throws std::bad_alloc; both keep the lines read so far. Files
// are read in chunks of 1 MiB, so a load needs little more memory than its lines: lines
// up to 4 KiB are made in slabs of 2 MiB with their texts behind them (a slab is freed
// with the last of its strings; a large load's slabs are asked for on huge pages). The
// other stored forms are TContainer's.
class TStringContainer : public TContainer {
public:
    // Called with (total, done, user value, cancel flag starting false); setting the flag stops.
    using TProgress = void (*)(int total, int done, int user, bool* cancel);
    // Called with (line, its length, sink value) for every line read instead of storing it.
    using TLineSink = void (*)(const char* line, int length, int sinkValue);

    // Line end written between lines: CR LF when true, LF when false.
    bool FCrLf = true;
    // Set by every load: the file began with the UTF-16 little-endian mark FF FE.
    bool FUnicodeLoaded = false;

    // Empty, growth step 256, CR LF line ends.
    TStringContainer();
    // Copies of source's strings and settings (Assign); throws std::bad_alloc.
    TStringContainer(const TStringContainer& source);
    // Takes source's strings and settings; source is left empty and usable. Never throws.
    TStringContainer(TStringContainer&& source) noexcept;
    TStringContainer& operator=(const TStringContainer& source);
    TStringContainer& operator=(TStringContainer&& source) noexcept;
    ~TStringContainer() override;

    using iterator = TIndexIterator<TStringContainer, TString>;
    using const_iterator = TIndexIterator<const TStringContainer, const TString>;
    // The strings in index order: range-for gives each TString.
    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, Count()); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, Count()); }

    // Appends a copy of s (the caller keeps s); returns this container.
    TStringContainer& Add(const TString& s);
    // The item at index, kept by the container; throws TKestBadIndex unless 0 <= index < Count().
    TString& At(int index);
    const TString& At(int index) const;

    // A new empty TString owned by the caller, whatever the tag.
    void* CreateItem(int32_t typeId) override;
    // TString::Compare of the two items.
    int Compare(const void* a, const void* b) override;
    // Assigns the source TString to the target.
    void CopyItem(void* target, void* source) override;
    // The TContainer assignment, then FCrLf when the source is a TStringContainer.
    void Assign(const TContainerItem& source) override;
    // TContainer's Clear; strings a line-file load made in one slab go together.
    void Clear(bool deleteItems) override;

    using TContainer::ReadText;
    using TContainer::WriteText;

    // The line-file form on an open file, which stays open (SaveLines without progress).
    void WriteText(FILE* file) override;
    // Replaces the items by the lines of the open file from its position on. Unlike
    // LoadLines it does not close the file: the file is the caller's, as for every C file
    // form of the library (a string list read as an item of another container would
    // otherwise close its owner's file).
    void ReadText(FILE* file) override;
    // Writes the line-file form to path through a temporary file in the same folder that
    // replaces the old file only when complete (TContainerItem's path saves); throws
    // TKestFileException "Could not save PATH: reason", the old file unchanged.
    void SaveTextFile(const char* path) override;
    // Replaces the items by the lines of path (read in binary); throws TKestFileException.
    void LoadTextFile(const char* path) override;

    // Writes the line-file form to an open file, which stays open, reporting progress as
    // (Count() - 1, index, user) after each item; a cancel stops at once and drops the
    // bytes not yet written.
    void SaveLines(FILE* file, TProgress progress, int user);
    // As SaveTextFile; a cancelled save leaves the old file as it was.
    void SaveTextFile(const char* path, TProgress progress, int user);
    // Replaces the items by the lines of an open file from its position on (or hands them
    // to sink when it is not null) and closes the file; reports progress as (bytes in the
    // file, offset after each line end, user), and once more at the end. A cancel stops
    // after the line just ended. Returns the length of the longest line.
    int LoadLines(FILE* file, TProgress progress, int user, TLineSink sink, int sinkValue);
    int LoadTextFile(const char* path, TProgress progress, int user, TLineSink sink, int sinkValue);

private:
    // SaveLines proper; false when the progress function cancelled.
    bool WriteLines(FILE* file, TProgress progress, int user);
    int ReadLines(FILE* file, TProgress progress, int user, TLineSink sink, int sinkValue);
    // Stores made as an item; what AddItem does not take over is deleted.
    void AddString(TString* made);
};
