// Uses the installed kest library: saves a list of strings and a compressed memory
// buffer to files, loads both back, and exits 0 when they come back as they were.
#include <cstdio>
#include <cstring>

#include <kest/containers/string_container.h>
#include <kest/memory/mem_buffer.h>

int main() {
    TStringContainer lines;
    lines.Add("first line").Add("second line");
    lines.SaveTextFile("lines.txt");
    TStringContainer linesBack;
    linesBack.LoadTextFile("lines.txt");

    const char bytes[] = "compressed, compressed, compressed and compressed once more";
    TMemBuffer buffer;
    buffer.Append(bytes, sizeof bytes);
    buffer.FCompressed = true;
    buffer.SaveBinaryFile("buffer.bin");
    TMemBuffer bufferBack;
    bufferBack.LoadBinaryFile("buffer.bin");

    const bool same = linesBack.Count() == 2 && std::strcmp(linesBack.At(1), "second line") == 0 &&
                      bufferBack.FCompressed && bufferBack.Length() == sizeof bytes &&
                      std::memcmp(bufferBack.Data(), bytes, sizeof bytes) == 0;
    std::printf("%s\n", same ? "saved and loaded: 2 lines, a compressed buffer" : "loaded data differ");
    return same ? 0 : 1;
}
