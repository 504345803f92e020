#include "game/about_dlg.h"

#include <QPushButton>

#include "graphics/window_frame.h"

TAboutDlg* AboutDlg = nullptr;

std::string BuildStamp() {
    return __DATE__ " " __TIME__;
}

TAboutDlg::TAboutDlg(QWidget* parent) : QDialog(parent) {
    ui.setupUi(this);
    SetDialogFrame(*this);
    ui.lbLastBuild->adjustSize();
    ui.Memo1->setFocus();
    connect(ui.btnClose, &QPushButton::clicked, this, &TAboutDlg::btnCloseClick);
}

void TAboutDlg::ShowLastBuild() {
    ui.lbLastBuild->setText(QString::fromStdString(BuildStamp()));
    ui.lbLastBuild->adjustSize();
}

void TAboutDlg::showEvent(QShowEvent* event) {
    CentreOnScreen(*this);
    QDialog::showEvent(event);
}

void TAboutDlg::btnCloseClick() {
    done(QDialog::Accepted);
}
