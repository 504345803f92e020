// Fuzz entry for the memory-buffer readers: arbitrary bytes as binary and text images on a
// memory space, a C file and a stream, and as a run of packed integers. Whatever loads must
// write back and load again to the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "containers/kest_exception.h"
#include "memory/mem_buffer.h"

namespace {

// Stops the run with a crash the fuzzer reports.
void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool SameBytes(const TMemBuffer& a, const TMemBuffer& b) {
    return a.Length() == b.Length() &&
           (a.Length() == 0 || std::memcmp(a.Data(), b.Data(), static_cast<size_t>(a.Length())) == 0);
}

// A loaded buffer written again and read back must hold the same bytes and flag.
void CheckRoundTrip(TMemBuffer& loaded) {
    TMemBuffer image;
    loaded.WriteToBuffer(image);
    image.Rewind();
    TMemBuffer again;
    again.ReadFromSpace(image);
    Check(SameBytes(loaded, again));
    Check(image.Position() == image.Length());
}

void FromSpace(const uint8_t* data, size_t size) {
    TMemBuffer source;
    source.Append(data, static_cast<int32_t>(size));
    TMemBuffer target;
    try {
        target.ReadFromSpace(source);
    } catch (const TKestException&) {
        Check(source.Position() <= source.Length());
        return;
    }
    Check(target.FCapacity == target.Length());
    CheckRoundTrip(target);
}

void FromFile(const uint8_t* data, size_t size, bool text) {
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, text ? "r" : "rb");
    if (file == nullptr)
        return;
    TMemBuffer target;
    try {
        if (text)
            target.ReadText(file);
        else
            target.ReadBinary(file);
        Check(target.FGrowBy > 0);
        CheckRoundTrip(target);
    } catch (const TKestException&) {
    }
    std::fclose(file);
}

void FromStream(const uint8_t* data, size_t size, bool text) {
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size),
                              text ? std::ios_base::in : std::ios_base::in | std::ios_base::binary);
    TMemBuffer target;
    try {
        if (text)
            target.ReadText(stream);
        else
            target.ReadBinary(stream);
        Check(target.FGrowBy > 0);
        CheckRoundTrip(target);
    } catch (const TKestException&) {
    }
}

void PackedRun(const uint8_t* data, size_t size) {
    TMemBuffer source;
    source.Append(data, static_cast<int32_t>(size));
    TMemBuffer rewritten;
    while (true) {
        const int32_t before = source.Position();
        int32_t value = 0;
        try {
            value = source.ReadInt();
        } catch (const TKestSerialization&) {
            Check(source.Position() == before);
            break;
        }
        Check(source.Position() > before && source.Position() <= source.Length());
        rewritten.AppendInt(value);
    }
    // Re-encoding what was decoded decodes to the same values.
    rewritten.Rewind();
    while (rewritten.Position() < rewritten.Length())
        rewritten.ReadInt();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    FromSpace(data, size);
    FromFile(data, size, false);
    FromFile(data, size, true);
    FromStream(data, size, false);
    FromStream(data, size, true);
    PackedRun(data, size);
    return 0;
}

// --- seeds ------------------------------------------------------------------------------

// Binary and text images of a short and a longer buffer, plain and compressed.
void WriteFuzzSeeds(const std::string& folder) {
    const std::string longer(300, 'q');
    const std::string payloads[] = {"abc", longer + "\x01\x80\xFF" + longer};
    for (size_t p = 0; p < 2; ++p) {
        for (bool compressed : {false, true}) {
            TMemBuffer buffer;
            buffer.Append(payloads[p].data(), static_cast<int32_t>(payloads[p].size()));
            buffer.FCompressed = compressed;
            const std::string name =
                folder + "/" + (compressed ? "compressed_" : "stored_") + std::to_string(p);
            std::ofstream binary(name + ".bin", std::ios::binary);
            buffer.WriteBinary(binary);
            std::ofstream text(name + ".txt", std::ios::binary);
            buffer.WriteText(text);
        }
    }
    // A run of packed integers of every length.
    TMemBuffer packed;
    for (int32_t v : {0, 1, -1, 200, -70000, 2147483647, -2147483647 - 1})
        packed.AppendInt(v);
    std::ofstream(folder + "/packed.bin", std::ios::binary)
        << std::string(reinterpret_cast<const char*>(packed.Data()), static_cast<size_t>(packed.Length()));
}
