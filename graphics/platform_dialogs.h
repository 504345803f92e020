// Message boxes, file dialogs and modal showing, behind an interface that tests replace.
#pragma once

#include <string>

class QDialog;
class QWidget;

// The icon a message box shows.
enum class TMessageIcon { None, Information, Exclamation, Error };

// What a file dialog offers: title, default extension, and a filter list of
// description|pattern pairs separated by bars ("Text files (*.txt)|*.txt").
struct TFileDialogOptions {
    std::string title;
    std::string defaultExtension;
    std::string filter;
    int filterIndex = 1;  // 1-based, the filter the dialog starts with
};

// The modal user interface the game calls. The installed implementation shows
// real Qt dialogs; tests install one that records what it was asked and answers.
class TPlatformDialogs {
public:
    virtual ~TPlatformDialogs() = default;
    // A modal box with one OK button; returns when it is closed.
    virtual void MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                            TMessageIcon icon) = 0;
    // Asks for a file to open; true with `fileName` set when confirmed, false when cancelled.
    virtual bool OpenFileName(QWidget* owner, const TFileDialogOptions& options,
                              std::string& fileName) = 0;
    // Asks for a file to save to; true with `fileName` set when confirmed.
    virtual bool SaveFileName(QWidget* owner, const TFileDialogOptions& options,
                              std::string& fileName) = 0;
    // Shows `dialog` modally and returns its result when it is closed.
    virtual int ShowModal(QDialog& dialog) = 0;
};

// The implementation in use; the Qt one unless a test installed another.
TPlatformDialogs& Dialogs();

// Installs `dialogs` (not owned) in place of the Qt implementation; null restores it.
void SetDialogs(TPlatformDialogs* dialogs);

// Converts a bar-separated filter list into Qt's ";;"-separated name filters.
std::string QtNameFilters(const std::string& filter);
