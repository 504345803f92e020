// Test support: makes saves and loads fail, with a small file-size limit or by failing
// one system call after another, and checks that the old file survives byte for byte,
// that no temporary file or descriptor is left behind and that the failure is reported.
#pragma once

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "containers/kest_exception.h"
#include "containers/system_calls.h"
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

// The descriptors this process holds open, or -1 when they cannot be counted.
inline int OpenDescriptors() {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return -1;
    while (::readdir(dir) != nullptr)
        ++count;
    ::closedir(dir);
    return count;
}

// The library's system calls, installed for the object's life, of which the n-th call of
// one kind fails with one error number; every other call is the system's. A failing close
// releases the descriptor first, as close does.
class TFailingCalls final : public kest::io::TSystemCalls {
public:
    enum TKind { kOpen, kRead, kWrite, kSeek, kSync, kClose, kRename, kSyncFolder, kUnlink, kLock, kKinds };
    static const char* Name(int kind) {
        static const char* const kNames[kKinds] = {"open",  "read",   "write",        "lseek",  "fsync",
                                                   "close", "rename", "folder fsync", "unlink", "flock"};
        return kNames[kind];
    }

    TFailingCalls() : FPrevious(kest::io::SetSystemCalls(this)) {}
    ~TFailingCalls() override { kest::io::SetSystemCalls(FPrevious); }
    TFailingCalls(const TFailingCalls&) = delete;
    TFailingCalls& operator=(const TFailingCalls&) = delete;

    // From now on, the n-th call of kind (counting from 1) fails with code.
    void FailNth(int kind, int n, int code) {
        FCounts.fill(0);
        FKind = kind;
        FNth = n;
        FCode = code;
        FFailed = false;
    }
    // True once the planned failure happened.
    bool Failed() const { return FFailed; }
    int Count(int kind) const { return FCounts[static_cast<size_t>(kind)]; }

    int Open(const char* path, int flags, mode_t mode) override {
        return Hit(kOpen) ? -1 : TSystemCalls::Open(path, flags, mode);
    }
    ssize_t Read(int descriptor, void* data, size_t size) override {
        return Hit(kRead) ? -1 : TSystemCalls::Read(descriptor, data, size);
    }
    ssize_t Write(int descriptor, const void* data, size_t size) override {
        return Hit(kWrite) ? -1 : TSystemCalls::Write(descriptor, data, size);
    }
    off_t Seek(int descriptor, off_t offset, int whence) override {
        return Hit(kSeek) ? -1 : TSystemCalls::Seek(descriptor, offset, whence);
    }
    // Flushes are counted and failed but not made: these runs check names, bytes and
    // reports, not durability, and a real flush per run would cost seconds.
    int Sync(int) override { return Hit(kSync) ? -1 : 0; }
    int Close(int descriptor) override {
        if (!Hit(kClose))
            return TSystemCalls::Close(descriptor);
        TSystemCalls::Close(descriptor);
        errno = FCode;
        return -1;
    }
    int Rename(const char* from, const char* to, unsigned flags) override {
        return Hit(kRename) ? -1 : TSystemCalls::Rename(from, to, flags);
    }
    int SyncFolder(const char*) override { return Hit(kSyncFolder) ? -1 : 0; }
    int Unlink(const char* path) override { return Hit(kUnlink) ? -1 : TSystemCalls::Unlink(path); }
    int Lock(int descriptor, int operation) override {
        return Hit(kLock) ? -1 : TSystemCalls::Lock(descriptor, operation);
    }

private:
    bool Hit(int kind) {
        if (++FCounts[static_cast<size_t>(kind)] != FNth || kind != FKind || FFailed)
            return false;
        FFailed = true;
        errno = FCode;
        return true;
    }

    kest::io::TSystemCalls* FPrevious;
    std::array<int, kKinds> FCounts{};
    int FKind = kKinds;
    int FNth = 0;
    int FCode = 0;
    bool FFailed = false;
};

// What a run of failing calls covered, for the test's report.
struct TFaultTally {
    int runs = 0;
    int failedCalls = 0;
    std::set<std::string> kinds;
};

// The error numbers every call is made to fail with; EINTR must be repeated, not reported.
inline const int kFaultCodes[] = {ENOSPC, EIO, EDQUOT, EINTR};

// Runs action with the n-th call of kind failing with code; detail becomes the detail
// of the TKestFileException it threw, or "(no exception)". True when the call failed.
inline bool RunFailingNth(int kind, int n, int code, const std::function<void()>& action,
                          std::string& detail) {
    detail = "(no exception)";
    TFailingCalls calls;
    calls.FailNth(kind, n, code);
    try {
        action();
    } catch (const TKestFileException& failure) {
        detail = failure.Detail();
    }
    return calls.Failed();
}

