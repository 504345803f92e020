#include "containers/file_save.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "containers/block_allocation.h"
#include "containers/byte_io.h"
#include "containers/kest_exception.h"
#include "containers/system_calls.h"

namespace kest::io {

namespace {

// Bytes gathered before each write, and taken by each read.
constexpr size_t kBufferSize = size_t{64} * 1024;
// The target's name is cut to this many bytes in the temporary name, so that the
// temporary name stays within NAME_MAX.
constexpr size_t kMaxNameInTemporary = 200;
constexpr int kTemporaryLetters = 6;
const char kTemporarySuffix[] = ".tmp";

int LastError() {
    return errno != 0 ? errno : EIO;
}

// Runs call until it is not interrupted; returns its last result.
template <typename TCall>
auto Repeated(TCall call) {
    auto result = call();
    while (result < 0 && errno == EINTR)
        result = call();
    return result;
}

}  // namespace

// An open descriptor whose calls go through SystemCalls(), interrupted calls repeated.
// The first failure is kept, so that a failure the C library or a stream swallows (a
// seek inside a patch, a write behind a buffer) still fails the save or the load.
struct TChannel {
    int FDescriptor = -1;
    int FError = 0;
    // The file position, kept here so that asking for it costs no system call.
    off_t FOffset = 0;
    // A pipe or a terminal has no position: asking for one fails as lseek does, and is
    // no failure of the channel.
    bool FSeekable = true;

    explicit TChannel(int descriptor) : FDescriptor(descriptor) {
        struct stat status;
        FSeekable = ::fstat(descriptor, &status) != 0 || S_ISREG(status.st_mode) || S_ISBLK(status.st_mode);
    }
    ~TChannel() { Close(); }
    TChannel(const TChannel&) = delete;
    TChannel& operator=(const TChannel&) = delete;

