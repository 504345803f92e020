// Helpers shared by the fuzz entries: a scratch folder of the process's own, in-memory C
// files, and releasing what a loaded container hands to the caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "containers/container.h"
#include "tests/support/scratch_folder.h"

namespace fuzz {

// The path of a folder made for this process under $TMPDIR (or /tmp) and removed with
// the files in it when the process ends normally.
inline const std::string& ScratchFolderPath() {
    static const quillory_test::TScratchFolder folder(quillory_test::TemporaryFolder(), "quillory_fuzz_");
    if (!folder.Made()) {
        std::perror("quillory fuzz: cannot make a scratch folder");
        std::abort();
    }
    return folder.Folder();
}

// Writes the bytes to `name` in the scratch folder and returns the file's path.
inline std::string ScratchFile(const char* name, const std::uint8_t* data, std::size_t size) {
    std::string path = ScratchFolderPath() + "/" + name;
    if (!quillory_test::WriteFileBytes(path, data, size)) {
        std::perror("quillory fuzz: cannot write a scratch file");
        std::abort();
    }
    return path;
}

// A C file reading the bytes in place (they must outlive it); null when none can be opened.
inline std::FILE* BytesFile(const std::uint8_t* data, std::size_t size) {
    static std::uint8_t none = 0;
    return fmemopen(size == 0 ? &none : const_cast<std::uint8_t*>(data), size, "r");
}

// Calls read with a C file reading the bytes in place and closes the file after it,
// whether read returns or throws. False, with nothing read, when no file can be opened.
template <typename Read>
bool ReadBytesFile(const std::uint8_t* data, std::size_t size, Read read) {
    std::FILE* file = BytesFile(data, size);
    if (file == nullptr)
        return false;
    try {
        read(file);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    std::fclose(file);
    return true;
}

// Frees what a loaded container leaves to its caller: its items when the image said that
// it does not own them (element blocks and object items alike), and the same for every
// container held among its items, at any depth.
inline void ReleaseHandedItems(TContainer& container) {
    if (!container.IsPointerMode())
        return;
    for (int i = 0; i < container.Count(); ++i) {
        void* item = container.At(i);
        if (item == nullptr)
            continue;
        if (container.FInline) {
            if (!container.FOwnsItems)
                TContainer::ReleaseElement(item);
            continue;
        }
        TContainerItem* object = static_cast<TContainerItem*>(item);
        if (TContainer* nested = dynamic_cast<TContainer*>(object))
            ReleaseHandedItems(*nested);
        if (!container.FOwnsItems)
            delete object;
    }
}

}  // namespace fuzz