// Runs attempt(kind, n, code) for each call n of each kind failing in turn with each of
// kFaultCodes, until an attempt passes with no call failed; attempt returns whether its
// call failed. Each attempt is traced by the call and the error, then `where`.
inline void ForEachFailingCall(TFaultTally& tally, const std::string& where,
                               const std::function<bool(int kind, int n, int code)>& attempt) {
    for (int kind = 0; kind < TFailingCalls::kKinds; ++kind) {
        for (const int code : kFaultCodes) {
            for (int n = 1; n < 100000; ++n) {
                SCOPED_TRACE(std::string(TFailingCalls::Name(kind)) + " #" + std::to_string(n) + " " +
                             std::strerror(code) + where);
                const bool failed = attempt(kind, n, code);
                ++tally.runs;
                if (!failed)
                    break;
                ++tally.failedCalls;
                tally.kinds.insert(TFailingCalls::Name(kind));
            }
        }
    }
}

// Checks what a save with one failing call left at `path`: with no call failed, or an
// EINTR, no report and the new file; otherwise the report and the old file over an old
// one, or no file to a new name. Nothing else may be in the folder.
inline void ExpectSaveOutcome(const TScratchFolder& folder, const std::string& path, bool overOld,
                              bool failed, int code, const std::string& detail, const std::string& old,
                              const std::string& fresh) {
    if (!failed || code == EINTR) {
        EXPECT_EQ(detail, "(no exception)");
        EXPECT_TRUE(ReadWholeFile(path) == fresh) << "the new bytes are not in the file";
        EXPECT_EQ(folder.Names(), std::set<std::string>{"saved.dat"});
        return;
    }
    EXPECT_EQ(detail, "Could not save " + path + ": " + std::strerror(code));
    if (overOld) {
        EXPECT_TRUE(ReadWholeFile(path) == old) << "the old bytes are not in the file";
        EXPECT_EQ(folder.Names(), std::set<std::string>{"saved.dat"});
    } else {
        EXPECT_TRUE(folder.Names().empty());
    }
}

// Makes each call of each kind of one save fail in turn, with each of kFaultCodes, until
// the save passes with no call failed; over an old file and to a new name. A failure
// must throw TKestFileException "Could not save PATH: reason" and leave the old file
// byte for byte (or no file), nothing else in the folder and no descriptor open; an
// EINTR must give the new file. save is called with the path.
inline void ExpectEveryFailingCallKeepsOldFile(const std::function<void(const char* path)>& save,
                                               TFaultTally& tally) {
    TScratchFolder folder;
    const std::string path = folder.Path("saved.dat");
    const std::string old = "the old file\r\nwith two lines";
    save(path.c_str());
    const std::string fresh = ReadWholeFile(path);
    ASSERT_NE(fresh, old);
    const int descriptors = OpenDescriptors();
    for (const bool overOld : {true, false}) {
        ForEachFailingCall(tally, overOld ? ", over an old file" : ", to a new name",
                           [&](int kind, int n, int code) {
                               if (overOld)
                                   WriteWholeFile(path, old);
                               else
                                   std::remove(path.c_str());
                               std::string detail;
                               const bool failed = RunFailingNth(
                                   kind, n, code, [&] { save(path.c_str()); }, detail);
                               EXPECT_EQ(OpenDescriptors(), descriptors);
                               ExpectSaveOutcome(folder, path, overOld, failed, code, detail, old, fresh);
                               return failed;
                           });
    }
}

// The same over one load of the file that save wrote: each call of each kind fails in
// turn until the load passes. A failure must throw TKestFileException "Could not open
// PATH: reason" (the open) or "Could not read PATH: reason" (any later call), leave the
// file as it was and no descriptor open; an EINTR must load what an undisturbed load
// does. load returns a description of what it loaded.
inline void ExpectEveryFailingCallOnLoadIsReported(const std::function<void(const char* path)>& save,
                                                   const std::function<std::string(const char* path)>& load,
                                                   TFaultTally& tally) {
    TScratchFolder folder;
    const std::string path = folder.Path("loaded.dat");
    save(path.c_str());
    const std::string bytes = ReadWholeFile(path);
    const std::string loaded = load(path.c_str());
    const int descriptors = OpenDescriptors();
    ForEachFailingCall(tally, "", [&](int kind, int n, int code) {
        std::string detail;
        std::string got;
        const bool failed = RunFailingNth(
            kind, n, code, [&] { got = load(path.c_str()); }, detail);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_TRUE(ReadWholeFile(path) == bytes) << "the file changed";
        EXPECT_EQ(folder.Names(), std::set<std::string>{"loaded.dat"});
        if (!failed || code == EINTR) {
            EXPECT_EQ(detail, "(no exception)");
            EXPECT_TRUE(got == loaded) << "the load gave something else";
        } else {
            const char* verb = kind == TFailingCalls::kOpen ? "Could not open " : "Could not read ";
            EXPECT_EQ(detail, verb + path + ": " + std::strerror(code));
        }
        return failed;
    });
}

// Prints what a tally covered.
inline void PrintTally(const char* what, int paths, const TFaultTally& tally) {
    std::string kinds;
    for (const std::string& kind : tally.kinds)
        kinds += (kinds.empty() ? "" : ", ") + kind;
    std::printf("%s: %d paths, %d runs, %d calls failed, kinds: %s\n", what, paths, tally.runs,
                tally.failedCalls, kinds.c_str());
}

}  // namespace kest::test
