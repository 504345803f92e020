// TString: the library's owned, zero-terminated 8-bit string, with accent-aware upper-casing and its stored
// forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <limits>
#include <string_view>

#include "container_item.h"

namespace kest::detail {
class TStringPool;
}  // namespace kest::detail

// As the end of a substring: the last character.
inline constexpr int32_t EndOfString = std::numeric_limits<int32_t>::min();

// The upper case of c: the partner of a lower-case accent letter, else the C library's
// upper case of the byte.
unsigned char AccentToUpper(unsigned char c);
// Upper-cases s in place byte by byte with AccentToUpper; returns s (null for null).
char* AccentUpperString(char* s);
// -1, 0 or 1 as a orders before, with or after b, byte by byte as unsigned values; a prefix
// orders first. A null pointer counts as the empty text.
int CompareText(const char* a, const char* b);

// FText is never null once constructed and always terminated; FCapacity is at least
// Length() + 1. The text may hold any bytes but 0.
//
// Failures: storage for a replacement buffer that cannot be had empties the string (or, in
// SetLength, leaves it unchanged); constructors throw std::bad_alloc instead. Stored images
// that are truncated, malformed, or announce a negative length or more text than their
// source still holds throw TKestSerialization before storage is taken for them, and leave
// the string as it was. SetLength with a negative length throws TKestBadIndex.
class TString : public TContainerItem {
public:
    // The owned buffer: a malloc block, except for strings a line-file load made, whose
    // text may lie right behind the object (the string frees it with itself).
    char* FText = nullptr;
    // Bytes allocated for FText.
    int32_t FCapacity = 0;
    // Assignment from another TString, SubString into this string and SetLength always
    // take a buffer of exactly the needed size instead of reusing a large enough one.
    bool FExactSize = true;

    // The empty text, capacity 1.
    TString();
    // A copy of s; null gives the empty text. Capacity is length + 1.
    TString(const char* s);
    // A copy of the characters of text up to its first 0 byte, if any. Capacity is length + 1.
    explicit TString(std::string_view text);
    // A copy of other's text (not its owner nor type tag); capacity is length + 1.
    TString(const TString& other);
    // Gives what the copy constructor gives, taking other's buffer when it is of exactly the
    // size a copy would make; other is left the empty text. Throws std::bad_alloc (other
    // unchanged) when a buffer cannot be had.
    TString(TString&& other);  // NOLINT(performance-noexcept-move-constructor): see the .cpp
    // Copies other's text, reusing this buffer unless FExactSize or it is too small.
    TString& operator=(const TString& other);
    // Gives what the copy assignment gives, exchanging buffers with other instead of taking
    // a new one of the same size; other is left the empty text. Never throws.
    TString& operator=(TString&& other) noexcept;
    // Assign(s).
    TString& operator=(const char* s);
    ~TString() override;

    // Strings made with new come from the heap, or for the lines of a line file from the
    // slabs of a pool (the text right behind the object); delete releases either.
    static void* operator new(size_t size);
    static void operator delete(void* block) noexcept;

    // The text itself, owned by this string; never null. Through a const string it cannot
    // be changed.
    const char* Text() const { return FText; }
    char* Text() { return FText; }
    operator const char*() const { return FText; }
    // The text as a view, valid until the string changes.
    operator std::string_view() const { return std::string_view(FText, static_cast<size_t>(Length())); }
    // Characters before the terminator.
    int Length() const;
    // True when the text lies right behind the object (a string a line-file load made in
    // pool storage) instead of in a malloc block of its own.
    bool TextBehind() const { return FText == reinterpret_cast<const char*>(this) + sizeof(TString); }

    // CompareText of the two texts.
    static int Compare(const TString& a, const TString& b);
    // Assignment from another TString; throws TKestBadAssign for a source that is no TString.
    void Assign(const TContainerItem& source) override;
    // Copies s (null: the empty text) into the present buffer when it is shorter than
    // FCapacity, whatever FExactSize says, else into a new exact-size buffer.
    void Assign(const char* s);

