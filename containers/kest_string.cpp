#include "containers/kest_string.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <limits>
#include <new>
#include <ostream>
#include <string>
#include <utility>

#include "containers/binary_io.h"
#include "containers/block_allocation.h"
#include "containers/byte_channel.h"
#include "containers/kest_exception.h"
#include "containers/string_pool.h"
#include "memory/image_channel.h"
#include "memory/int_container.h"
#include "memory/mem_buffer.h"

namespace {

// The nine lower-case accented vowels of code page 1250, then their upper-case partners
// at the same positions (18 bytes, no terminator counted).
constexpr unsigned char AccentLetters[18] = {0xE1, 0xE9, 0xED, 0xF3, 0xF6, 0xF5, 0xFA, 0xFC, 0xFB,
                                             0xC1, 0xC9, 0xCD, 0xD3, 0xD6, 0xD5, 0xDA, 0xDC, 0xDB};
constexpr int AccentHalf = 9;

constexpr unsigned char kNotAccent = 255;

// For every byte value its position in AccentLetters, or kNotAccent.
constexpr std::array<unsigned char, 256> MakeAccentLookup() {
    std::array<unsigned char, 256> lookup{};
    for (auto& entry : lookup)
        entry = kNotAccent;
    for (int i = 0; i < 2 * AccentHalf; ++i)
        lookup[AccentLetters[i]] = static_cast<unsigned char>(i);
    return lookup;
}

constexpr std::array<unsigned char, 256> kAccentLookup = MakeAccentLookup();

// Texts longer than this cannot have their capacity (length + 1) in 32 bits.
constexpr size_t kMaxLength = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 1;

// Stored text is taken in pieces of this size when the source cannot tell how much it
// holds, so that storage grows only with bytes that are really there.
constexpr size_t kChunkBytes = size_t{64} * 1024;

// A malloc block of count + 1 bytes, or null when it cannot be had.
char* NewBlock(size_t count) {
    if (count > kMaxLength)
        return nullptr;
    return static_cast<char*>(kest::detail::AllocateBlock(count + 1));
}

// A terminated copy of count bytes of text in a new block; throws std::bad_alloc.
char* CopyOrThrow(const char* text, size_t count) {
    char* block = NewBlock(count);
    if (block == nullptr)
        throw std::bad_alloc();
    if (count > 0)
        std::memcpy(block, text, count);
    block[count] = 0;
    return block;
}

// Drops count bytes from source; false when it ends first.
bool SkipBytes(kest::detail::TImageSource& source, size_t count) {
    uint8_t scrap[512];
    while (count > 0) {
        const size_t step = count < sizeof scrap ? count : sizeof scrap;
        if (!source.ReadBytes(scrap, step))
            return false;
        count -= step;
    }
    return true;
}

// The text of count bytes ends early.
std::string TextCut(size_t count) {
    return "the data end inside the " + std::to_string(count) + " bytes of a text";
}

// The stored text of length count into a new terminated block; null (the bytes skipped)
// when storage cannot be had. Throws TKestSerialization when the source ends first, or
// announces more than it holds, before taking storage for it.
char* ReadStoredText(kest::detail::TImageSource& source, size_t count) {
    const int64_t remaining = source.Remaining();
    if (remaining >= 0 && static_cast<uint64_t>(remaining) < count)
        throw TKestSerialization("a text of " + std::to_string(count) + " bytes announced, " +
                                 std::to_string(remaining) + " bytes left");
    // A source that cannot tell its size gets storage piece by piece as its bytes arrive.
    size_t allocated = remaining >= 0 || count <= kChunkBytes ? count : kChunkBytes;
    char* block = NewBlock(allocated);
    if (block == nullptr) {
        if (!SkipBytes(source, count))
            throw TKestSerialization(TextCut(count));
        return nullptr;
    }
    size_t done = 0;
    while (done < count) {
        if (done == allocated) {
            const size_t grown = count - allocated < allocated ? count : allocated * 2;
            char* larger = static_cast<char*>(kest::detail::ResizeBlock(block, grown + 1));
            if (larger == nullptr) {
                std::free(block);
                if (!SkipBytes(source, count - done))
                    throw TKestSerialization(TextCut(count));
                return nullptr;
            }
            block = larger;
            allocated = grown;
        }
        const size_t step = allocated - done;
        if (!source.ReadBytes(reinterpret_cast<uint8_t*>(block) + done, step)) {
            std::free(block);
            throw TKestSerialization(TextCut(count));
        }
        done += step;
    }
    block[count] = 0;
    return block;
}

using kest::io::FileRemaining;

}  // namespace

