#include "containers/string_container.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "containers/binary_io.h"
#include "containers/file_save.h"
#include "containers/kest_exception.h"

namespace {

constexpr size_t kStagingBytes = 16 * 1024 * 1024;
constexpr size_t kFirstLineBytes = 1024;
// Read buffer for a file whose size cannot be learned by seeking.
constexpr size_t kUnknownSizeChunk = 64 * 1024;
// Larger files are read in refills of this size.
constexpr int64_t kMostReadBytes = 64 * 1024 * 1024;

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

struct FreeDeleter {
    void operator()(void* block) const { std::free(block); }
};
using Block = std::unique_ptr<char, FreeDeleter>;

// A malloc block of at most wanted bytes (at least 1), halving the request while it
// cannot be had; size receives what was obtained. Throws std::bad_alloc when not even a byte is left.
Block HalvingBlock(size_t wanted, size_t& size) {
    size = wanted < 1 ? 1 : wanted;
    for (;;) {
        if (void* block = std::malloc(size)) return Block(static_cast<char*>(block));
        if (size == 1) throw std::bad_alloc();
        size /= 2;
    }
}

void WriteAll(FILE* file, const char* bytes, size_t count) { kest::io::PutBytes(file, bytes, count); }

// Bytes between the file's position and its end, or -1 when the file cannot seek.
int64_t FileRemaining(FILE* file) {
    const long here = std::ftell(file);
    if (here < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0 || end < 0) return -1;
    return end < here ? 0 : end - here;
}

int ClampToInt(int64_t value) {
    return value > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(value);
}

TString& AsString(void* item) { return *static_cast<TString*>(static_cast<TContainerItem*>(item)); }

}  // namespace

TStringContainer::TStringContainer() { FGrowBy = 256; }

TStringContainer::~TStringContainer() = default;

void TStringContainer::AddText(const char* text) {
    TString* made = new TString(text);
    TContainerItem* item = made;
    const int before = FCount;
    try {
        AddItem(item);
    } catch (...) {
        delete made;
        throw;
    }
    // Refused as a duplicate: nobody else would delete it.
    if (FCount == before) delete made;
}

TStringContainer& TStringContainer::Add(const TString& s) {
    AddText(s.Text());
    return *this;
}

TString& TStringContainer::At(int index) const {
    void* item = TContainer::At(index);
    if (item == nullptr) throw TKestBadIndex();
    return AsString(item);
}

void* TStringContainer::CreateItem(int32_t) { return static_cast<TContainerItem*>(new TString()); }

int TStringContainer::Compare(const void* a, const void* b) {
    return TString::Compare(AsString(const_cast<void*>(a)), AsString(const_cast<void*>(b)));
}

void TStringContainer::CopyItem(void* target, void* source) {
    AsString(target) = AsString(source);
    AsString(source).CopiedTo(AsString(target));
}

void TStringContainer::Assign(const TContainerItem& source) {
    TContainer::Assign(source);
    if (const auto* other = dynamic_cast<const TStringContainer*>(&source)) FCrLf = other->FCrLf;
}

// --- saving ----------------------------------------------------------------------

void TStringContainer::SaveLines(FILE* file, TProgress progress, int user) {
    if (file == nullptr) throw TKestFileException("Could not write: no file");
    WriteLines(file, progress, user);
}

bool TStringContainer::WriteLines(FILE* file, TProgress progress, int user) {
    const size_t lineEnd = FCrLf ? 2 : 1;
    const char* const endBytes = FCrLf ? "\r\n" : "\n";
    // A small list needs no more staging than its whole form.
    size_t total = 0;
    for (int i = 0; i < FCount; ++i) total += static_cast<size_t>(At(i).Length()) + lineEnd;
    size_t size = 0;
    Block staging = HalvingBlock(total < kStagingBytes ? total : kStagingBytes, size);
    size_t staged = 0;
    bool cancel = false;
    for (int i = 0; i < FCount; ++i) {
        const TString& item = At(i);
        const size_t n = static_cast<size_t>(item.Length());
        const bool last = i == FCount - 1;
        if (staged + n + lineEnd > size) {
            WriteAll(file, staging.get(), staged);
            staged = 0;
        }
        if (n + lineEnd > size) {
            // Longer than the whole staging buffer: straight through, with the same bytes.
            WriteAll(file, item.Text(), n);
            if (!last) WriteAll(file, endBytes, lineEnd);
        } else {
            std::memcpy(staging.get() + staged, item.Text(), n);
            staged += n;
            if (!last) {
                std::memcpy(staging.get() + staged, endBytes, lineEnd);
                staged += lineEnd;
            }
        }
        if (progress != nullptr) {
            progress(FCount - 1, i, user, &cancel);
            if (cancel) return false;
        }
    }
    WriteAll(file, staging.get(), staged);
    return true;
}

