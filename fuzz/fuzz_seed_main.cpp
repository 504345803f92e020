// Writes a fuzz entry's seed corpus, made by the project's own writers, into the folder
// named on the command line (created when missing).
#include <cstdio>
#include <filesystem>
#include <string>

void WriteFuzzSeeds(const std::string& folder);

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    WriteFuzzSeeds(argv[1]);
    return 0;
}