    void Note(int code) {
        if (FError == 0)
            FError = code != 0 ? code : EIO;
        errno = FError;
    }
    bool WriteAll(const char* data, size_t size) {
        while (size > 0) {
            const ssize_t done = SystemCalls().Write(FDescriptor, data, size);
            if (done < 0 && errno == EINTR)
                continue;
            if (done <= 0) {
                Note(done < 0 ? errno : ENOSPC);
                return false;
            }
            data += done;
            size -= static_cast<size_t>(done);
            FOffset += done;
        }
        return true;
    }
    ssize_t Read(char* data, size_t size) {
        const ssize_t done = Repeated([&] { return SystemCalls().Read(FDescriptor, data, size); });
        if (done < 0)
            Note(errno);
        else
            FOffset += done;
        return done;
    }
    off_t Seek(off_t offset, int whence) {
        if (!FSeekable) {
            errno = ESPIPE;
            return -1;
        }
        if (whence == SEEK_CUR && offset == 0)
            return FOffset;
        const off_t done = Repeated([&] { return SystemCalls().Seek(FDescriptor, offset, whence); });
        if (done < 0)
            Note(errno);
        else
            FOffset = done;
        return done;
    }
    bool Sync() {
        if (Repeated([&] { return SystemCalls().Sync(FDescriptor); }) == 0)
            return true;
        Note(errno);
        return false;
    }
    // The descriptor is gone afterwards whatever the result; an interrupted close has
    // released it too, so it is not repeated.
    bool Close() {
        if (FDescriptor < 0)
            return true;
        const int result = SystemCalls().Close(FDescriptor);
        FDescriptor = -1;
        if (result == 0 || errno == EINTR)
            return true;
        Note(errno);
        return false;
    }
};

namespace {

// --- the C file and the stream buffer over a channel -----------------------------------

ssize_t ChannelRead(void* cookie, char* data, size_t size) {
    return static_cast<TChannel*>(cookie)->Read(data, size);
}

ssize_t ChannelWrite(void* cookie, const char* data, size_t size) {
    // A cookie write reports failure as 0 bytes.
    return static_cast<TChannel*>(cookie)->WriteAll(data, size) ? static_cast<ssize_t>(size) : 0;
}

int ChannelSeek(void* cookie, off64_t* offset, int whence) {
    const off_t done = static_cast<TChannel*>(cookie)->Seek(static_cast<off_t>(*offset), whence);
    if (done < 0)
        return -1;
    *offset = done;
    return 0;
}

// The channel's owner closes the descriptor and checks that close.
int ChannelKeep(void*) {
    return 0;
}

// A C file over channel in the C mode; null with errno when it cannot be made.
FILE* OpenChannelFile(TChannel& channel, const char* mode) {
    const cookie_io_functions_t functions{ChannelRead, ChannelWrite, ChannelSeek, ChannelKeep};
    FILE* file = ::fopencookie(&channel, mode, functions);
    if (file != nullptr)
        std::setvbuf(file, nullptr, _IOFBF, kBufferSize);
    return file;
}

// A buffered stream buffer over a channel, for writing or for reading. Seeks write out
// or drop the buffer and move the descriptor; the position itself is known without one.
class TChannelBuffer final : public std::streambuf {
public:
    TChannelBuffer(TChannel& channel, bool output)
        : FChannel(channel), FBuffer(kBufferSize), FOutput(output) {
        char* start = FBuffer.data();
        if (FOutput)
            setp(start, start + FBuffer.size());
        else
            setg(start, start, start);
    }

protected:
    int_type overflow(int_type c) override {
        if (!FOutput || !WriteOut())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        if (!FOutput)
            return 0;
        if (size < static_cast<std::streamsize>(FBuffer.size()))
            return std::streambuf::xsputn(data, size);
        // A large block goes straight to the file.
        if (!WriteOut() || !FChannel.WriteAll(data, static_cast<size_t>(size)))
            return 0;
        return size;
    }
    int sync() override { return !FOutput || WriteOut() ? 0 : -1; }
    int_type underflow() override {
        if (FOutput)
            return traits_type::eof();
        if (gptr() < egptr())
            return traits_type::to_int_type(*gptr());
        const ssize_t got = FChannel.Read(FBuffer.data(), FBuffer.size());
        if (got <= 0)
            return traits_type::eof();
        setg(FBuffer.data(), FBuffer.data(), FBuffer.data() + got);
        return traits_type::to_int_type(*gptr());
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode) override {
        const pos_type failed(off_type(-1));
        const int whence = direction == std::ios_base::beg   ? SEEK_SET
                           : direction == std::ios_base::cur ? SEEK_CUR
                                                             : SEEK_END;
        if (FOutput) {
            if (!FChannel.FSeekable)
                return failed;
            if (whence == SEEK_CUR && offset == 0)
                return pos_type(FChannel.FOffset + (pptr() - pbase()));
            if (!WriteOut())
                return failed;
        } else {
            const off_type unread = egptr() - gptr();
            if (!FChannel.FSeekable)
                return failed;
            if (whence == SEEK_CUR && offset == 0)
                return pos_type(FChannel.FOffset - unread);
            if (whence == SEEK_CUR)
                offset -= unread;
            setg(FBuffer.data(), FBuffer.data(), FBuffer.data());
        }
        const off_t done = FChannel.Seek(static_cast<off_t>(offset), whence);
        return done < 0 ? failed : pos_type(off_type(done));
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode mode) override {
        return seekoff(off_type(position), std::ios_base::beg, mode);
    }

private:
    bool WriteOut() {
        const size_t size = static_cast<size_t>(pptr() - pbase());
        setp(FBuffer.data(), FBuffer.data() + FBuffer.size());
        return FChannel.WriteAll(FBuffer.data(), size);
    }

