// Test support for named files: a scratch folder removed with its files, whole-file
// reading and writing, and per-process temporary paths.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

namespace kest::test {

// A new empty folder under the test temporary folder; removed with its files on
// destruction. A folder that cannot be made fails the test.
class TScratchFolder : public quillory_test::TScratchFolder {
public:
    TScratchFolder() : quillory_test::TScratchFolder(::testing::TempDir(), "kest_scratch_") {
        EXPECT_TRUE(Made());
    }
};

// A path under the test temporary folder that names this process and `name`; the
// file is not created. Callers in one program use distinct names.
inline std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "quillory_test_" + std::to_string(::getpid()) + "_" + name;
}

// The whole file at path; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Replaces the file at path with bytes.
inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    quillory_test::WriteFileBytes(path, bytes.data(), bytes.size());
}

inline void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    quillory_test::WriteFileBytes(path, bytes.data(), bytes.size());
}

}  // namespace kest::test