    // Upper-cases the text in place with AccentUpperString.
    void ToUpper();
    // A new string holding the upper-cased copy of s.
    static TString UpperCase(const TString& s);
    // Characters start..end (both inclusive) into out; a negative start counts as 0, an end
    // of EndOfString or past the text as the last character; empty when start > end.
    // out may be this string.
    void SubString(int start, int end, TString& out) const;
    // The same as a new string.
    TString SubString(int start, int end) const;
    // Truncates to n characters or extends with blanks up to n; throws TKestBadIndex for a
    // negative n, changing nothing.
    void SetLength(int n);
    // The index of the last '.', or -1.
    int LastDot() const;
    // The text after the last '.' (every dot counts, also in directory names); empty
    // without a dot.
    TString Extension() const;

    using TContainerItem::ReadBinary;
    using TContainerItem::ReadText;
    using TContainerItem::WriteBinary;
    using TContainerItem::WriteText;

    // Binary form: int32 length, one byte FExactSize, the text bytes without terminator.
    void WriteBinary(FILE* file) override;
    void WriteBinary(std::ostream& stream) override;
    void WriteToBuffer(TMemBuffer& buffer) override;
    // Read the binary form into the text and FExactSize; throws as stated for the class.
    void ReadBinary(FILE* file) override;
    void ReadBinary(std::istream& stream) override;
    void ReadFromSpace(TMemSpace& space) override;
    // The length as "%d\n", then, when not empty, the text as "%s\n".
    void WriteText(FILE* file) override;
    // Reads that form; white space at the start of the text is lost, and the text ends at
    // the first line end. Throws as stated for the class.
    void ReadText(FILE* file) override;
    // A line end, the positions of the blanks as a TIntContainer's text form, then the text
    // with every blank written as '_' and a line end.
    void WriteText(std::ostream& stream) override;
    // Reads that form: the positions, then the whole next line as the text (an empty line
    // is the empty text), with a blank put back at every recorded position inside it.
    // Throws as stated for the class.
    void ReadText(std::istream& stream) override;

    // True when both texts hold the same bytes (a null pointer counts as the empty text);
    // every order of the operands, so that "abc" == s means the same in C++17 and C++20.
    friend bool operator==(const TString& a, const TString& b) { return CompareText(a.FText, b.FText) == 0; }
    friend bool operator==(const TString& a, const char* b) { return CompareText(a.FText, b) == 0; }
    friend bool operator==(const char* a, const TString& b) { return CompareText(a, b.FText) == 0; }
    friend bool operator!=(const TString& a, const TString& b) { return !(a == b); }
    friend bool operator!=(const TString& a, const char* b) { return !(a == b); }
    friend bool operator!=(const char* a, const TString& b) { return !(a == b); }
    // The same against a std::string or std::string_view.
    friend bool operator==(const TString& a, std::string_view b) { return std::string_view(a) == b; }
    friend bool operator==(std::string_view a, const TString& b) { return a == std::string_view(b); }
    friend bool operator!=(const TString& a, std::string_view b) { return !(a == b); }
    friend bool operator!=(std::string_view a, const TString& b) { return !(a == b); }

private:
    // The line-file reader builds its strings straight from its read buffers.
    friend class TStringContainer;
    // A copy of count bytes of text, none of them 0; throws std::bad_alloc.
    TString(const char* text, size_t count);
    // A new string taking over a malloc block that holds a terminated text of count bytes.
    static TString* Adopting(char* block, size_t count);
    // A new string holding a copy of count bytes of text, none of them 0, made in pool
    // storage with the text behind it when the pool has room, else on the heap; throws
    // std::bad_alloc.
    static TString* Pooled(kest::detail::TStringPool& pool, const char* text, size_t count);
    // Points FText at the count + 1 bytes behind this object and copies the text there.
    TString(const char* text, size_t count, char* behind) noexcept;
    // Frees the text's block unless the text lies behind the object.
    void FreeText() noexcept;

    // Puts count bytes of text (copied from text) into the buffer, reusing it when reuse
    // allows and it is large enough, else into a new exact-size one; without storage the
    // text becomes empty.
    void Store(const char* text, size_t count, bool reuse);
    // Takes over a malloc block of count + 1 bytes holding a terminated text.
    void Adopt(char* block, size_t count);
    // Exchanges buffers with other when other's is exactly its length + 1 bytes; false
    // (nothing changed) for any other buffer.
    bool SwapBuffer(TString& other) noexcept;
};

// Writes the text followed by a line end, and flushes; returns stream.
std::ostream& operator<<(std::ostream& stream, const TString& text);