    TChannel& FChannel;
    std::vector<char> FBuffer;
    bool FOutput;
};

// --- names ---------------------------------------------------------------------------

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

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".NAME." for the target NAME: what every temporary name of its saves starts with.
std::string TemporaryPrefix(const std::string& target) {
    const std::string name = NameOf(target);
    std::string prefix(1, '.');
    prefix.append(name, 0, kMaxNameInTemporary);
    prefix.push_back('.');
    return prefix;
}

bool IsLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsTemporaryName(const std::string& name, const std::string& prefix) {
    const size_t suffix = sizeof kTemporarySuffix - 1;
    if (name.size() != prefix.size() + kTemporaryLetters + suffix ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix, suffix, kTemporarySuffix) != 0)
        return false;
    for (size_t i = prefix.size(); i < prefix.size() + kTemporaryLetters; ++i)
        if (!IsLetterOrDigit(name[i]))
            return false;
    return true;
}

// Six letters or digits that differ between saves and between processes.
std::string RandomLetters() {
    static std::atomic<uint64_t> counter{0};
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    uint64_t bits = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(now.tv_sec) << 30) ^
                    (static_cast<uint64_t>(::getpid()) << 42) ^ (++counter * 0x9E3779B97F4A7C15ULL);
    bits ^= bits >> 30;
    bits *= 0xBF58476D1CE4E5B9ULL;
    bits ^= bits >> 27;
    bits *= 0x94D049BB133111EBULL;
    bits ^= bits >> 31;
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string letters;
    for (int i = 0; i < kTemporaryLetters; ++i) {
        letters += kLetters[bits % 62];
        bits /= 62;
    }
    return letters;
}

// Removes the temporary files of earlier saves of target that nobody holds locked (see
// TFileSave). Nothing here fails the save: what cannot be removed stays.
void RemoveLeftovers(const std::string& folder, const std::string& target) {
    const std::string prefix = TemporaryPrefix(target);
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (IsTemporaryName(entry->d_name, prefix))
                names.emplace_back(entry->d_name);
        ::closedir(dir);
    }
    TSystemCalls& calls = SystemCalls();
    for (const std::string& name : names) {
        std::string path = folder;
        path += '/';
        path += name;
        const int descriptor = Repeated(
            [&] { return calls.Open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0); });
        if (descriptor < 0)
            continue;
        struct stat held;
        struct stat named;
        // Still the file under that name, a plain file, and its maker gone.
        if (Repeated([&] { return calls.Lock(descriptor, LOCK_EX | LOCK_NB); }) == 0 &&
            ::fstat(descriptor, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && S_ISREG(held.st_mode) &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            Repeated([&] { return calls.Unlink(path.c_str()); });
        calls.Close(descriptor);
    }
}

}  // namespace

// --- saving ----------------------------------------------------------------------------

TFileSave::TFileSave(const char* path) {
    if (path == nullptr || *path == 0)
        throw TKestFileException("Could not save: no file name");
    FTarget = ResolvedTarget(path);
    FFolder = FolderOf(FTarget);
    struct stat old;
    const bool exists = ::stat(FTarget.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        // A device or a pipe is written as it is; there is nothing to rename over.
        FInPlace = true;
        const int descriptor = Repeated([&] {
            return SystemCalls().Open(FTarget.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        });
        if (descriptor < 0)
            Fail(LastError());
        FChannel = std::make_unique<TChannel>(descriptor);
    } else {
        // A file its owner made read-only stays as it is, as writing it in place would.
        if (exists && ::faccessat(AT_FDCWD, FTarget.c_str(), W_OK, AT_EACCESS) != 0 &&
            (errno == EACCES || errno == EROFS))
            Fail(errno);
        FReplacesOld = exists;
        RemoveLeftovers(FFolder, FTarget);
        MakeTemporary(exists ? &old : nullptr);
    }
    FFile = OpenChannelFile(*FChannel, "wb");
    if (FFile == nullptr)
        AbandonAndFail(LastError());
}

void TFileSave::MakeTemporary(const struct stat* old) {
    TSystemCalls& calls = SystemCalls();
    const std::string prefix = FFolder + "/" + TemporaryPrefix(FTarget);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = prefix + RandomLetters() + kTemporarySuffix;
        // A new file gets what creating the target would give it; the old file's mode is
        // set once the file is ours, as the umask may have cut it.
        const int descriptor = Repeated([&] {
            return calls.Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              old != nullptr ? 0600 : 0666);
        });
        if (descriptor < 0 && errno == EEXIST)
            continue;
        if (descriptor < 0)
            FailToCreate(LastError(), old != nullptr);
        if (HoldTemporary(name, descriptor, old))
            return;
    }
    Fail(EEXIST);
}

