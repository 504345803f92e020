#include "graphics/platform_dialogs.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace {

// A title bar's window icon, its buttons (close, and often minimise and maximise) and
// its margins, beside the caption; generous, as the desktop draws the title bar.
constexpr int kTitleBarAllowance = 140;

QMessageBox::Icon QtIcon(TMessageIcon icon) {
    switch (icon) {
    case TMessageIcon::Information: return QMessageBox::Information;
    case TMessageIcon::Exclamation: return QMessageBox::Warning;
    case TMessageIcon::Error: return QMessageBox::Critical;
    case TMessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// The patterns of one filter pair as Qt reads them: separated by spaces, "*.*" as "*".
std::string QtPatterns(const std::string& patterns) {
    std::string result;
    size_t start = 0;
    while (start <= patterns.size()) {
        size_t end = patterns.find(';', start);
        if (end == std::string::npos)
            end = patterns.size();
        std::string pattern = patterns.substr(start, end - start);
        while (!pattern.empty() && pattern.front() == ' ')
            pattern.erase(0, 1);
        while (!pattern.empty() && pattern.back() == ' ')
            pattern.pop_back();
        if (pattern == "*.*")
            pattern = "*";
        if (!pattern.empty()) {
            if (!result.empty())
                result += ' ';
            result += pattern;
        }
        start = end + 1;
    }
    return result.empty() ? "*" : result;
}

bool RunFileDialog(QWidget* owner, const TFileDialogOptions& options, TFileDialogKind kind,
                   std::string& fileName) {
    QFileDialog dialog(owner);
    ConfigureFileDialog(dialog, options, kind);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    const QString chosen = dialog.selectedFiles().front();
    fileName = WithDefaultExtension(QFile::encodeName(chosen).toStdString(), options.defaultExtension, kind,
                                    QFileInfo::exists(chosen));
    return true;
}

class TQtDialogs final : public TPlatformDialogs {
public:
    void MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                    TMessageIcon icon) override {
        QMessageBox box(owner);
        ConfigureMessageBox(box, text, caption, icon);
        box.exec();
    }
    bool OpenFileName(QWidget* owner, const TFileDialogOptions& options, std::string& fileName) override {
        return RunFileDialog(owner, options, TFileDialogKind::Open, fileName);
    }
    bool SaveFileName(QWidget* owner, const TFileDialogOptions& options, std::string& fileName) override {
        return RunFileDialog(owner, options, TFileDialogKind::Save, fileName);
    }
    int ShowModal(QDialog& dialog) override { return dialog.exec(); }
};

TQtDialogs qtDialogs;
TPlatformDialogs* installed = nullptr;

}  // namespace

TPlatformDialogs& Dialogs() {
    return installed ? *installed : qtDialogs;
}

void SetDialogs(TPlatformDialogs* dialogs) {
    installed = dialogs;
}

std::vector<std::string> QtNameFilters(const std::string& filter) {
    // "A|a|B|b": descriptions and patterns alternate.
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string::npos)
            bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    std::vector<std::string> result;
    for (size_t i = 0; i < parts.size(); i += 2) {
        if (parts[i].empty() && i + 1 >= parts.size())
            break;
        const std::string patterns = QtPatterns(i + 1 < parts.size() ? parts[i + 1] : std::string());
        result.push_back(parts[i] + " (" + patterns + ")");
    }
    return result;
}

bool HasExtension(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    const size_t base = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = fileName.rfind('.');
    return dot != std::string::npos && dot > base;
}

std::string WithDefaultExtension(const std::string& chosen, const std::string& defaultExtension,
                                 TFileDialogKind kind, bool existsAsChosen) {
    if (chosen.empty() || defaultExtension.empty() || chosen.back() == '/' || HasExtension(chosen))
        return chosen;
    if (kind == TFileDialogKind::Open && existsAsChosen)
        return chosen;
    return chosen + "." + defaultExtension;
}

std::string FolderOf(const std::string& fileName) {
    const size_t slash = fileName.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return slash == 0 ? std::string("/") : fileName.substr(0, slash);
}

int MessageBoxMinimumWidth(const std::string& caption) {
    QFont title = QApplication::font();
    title.setBold(true);
    return QFontMetrics(title).horizontalAdvance(QString::fromStdString(caption)) + kTitleBarAllowance;
}

void ConfigureMessageBox(QMessageBox& box, const std::string& text, const std::string& caption,
                         TMessageIcon icon) {
    box.setIcon(QtIcon(icon));
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    box.setStandardButtons(QMessageBox::Ok);
    // The box sizes itself to its text and buttons and ignores a minimum width of its
    // own; a spacer across its grid holds it open instead.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(
            new QSpacerItem(MessageBoxMinimumWidth(caption), 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
            grid->rowCount(), 0, 1, grid->columnCount());
}

std::string FileDialogStartFolder(const std::string& lastFolder) {
    if (!lastFolder.empty())
        return lastFolder;
    // A game started from a menu may run in a folder of the system, where a save fails.
    const std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (cwd && ::faccessat(AT_FDCWD, cwd.get(), W_OK | X_OK, AT_EACCESS) == 0)
        return cwd.get();
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* account = ::getpwuid(::geteuid()); account != nullptr && account->pw_dir != nullptr)
        return account->pw_dir;
    return "/";
}

void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogOptions& options, TFileDialogKind kind) {
    dialog.setWindowTitle(QString::fromStdString(options.title));
    // The desktop's own dialog would read the patterns its own way.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(kind == TFileDialogKind::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // The open dialog accepts names of files that do not exist; the save dialog
    // replaces an existing file without asking. The default extension is added by
    // WithDefaultExtension, not by Qt, which would add it to an existing name too.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    // The list shows the descriptions as written; the patterns Qt filters with follow them.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    QStringList filters;
    for (const std::string& filter : QtNameFilters(options.filter))
        filters.append(QString::fromStdString(filter));
    dialog.setNameFilters(filters);
    if (options.filterIndex >= 1 && options.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[options.filterIndex - 1]);
    // Qt would otherwise start in the folder of whichever file dialog ran last.
    dialog.setDirectory(options.initialDir.empty() ? QDir::currentPath()
                                                   : QFile::decodeName(options.initialDir.c_str()));
}
