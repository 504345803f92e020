// The container library's exception family: thrown by value, carrying no data.
#pragma once

// Root of every exception the container library throws.
class TKestException {
public:
    virtual ~TKestException() = default;
    // A short fixed text naming the kind of failure, for display; never null.
    virtual const char* What() const noexcept;
};

// An index that names no item.
class TKestBadIndex : public TKestException {
public:
    const char* What() const noexcept override;
};

// A size or capacity that cannot be allocated.
class TKestBadAlloc : public TKestException {
public:
    const char* What() const noexcept override;
};

// An assignment between containers of different storage modes.
class TKestBadAssign : public TKestException {
public:
    const char* What() const noexcept override;
};

// A stored image that does not describe a valid object.
class TKestSerialization : public TKestException {
public:
    const char* What() const noexcept override;
};

// A file or file stream that cannot be opened.
class TKestFileException : public TKestException {
public:
    const char* What() const noexcept override;
};

// A compressed image that cannot be compressed or restored.
class TKestCompressException : public TKestException {
public:
    const char* What() const noexcept override;
};
