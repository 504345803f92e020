// A program with a containers/ folder, and ReadInt32, StoreInt32, EncodePackedInt and
// AccentHalf of its own, built as C++17 against the installed library: it links, includes
// the library by its name, catches the library's exceptions as std::exception and uses
// the C++ side of the classes. Exits 0 when everything behaves.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <kest/containers/string_container.h>
#include <kest/memory/int_container.h>

#include "containers/string_container.h"

bool ReadInt32(FILE* file, int32_t& value) {
    return std::fread(&value, sizeof value, 1, file) == 1;
}

void StoreInt32(int32_t value, uint8_t out[4]) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * (3 - i)));
}

int EncodePackedInt(int32_t value, uint8_t out[5]) {
    StoreInt32(value, out);
    out[4] = 0;
    return 5;
}

const int AccentHalf = 4;

namespace {

int failures = 0;

void Check(bool good, const char* what) {
    if (!good) {
        std::printf("failed: %s\n", what);
        ++failures;
    }
}

TStringContainer MakeLines() {
    TStringContainer lines;
    lines.Add(TString(std::string_view("first"))).Add("second");
    return lines;
}

}  // namespace

int main() {
    Check(kConsumerOwnHeader == 1, "the program's own containers/string_container.h");

    std::vector<TStringContainer> lists;
    lists.push_back(MakeLines());
    std::string joined;
    for (const TString& line : lists.front())
        joined += std::string(std::string_view(line)) + ";";
    Check(joined == "first;second;", "range-for over a list returned by value");
    Check("second" == lists.front().At(1), "\"text\" == TString");

    TIntContainer numbers;
    numbers.Add(3).Add(-7).Add(12);
    int sum = 0;
    for (int32_t value : numbers)
        sum += value;
    Check(sum == 8, "range-for over the integers");

    try {
        TStringContainer missing;
        missing.LoadTextFile("/nonexistent/folder/file.txt");
        Check(false, "a missing file throws");
    } catch (const std::exception& e) {
        Check(std::string(e.what()).find("/nonexistent/folder/file.txt") != std::string::npos,
              "what() names the file");
    }

    FILE* file = std::tmpfile();
    const int32_t stored = 42;
    std::fwrite(&stored, sizeof stored, 1, file);
    std::rewind(file);
    int32_t back = 0;
    Check(file != nullptr && ReadInt32(file, back) && back == 42, "the program's own ReadInt32");
    if (file != nullptr)
        std::fclose(file);
    uint8_t bytes[5];
    Check(EncodePackedInt(0x01020304, bytes) == 5 && bytes[0] == 1 && AccentHalf == 4,
          "the program's own helpers");

    std::printf("%s\n", failures == 0 ? "C++17 consumer: all checks pass" : "C++17 consumer: checks failed");
    return failures == 0 ? 0 : 1;
}
