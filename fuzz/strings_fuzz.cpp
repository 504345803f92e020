// Fuzz entry for the string readers: the first byte picks the reader, the rest is the
// stored form. TString in its five stored forms, whose binary forms must write back and
// load again to the same text; the string list's line files (8-bit and UTF-16) into the
// list, to a line sink and with a progress callback that cancels, a list loaded from a
// line file saving and loading again to the same lines.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "containers/kest_exception.h"
#include "containers/kest_string.h"
#include "containers/string_container.h"
#include "fuzz/fuzz_support.h"
#include "memory/mem_buffer.h"

namespace {

enum TReader {
    kBinaryFile,      // TString::ReadBinary on a C file
    kBinaryStream,    // TString::ReadBinary on a stream
    kSpace,           // TString::ReadFromSpace
    kTextFile,        // TString::ReadText on a C file
    kTextStream,      // TString::ReadText on a stream
    kLines,           // TStringContainer::LoadLines into the list
    kLinesToSink,     // LoadLines handing every line to a sink
    kLinesCancelled,  // LoadLines with a progress callback that cancels part way
    kReaderCount
};

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The string's invariants: terminated within its capacity, no zero byte before the end.
// The list's line file, as SaveLines writes it.
std::string SavedText(TStringContainer& list) {
    char* saved = nullptr;
    size_t savedSize = 0;
    std::FILE* out = open_memstream(&saved, &savedSize);
    Check(out != nullptr);
    list.WriteText(out);
    std::fclose(out);
    std::string bytes(saved, savedSize);
    std::free(saved);
    return bytes;
}

void CheckString(const TString& s) {
    Check(s.FText != nullptr && s.FCapacity >= 1);
    const void* end = std::memchr(s.FText, 0, static_cast<size_t>(s.FCapacity));
    Check(end != nullptr);
    Check(s.Length() == static_cast<const char*>(end) - s.FText);
}

std::string BinaryImage(TString& s) {
    std::ostringstream stream(std::ios::out | std::ios::binary);
    s.WriteBinary(stream);
    return stream.str();
}

void ReadString(int reader, const std::uint8_t* data, std::size_t size) {
    TString s("kept");
    try {
        if (reader == kBinaryFile || reader == kTextFile) {
            const bool opened = fuzz::ReadBytesFile(data, size, [&](std::FILE* file) {
                if (reader == kBinaryFile)
                    s.ReadBinary(file);
                else
                    s.ReadText(file);
            });
            if (!opened)
                return;
        } else if (reader == kSpace) {
            TMemBuffer buffer;
            buffer.Append(data, static_cast<int32_t>(size));
            buffer.Rewind();
            s.ReadFromSpace(buffer);
            Check(buffer.Position() <= buffer.Length());
        } else {
            const std::string image(reinterpret_cast<const char*>(data), size);
            std::istringstream stream(
                image, reader == kBinaryStream ? std::ios::in | std::ios::binary : std::ios::in);
            if (reader == kBinaryStream)
                s.ReadBinary(stream);
            else
                s.ReadText(stream);
        }
    } catch (const TKestException&) {
        // A failed read leaves the string as it was.
        CheckString(s);
        Check(s == "kept");
        return;
    }
    CheckString(s);
    // The binary form of what was read loads again to the same text.
    std::istringstream again(BinaryImage(s), std::ios::in | std::ios::binary);
    TString copy;
    copy.ReadBinary(again);
    Check(copy == s);
}

std::vector<std::string>* gSunk = nullptr;

void Sink(const char* line, int length, int) {
    Check(static_cast<int>(std::strlen(line)) <= length);
    gSunk->emplace_back(line, static_cast<size_t>(length));
}

void CancelHalfWay(int total, int done, int, bool* cancel) {
    Check(done >= 0);
    if (done * 2 >= total)
        *cancel = true;
}

void ReadLineFile(int reader, const std::uint8_t* data, std::size_t size) {
    TStringContainer list;
    std::vector<std::string> sunk;
    gSunk = &sunk;
    std::FILE* file = fuzz::BytesFile(data, size);
    if (file == nullptr)
        return;
    int longest = 0;
    try {
        // LoadLines closes the file.
        if (reader == kLines)
            longest = list.LoadLines(file, nullptr, 0, nullptr, 0);
        if (reader == kLinesToSink)
            longest = list.LoadLines(file, nullptr, 0, Sink, 0);
        if (reader == kLinesCancelled)
            longest = list.LoadLines(file, CancelHalfWay, 0, nullptr, 0);
    } catch (const TKestException&) {
        return;
    }
    gSunk = nullptr;
    Check(longest >= 0);
    Check(reader != kLinesToSink || list.Count() == 0);
    for (int i = 0; i < list.Count(); ++i) {
        CheckString(list.At(i));
        Check(list.At(i).Length() <= longest);
    }
    if (reader != kLines || list.Count() == 0)
        return;
    // A list whose first line begins with the UTF-16 mark cannot be told from a UTF-16 file.
    const char* first = list.At(0).Text();
    if (static_cast<unsigned char>(first[0]) == 0xFF && static_cast<unsigned char>(first[1]) == 0xFE)
        return;
    // One empty line is saved as an empty file, which holds no lines.
    if (list.Count() == 1 && list.At(0).Length() == 0)
        return;
    const std::string saved = SavedText(list);
    TStringContainer again;
    again.LoadLines(fuzz::BytesFile(reinterpret_cast<const std::uint8_t*>(saved.data()), saved.size()),
                    nullptr, 0, nullptr, 0);
    Check(again.Count() == list.Count());
    for (int i = 0; i < list.Count(); ++i)
        Check(again.At(i) == list.At(i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > (1u << 20))
        return 0;
    const int reader = data[0] % kReaderCount;
    if (reader <= kTextStream)
        ReadString(reader, data + 1, size - 1);
    else
        ReadLineFile(reader, data + 1, size - 1);
    return 0;
}

// --- seeds ------------------------------------------------------------------------------

// Every string form of a few texts, and line files in both encodings with every line end.
void WriteFuzzSeeds(const std::string& folder) {
    auto put = [&folder](const std::string& name, int reader, const std::string& bytes) {
        std::ofstream(folder + "/" + name, std::ios::binary) << static_cast<char>(reader) << bytes;
    };
    const char* const texts[] = {"", "word", "two  blanks and\xE1\xE9 accents ", " leading"};
    for (size_t t = 0; t < sizeof texts / sizeof texts[0]; ++t) {
        TString s(texts[t]);
        const std::string n = std::to_string(t);
        put("binaryfile_" + n, kBinaryFile, BinaryImage(s));
        put("binarystream_" + n, kBinaryStream, BinaryImage(s));
        TMemBuffer buffer;
        s.WriteToBuffer(buffer);
        put("space_" + n, kSpace,
            std::string(reinterpret_cast<const char*>(buffer.Data()), static_cast<size_t>(buffer.Length())));
        std::FILE* file = std::tmpfile();
        Check(file != nullptr);
        s.WriteText(file);
        std::string text(static_cast<size_t>(std::ftell(file)), '\0');
        std::rewind(file);
        Check(text.empty() || std::fread(text.data(), 1, text.size(), file) == text.size());
        std::fclose(file);
        put("textfile_" + n, kTextFile, text);
        std::ostringstream stream;
        s.WriteText(stream);
        put("textstream_" + n, kTextStream, stream.str());
    }
    TStringContainer list;
    list.Add("first").Add("").Add("third line").Add("\xF5\xFB");
    for (bool crlf : {true, false}) {
        list.FCrLf = crlf;
        const std::string bytes = SavedText(list);
        const std::string end = crlf ? "crlf" : "lf";
        put("lines_" + end, kLines, bytes);
        put("linestosink_" + end, kLinesToSink, bytes);
        put("linescancelled_" + end, kLinesCancelled, bytes);
        // The same lines as UTF-16 little-endian with its mark.
        std::string wide = "\xFF\xFE";
        for (char c : bytes)
            wide += std::string{c, '\0'};
        put("lines_utf16_" + end, kLines, wide);
    }
    put("lines_cr", kLines, "one\rtwo\r\rthree");
}
