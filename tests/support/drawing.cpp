// Test support for drawing: showing a window until exposed, and picture files on disk.
#include "tests/support/drawing.h"

#include <filesystem>
#include <string>

#include <unistd.h>

#include <QApplication>
#include <QWindow>

#include "tests/support/files.h"

std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("quillory_graphics_tests_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string path = (folder / name).string();
    kest::test::WriteWholeFile(path, bytes);
    return path;
}

void ShowExposed(QWidget& window) {
    window.show();
    for (int i = 0; i < 200 && !(window.windowHandle() != nullptr && window.windowHandle()->isExposed()); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::processEvents();
}