unsigned char AccentToUpper(unsigned char c) {
    const unsigned char position = kAccentLookup[c];
    if (position < AccentHalf)
        return AccentLetters[position + AccentHalf];
    return static_cast<unsigned char>(std::toupper(c));
}

char* AccentUpperString(char* s) {
    if (s == nullptr)
        return nullptr;
    for (char* p = s; *p != 0; ++p)
        *p = static_cast<char>(AccentToUpper(static_cast<unsigned char>(*p)));
    return s;
}

int CompareText(const char* a, const char* b) {
    const unsigned char* x = reinterpret_cast<const unsigned char*>(a != nullptr ? a : "");
    const unsigned char* y = reinterpret_cast<const unsigned char*>(b != nullptr ? b : "");
    while (*x != 0 && *x == *y) {
        ++x;
        ++y;
    }
    if (*x == *y)
        return 0;
    return *x < *y ? -1 : 1;
}

// --- construction and assignment ------------------------------------------------

TString::TString() : TString(nullptr) {}

TString::TString(const char* s) {
    const size_t count = s != nullptr ? std::strlen(s) : 0;
    FText = CopyOrThrow(s, count);
    FCapacity = static_cast<int32_t>(count + 1);
}

TString::TString(std::string_view text) {
    const size_t end = text.find('\0');
    const size_t count = end == std::string_view::npos ? text.size() : end;
    FText = CopyOrThrow(text.data(), count);
    FCapacity = static_cast<int32_t>(count + 1);
}

TString::TString(const TString& other) : TString(other.FText) {}

bool TString::SwapBuffer(TString& other) noexcept {
    // Only a buffer that a copy would have made alike is taken, so that a move leaves
    // exactly what a copy leaves.
    const size_t count = std::strlen(other.FText);
    if (static_cast<size_t>(other.FCapacity) != count + 1 || TextBehind() || other.TextBehind())
        return false;
    std::swap(FText, other.FText);
    std::swap(FCapacity, other.FCapacity);
    return true;
}

// The moved-from string needs a buffer of its own, as every string does: the one
// allocation a move may make, and so a move constructor that may throw.
TString::TString(TString&& other)  // NOLINT(performance-noexcept-move-constructor)
    : TContainerItem(other) {
    FText = CopyOrThrow("", 0);
    FCapacity = 1;
    *this = std::move(other);
}

TString& TString::operator=(TString&& other) noexcept {
    if (this == &other)
        return *this;
    TContainerItem::operator=(other);
    const size_t count = std::strlen(other.FText);
    const bool reuse = !FExactSize && count < static_cast<size_t>(FCapacity);
    // Storing never throws: without a new buffer the text becomes empty, as in a copy.
    if (reuse || !SwapBuffer(other))
        Store(other.FText, count, !FExactSize);
    other.FText[0] = 0;
    return *this;
}

TString::TString(const char* text, size_t count) {
    FText = CopyOrThrow(text, count);
    FCapacity = static_cast<int32_t>(count + 1);
}

TString* TString::Adopting(char* block, size_t count) {
    TString* made = nullptr;
    try {
        made = new TString();
    } catch (...) {
        std::free(block);
        throw;
    }
    made->Adopt(block, count);
    return made;
}

TString* TString::Pooled(kest::detail::TStringPool& pool, const char* text, size_t count) {
    if (void* place = pool.Take(sizeof(TString) + count + 1))
        return ::new (place) TString(text, count, static_cast<char*>(place) + sizeof(TString));
    return new TString(text, count);
}

TString::TString(const char* text, size_t count, char* behind) noexcept {
    std::memcpy(behind, text, count);
    behind[count] = 0;
    FText = behind;
    FCapacity = static_cast<int32_t>(count + 1);
}

void TString::FreeText() noexcept {
    if (!TextBehind())
        std::free(FText);
}

TString& TString::operator=(const TString& other) {
    if (this != &other)
        Store(other.FText, std::strlen(other.FText), !FExactSize);
    return *this;
}

TString& TString::operator=(const char* s) {
    Assign(s);
    return *this;
}

TString::~TString() {
    FreeText();
}

