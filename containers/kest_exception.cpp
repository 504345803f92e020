#include "containers/kest_exception.h"

const char* TKestException::What() const noexcept {
    return "Container library error";
}
const char* TKestBadIndex::What() const noexcept {
    return "Index out of range";
}
const char* TKestBadAlloc::What() const noexcept {
    return "Memory could not be allocated";
}
const char* TKestBadAssign::What() const noexcept {
    return "Containers of different storage modes cannot be assigned";
}
const char* TKestSerialization::What() const noexcept {
    return "Stored data is corrupt or truncated";
}
const char* TKestFileException::What() const noexcept {
    return "File could not be opened";
}
const char* TKestCompressException::What() const noexcept {
    return "Compressed data could not be processed";
}
