// Helpers for the memory tests: byte vectors, temporary and pipe-backed C files, a stream
// that cannot seek, and a memory space that records the storage it is asked for.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <streambuf>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "memory/mem_buffer.h"
#include "memory/mem_space.h"

namespace memory_test {

using Bytes = std::vector<uint8_t>;

struct FileCloser {
    void operator()(FILE* file) const {
        if (file != nullptr) std::fclose(file);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

// A fresh anonymous read-write file.
inline File TempFile() {
    File file(std::tmpfile());
    EXPECT_NE(file.get(), nullptr);
    return file;
}

// Everything in the file from its start; leaves the position at the end.
inline Bytes FileBytes(FILE* file) {
    std::fflush(file);
    std::rewind(file);
    Bytes bytes;
    int c;
    while ((c = std::fgetc(file)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    return bytes;
}

// A temporary file holding bytes, positioned at its start.
inline File FileWith(const Bytes& bytes) {
    File file = TempFile();
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    std::rewind(file.get());
    return file;
}

inline Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

inline std::string ToString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

// The read end of a pipe already holding bytes (and then closed for writing): a C file
// whose size cannot be learned by seeking. Keep bytes below the pipe's capacity.
inline File PipeWith(const Bytes& bytes) {
    int ends[2];
    if (pipe(ends) != 0) {
        ADD_FAILURE() << "pipe failed";
        return File();
    }
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(ends[1], bytes.data() + written, bytes.size() - written);
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    close(ends[1]);
    EXPECT_EQ(written, bytes.size());
    return File(fdopen(ends[0], "rb"));
}

// A read-only stream buffer over a copy of some bytes that refuses to seek, like a pipe.
class TForwardOnlyBuffer : public std::streambuf {
public:
    explicit TForwardOnlyBuffer(const Bytes& bytes) : FBytes(bytes.begin(), bytes.end()) {
        char* start = FBytes.data();
        setg(start, start, start + FBytes.size());
    }

private:
    std::vector<char> FBytes;
};

// Bytes of a memory image: what WriteToBuffer appends to an empty buffer.
inline Bytes MemoryImage(TMemSpace& space) {
    TMemBuffer target;
    space.WriteToBuffer(target);
    return Bytes(target.Data(), target.Data() + target.Length());
}

// A buffer holding bytes, not compressed unless asked.
inline std::unique_ptr<TMemBuffer> BufferWith(const Bytes& bytes, bool compressed = false) {
    auto buffer = std::make_unique<TMemBuffer>();
    buffer->Append(bytes.data(), static_cast<int32_t>(bytes.size()));
    buffer->FCompressed = compressed;
    return buffer;
}

// A memory space holding bytes read from the image bytes.
inline std::unique_ptr<TMemBuffer> SpaceWithImage(const Bytes& image) {
    auto space = std::make_unique<TMemBuffer>();
    space->Append(image.data(), static_cast<int32_t>(image.size()));
    return space;
}

// Reproducible bytes that do not compress.
inline Bytes RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 engine(seed);
    Bytes bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(engine());
    return bytes;
}

// Reproducible bytes that compress well: words from a small vocabulary.
inline Bytes TextLikeBytes(size_t count, uint32_t seed) {
    static const char* const kWords[] = {"cell ", "table ", "route ", "move ", "undo ", "track\n"};
    std::mt19937 engine(seed);
    Bytes bytes;
    bytes.reserve(count);
    while (bytes.size() < count) {
        const char* word = kWords[engine() % 6];
        for (const char* p = word; *p != 0 && bytes.size() < count; ++p) bytes.push_back(static_cast<uint8_t>(*p));
    }
    return bytes;
}

// A memory space with its own malloc storage that records every count its loader asks for.
class TRecordingSpace : public TMemSpace {
public:
    TRecordingSpace() { Init(); }
    explicit TRecordingSpace(const Bytes& bytes) : TRecordingSpace() { Hold(bytes); }
    ~TRecordingSpace() override { TMemSpace::Release(); }

    void Allocate(int32_t count) override {
        FRequests.push_back(count);
        TMemSpace::Release();
        if (count > 0) FData = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(count)));
    }

    // Sets the bytes directly, bypassing any image.
    void Hold(const Bytes& bytes) {
        Allocate(static_cast<int32_t>(bytes.size()));
        FRequests.clear();
        if (!bytes.empty()) std::memcpy(FData, bytes.data(), bytes.size());
        FLength = static_cast<int32_t>(bytes.size());
    }

    Bytes Content() const { return Bytes(FData, FData + FLength); }

    std::vector<int32_t> FRequests;
};

}  // namespace memory_test
