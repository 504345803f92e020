#include "containers/container_item.h"

#include <fstream>
#include <memory>
#include <ostream>

#include "containers/kest_exception.h"

namespace {

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Opens path with a C mode; throws TKestFileException when it cannot be opened.
FileHandle OpenFile(const char* path, const char* mode) {
    if (path == nullptr) throw TKestFileException();
    FILE* file = std::fopen(path, mode);
    if (file == nullptr) throw TKestFileException();
    return FileHandle(file);
}

}  // namespace

void TContainerItem::Assign(const TContainerItem&) {}
void TContainerItem::CopiedTo(TContainerItem&) {}
TContainerItem::~TContainerItem() = default;
void TContainerItem::Init() {}

void TContainerItem::WriteBinary(FILE*) {}
void TContainerItem::ReadBinary(FILE*) {}
void TContainerItem::WriteText(FILE*) {}
void TContainerItem::ReadText(FILE*) {}

void TContainerItem::Write(std::ostream& stream, std::ios_base::openmode mode) {
    if (mode & std::ios_base::binary)
        WriteBinary(stream);
    else
        WriteText(stream);
}

void TContainerItem::Read(std::istream& stream, std::ios_base::openmode mode) {
    if (mode & std::ios_base::binary)
        ReadBinary(stream);
    else
        ReadText(stream);
}

void TContainerItem::WriteBinary(std::ostream&) {}
void TContainerItem::WriteText(std::ostream& stream) { stream << '\n'; }
void TContainerItem::ReadBinary(std::istream&) {}
void TContainerItem::ReadText(std::istream&) {}

void TContainerItem::SaveToStreamFile(const char* path, std::ios_base::openmode mode) {
    if (path == nullptr) throw TKestFileException();
    std::ofstream stream(path, mode | std::ios_base::out | std::ios_base::trunc);
    if (!stream.is_open()) throw TKestFileException();
    Write(stream, mode);
}

void TContainerItem::LoadFromStreamFile(const char* path, std::ios_base::openmode mode) {
    if (path == nullptr) throw TKestFileException();
    std::ifstream stream(path, mode | std::ios_base::in);
    if (!stream.is_open()) throw TKestFileException();
    Read(stream, mode);
}

void TContainerItem::SaveBinaryFile(const char* path) {
    FileHandle file = OpenFile(path, "wb");
    WriteBinary(file.get());
}

void TContainerItem::LoadBinaryFile(const char* path) {
    FileHandle file = OpenFile(path, "rb");
    ReadBinary(file.get());
}

void TContainerItem::SaveTextFile(const char* path) {
    FileHandle file = OpenFile(path, "wt");
    WriteText(file.get());
}

void TContainerItem::LoadTextFile(const char* path) {
    FileHandle file = OpenFile(path, "rt");
    ReadText(file.get());
}

void TContainerItem::WriteToBuffer(TMemBuffer&) {}
void TContainerItem::ReadFromSpace(TMemSpace&) {}

bool TContainerItem::IsSameType(const TContainerItem& other) const { return FTypeId == other.FTypeId; }
