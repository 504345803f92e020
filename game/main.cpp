// Program entry: the application, the main window, and the message loop.
#include <cstdio>
#include <cstdlib>

#include "game/quillory_main_form.h"
#include "graphics/application.h"

namespace {

// Qt aborts when it cannot reach a display; say so plainly instead.
bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

}  // namespace

int main(int argc, char** argv) {
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "quillory: no display found (DISPLAY is not set); start it from a desktop session\n");
        return 1;
    }
    TApplication application(argc, argv);
    TApplication::setApplicationName("Quillory");
    try {
        TQuilloryMainForm mainForm;
        mainForm.show();
        return TApplication::exec();
    } catch (...) {
        ShowException(std::current_exception());
        return 0;
    }
}
