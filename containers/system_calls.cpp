#include "containers/system_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace kest::io {

int TSystemCalls::Open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

ssize_t TSystemCalls::Read(int descriptor, void* data, size_t size) {
    return ::read(descriptor, data, size);
}

ssize_t TSystemCalls::Write(int descriptor, const void* data, size_t size) {
    return ::write(descriptor, data, size);
}

off_t TSystemCalls::Seek(int descriptor, off_t offset, int whence) {
    return ::lseek(descriptor, offset, whence);
}

int TSystemCalls::Sync(int descriptor) {
    return ::fsync(descriptor);
}

int TSystemCalls::Close(int descriptor) {
    return ::close(descriptor);
}

int TSystemCalls::Rename(const char* from, const char* to, unsigned flags) {
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
}

int TSystemCalls::SyncFolder(const char* folder) {
    const int descriptor = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return -1;
    int result = ::fsync(descriptor);
    // Some file systems cannot flush a folder at all; their names are as durable as
    // they get.
    if (result != 0 && errno == EINVAL)
        result = 0;
    const int code = errno;
    ::close(descriptor);
    errno = code;
    return result;
}

int TSystemCalls::Unlink(const char* path) {
    return ::unlink(path);
}

int TSystemCalls::Lock(int descriptor, int operation) {
    return ::flock(descriptor, operation);
}

namespace {

TSystemCalls& SystemOwn() {
    static TSystemCalls calls;
    return calls;
}

TSystemCalls* gInstalled = nullptr;

}  // namespace

TSystemCalls& SystemCalls() {
    return gInstalled != nullptr ? *gInstalled : SystemOwn();
}

TSystemCalls* SetSystemCalls(TSystemCalls* calls) {
    TSystemCalls* previous = gInstalled;
    gInstalled = calls;
    return previous;
}

}  // namespace kest::io
