#include "containers/container_item.h"

#include <istream>
#include <ostream>

#include "containers/byte_io.h"
#include "containers/file_save.h"
#include "containers/kest_exception.h"

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
void TContainerItem::WriteText(std::ostream& stream) {
    kest::io::TByteSink(stream).Put('\n');
}
void TContainerItem::ReadBinary(std::istream&) {}
void TContainerItem::ReadText(std::istream&) {}

void TContainerItem::SaveToStreamFile(const char* path, std::ios_base::openmode mode) {
    kest::io::SaveStreamFile(path, mode, [this, mode](std::ostream& stream) { Write(stream, mode); });
}

void TContainerItem::LoadFromStreamFile(const char* path, std::ios_base::openmode mode) {
    kest::io::LoadStreamFile(path, [this, mode](std::istream& stream) { Read(stream, mode); });
}

void TContainerItem::SaveBinaryFile(const char* path) {
    kest::io::SaveFile(path, [this](FILE* file) { WriteBinary(file); });
}

void TContainerItem::LoadBinaryFile(const char* path) {
    kest::io::LoadFile(path, [this](FILE* file) { ReadBinary(file); });
}

void TContainerItem::SaveTextFile(const char* path) {
    kest::io::SaveFile(path, [this](FILE* file) { WriteText(file); });
}

void TContainerItem::LoadTextFile(const char* path) {
    kest::io::LoadFile(path, [this](FILE* file) { ReadText(file); });
}

void TContainerItem::WriteToBuffer(TMemBuffer&) {}
void TContainerItem::ReadFromSpace(TMemSpace&) {}

bool TContainerItem::IsSameType(const TContainerItem& other) const {
    return FTypeId == other.FTypeId;
}

int32_t TContainerItem::ObjectSize() const {
    return static_cast<int32_t>(sizeof(TContainerItem));
}
