// Saving to and loading from named files. A save writes a temporary file in the target's
// folder and swaps it in, so that it either replaces the old file whole, durably, or
// leaves it exactly as it was; a load reports a failing disk instead of half a file.
// Every system call goes through SystemCalls() (containers/system_calls.h); an
// interrupted call (EINTR) is repeated, any other failure is reported.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <ios>
#include <iosfwd>
#include <memory>
#include <streambuf>
#include <string>

namespace kest::io {

struct TChannel;

// One save in progress.
//
// The temporary file is ".NAME.XXXXXX.tmp" beside the target NAME (six random letters or
// digits), hidden by file managers and telling a person whose it is. Its maker holds an
// exclusive flock on it for as long as the temporary file can be in flight, so the rule
// for leftovers is: a file of that pattern that nobody has locked belongs to a save that
// was killed, and the next save of the same target removes it. A save still writing
// holds its lock, so it is never removed; a lock holder that dies loses the lock with
// it. A file system without locks keeps its leftovers rather than risk a live save.
//
// Commit writes the bytes out, fsyncs them, swaps the temporary file with the target
// (renameat2 RENAME_EXCHANGE, or RENAME_NOREPLACE for a new file), fsyncs the folder, and
// only then removes the old file, now under the temporary name. A failure at any step
// before the end puts the old file back under its name, so a save that throws leaves the
// target as it was (or absent, where there was none) and no temporary file. Where the
// file system cannot exchange names, a plain rename is used and a failure after it can
// no longer bring the old file back.
//
// The mode of the old file is kept (0666 less the umask for a new one); a file that may
// not be written (read-only to this user) is not replaced. A target that
// exists and is not a regular file (a device, a pipe) cannot be replaced: it is written
// in place. A symbolic link is followed: the link stays and the file it names is
// replaced. Every failure throws TKestFileException with the detail
// "Could not save PATH: reason".
class TFileSave {
public:
    // Removes what killed saves of path left, then makes the temporary file. Throws
    // TKestFileException when path is null or empty or the temporary file cannot be
    // made; a folder where no file may be created is said so in words.
    explicit TFileSave(const char* path);
    ~TFileSave();
    TFileSave(const TFileSave&) = delete;
    TFileSave& operator=(const TFileSave&) = delete;

    // The temporary file as a C file, written in binary; owned by this save.
    FILE* File() const { return FFile; }
    // The temporary file as a stream buffer, for a caller that writes a stream instead
    // of the C file (not both); owned by this save.
    std::streambuf& StreamBuffer();
    // Writes out, syncs and swaps the file in as described above; throws
    // TKestFileException, the old file kept.
    void Commit();
    // Throws TKestFileException naming the target and the reason code.
    [[noreturn]] void Fail(int code) const;
    // Drops the save: the temporary file is removed, the old file stays.
    void Abandon();

private:
    void MakeTemporary(const struct stat* old);
    // Of MakeTemporary: the failure to create a file in the folder, the message saying
    // why when the folder forbids it (replacing: an old file is there).
    [[noreturn]] void FailToCreate(int code, bool replacing) const;
    // Of MakeTemporary: takes the new file open on descriptor as this save's temporary
    // (locked, the old file's mode); false when another save removed it first.
    bool HoldTemporary(const std::string& name, int descriptor, const struct stat* old);
    void PutBack();
    [[noreturn]] void AbandonAndFail(int code);

    std::string FTarget;
    std::string FFolder;
    std::string FTemporary;
    std::unique_ptr<TChannel> FChannel;
    std::unique_ptr<std::streambuf> FStream;
    FILE* FFile = nullptr;
    bool FInPlace = false;
    bool FReplacesOld = false;
    bool FExchanged = false;
    bool FRenamedNew = false;
    // The temporary name holds the new bytes and is to be removed when the save fails.
    bool FTemporaryIsNew = false;
    bool FDone = false;
};

// Runs write on a fresh temporary file for path and commits it. A write failure becomes
// TKestFileException "Could not save PATH: reason"; any other exception of write passes
// through. Either way the temporary file is gone and the old file unchanged.
void SaveFile(const char* path, const std::function<void(FILE*)>& write);
// The same with the temporary file written as an output stream; mode is the caller's
// (binary or text are the same bytes here); a mode with app is refused, as a file
// stream opened with app and trunc is.
void SaveStreamFile(const char* path, std::ios_base::openmode mode,
                    const std::function<void(std::ostream&)>& write);

// Opens path for reading and runs read on it as a C file, which this closes. A file that
// cannot be opened throws TKestFileException "Could not open PATH: reason" and read is
// not called; a read, seek or close that fails throws "Could not read PATH: reason",
// also when read itself threw because the bytes stopped (the failing disk is the cause).
// Other exceptions of read pass through. The file is never written.
void LoadFile(const char* path, const std::function<void(FILE*)>& read);
// The same with the file read as an input stream.
void LoadStreamFile(const char* path, const std::function<void(std::istream&)>& read);

}  // namespace kest::io
