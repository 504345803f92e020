#include "memory/int_container.h"

#include <cstdlib>
#include <cstring>
#include <istream>
#include <new>
#include <ostream>
#include <string>

#include "containers/block_allocation.h"
#include "containers/byte_io.h"
#include "containers/kest_exception.h"

namespace {

constexpr int32_t kIntSize = static_cast<int32_t>(sizeof(int32_t));

int32_t ValueOf(const void* element) {
    int32_t value;
    std::memcpy(&value, element, sizeof(value));
    return value;
}

}  // namespace

TIntContainer::TIntContainer() {
    Init();
}

TIntContainer::TIntContainer(const TIntContainer& source) : TIntContainer() {
    CopyConstruct(source);
}

TIntContainer::~TIntContainer() = default;

void TIntContainer::Init() {
    FInline = true;
    FPointers = false;
    FElementSize = kIntSize;
    FPeerData = false;
}

void* TIntContainer::CreateItem(int32_t) {
    void* block = kest::detail::AllocateZeroedBlock(sizeof(int32_t));
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

int TIntContainer::Compare(const void* a, const void* b) {
    const int32_t first = ValueOf(a);
    const int32_t second = ValueOf(b);
    return first < second ? -1 : (first > second ? 1 : 0);
}

void TIntContainer::CopyItem(void* target, void* source) {
    std::memcpy(target, source, sizeof(int32_t));
}

bool TIntContainer::AcceptsElementSize(int32_t size) const {
    return size == kIntSize;
}

void TIntContainer::CheckShape() const {
    if (!FInline || FElementSize != kIntSize)
        throw TKestSerialization(FInline ? "elements of " + std::to_string(FElementSize) +
                                               " bytes where 4-byte integers belong"
                                         : std::string("object items where 4-byte integers belong"));
}

const int32_t& TIntContainer::At(int index) const {
    const void* element = TContainer::At(index);
    CheckShape();
    return *static_cast<const int32_t*>(element);
}

int32_t& TIntContainer::At(int index) {
    return const_cast<int32_t&>(static_cast<const TIntContainer&>(*this).At(index));
}

TIntContainer& TIntContainer::Add(int32_t value) {
    CheckShape();
    if (!IsPointerMode()) {
        AddItem(&value);
        return *this;
    }
    void* block = CreateItem(0);
    std::memcpy(block, &value, sizeof(value));
    const int32_t before = FCount;
    try {
        AddItem(block);
    } catch (...) {
        ReleaseElement(block);
        throw;
    }
    if (FCount == before)
        ReleaseElement(block);
    return *this;
}

int32_t& TIntContainer::AddNew() {
    CheckShape();
    if (!IsPointerMode())
        return *static_cast<int32_t*>(StoreItem(nullptr));
    void* block = CreateItem(0);
    try {
        StoreItem(block);
    } catch (...) {
        ReleaseElement(block);
        throw;
    }
    return *static_cast<int32_t*>(block);
}

std::ostream& operator<<(std::ostream& stream, const TIntContainer& container) {
    const kest::io::TByteSink sink(stream);
    kest::io::WriteDecimal(sink, container.Count(), '\n');
    for (int i = 0; i < container.Count(); ++i)
        kest::io::WriteDecimal(sink, container.At(i), '\n');
    return stream;
}

std::istream& operator>>(std::istream& stream, TIntContainer& container) {
    container.Clear(true);
    const kest::io::TByteSource source(stream);
    int32_t count = 0;
    if (!kest::io::ReadDecimal(source, count))
        return stream;
    // Elements are added only as they are read, so a count that the stream does not
    // back with integers costs no memory.
    for (int32_t i = 0; i < count; ++i) {
        int32_t value = 0;
        if (!kest::io::ReadDecimal(source, value))
            break;
        container.AddNew() = value;
    }
    return stream;
}