int TString::Length() const {
    return FText != nullptr ? static_cast<int>(std::strlen(FText)) : 0;
}

int TString::Compare(const TString& a, const TString& b) {
    return CompareText(a.FText, b.FText);
}

void TString::Assign(const TContainerItem& source) {
    const TString* text = dynamic_cast<const TString*>(&source);
    if (text == nullptr)
        throw TKestBadAssign();
    *this = *text;
}

void TString::Assign(const char* s) {
    if (s == FText)
        return;
    Store(s != nullptr ? s : "", s != nullptr ? std::strlen(s) : 0, true);
}

void TString::Store(const char* text, size_t count, bool reuse) {
    if (reuse && count < static_cast<size_t>(FCapacity)) {
        // The source may lie inside this buffer.
        std::memmove(FText, text, count);
        FText[count] = 0;
        return;
    }
    char* block = NewBlock(count);
    if (block == nullptr) {
        FText[0] = 0;
        return;
    }
    std::memcpy(block, text, count);
    block[count] = 0;
    Adopt(block, count);
}

void TString::Adopt(char* block, size_t count) {
    FreeText();
    FText = block;
    FCapacity = static_cast<int32_t>(count + 1);
}

// --- transformations -----------------------------------------------------------

void TString::ToUpper() {
    AccentUpperString(FText);
}

TString TString::UpperCase(const TString& s) {
    TString copy(s);
    copy.ToUpper();
    return copy;
}

void TString::SubString(int start, int end, TString& out) const {
    const int n = Length();
    if (start < 0)
        start = 0;
    if (end == EndOfString || end >= n)
        end = n - 1;
    if (start > end) {
        out.SetLength(0);
        return;
    }
    const size_t count = static_cast<size_t>(end) - static_cast<size_t>(start) + 1;
    out.Store(FText + start, count, !out.FExactSize);
}

TString TString::SubString(int start, int end) const {
    TString out;
    SubString(start, end, out);
    return out;
}

void TString::SetLength(int n) {
    const int length = Length();
    if (n == length)
        return;
    if (n < 0)
        throw TKestBadIndex();
    const size_t count = static_cast<size_t>(n);
    if (n < FCapacity && !FExactSize) {
        if (n > length)
            std::memset(FText + length, ' ', count - static_cast<size_t>(length));
        FText[count] = 0;
        return;
    }
    char* block = NewBlock(count);
    if (block == nullptr)
        return;
    const size_t kept = n < length ? count : static_cast<size_t>(length);
    std::memcpy(block, FText, kept);
    std::memset(block + kept, ' ', count - kept);
    block[count] = 0;
    Adopt(block, count);
}

int TString::LastDot() const {
    for (int i = Length() - 1; i >= 0; --i)
        if (FText[i] == '.')
            return i;
    return -1;
}

TString TString::Extension() const {
    const int dot = LastDot();
    if (dot < 0)
        return TString();
    return SubString(dot + 1, EndOfString);
}

// --- binary forms --------------------------------------------------------------

namespace {

void WriteBinaryForm(kest::detail::TImageSink& sink, const TString& text) {
    const int32_t count = text.Length();
    sink.WriteNumber(count);
    sink.WriteFlag(text.FExactSize);
    if (count > 0)
        sink.WriteBytes(reinterpret_cast<const uint8_t*>(text.FText), static_cast<size_t>(count));
}

}  // namespace

void TString::WriteBinary(FILE* file) {
    kest::detail::TBinaryFileSink sink(file);
    WriteBinaryForm(sink, *this);
}

void TString::WriteBinary(std::ostream& stream) {
    kest::detail::TBinaryStreamSink sink(stream);
    WriteBinaryForm(sink, *this);
}

void TString::WriteToBuffer(TMemBuffer& buffer) {
    kest::detail::TBufferSink sink(buffer);
    WriteBinaryForm(sink, *this);
}