void TStringContainer::WriteText(FILE* file) { SaveLines(file, nullptr, 0); }

void TStringContainer::SaveTextFile(const char* path) { SaveTextFile(path, nullptr, 0); }

void TStringContainer::SaveTextFile(const char* path, TProgress progress, int user) {
    kest::io::TFileSave save(path);
    bool finished = false;
    try {
        finished = WriteLines(save.File(), progress, user);
    } catch (const kest::io::TWriteFailure& failure) {
        save.Abandon();
        save.Fail(failure.FCode);
    }
    // A cancelled save keeps the old file: the save drops its temporary file.
    if (finished) save.Commit();
}

// --- loading ---------------------------------------------------------------------

int TStringContainer::ReadLines(FILE* file, TProgress progress, int user, TLineSink sink, int sinkValue) {
    Clear(true);
    const int64_t known = FileRemaining(file);
    size_t size = 0;
    Block data = HalvingBlock(known < 0 ? kUnknownSizeChunk : static_cast<size_t>(known < kMostReadBytes ? known : kMostReadBytes), size);
    std::vector<char> line(kFirstLineBytes);
    size_t used = 0;
    int longest = 0;
    bool cancel = false;
    bool ended = false;  // the last character taken was CR or LF
    int previous = -1;
    int64_t offset = 0;
    FUnicodeLoaded = false;
    int total = ClampToInt(known);

    auto hand = [&]() {
        line[used] = 0;
        if (sink != nullptr)
            sink(line.data(), static_cast<int>(used), sinkValue);
        else
            AddText(line.data());
        used = 0;
    };

    bool first = true;
    size_t filled = 0;
    while (!cancel && (filled = std::fread(data.get(), 1, size, file)) > 0) {
        size_t start = 0;
        if (first) {
            first = false;
            const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data.get());
            if (filled >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
                FUnicodeLoaded = true;
                start = 2;
                offset = 2;
            }
        }
        for (size_t i = start; i < filled && !cancel; ++i, ++offset) {
            // UTF-16 keeps the low byte of each code unit: the bytes at even offsets.
            if (FUnicodeLoaded && (offset & 1) != 0) continue;
            const int c = static_cast<unsigned char>(data.get()[i]);
            const int before = previous;
            previous = c;
            if (c != '\r' && c != '\n') {
                ended = false;
                if (used + 1 == line.size()) line.resize(line.size() * 2);
                line[used++] = static_cast<char>(c);
                if (static_cast<int64_t>(used) > longest) longest = ClampToInt(static_cast<int64_t>(used));
                continue;
            }
            ended = true;
            if (c == '\n' && before == '\r') continue;
            hand();
            if (progress != nullptr) progress(total, ClampToInt(offset + 1), user, &cancel);
        }
    }
    // A cancelled load stops with the line just ended: it hands over nothing more.
    if (!cancel && (used > 0 || ended)) hand();
    if (known < 0) total = ClampToInt(offset);
    if (progress != nullptr) progress(total, total, user, &cancel);
    return longest;
}

int TStringContainer::LoadLines(FILE* file, TProgress progress, int user, TLineSink sink, int sinkValue) {
    if (file == nullptr) throw TKestFileException();
    FileHandle owned(file);
    return ReadLines(owned.get(), progress, user, sink, sinkValue);
}

void TStringContainer::ReadText(FILE* file) {
    if (file == nullptr) throw TKestFileException();
    ReadLines(file, nullptr, 0, nullptr, 0);
}

void TStringContainer::LoadTextFile(const char* path) { LoadTextFile(path, nullptr, 0, nullptr, 0); }

int TStringContainer::LoadTextFile(const char* path, TProgress progress, int user, TLineSink sink, int sinkValue) {
    if (path == nullptr) throw TKestFileException("Could not open: no file name");
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) throw TKestFileException(std::string("Could not open ") + path + ": " + std::strerror(errno));
    return LoadLines(file, progress, user, sink, sinkValue);
}
