#include "containers/container_base.h"

#include <istream>
#include <ostream>

#include "containers/binary_io.h"
#include "memory/mem_space.h"

void* TContainerBase::CreateItem(int32_t) { return nullptr; }

void TContainerBase::WriteItem(FILE* file, TContainerItem& item) { item.WriteBinary(file); }

void* TContainerBase::ReadItem(FILE* file) {
    int32_t typeId = 0;
    if (!ReadInt32(file, typeId)) return nullptr;
    return ReadNewItem(typeId, [file](TContainerItem& item) { item.ReadBinary(file); });
}

void TContainerBase::WriteItem(std::ostream& stream, TContainerItem& item, std::ios_base::openmode mode) {
    item.Write(stream, mode);
}

void* TContainerBase::ReadItem(std::istream& stream, std::ios_base::openmode mode) {
    int32_t typeId = 0;
    if (mode == std::ios_base::binary) {
        if (!ReadInt32(stream, typeId)) return nullptr;
    } else if (!(stream >> typeId)) {
        return nullptr;
    }
    return ReadNewItem(typeId, [&stream, mode](TContainerItem& item) { item.Read(stream, mode); });
}

void TContainerBase::WriteDirect(FILE*) {}
void TContainerBase::ReadDirect(FILE*) {}

void TContainerBase::WriteDirect(std::ostream& stream, std::ios_base::openmode mode) {
    if (mode == std::ios_base::binary)
        WriteBinary(stream);
    else
        WriteText(stream);
}

void TContainerBase::ReadDirect(std::istream& stream, std::ios_base::openmode mode) {
    if (mode == std::ios_base::binary)
        ReadBinary(stream);
    else
        ReadText(stream);
}

void TContainerBase::WriteItem(TMemBuffer& buffer, TContainerItem& item) { item.WriteToBuffer(buffer); }

void* TContainerBase::ReadItem(TMemSpace& space) {
    const int32_t typeId = space.ReadInt();
    return ReadNewItem(typeId, [&space](TContainerItem& item) { item.ReadFromSpace(space); });
}

int TContainerBase::Compare(const void*, const void*) { return 0; }