void TFileSave::FailToCreate(int code, bool replacing) const {
    if (code == EACCES || code == EPERM) {
        std::string reason = "files cannot be created in the folder " + FFolder;
        if (replacing)
            reason += ", and saving writes a new file beside the old one before replacing it";
        throw TKestFileException("Could not save " + FTarget + ": " + reason);
    }
    Fail(code);
}

bool TFileSave::HoldTemporary(const std::string& name, int descriptor, const struct stat* old) {
    TSystemCalls& calls = SystemCalls();
    FTemporary = name;
    FTemporaryIsNew = true;
    FChannel = std::make_unique<TChannel>(descriptor);
    // The lock marks the file as in flight. A file system without locks saves
    // unlocked; its leftovers are then never taken for a killed save's.
    if (Repeated([&] { return calls.Lock(descriptor, LOCK_EX); }) != 0 && errno != ENOLCK &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        AbandonAndFail(LastError());
    struct stat made;
    if (::fstat(descriptor, &made) != 0)
        AbandonAndFail(LastError());
    if (made.st_nlink == 0) {
        // Another save took the file for a leftover before it was locked: try again.
        FTemporary.clear();
        FTemporaryIsNew = false;
        FChannel.reset();
        return false;
    }
    if (old != nullptr && ::fchmod(descriptor, old->st_mode & 07777) != 0)
        AbandonAndFail(LastError());
    return true;
}

TFileSave::~TFileSave() {
    Abandon();
}

std::streambuf& TFileSave::StreamBuffer() {
    if (FStream == nullptr)
        FStream = std::make_unique<TChannelBuffer>(*FChannel, true);
    return *FStream;
}

void TFileSave::Fail(int code) const {
    // The first failure on the file is the cause; what the C library made of it later
    // may be vaguer.
    if (FChannel != nullptr && FChannel->FError != 0)
        code = FChannel->FError;
    throw TKestFileException("Could not save " + FTarget + ": " + std::strerror(code));
}

void TFileSave::AbandonAndFail(int code) {
    if (FChannel != nullptr && FChannel->FError != 0)
        code = FChannel->FError;
    Abandon();
    Fail(code);
}

// Undoes the swap: the old file back under the target's name, the new one under the
// temporary name; a new target is removed again. What fails here stays as it is.
void TFileSave::PutBack() {
    TSystemCalls& calls = SystemCalls();
    if (FExchanged &&
        Repeated([&] { return calls.Rename(FTemporary.c_str(), FTarget.c_str(), RENAME_EXCHANGE); }) == 0) {
        FExchanged = false;
        FTemporaryIsNew = true;
    } else if (FRenamedNew && Repeated([&] { return calls.Unlink(FTarget.c_str()); }) == 0)
        FRenamedNew = false;
    else
        return;
    Repeated([&] { return calls.SyncFolder(FFolder.c_str()); });
}

void TFileSave::Abandon() {
    if (FDone)
        return;
    FDone = true;
    if (FFile != nullptr)
        std::fclose(FFile);
    FFile = nullptr;
    FStream.reset();
    PutBack();
    if (FChannel != nullptr)
        FChannel->Close();
    // After an exchange that could not be undone, the temporary name holds the old file:
    // it stays for a person to find.
    if (FTemporaryIsNew)
        Repeated([&] { return SystemCalls().Unlink(FTemporary.c_str()); });
}

void TFileSave::Commit() {
    if (FDone)
        Fail(EBADF);
    errno = 0;
    int code = 0;
    if (FFile != nullptr && (std::fflush(FFile) != 0 || std::ferror(FFile)))
        code = LastError();
    if (code == 0 && FStream != nullptr && FStream->pubsync() != 0)
        code = LastError();
    if (code == 0)
        code = FChannel->FError;
    if (code == 0 && !FInPlace && !FChannel->Sync())
        code = FChannel->FError;
    if (code != 0)
        AbandonAndFail(code);
    std::fclose(FFile);
    FFile = nullptr;
    if (FInPlace) {
        if (!FChannel->Close())
            AbandonAndFail(FChannel->FError);
        FDone = true;
        return;
    }

    TSystemCalls& calls = SystemCalls();
    const char* temporary = FTemporary.c_str();
    const char* target = FTarget.c_str();
    const auto swapIn = [&](unsigned flags) {
        return Repeated([&] { return calls.Rename(temporary, target, flags); });
    };
    // The old file stays under the temporary name until the new one is durable.
    int result = swapIn(FReplacesOld ? RENAME_EXCHANGE : RENAME_NOREPLACE);
    if (result == 0) {
        FExchanged = FReplacesOld;
        FRenamedNew = !FReplacesOld;
    } else if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EEXIST ||
               errno == ENOENT) {
        // No exchange on this file system, or the target came or went meanwhile: a plain
        // rename, which cannot be undone.
        result = swapIn(0);
    }
    if (result != 0)
        AbandonAndFail(LastError());
    FTemporaryIsNew = false;
    if (Repeated([&] { return calls.SyncFolder(FFolder.c_str()); }) != 0)
        AbandonAndFail(LastError());
    if (!FChannel->Close())
        AbandonAndFail(FChannel->FError);
    if (FExchanged && Repeated([&] { return calls.Unlink(temporary); }) != 0 && errno != ENOENT)
        AbandonAndFail(LastError());
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
    if (mode & std::ios_base::app)
        save.Fail(EINVAL);
    std::ostream stream(&save.StreamBuffer());
    try {
        write(stream);
        errno = 0;
        stream.flush();
        if (!stream)
            throw TWriteFailure(LastError());
    } catch (const TWriteFailure& failure) {
        save.Abandon();
        save.Fail(failure.FCode);
    }
    save.Commit();
}

