#include "containers/file_save.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "containers/kest_exception.h"
#include "containers/string_container.h"
#include "memory/int_container.h"
#include "tests/support/failing_save.h"
#include "tests/support/files.h"

namespace {

using kest::test::ReadWholeFile;
using kest::test::TScratchFolder;
using kest::test::WriteWholeFile;

void SaveInts(const char* path) {
    TIntContainer ints;
    for (int i = 0; i < 100; ++i)
        ints.Add(i);
    ints.SaveBinaryFile(path);
}

TEST(FileSave, LeftoversOfKilledSavesGoButALockedOneStays) {
    TScratchFolder folder;
    const std::string target = folder.Path("data.bin");
    WriteWholeFile(target, "old");
    // A killed save's file (nobody holds it), one still in flight (locked), and files of
    // other names that only look alike.
    WriteWholeFile(folder.Path(".data.bin.Ab3dE9.tmp"), "killed");
    const std::string inFlight = folder.Path(".data.bin.Zz9yY8.tmp");
    WriteWholeFile(inFlight, "in flight");
    const int held = ::open(inFlight.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    for (const char* name :
         {".other.bin.Ab3dE9.tmp", ".data.bin.Ab3d.tmp", "data.bin.Ab3dE9.tmp", ".data.bin.Ab3d-9.tmp"})
        WriteWholeFile(folder.Path(name), "not ours");

    SaveInts(target.c_str());
    EXPECT_EQ(folder.Names(),
              (std::set<std::string>{"data.bin", ".data.bin.Zz9yY8.tmp", ".other.bin.Ab3dE9.tmp",
                                     ".data.bin.Ab3d.tmp", "data.bin.Ab3dE9.tmp", ".data.bin.Ab3d-9.tmp"}));
    EXPECT_EQ(ReadWholeFile(inFlight), "in flight");
    // Once its maker is gone, the next save removes it too.
    ::close(held);
    SaveInts(target.c_str());
    EXPECT_EQ(folder.Names().count(".data.bin.Zz9yY8.tmp"), 0U);
}

TEST(FileSave, TwoProcessesSavingOneFileNeverTakeTheOthersSaveForALeftover) {
    TScratchFolder folder;
    const std::string target = folder.Path("shared.bin");
    constexpr int kSaves = 200;
    const auto saveMany = [&] {
        int failed = 0;
        for (int i = 0; i < kSaves; ++i) {
            try {
                SaveInts(target.c_str());
            } catch (const TKestFileException&) {
                ++failed;
            }
        }
        return failed;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(saveMany() == 0 ? 0 : 1);
    EXPECT_EQ(saveMany(), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save in the other process failed";
    EXPECT_EQ(folder.Names(), std::set<std::string>{"shared.bin"});
}

TEST(FileSave, AFolderWhereNoFileMayBeCreatedIsSaidSoAndNothingIsWrittenInPlace) {
    TScratchFolder folder;
    const std::string target = folder.Path("mine.txt");
    const std::string folderPath = target.substr(0, target.rfind('/'));
    WriteWholeFile(target, "old");
    const std::string expected = "Could not save " + target + ": files cannot be created in the folder " +
                                 folderPath +
                                 ", and saving writes a new file beside the old one before replacing it";
    {
        // The first open is the temporary file's: refused as an unwritable folder refuses it.
        kest::test::TFailingCalls calls;
        calls.FailNth(kest::test::TFailingCalls::kOpen, 1, EACCES);
        try {
            SaveInts(target.c_str());
            ADD_FAILURE() << "the save returned normally";
        } catch (const TKestFileException& failure) {
            EXPECT_EQ(failure.Detail(), expected);
        }
    }
    EXPECT_EQ(ReadWholeFile(target), "old");
    EXPECT_EQ(folder.Names(), std::set<std::string>{"mine.txt"});

    // The same with real permissions, where they bind (not for root).
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(folderPath.c_str(), 0555), 0);
        std::string detail;
        try {
            SaveInts(target.c_str());
        } catch (const TKestFileException& failure) {
            detail = failure.Detail();
        }
        ::chmod(folderPath.c_str(), 0755);
        EXPECT_EQ(detail, expected);
        EXPECT_EQ(ReadWholeFile(target), "old");
        // A file made read-only in a writable folder is not replaced either.
        ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
        EXPECT_THROW(SaveInts(target.c_str()), TKestFileException);
        EXPECT_EQ(ReadWholeFile(target), "old");
    }
}

TEST(FileSave, ANameNearTheLengthLimitStillSaves) {
    TScratchFolder folder;
    const std::string name(250, 'n');
    const std::string target = folder.Path(name);
    const std::string shortName = folder.Path("short.bin");
    SaveInts(shortName.c_str());
    WriteWholeFile(target, "old");
    SaveInts(target.c_str());
    EXPECT_EQ(ReadWholeFile(target), ReadWholeFile(shortName));
    EXPECT_EQ(folder.Names(), (std::set<std::string>{name, "short.bin"}));
}

TEST(FileSave, TheOldFilesModeIsKept) {
    TScratchFolder folder;
    const std::string target = folder.Path("mode.bin");
    WriteWholeFile(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    SaveInts(target.c_str());
    struct stat saved;
    ASSERT_EQ(::stat(target.c_str(), &saved), 0);
    EXPECT_EQ(saved.st_mode & 07777, 0640U);
}

TEST(FileSave, APipeIsWrittenAndReadInPlace) {
    TScratchFolder folder;
    const std::string file = folder.Path("ints.bin");
    const std::string pipe = folder.Path("pipe");
    SaveInts(file.c_str());
    const std::string bytes = ReadWholeFile(file);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

    std::string received;
    std::thread reader([&] { received = ReadWholeFile(pipe); });
    try {
        SaveInts(pipe.c_str());
    } catch (const TKestFileException& failure) {
        ADD_FAILURE() << failure.Detail();
        // Lets the reader's open return.
        ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    }
    reader.join();
    EXPECT_EQ(received, bytes);

    std::thread writer([&] { WriteWholeFile(pipe, bytes); });
    TIntContainer ints;
    try {
        ints.LoadBinaryFile(pipe.c_str());
    } catch (const TKestFileException& failure) {
        ADD_FAILURE() << failure.Detail();
    }
    writer.join();
    ASSERT_EQ(ints.Count(), 100);
    EXPECT_EQ(ints.At(99), 99);
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"ints.bin", "pipe"}));
}

