// Test support for memory images: image bytes of a memory space, buffers and spaces
// holding given bytes, reproducible payloads, and a memory space that records the
// storage it is asked for. The C-file helpers of c_files.h are available here too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "memory/mem_buffer.h"
#include "memory/mem_space.h"
#include "tests/support/c_files.h"

namespace memory_test {

using kest::test::Bytes;
using kest::test::File;
using kest::test::FileBytes;
using kest::test::FileWith;
using kest::test::PipeWith;
using kest::test::TempFile;
using kest::test::TForwardOnlyBuffer;
using kest::test::ToBytes;
using kest::test::ToString;

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
    for (auto& b : bytes)
        b = static_cast<uint8_t>(engine());
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
        for (const char* p = word; *p != 0 && bytes.size() < count; ++p)
            bytes.push_back(static_cast<uint8_t>(*p));
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
        if (count > 0)
            FData = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(count)));
    }

    // Sets the bytes directly, bypassing any image.
    void Hold(const Bytes& bytes) {
        Allocate(static_cast<int32_t>(bytes.size()));
        FRequests.clear();
        if (!bytes.empty())
            std::memcpy(FData, bytes.data(), bytes.size());
        FLength = static_cast<int32_t>(bytes.size());
    }

    Bytes Content() const { return Bytes(FData, FData + FLength); }

    std::vector<int32_t> FRequests;
};

}  // namespace memory_test
