// The container library's exception family: thrown by value. Each class has a
// fixed What() text; a thrower may add a detail naming the file and the cause.
#pragma once

#include <string>
#include <utility>

// Root of every exception the container library throws.
class TKestException {
public:
    TKestException() = default;
    // Keeps `detail`, a complete sentence for display such as
    // "Could not save /home/me/t.txt: No space left on device".
    explicit TKestException(std::string detail) : FDetail(std::move(detail)) {}
    virtual ~TKestException() = default;
    // A short fixed text naming the kind of failure, for display; never null.
    virtual const char* What() const noexcept;
    // The thrower's detail, or an empty string when it gave none.
    const std::string& Detail() const noexcept { return FDetail; }

private:
    std::string FDetail;
};

// An index that names no item.
class TKestBadIndex : public TKestException {
public:
    using TKestException::TKestException;
    const char* What() const noexcept override;
};

// A size or capacity that cannot be allocated.
class TKestBadAlloc : public TKestException {
public:
    using TKestException::TKestException;
    const char* What() const noexcept override;
};

// An assignment between containers of different storage modes.
class TKestBadAssign : public TKestException {
public:
    using TKestException::TKestException;
    const char* What() const noexcept override;
};

// A stored image that does not describe a valid object.
class TKestSerialization : public TKestException {
public:
    using TKestException::TKestException;
    const char* What() const noexcept override;
};

// A file or file stream that cannot be opened.
class TKestFileException : public TKestException {
public:
    using TKestException::TKestException;
    const char* What() const noexcept override;
};

// A compressed image that cannot be compressed or restored.
class TKestCompressException : public TKestException {
public:
    using TKestException::TKestException;
    const char* What() const noexcept override;
};
