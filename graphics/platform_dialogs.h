// Message boxes, file dialogs and modal showing, behind an interface that tests replace.
#pragma once

#include <string>
#include <vector>

class QDialog;
class QFileDialog;
class QMessageBox;
class QWidget;

// The icon a message box shows.
enum class TMessageIcon { None, Information, Exclamation, Error };

// What a file dialog offers: title, default extension, and a filter list of
// description|pattern pairs separated by bars ("Text files (*.txt)|*.txt").
struct TFileDialogOptions {
    std::string title;
    std::string defaultExtension;
    std::string filter;
    int filterIndex = 1;     // 1-based, the filter the dialog starts with
    std::string initialDir;  // the folder the dialog starts in; the working directory when empty
};

// Which of the two file dialogs.
enum class TFileDialogKind { Open, Save };

// The modal user interface the game calls. The installed implementation shows
// real Qt dialogs; tests install one that records what it was asked and answers.
class TPlatformDialogs {
public:
    virtual ~TPlatformDialogs() = default;
    // A modal box with one OK button; returns when it is closed.
    virtual void MessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                            TMessageIcon icon) = 0;
    // Asks for a file to open; true with `fileName` set when confirmed, false when cancelled.
    virtual bool OpenFileName(QWidget* owner, const TFileDialogOptions& options, std::string& fileName) = 0;
    // Asks for a file to save to; true with `fileName` set when confirmed.
    virtual bool SaveFileName(QWidget* owner, const TFileDialogOptions& options, std::string& fileName) = 0;
    // Shows `dialog` modally and returns its result when it is closed.
    virtual int ShowModal(QDialog& dialog) = 0;
};

// The implementation in use; the Qt one unless a test installed another.
TPlatformDialogs& Dialogs();

// Installs `dialogs` (not owned) in place of the Qt implementation; null restores it.
void SetDialogs(TPlatformDialogs* dialogs);

// Converts a bar-separated filter list into Qt name filters, one per pair: the
// description followed by its patterns in parentheses, "Any file (*.*) (*)". Qt takes
// the patterns from the last parentheses; a dialog that hides filter details shows the
// description alone. "*.*" becomes "*": in a filter list it means every file, also one
// whose name has no dot; patterns separated by ';' are separated by spaces. A description without its pattern
// gets "*". Throws only std::bad_alloc.
std::vector<std::string> QtNameFilters(const std::string& filter);

// True when the last component of `fileName` has an extension: a dot after its first
// character. Throws nothing.
bool HasExtension(const std::string& fileName);

// The name a confirmed file dialog returns for the name `chosen`: with "." and
// `defaultExtension` appended when it has no extension and, for the open dialog, no
// file of that name exists (`existsAsChosen`); `chosen` unchanged otherwise and when
// either is empty. Throws only std::bad_alloc.
std::string WithDefaultExtension(const std::string& chosen, const std::string& defaultExtension,
                                 TFileDialogKind kind, bool existsAsChosen);

// The folder of `fileName`: everything before its last '/', "/" for a file in the root,
// empty for a name without a folder. Throws only std::bad_alloc.
std::string FolderOf(const std::string& fileName);

// The least width of a message box captioned `caption`: the caption in a bold title
// font with room for a title bar's icon and buttons, so that the desktop need not cut
// it short. Never throws except for exhausted memory.
int MessageBoxMinimumWidth(const std::string& caption);

// Sets up `box` (not yet shown) with `text`, `caption`, `icon` and one OK button, at
// least MessageBoxMinimumWidth(caption) wide. Never throws except for exhausted memory.
void ConfigureMessageBox(QMessageBox& box, const std::string& text, const std::string& caption,
                         TMessageIcon icon);

// The folder a file dialog starts in: `lastFolder` when it is not empty (the folder of
// the last file chosen in this run); otherwise the working directory when this process
// may create files in it; otherwise the user's home folder ($HOME, else the account's).
// Throws only std::bad_alloc.
std::string FileDialogStartFolder(const std::string& lastFolder);

// Sets up `dialog` (not yet shown) from `options`: title, mode, filters with the
// starting one, starting folder; Qt's own dialog rather than the desktop's, so that
// the filters mean the same everywhere. Never throws except for exhausted memory.
void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogOptions& options, TFileDialogKind kind);
