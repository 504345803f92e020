// The message loop runs until the main window closes, whichever way it is closed,
// while the two dialogs stay hidden.
#include <gtest/gtest.h>

#include <functional>

#include <QApplication>
#include <QTimer>
#include <QWindow>

#include "game/about_dlg.h"
#include "game/quillory_main_form.h"
#include "game/result_form.h"
#include "tests/support/recording_dialogs.h"

namespace {

struct TLoopResult {
    int exitCode = -1;
    bool timedOut = false;
};

// Shows a main window beside the hidden dialogs, runs the loop, and does `close`
// once the loop runs. A guard ends a loop that would not end by itself.
TLoopResult RunUntilClosed(const std::function<void(TQuilloryMainForm&)>& close) {
    TRecordingDialogs dialogs;
    TQuilloryMainForm form;
    TAboutDlg about;
    TResultForm result;
    form.show();
    TLoopResult outcome;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        outcome.timedOut = true;
        QApplication::exit(1);
    });
    guard.start(5000);
    QTimer::singleShot(0, &form, [&] { close(form); });
    outcome.exitCode = QApplication::exec();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(about.isVisible());
    EXPECT_FALSE(result.isVisible());
    return outcome;
}

TEST(MessageLoopTest, ExitCommandEndsTheLoop) {
    const TLoopResult outcome = RunUntilClosed([](TQuilloryMainForm& form) { form.ui.mExit->trigger(); });
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0);
}

TEST(MessageLoopTest, ClosingTheWindowFromItsTitleBarEndsTheLoop) {
    const TLoopResult outcome = RunUntilClosed([](TQuilloryMainForm& form) {
        ASSERT_NE(form.windowHandle(), nullptr);
        form.windowHandle()->close();
    });
    EXPECT_FALSE(outcome.timedOut);
    EXPECT_EQ(outcome.exitCode, 0);
}

TEST(MessageLoopTest, LoopGoesOnWhileOnlyADialogCloses) {
    TRecordingDialogs dialogs;
    TQuilloryMainForm form;
    TAboutDlg about;
    form.show();
    about.show();
    bool stillRunning = false;
    QTimer::singleShot(0, &form, [&] { about.ui.btnClose->click(); });
    QTimer::singleShot(50, &form, [&] {
        stillRunning = true;
        form.close();
    });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QApplication::exit(1); });
    guard.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(stillRunning);
}

}  // namespace