// --- loading ---------------------------------------------------------------------------

namespace {

std::unique_ptr<TChannel> OpenForReading(const char* path) {
    if (path == nullptr)
        throw TKestFileException("Could not open: no file name");
    const int descriptor = Repeated([&] { return SystemCalls().Open(path, O_RDONLY | O_CLOEXEC, 0); });
    if (descriptor < 0)
        throw TKestFileException(std::string("Could not open ") + path + ": " + std::strerror(LastError()));
    return std::make_unique<TChannel>(descriptor);
}

[[noreturn]] void FailRead(const char* path, int code) {
    throw TKestFileException(std::string("Could not read ") + path + ": " + std::strerror(code));
}

// Runs read, then closes the channel; a failure on the channel outranks what read made
// of it.
void ReadChecked(const char* path, TChannel& channel, const std::function<void()>& read) {
    try {
        read();
    } catch (...) {
        channel.Close();
        if (channel.FError != 0)
            FailRead(path, channel.FError);
        throw;
    }
    if (!channel.Close() || channel.FError != 0)
        FailRead(path, channel.FError);
}

}  // namespace

// The buffer of a C file a named-file load reads through.
constexpr size_t kLoadBufferBytes = size_t{256} * 1024;

void LoadFile(const char* path, const std::function<void(FILE*)>& read) {
    const std::unique_ptr<TChannel> channel = OpenForReading(path);
    FILE* file = OpenChannelFile(*channel, "rb");
    if (file == nullptr)
        throw TKestFileException(std::string("Could not open ") + path + ": " + std::strerror(LastError()));
    // Reads come through the file's buffer (the channel is no descriptor the C library could
    // read into the caller's storage directly): a large one costs few calls per megabyte.
    // Without it the file keeps its own small buffer.
    struct TFree {
        void operator()(void* block) const { std::free(block); }
    };
    const std::unique_ptr<void, TFree> buffer(kest::detail::AllocateBlock(kLoadBufferBytes));
    if (buffer != nullptr)
        std::setvbuf(file, static_cast<char*>(buffer.get()), _IOFBF, kLoadBufferBytes);
    ReadChecked(path, *channel, [&] {
        struct TCloser {
            FILE* FFile;
            ~TCloser() { std::fclose(FFile); }
        } closer{file};
        read(file);
    });
}

void LoadStreamFile(const char* path, const std::function<void(std::istream&)>& read) {
    const std::unique_ptr<TChannel> channel = OpenForReading(path);
    TChannelBuffer buffer(*channel, false);
    std::istream stream(&buffer);
    ReadChecked(path, *channel, [&] { read(stream); });
}

}  // namespace kest::io
