// Test support for C files and streams: temporary and pipe-backed files holding given
// bytes, everything a file holds, and a stream that cannot seek.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

namespace kest::test {

using Bytes = std::vector<uint8_t>;

struct FileCloser {
    void operator()(FILE* file) const {
        if (file != nullptr)
            std::fclose(file);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

inline Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

inline std::string ToString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

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
    while ((c = std::fgetc(file)) != EOF)
        bytes.push_back(static_cast<uint8_t>(c));
    return bytes;
}

// FileBytes as a string of chars.
inline std::string FileText(FILE* file) {
    return ToString(FileBytes(file));
}

// A temporary file holding bytes, positioned at its start.
inline File FileWith(const Bytes& bytes) {
    File file = TempFile();
    if (file != nullptr && !bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), file.get());
    if (file != nullptr)
        std::rewind(file.get());
    return file;
}

inline File FileWithText(const std::string& text) {
    return FileWith(ToBytes(text));
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
        if (n <= 0)
            break;
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

}  // namespace kest::test
