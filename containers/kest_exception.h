// The container library's exception family: thrown by value. Each class has a
// fixed What() text; a thrower may add a detail naming what was wrong and where.
#pragma once

#include <exception>
#include <string>
#include <utility>

// Root of every exception the container library throws. It is a std::exception:
// what() gives the fixed text, followed by ": " and the detail when there is one
// ("Stored data is corrupt or truncated: item 3 of 5: the data end"). What() and
// Detail() give the two parts apart.
class TKestException : public std::exception {
public:
    TKestException() : TKestException(std::string()) {}
    // Keeps `detail`, a complete phrase for display such as
    // "Could not save /home/me/t.txt: No space left on device".
    explicit TKestException(std::string detail) : TKestException(kWhat, std::move(detail)) {}
    // A short fixed text naming the kind of failure, for display; never null.
    virtual const char* What() const noexcept { return kWhat; }
    // The thrower's detail, or an empty string when it gave none.
    const std::string& Detail() const noexcept { return FDetail; }
    // What(), then ": " and Detail() when there is a detail; never null.
    const char* what() const noexcept override { return FMessage.c_str(); }

    static constexpr const char* kWhat = "Container library error";

protected:
    // For the derived classes: their fixed text and the detail.
    TKestException(const char* fixed, std::string detail)
        : FDetail(std::move(detail)),
          FMessage(FDetail.empty() ? std::string(fixed) : fixed + (": " + FDetail)) {}

private:
    std::string FDetail;
    std::string FMessage;
};

// An index that names no item.
class TKestBadIndex : public TKestException {
public:
    TKestBadIndex() : TKestBadIndex(std::string()) {}
    explicit TKestBadIndex(std::string detail) : TKestException(kWhat, std::move(detail)) {}
    const char* What() const noexcept override { return kWhat; }
    static constexpr const char* kWhat = "Index out of range";
};

// A size or capacity that cannot be allocated.
class TKestBadAlloc : public TKestException {
public:
    TKestBadAlloc() : TKestBadAlloc(std::string()) {}
    explicit TKestBadAlloc(std::string detail) : TKestException(kWhat, std::move(detail)) {}
    const char* What() const noexcept override { return kWhat; }
    static constexpr const char* kWhat = "Memory could not be allocated";
};

// An assignment between containers of different storage modes.
class TKestBadAssign : public TKestException {
public:
    TKestBadAssign() : TKestBadAssign(std::string()) {}
    explicit TKestBadAssign(std::string detail) : TKestException(kWhat, std::move(detail)) {}
    const char* What() const noexcept override { return kWhat; }
    static constexpr const char* kWhat = "Containers of different storage modes cannot be assigned";
};

// A stored image that does not describe a valid object.
class TKestSerialization : public TKestException {
public:
    TKestSerialization() : TKestSerialization(std::string()) {}
    explicit TKestSerialization(std::string detail) : TKestException(kWhat, std::move(detail)) {}
    const char* What() const noexcept override { return kWhat; }
    static constexpr const char* kWhat = "Stored data is corrupt or truncated";
};

// A file or file stream that cannot be opened, written or saved.
class TKestFileException : public TKestException {
public:
    TKestFileException() : TKestFileException(std::string()) {}
    explicit TKestFileException(std::string detail) : TKestException(kWhat, std::move(detail)) {}
    const char* What() const noexcept override { return kWhat; }
    static constexpr const char* kWhat = "File could not be opened";
};

// A compressed image that cannot be compressed or restored.
class TKestCompressException : public TKestException {
public:
    TKestCompressException() : TKestCompressException(std::string()) {}
    explicit TKestCompressException(std::string detail) : TKestException(kWhat, std::move(detail)) {}
    const char* What() const noexcept override { return kWhat; }
    static constexpr const char* kWhat = "Compressed data could not be processed";
};
