// The system calls through which the library saves and loads named files, behind one
// object so that a test can make any of them fail (a full disk, a failing disk, an
// interrupted call) without a broken disk.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace kest::io {

// Each operation is the system call of its name and reports as it does: -1 (or a short
// count) with errno set. Nothing here retries or throws; the callers decide.
class TSystemCalls {
public:
    virtual ~TSystemCalls() = default;
    virtual int Open(const char* path, int flags, mode_t mode);
    virtual ssize_t Read(int descriptor, void* data, size_t size);
    virtual ssize_t Write(int descriptor, const void* data, size_t size);
    virtual off_t Seek(int descriptor, off_t offset, int whence);
    // fsync of a file's bytes.
    virtual int Sync(int descriptor);
    // Releases the descriptor whatever it returns, as close does on Linux.
    virtual int Close(int descriptor);
    // renameat2 in the current folder: flags 0 replaces, RENAME_EXCHANGE swaps the two
    // names, RENAME_NOREPLACE refuses an existing target.
    virtual int Rename(const char* from, const char* to, unsigned flags);
    // Makes the names in folder durable: opens it, fsyncs it and closes it.
    virtual int SyncFolder(const char* folder);
    virtual int Unlink(const char* path);
    // flock.
    virtual int Lock(int descriptor, int operation);
};

// The calls in use: the system's own unless a test installed others.
TSystemCalls& SystemCalls();
// Installs calls (null puts the system's back) and returns those it replaced; for tests,
// which own the object and keep it alive while it is installed.
TSystemCalls* SetSystemCalls(TSystemCalls* calls);

}  // namespace kest::io
