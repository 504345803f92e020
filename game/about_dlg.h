// The about dialog: a short credit text and the date and time this program was built.
#pragma once

#include <string>

#include <QDialog>

#include "ui_about_dlg.h"

class TAboutDlg : public QDialog {
    Q_OBJECT
public:
    // Builds the dialog hidden, from its form; "???" stands for the build until it is first shown.
    explicit TAboutDlg(QWidget* parent = nullptr);

    // Puts the build date and time into lbLastBuild, resizing the label to its text.
    void ShowLastBuild();

    // Closes the dialog with the result OK.
    void btnCloseClick();

    Ui::TAboutDlg ui;

protected:
    // Centres the dialog on the screen each time it appears.
    void showEvent(QShowEvent* event) override;
};

// The about dialog of the running program; owned by the program entry, null before
// it is created and after it is destroyed.
extern TAboutDlg* AboutDlg;

// The compiler's date text and time text of this build joined by one space, as in
// "Feb 17 2014 17:23:21". Never throws except for exhausted memory.
std::string BuildStamp();