// --- killed saves ------------------------------------------------------------------------

struct TCrashPath {
    const char* name;
    // Saves the data of the given seed and size to the path.
    std::function<void(const char* path, int seed, int size)> save;
};

void FillInts(TIntContainer& ints, int seed, int size) {
    std::mt19937 random(static_cast<unsigned>(seed));
    for (int i = 0; i < size; ++i)
        ints.Add(static_cast<int32_t>(random()));
}

const TCrashPath kCrashPaths[] = {
    {"C file binary",
     [](const char* path, int seed, int size) {
         TIntContainer ints;
         FillInts(ints, seed, size);
         ints.SaveBinaryFile(path);
     }},
    {"C file text",
     [](const char* path, int seed, int size) {
         TIntContainer ints;
         FillInts(ints, seed, size);
         ints.SaveTextFile(path);
     }},
    {"binary stream",
     [](const char* path, int seed, int size) {
         TIntContainer ints;
         FillInts(ints, seed, size);
         ints.SaveToStreamFile(path, std::ios::binary);
     }},
    {"text stream",
     [](const char* path, int seed, int size) {
         TIntContainer ints;
         FillInts(ints, seed, size);
         ints.SaveToStreamFile(path, std::ios::openmode{});
     }},
    {"line file",
     [](const char* path, int seed, int size) {
         TStringContainer lines;
         for (int i = 0; i < size; ++i)
             lines.Add(std::to_string(seed * 1000003 + i).c_str());
         lines.SaveTextFile(path);
     }},
};

