#include "game/track_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

// An open file descriptor, closed when it goes.
class TFileDescriptor {
public:
    explicit TFileDescriptor(int fd) : fd_(fd) {}
    ~TFileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    TFileDescriptor(const TFileDescriptor&) = delete;
    TFileDescriptor& operator=(const TFileDescriptor&) = delete;
    int Get() const { return fd_; }
    // Gives the descriptor up to the caller, who closes it.
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool Refuse(std::string* cause, const char* text) {
    if (cause)
        *cause = text;
    return false;
}

bool RefuseWithSystemError(std::string* cause, int error) {
    return Refuse(cause, std::strerror(error));
}

// -1 for a file that cannot be opened, with the system's cause.
int RefuseOpening(std::string* cause, int error) {
    RefuseWithSystemError(cause, error);
    return -1;
}

// Whether `info` describes something a track can be read from; names the cause if not.
bool IsTrackSized(const struct stat& info, std::string* cause) {
    if (S_ISDIR(info.st_mode))
        return Refuse(cause, "is a directory");
    if (!S_ISREG(info.st_mode))
        return Refuse(cause, "is not a regular file");
    if (info.st_size > kMaxTrackFileBytes)
        return Refuse(cause, "is larger than a track can be");
    return true;
}

bool IsScanSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One "%d" conversion from `pos`: skips white space, reads an optional sign and at least
// one digit. Values beyond int saturate. Returns false when no number starts here.
bool ScanInt(const std::string& text, size_t& pos, int& value) {
    const size_t end = text.size();
    size_t p = pos;
    while (p < end && text[p] != '\0' && IsScanSpace(text[p]))
        ++p;
    bool negative = false;
    if (p < end && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    if (p >= end || text[p] < '0' || text[p] > '9')
        return false;
    int64_t magnitude = 0;
    const int64_t limit = int64_t{INT_MAX} + 1;
    while (p < end && text[p] >= '0' && text[p] <= '9') {
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (text[p] - '0');
        ++p;
    }
    if (negative)
        value = magnitude >= limit ? INT_MIN : static_cast<int>(-magnitude);
    else
        value = magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
    pos = p;
    return true;
}

// Opens the track file `fileName` for reading, looked at before opening and opened
// without waiting (opening a pipe for reading would otherwise wait for a writer), and
// looked at again once open; -1, with the cause named, when it is no track file.
int OpenTrackFile(const char* fileName, std::string* cause) {
    struct stat info {};
    if (::stat(fileName, &info) != 0)
        return RefuseOpening(cause, errno);
    if (!IsTrackSized(info, cause))
        return -1;
    TFileDescriptor file(::open(fileName, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.Get() < 0)
        return RefuseOpening(cause, errno);
    // The name may have been given to another file in between.
    if (::fstat(file.Get(), &info) != 0)
        return RefuseOpening(cause, errno);
    if (!IsTrackSized(info, cause))
        return -1;
    return file.Release();
}

// Reads `fd` to its end into `bytes`, in blocks up to the limit rather than trusting
// the size: a growing file must not overrun it. False, with the cause named, on a
// read error or a file over the limit.
bool ReadAllBytes(int fd, std::string& bytes, std::string* cause) {
    char block[16384];
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return RefuseWithSystemError(cause, errno);
        }
        if (got == 0)
            return true;
        if (bytes.size() + static_cast<size_t>(got) > static_cast<size_t>(kMaxTrackFileBytes))
            return Refuse(cause, "is larger than a track can be");
        bytes.append(block, static_cast<size_t>(got));
    }
}

// The lines of `bytes`, ended by CR, LF or CR LF, with NUL bytes dropped; none for no bytes.
std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> result;
    if (bytes.empty())
        return result;
    std::string current;
    for (size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            result.push_back(std::move(current));
            current.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else if (c != '\0') {
            current.push_back(c);
        }
    }
    result.push_back(std::move(current));
    return result;
}

}  // namespace

bool ReadLines(const char* fileName, std::vector<std::string>& lines) {
    return ReadLines(fileName, lines, nullptr);
}

bool ReadLines(const char* fileName, std::vector<std::string>& lines, std::string* cause) {
    if (fileName == nullptr)
        return RefuseWithSystemError(cause, ENOENT);
    const TFileDescriptor file(OpenTrackFile(fileName, cause));
    if (file.Get() < 0)
        return false;
    std::string bytes;
    if (!ReadAllBytes(file.Get(), bytes, cause))
        return false;
    std::vector<std::string> result = SplitLines(bytes);
    lines.swap(result);
    return true;
}

int ScanPair(const std::string& line, int& first, int& second) {
    size_t pos = 0;
    if (!ScanInt(line, pos, first))
        return 0;
    if (!ScanInt(line, pos, second))
        return 1;
    return 2;
}

bool TableFromTrackLines(const std::vector<std::string>& lines, TQuilloryTable& table) {
    if (lines.size() <= 1)
        return false;
    int x = 0;
    int y = 0;
    if (ScanPair(lines[0], x, y) != 2 || !IsOnBoard(x, y))
        return false;
    TQuilloryTable built;
    built.x = x;
    built.y = y;
    built.SetCell(x, y, true);
    for (size_t i = 1; i < lines.size(); ++i) {
        ScanPair(lines[i], x, y);
        if (!IsOnBoard(x, y))
            return false;
        built.SetCell(x, y, true);
    }
    table = built;
    return true;
}
