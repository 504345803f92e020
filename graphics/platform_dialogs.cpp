#include "graphics/platform_dialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon QtIcon(TMessageIcon icon) {
    switch (icon) {
    case TMessageIcon::Information: return QMessageBox::Information;
    case TMessageIcon::Exclamation: return QMessageBox::Warning;
    case TMessageIcon::Error: return QMessageBox::Critical;
    case TMessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// The description of the filterIndex-th pair, which Qt selects by its full text.
QString SelectedFilter(const std::string& filters, int filterIndex) {
    const QStringList list = QString::fromStdString(filters).split(QStringLiteral(";;"));
    if (filterIndex >= 1 && filterIndex <= list.size())
        return list[filterIndex - 1];
    return QString();
}

bool RunFileDialog(QWidget* owner, const TFileDialogOptions& options, QFileDialog::AcceptMode mode,
                   std::string& fileName) {
    QFileDialog dialog(owner, QString::fromStdString(options.title));
    dialog.setAcceptMode(mode);
    // The open dialog accepts names of files that do not exist; the save dialog
    // replaces an existing file without asking.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QString::fromStdString(options.defaultExtension));
    const std::string filters = QtNameFilters(options.filter);
    dialog.setNameFilters(QString::fromStdString(filters).split(QStringLiteral(";;")));
    dialog.selectNameFilter(SelectedFilter(filters, options.filterIndex));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().front().toStdString();
    return true;
}

class TQtDialogs final : public TPlatformDialogs {
public:
    void MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                    TMessageIcon icon) override {
        QMessageBox box(QtIcon(icon), QString::fromStdString(caption), QString::fromStdString(text),
                        QMessageBox::Ok, owner);
        box.exec();
    }
    bool OpenFileName(QWidget* owner, const TFileDialogOptions& options,
                      std::string& fileName) override {
        return RunFileDialog(owner, options, QFileDialog::AcceptOpen, fileName);
    }
    bool SaveFileName(QWidget* owner, const TFileDialogOptions& options,
                      std::string& fileName) override {
        return RunFileDialog(owner, options, QFileDialog::AcceptSave, fileName);
    }
    int ShowModal(QDialog& dialog) override { return dialog.exec(); }
};

TQtDialogs qtDialogs;
TPlatformDialogs* installed = nullptr;

}  // namespace

TPlatformDialogs& Dialogs() { return installed ? *installed : qtDialogs; }

void SetDialogs(TPlatformDialogs* dialogs) { installed = dialogs; }

std::string QtNameFilters(const std::string& filter) {
    // "A|a|B|b" -> "A;;B": Qt reads the patterns from the descriptions.
    std::string result;
    size_t start = 0;
    bool description = true;
    while (start <= filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string::npos)
            bar = filter.size();
        if (description) {
            if (!result.empty())
                result += ";;";
            result += filter.substr(start, bar - start);
        }
        description = !description;
        start = bar + 1;
    }
    return result;
}