namespace {

// Reads the binary form into text: the length and flag first, then the text bytes.
void ReadBinaryForm(kest::detail::TImageSource& source, TString& text) {
    int32_t count = 0;
    bool exact = false;
    if (!source.ReadNumber(count))
        throw TKestSerialization("the length of a text is missing");
    if (!source.ReadFlag(exact))
        throw TKestSerialization("the exact-size flag after the text length " + std::to_string(count) +
                                 " is missing");
    if (count < 0)
        throw TKestSerialization("text of length " + std::to_string(count));
    char* block = ReadStoredText(source, static_cast<size_t>(count));
    text.FExactSize = exact;
    if (block == nullptr) {
        text.Assign("");
        return;
    }
    // The text is taken over as read; a large enough buffer is reused as the form asks.
    if (static_cast<size_t>(text.FCapacity) >= static_cast<size_t>(count) + 1) {
        std::memcpy(text.FText, block, static_cast<size_t>(count) + 1);
        std::free(block);
        return;
    }
    if (!text.TextBehind())
        std::free(text.FText);
    text.FText = block;
    text.FCapacity = count + 1;
}

}  // namespace

void TString::ReadBinary(FILE* file) {
    kest::detail::TBinaryFileSource source(file);
    ReadBinaryForm(source, *this);
}

void TString::ReadBinary(std::istream& stream) {
    kest::detail::TBinaryStreamSource source(stream);
    ReadBinaryForm(source, *this);
}

void TString::ReadFromSpace(TMemSpace& space) {
    kest::detail::TSpaceSource source(space);
    ReadBinaryForm(source, *this);
}

// --- text forms ----------------------------------------------------------------

void TString::WriteText(FILE* file) {
    const int count = Length();
    kest::io::PutFormat(file, "%d\n", count);
    if (count > 0)
        kest::io::PutFormat(file, "%s\n", FText);
}

void TString::ReadText(FILE* file) {
    long long stored = 0;
    if (std::fscanf(file, "%lld", &stored) != 1 || stored > std::numeric_limits<int32_t>::max())
        throw TKestSerialization("the length of a text is missing or not a 32-bit number");
    // What the writer puts after the number: a line end, the text and another line end.
    const int64_t remaining = FileRemaining(file);
    if (stored > 0 && remaining >= 0 && remaining < stored)
        throw TKestSerialization("a text of " + std::to_string(stored) + " bytes announced, " +
                                 std::to_string(remaining) + " bytes left");
    int c;
    while ((c = std::fgetc(file)) != EOF && std::isspace(c)) {
    }
    if (stored < 1) {
        if (c != EOF)
            std::ungetc(c, file);
        Assign("");
        return;
    }
    std::string line;
    while (c != EOF && c != '\n' && line.size() < static_cast<size_t>(stored)) {
        line.push_back(static_cast<char>(c));
        if (line.size() < static_cast<size_t>(stored))
            c = std::fgetc(file);
    }
    if (c == '\n')
        std::ungetc(c, file);
    // A text with a 0 byte ends there, as every text of this class does.
    Assign(line.c_str());
}

void TString::WriteText(std::ostream& stream) {
    const int count = Length();
    TIntContainer blanks;
    std::string shown(FText, static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (shown[static_cast<size_t>(i)] != ' ')
            continue;
        blanks.Add(i);
        shown[static_cast<size_t>(i)] = '_';
    }
    stream << '\n' << blanks << shown << '\n';
    kest::io::CheckStream(stream);
}

void TString::ReadText(std::istream& stream) {
    // The positions are read one by one so that a count they do not live up to is seen.
    TIntContainer blanks;
    int32_t count = 0;
    if (!(stream >> count))
        throw TKestSerialization("the count of a text's blanks is missing or not a 32-bit number");
    if (count < 0)
        throw TKestSerialization("a text with " + std::to_string(count) + " blanks");
    for (int32_t i = 0; i < count; ++i) {
        int32_t position = 0;
        if (!(stream >> position))
            throw TKestSerialization("blank " + std::to_string(i + 1) + " of " + std::to_string(count) +
                                     " of a text: its position is missing or not a 32-bit number");
        blanks.Add(position);
    }
    // The rest of the line that ends the positions, then the text's own line.
    std::string rest;
    std::getline(stream, rest);
    std::string line;
    if (!std::getline(stream, line))
        throw TKestSerialization("the stream ends before the line of a text");
    for (int i = 0; i < blanks.Count(); ++i) {
        const int32_t position = blanks.At(i);
        if (position >= 0 && static_cast<size_t>(position) < line.size())
            line[static_cast<size_t>(position)] = ' ';
    }
    Store(line.c_str(), std::strlen(line.c_str()), true);
}

std::ostream& operator<<(std::ostream& stream, const TString& text) {
    return stream << text.FText << std::endl;
}
