// Saving to a named file through a temporary file in the same folder, so that a save
// either replaces the old file whole or leaves it exactly as it was.
#pragma once

#include <cstdio>
#include <functional>
#include <ios>
#include <iosfwd>
#include <string>

namespace kest::io {

// One save in progress. The constructor makes the temporary file next to the target
// (mode of the old file, or 0666 less the umask for a new one); Commit flushes it to
// disk, closes it and renames it over the target; a save that is not committed removes
// the temporary file and leaves the old file untouched. A target that exists and is not
// a regular file (a device, a pipe) cannot be replaced: it is written in place.
// Every failure throws TKestFileException with the detail
// "Could not save PATH: reason".
class TFileSave {
public:
    // Throws TKestFileException when path is null or the temporary file cannot be made.
    explicit TFileSave(const char* path);
    ~TFileSave();
    TFileSave(const TFileSave&) = delete;
    TFileSave& operator=(const TFileSave&) = delete;

    // The open temporary file, written in binary; owned by this save.
    FILE* File() const { return FFile; }
    // Closes the C file so that the caller can write the temporary file as a stream
    // instead; returns its path.
    const std::string& HandOverToStream();
    // Flushes, syncs, closes and renames; throws TKestFileException.
    void Commit();
    // Throws TKestFileException naming the target and the reason code.
    [[noreturn]] void Fail(int code) const;
    // Drops the save: the temporary file is removed, the old file stays.
    void Abandon();

private:
    std::string FTarget;
    std::string FTemporary;
    FILE* FFile = nullptr;
    bool FInPlace = false;
    bool FDone = false;
};

// Runs write on a fresh temporary file for path and commits it. A write failure becomes
// TKestFileException "Could not save PATH: reason"; any other exception of write passes
// through. Either way the temporary file is gone and the old file unchanged.
void SaveFile(const char* path, const std::function<void(FILE*)>& write);
// The same with the temporary file opened as an output file stream with mode | out | trunc.
void SaveStreamFile(const char* path, std::ios_base::openmode mode,
                    const std::function<void(std::ostream&)>& write);

}  // namespace kest::io
