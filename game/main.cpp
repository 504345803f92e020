// Program entry: the application, the main window, and the message loop.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <QTimer>

#include "game/about_dlg.h"
#include "game/quillory_main_form.h"
#include "game/result_form.h"
#include "graphics/application.h"

namespace {

constexpr int kExitStartFailed = 1;

// Qt aborts when it cannot reach a display; say so plainly instead.
bool DisplayAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return true;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// One of the program's windows: created on construction and published through its
// global pointer, which is cleared again before the window is destroyed.
template <typename TWindow>
class TProgramWindow {
public:
    explicit TProgramWindow(TWindow*& global) : window_(std::make_unique<TWindow>()), global_(global) {
        global_ = window_.get();
    }
    ~TProgramWindow() { global_ = nullptr; }
    TProgramWindow(const TProgramWindow&) = delete;
    TProgramWindow& operator=(const TProgramWindow&) = delete;
    TWindow& operator*() const { return *window_; }

private:
    std::unique_ptr<TWindow> window_;
    TWindow*& global_;
};

}  // namespace

int main(int argc, char** argv) {
    if (!DisplayAvailable()) {
        std::fprintf(stderr,
                     "quillory: no display found (DISPLAY is not set); start it from a desktop session\n");
        return kExitStartFailed;
    }
    TApplication application(argc, argv);
    TApplication::setApplicationName("Quillory");
    try {
        // Created first, the main window is the application's main window; the dialogs
        // stay hidden until shown. They are destroyed in the reverse order.
        TProgramWindow<TQuilloryMainForm> mainForm(QuilloryMainForm);
        TProgramWindow<TAboutDlg> aboutDlg(AboutDlg);
        TProgramWindow<TResultForm> resultForm(ResultForm);
        (*mainForm).show();
        // A track named on the command line is opened once the window is up, as if
        // chosen with "Open track...".
        if (argc > 1) {
            TQuilloryMainForm& form = *mainForm;
            QTimer::singleShot(0, &form, [&form, track = std::string(argv[1])] { form.OpenTrack(track); });
        }
        TApplication::exec();
        return 0;
    } catch (...) {
        // The program could not start or ended in disorder: shown, and told to the caller.
        ShowException(std::current_exception());
        return kExitStartFailed;
    }
}
