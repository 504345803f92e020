// The container of 32-bit signed integers, with typed access and a text stream form.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "../containers/container.h"

// Plain 4-byte elements, stored back to back after construction. A container whose
// settings were changed to separately allocated elements works the same. Images and
// assignments with elements of another size are refused; a container whose element size
// was changed by hand throws TKestSerialization from the typed access.
class TIntContainer : public TContainer {
public:
    // The TContainer defaults, then Init.
    TIntContainer();
    // Copies of source's integers and settings (Assign).
    TIntContainer(const TIntContainer& source);
    // Takes source's integers and settings; source is left empty and usable. Never throws.
    TIntContainer(TIntContainer&& source) noexcept = default;
    TIntContainer& operator=(const TIntContainer& source) = default;
    TIntContainer& operator=(TIntContainer&& source) noexcept {
        MoveFrom(source);
        return *this;
    }
    ~TIntContainer() override;

    using iterator = TIndexIterator<TIntContainer, int32_t>;
    using const_iterator = TIndexIterator<const TIntContainer, const int32_t>;
    // The integers in index order: range-for gives each int32_t.
    iterator begin() { return iterator(this, 0); }
    iterator end() { return iterator(this, Count()); }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, Count()); }

    // Inline 4-byte elements in contiguous mode, no peer data.
    void Init() override;
    // A new zeroed 4-byte block, owned by the caller (release with ReleaseElement).
    void* CreateItem(int32_t typeId) override;
    // -1, 0 or 1 as the first integer is smaller than, equal to or greater than the second.
    int Compare(const void* a, const void* b) override;
    // Copies the 4-byte integer.
    void CopyItem(void* target, void* source) override;
    // Only 4-byte elements.
    bool AcceptsElementSize(int32_t size) const override;

    // The integer at index, kept by the container; throws TKestBadIndex unless 0 <= index < Count().
    int32_t& At(int index);
    const int32_t& At(int index) const;
    // Appends value (subject to the duplicates rule in pointer mode); returns this container.
    TIntContainer& Add(int32_t value);
    // Appends a zeroed element and returns it for the caller to fill; the duplicates rule does
    // not apply, since the value is not known yet.
    int32_t& AddNew();

private:
    // Throws TKestSerialization unless the elements are 4-byte blocks.
    void CheckShape() const;
};

// Writes the count and then every integer, each on a line of its own; returns stream. A
// failed write throws TKestFileException.
std::ostream& operator<<(std::ostream& stream, const TIntContainer& container);
// Empties container, reads a count and that many integers; stops at the first integer that
// cannot be read (the stream is failed then) and keeps those read before; returns stream.
std::istream& operator>>(std::istream& stream, TIntContainer& container);
