// Helpers shared by the drawing tests.
#include "tests/graphics/graphics_test_support.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <QApplication>
#include <QWindow>

std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("quillory_graphics_tests_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / name).string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr) {
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    return path;
}

void ShowExposed(QWidget& window) {
    window.show();
    for (int i = 0; i < 200 && !(window.windowHandle() != nullptr && window.windowHandle()->isExposed()); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::processEvents();
}
