#include "containers/file_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "containers/binary_io.h"
#include "containers/kest_exception.h"

namespace kest::io {

namespace {

int LastError() {
    return errno != 0 ? errno : EIO;
}

// The file a save replaces: a symbolic link is followed, so that the link stays and the
// file it names gets the new bytes.
std::string ResolvedTarget(const char* path) {
    struct stat link;
    if (::lstat(path, &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (::realpath(path, resolved) == nullptr)
        return path;
    return resolved;
}

// Permission bits for the new file: the old file's, or what creating it would give.
mode_t NewFileMode(const struct stat* old) {
    if (old != nullptr)
        return old->st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

TFileSave::TFileSave(const char* path) {
    if (path == nullptr || *path == 0)
        throw TKestFileException("Could not save: no file name");
    FTarget = ResolvedTarget(path);
    struct stat old;
    const bool exists = ::stat(FTarget.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        // A device or a pipe is written as it is; there is nothing to rename over.
        FInPlace = true;
        FFile = std::fopen(FTarget.c_str(), "wb");
        if (FFile == nullptr)
            Fail(LastError());
        return;
    }
    std::vector<char> name(FTarget.begin(), FTarget.end());
    const char suffix[] = ".XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (descriptor < 0)
        Fail(LastError());
    FTemporary = name.data();
    if (::fchmod(descriptor, NewFileMode(exists ? &old : nullptr)) != 0) {
        const int code = LastError();
        ::close(descriptor);
        ::unlink(FTemporary.c_str());
        Fail(code);
    }
    FFile = ::fdopen(descriptor, "wb");
    if (FFile == nullptr) {
        const int code = LastError();
        ::close(descriptor);
        ::unlink(FTemporary.c_str());
        Fail(code);
    }
}

TFileSave::~TFileSave() {
    Abandon();
}

void TFileSave::Abandon() {
    if (FDone)
        return;
    FDone = true;
    if (FFile != nullptr)
        std::fclose(FFile);
    FFile = nullptr;
    if (!FTemporary.empty())
        ::unlink(FTemporary.c_str());
}

const std::string& TFileSave::HandOverToStream() {
    if (FFile != nullptr && std::fclose(FFile) != 0) {
        FFile = nullptr;
        Fail(LastError());
    }
    FFile = nullptr;
    return FInPlace ? FTarget : FTemporary;
}

void TFileSave::Fail(int code) const {
    throw TKestFileException("Could not save " + FTarget + ": " + std::strerror(code));
}

void TFileSave::Commit() {
    errno = 0;
    if (FFile != nullptr) {
        FILE* file = FFile;
        FFile = nullptr;
        int code = 0;
        if (std::fflush(file) != 0 || std::ferror(file))
            code = LastError();
        if (code == 0 && !FInPlace && ::fsync(::fileno(file)) != 0)
            code = LastError();
        if (std::fclose(file) != 0 && code == 0)
            code = LastError();
        if (code != 0) {
            Abandon();
            Fail(code);
        }
    } else if (!FInPlace) {
        // Written as a stream and closed: the bytes still have to reach the disk.
        const int descriptor = ::open(FTemporary.c_str(), O_WRONLY | O_CLOEXEC);
        int code = descriptor < 0 ? LastError() : 0;
        if (descriptor >= 0) {
            if (::fsync(descriptor) != 0)
                code = LastError();
            ::close(descriptor);
        }
        if (code != 0) {
            Abandon();
            Fail(code);
        }
    }
    if (!FInPlace && std::rename(FTemporary.c_str(), FTarget.c_str()) != 0) {
        const int code = LastError();
        Abandon();
        Fail(code);
    }
    FDone = true;
}

void SaveFile(const char* path, const std::function<void(FILE*)>& write) {
    TFileSave save(path);
    try {
        write(save.File());
    } catch (const TWriteFailure& failure) {
        save.Abandon();
        save.Fail(failure.FCode);
    }
    save.Commit();
}

void SaveStreamFile(const char* path, std::ios_base::openmode mode,
                    const std::function<void(std::ostream&)>& write) {
    TFileSave save(path);
    const std::string& name = save.HandOverToStream();
    std::ofstream stream(name, mode | std::ios_base::out | std::ios_base::trunc);
    if (!stream.is_open())
        save.Fail(LastError());
    try {
        write(stream);
        errno = 0;
        stream.flush();
        CheckStream(stream);
        stream.close();
        CheckStream(stream);
    } catch (const TWriteFailure& failure) {
        stream.close();
        save.Abandon();
        save.Fail(failure.FCode);
    }
    save.Commit();
}

}  // namespace kest::io
