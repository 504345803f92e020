// Test support: makes a save fail part-way with a small file-size limit and checks that
// the old file survives byte for byte and that no temporary file is left behind.
#pragma once

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <set>
#include <string>

#include "containers/kest_exception.h"
#include "tests/support/files.h"

namespace kest::test {

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
inline void ExpectFailedSaveKeepsOldFile(const std::function<void(const char* path)>& save,
                                         rlim_t limit = 64) {
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
