#include "containers/container_base.h"

#include <istream>
#include <ostream>

#include "containers/byte_io.h"
#include "containers/kest_exception.h"
#include "memory/mem_buffer.h"

using kest::io::TByteSink;
using kest::io::TByteSource;

void TContainerBase::WriteBinary(FILE* file) {
    const TByteSink sink(file);
    sink.Put(FBuffered ? 1 : 0);
    if (!FBuffered) {
        WriteDirect(file);
        return;
    }
    TMemBuffer buffer;
    WriteToBuffer(buffer);
    buffer.FCompressed = FCompressed;
    sink.Put(FCompressed ? 1 : 0);
    buffer.WriteBinary(file);
}

void TContainerBase::ReadBinary(FILE* file) {
    TByteSource source(file);
    const int buffered = source.Get();
    if (buffered == EOF)
        throw TKestSerialization("the data end before the buffered flag, the image's first byte");
    FBuffered = buffered != 0;
    if (!FBuffered) {
        ReadDirect(file);
        return;
    }
    const int compressed = source.Get();
    if (compressed == EOF)
        throw TKestSerialization("the data end before the compressed flag, the image's second byte");
    FCompressed = compressed != 0;
    ReadBufferedImage(file);
}

void TContainerBase::ReadBufferedImage(FILE* file) {
    TMemBuffer buffer;
    buffer.ReadBinary(file);
    buffer.Rewind();
    ReadFromSpace(buffer);
}

void TContainerBase::Write(std::ostream& stream, std::ios_base::openmode mode) {
    const TByteSink sink(stream);
    sink.Put(FBuffered ? 1 : 0);
    if (!FBuffered) {
        WriteDirect(stream, mode);
        return;
    }
    TMemBuffer buffer;
    WriteToBuffer(buffer);
    buffer.FCompressed = FCompressed;
    sink.Put(FCompressed ? 1 : 0);
    buffer.Write(stream, mode);
}

void TContainerBase::Read(std::istream& stream, std::ios_base::openmode mode) {
    TByteSource source(stream);
    const int buffered = source.Get();
    if (buffered == EOF)
        throw TKestSerialization("the stream ends before the buffered flag, the image's first byte");
    FBuffered = buffered != 0;
    if (!FBuffered) {
        ReadDirect(stream, mode);
        return;
    }
    const int compressed = source.Get();
    if (compressed == EOF)
        throw TKestSerialization("the stream ends before the compressed flag, the image's second byte");
    FCompressed = compressed != 0;
    TMemBuffer buffer;
    buffer.Read(stream, mode);
    buffer.Rewind();
    ReadFromSpace(buffer);
}

void TContainerBase::WriteText(FILE* file) {
    if (!FCompressed)
        return;
    TMemBuffer buffer;
    WriteToBuffer(buffer);
    buffer.FCompressed = true;
    buffer.WriteText(file);
}

void TContainerBase::ReadText(FILE* file) {
    if (!FCompressed)
        return;
    TMemBuffer buffer;
    buffer.ReadText(file);
    buffer.Rewind();
    ReadFromSpace(buffer);
}

namespace {

thread_local int gNesting = 0;

}  // namespace

TContainerBase::TNestingGuard::TNestingGuard() {
    if (gNesting >= kMaxNesting)
        throw TKestSerialization("Items nest deeper than the reader allows");
    ++gNesting;
}

TContainerBase::TNestingGuard::~TNestingGuard() {
    --gNesting;
}

void* TContainerBase::CreateItem(int32_t) {
    return nullptr;
}

void TContainerBase::WriteItem(FILE* file, TContainerItem& item) {
    item.WriteBinary(file);
}

void* TContainerBase::ReadItem(FILE* file) {
    int32_t typeId = 0;
    if (!kest::io::ReadInt32(TByteSource(file), typeId))
        return nullptr;
    return ReadNewItem(typeId, [file](TContainerItem& item) { item.ReadBinary(file); });
}

void TContainerBase::WriteItem(std::ostream& stream, TContainerItem& item, std::ios_base::openmode mode) {
    item.Write(stream, mode);
}

void* TContainerBase::ReadItem(std::istream& stream, std::ios_base::openmode mode) {
    int32_t typeId = 0;
    if (!kest::io::ReadNumber(TByteSource(stream), typeId, mode != std::ios_base::binary))
        return nullptr;
    if (!(mode & std::ios_base::binary))
        return ReadNewItem(typeId, [&stream](TContainerItem& item) { item.ReadText(stream); });
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

void TContainerBase::WriteItem(TMemBuffer& buffer, TContainerItem& item) {
    item.WriteToBuffer(buffer);
}

void* TContainerBase::ReadItem(TMemSpace& space) {
    const int32_t typeId = space.ReadInt();
    return ReadNewItem(typeId, [&space](TContainerItem& item) { item.ReadFromSpace(space); });
}

int TContainerBase::Compare(const void*, const void*) {
    return 0;
}
