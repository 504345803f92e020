// Test support: makes a save fail part-way with a small file-size limit and checks that
// the old file survives byte for byte and that no temporary file is left behind.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

#include "containers/kest_exception.h"

namespace kest::test {

// A new empty folder under the test temporary folder; removed with its files on destruction.
class TScratchFolder {
public:
    TScratchFolder() {
        std::string pattern = ::testing::TempDir() + "kest_scratch_XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) FPath = pattern;
        EXPECT_FALSE(FPath.empty());
    }
    ~TScratchFolder() {
        for (const std::string& name : Names()) std::remove(Path(name).c_str());
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
                if (name != "." && name != "..") names.insert(name);
            }
            ::closedir(dir);
        }
        return names;
    }

private:
    std::string FPath;
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

// Runs action with writes beyond limit bytes of any file failing (EFBIG, SIGXFSZ
// ignored), then restores the limit and the signal.
inline void WithFileSizeLimit(rlim_t limit, const std::function<void()>& action) {
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = limit;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    try {
        action();
    } catch (...) {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        throw;
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
}

// Checks one named-file save whose output is longer than limit bytes: saved over an old
// file with the write failing part-way, it throws TKestFileException with the detail
// "Could not save PATH: File too large", the old file keeps its bytes and the folder
// holds nothing else; saved to a new name it leaves no file at all. save is called with
// the path; it must write more than limit bytes.
inline void ExpectFailedSaveKeepsOldFile(const std::function<void(const char* path)>& save, rlim_t limit = 64) {
    TScratchFolder folder;
    const std::string path = folder.Path("saved.dat");
    const std::string old = "the old file\r\nwith two lines";
    WriteWholeFile(path, old);
    std::string detail;
    WithFileSizeLimit(limit, [&] {
        try {
            save(path.c_str());
            ADD_FAILURE() << "a save that could not be written returned normally";
        } catch (const TKestFileException& failure) {
            detail = failure.Detail();
        }
    });
    EXPECT_EQ(detail, "Could not save " + path + ": File too large");
    EXPECT_EQ(ReadWholeFile(path), old);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"saved.dat"});

    std::remove(path.c_str());
    WithFileSizeLimit(limit, [&] { EXPECT_THROW(save(path.c_str()), TKestFileException); });
    EXPECT_TRUE(folder.Names().empty());

    // Without the limit the same save succeeds and replaces the file.
    WriteWholeFile(path, old);
    save(path.c_str());
    EXPECT_GT(ReadWholeFile(path).size(), static_cast<size_t>(limit));
    EXPECT_EQ(folder.Names(), std::set<std::string>{"saved.dat"});
}

}  // namespace kest::test
