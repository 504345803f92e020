// A scratch folder for tests, benchmarks and fuzz targets: a new empty folder that is
// removed with the files in it on destruction; and writing a whole file. Free of any
// test framework.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace quillory_test {

// The folder for temporary files: $TMPDIR when set and not empty, else /tmp; with a
// trailing slash.
inline std::string TemporaryFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string folder = base != nullptr && *base != '\0' ? base : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

// Replaces the file at path with the size bytes at data: fopen, one fwrite, fclose;
// false when any of them fails.
inline bool WriteFileBytes(const std::string& path, const void* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// A new empty folder named `prefix` and six random characters under `parent` (a
// folder name that ends with a slash). Made() is false when it could not be made; the
// folder then names nothing and removing it does nothing. Its files are removed, and
// then the folder, on destruction (folders inside it are not).
class TScratchFolder {
public:
    explicit TScratchFolder(const std::string& parent = TemporaryFolder(),
                            const std::string& prefix = "quillory_") {
        std::string pattern = parent + prefix + "XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr)
            folder_ = pattern;
    }
    ~TScratchFolder() {
        if (folder_.empty())
            return;
        for (const std::string& name : Names())
            std::remove(Path(name).c_str());
        ::rmdir(folder_.c_str());
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    bool Made() const { return !folder_.empty(); }
    // The folder's own path, without a trailing slash; empty when it was not made.
    const std::string& Folder() const { return folder_; }
    // The path of the file `name` in the folder.
    std::string Path(const std::string& name) const { return folder_ + "/" + name; }
    // The names of the files in the folder.
    std::set<std::string> Names() const {
        std::set<std::string> names;
        if (DIR* dir = ::opendir(folder_.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..")
                    names.insert(name);
            }
            ::closedir(dir);
        }
        return names;
    }

private:
    std::string folder_;
};

}  // namespace quillory_test
