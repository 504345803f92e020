// Test support for named files: a scratch folder removed with its files, whole-file
// reading and writing, and per-process temporary paths.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace kest::test {

// A new empty folder under the test temporary folder; removed with its files on destruction.
class TScratchFolder {
public:
    TScratchFolder() {
        std::string pattern = ::testing::TempDir() + "kest_scratch_XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr)
            FPath = pattern;
        EXPECT_FALSE(FPath.empty());
    }
    ~TScratchFolder() {
        for (const std::string& name : Names())
            std::remove(Path(name).c_str());
        ::rmdir(FPath.c_str());
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return FPath + "/" + name; }
    // The names of the files in the folder.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        if (DIR* dir = ::opendir(FPath.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.insert(name);
            }
            ::closedir(dir);
        }
        return names;
    }

private:
    std::string FPath;
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
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

inline void WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    WriteWholeFile(path, std::string(bytes.begin(), bytes.end()));
}

}  // namespace kest::test