// Kills per path and size; QUILLORY_CRASH_KILLS asks for more (or fewer) by hand. A fork
// under AddressSanitizer costs some fifteen times what it costs without, so that build
// kills fewer.
int KillsPerPath() {
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kKills = 40;
#else
    constexpr int kKills = 100;
#endif
    const char* asked = std::getenv("QUILLORY_CRASH_KILLS");
    return asked != nullptr && std::atoi(asked) > 0 ? std::atoi(asked) : kKills;
}

// A file's two versions the killed saves write in turn, which one the target holds, and
// what the kills left: the old bytes, the new ones or anything else.
struct TKilledSaves {
    std::string versions[2];
    int onDisk = 0;
    int old = 0;
    int fresh = 0;
    int other = 0;
};

// Saves the other version in a child process that is killed after a random delay of up
// to `span` microseconds, then counts what the target holds.
void KillOneSave(const TCrashPath& path, const std::string& target, int size, long long span,
                 std::mt19937& random, TKilledSaves& saves) {
    const int next = 1 - saves.onDisk;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        const char byte = 1;
        const bool told = ::write(ready[1], &byte, 1) == 1;
        try {
            path.save(target.c_str(), next + 1, size);
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(told ? 0 : 3);
    }
    ::close(ready[1]);
    char byte = 0;
    EXPECT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<long long>(0, span)(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string bytes = ReadWholeFile(target);
    if (bytes == saves.versions[saves.onDisk]) {
        ++saves.old;
        // A save that finished must have left its bytes.
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    } else if (bytes == saves.versions[next]) {
        ++saves.fresh;
        saves.onDisk = next;
    } else {
        ++saves.other;
    }
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "the save failed";
}

// Kills `kills` saves of `size` items along one path, each after a random delay of up to
// twice what one save took here, and prints the outcomes.
void KillSaves(const TCrashPath& path, int size, int kills, std::mt19937& random) {
    TScratchFolder folder;
    const std::string target = folder.Path("crash.dat");
    TKilledSaves saves;
    path.save(target.c_str(), 2, size);
    saves.versions[1] = ReadWholeFile(target);
    const auto start = std::chrono::steady_clock::now();
    path.save(target.c_str(), 1, size);
    const auto took = std::chrono::steady_clock::now() - start;
    saves.versions[0] = ReadWholeFile(target);
    ASSERT_NE(saves.versions[0], saves.versions[1]);
    const long long span = std::chrono::duration_cast<std::chrono::microseconds>(took).count() * 2 + 200;

    for (int kill = 0; kill < kills; ++kill)
        ASSERT_NO_FATAL_FAILURE(KillOneSave(path, target, size, span, random, saves));
    EXPECT_EQ(saves.other, 0);
    // What the killed saves left, the next save removes.
    path.save(target.c_str(), 1, size);
    EXPECT_EQ(folder.Names(), std::set<std::string>{"crash.dat"});
    std::printf("killed %s saves of %d items: %d kills, %d old, %d new, %d other\n", path.name, size, kills,
                saves.old, saves.fresh, saves.other);
}

// Saves in a child process that is killed after a random delay of up to twice what
// one save took here; after each kill the target must hold exactly the old bytes or
// exactly the new ones. The outcomes are counted and printed.
TEST(FileSave, ASaveKilledAtAnyMomentLeavesTheOldFileOrTheNewOne) {
    const int kills = KillsPerPath();
    std::mt19937 random(24);
    for (const TCrashPath& path : kCrashPaths) {
        for (const int size : {16, 60000}) {
            SCOPED_TRACE(std::string(path.name) + ", " + std::to_string(size) + " items");
            ASSERT_NO_FATAL_FAILURE(KillSaves(path, size, kills, random));
        }
    }
}

}  // namespace
