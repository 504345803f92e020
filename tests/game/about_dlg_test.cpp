// The about dialog: its form, the build stamp it shows, and how the menu opens it.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>

#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include "game/about_dlg.h"
#include "game/quillory_main_form.h"
#include "graphics/window_frame.h"
#include "tests/support/recording_dialogs.h"

namespace {

// Publishes a dialog through its global pointer for the length of a test.
template <typename T>
struct TPublished {
    explicit TPublished(T*& global) : global_(global) { global_ = &window; }
    ~TPublished() { global_ = nullptr; }
    T window;
    T*& global_;
};

// The widget that Tab moves to from `from`: the next one in the focus chain that takes
// focus by Tab and is not part of `from` itself.
QWidget* NextTabStop(QWidget& from) {
    for (QWidget* next = from.nextInFocusChain(); next != &from; next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) && next->isEnabled() && !from.isAncestorOf(next))
            return next;
    }
    return nullptr;
}

TEST(AboutDlgTest, FormHasItsSizeCaptionAndControls) {
    TAboutDlg dialog;
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.size(), QSize(274, 120));
    EXPECT_EQ(dialog.minimumSize(), QSize(274, 120));
    EXPECT_EQ(dialog.maximumSize(), QSize(274, 120));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Quillory"));
    EXPECT_EQ(dialog.font().family(), QStringLiteral("DejaVu Sans Condensed"));
    EXPECT_EQ(dialog.font().pixelSize(), 10);
    EXPECT_EQ(dialog.font(), WindowFont());
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));

    EXPECT_EQ(dialog.ui.Memo1->geometry(), QRect(0, 0, 273, 81));
    EXPECT_EQ(dialog.ui.Label1->geometry(), QRect(0, 88, 48, 13));
    EXPECT_EQ(dialog.ui.Label1->text(), QStringLiteral("Last build:"));
    EXPECT_EQ(dialog.ui.lbLastBuild->pos(), QPoint(56, 88));
    EXPECT_EQ(dialog.ui.btnClose->geometry(), QRect(192, 88, 75, 25));
    EXPECT_EQ(dialog.ui.btnClose->text(), QStringLiteral("Close"));
    // The credit text takes the focus first.
    EXPECT_EQ(dialog.focusWidget(), dialog.ui.Memo1);
    EXPECT_EQ(NextTabStop(*dialog.ui.Memo1), dialog.ui.btnClose);
    EXPECT_EQ(NextTabStop(*dialog.ui.btnClose), dialog.ui.Memo1);
}

TEST(AboutDlgTest, CreditTextIsFiveReadOnlyLines) {
    TAboutDlg dialog;
    QPlainTextEdit& memo = *dialog.ui.Memo1;
    EXPECT_TRUE(memo.isReadOnly());
    ASSERT_EQ(memo.document()->blockCount(), 5);
    for (QTextBlock line = memo.document()->begin(); line.isValid(); line = line.next())
        EXPECT_FALSE(line.text().trimmed().isEmpty()) << line.blockNumber();
}

TEST(AboutDlgTest, EveryTextShowsWholeWithoutScrollBars) {
    TAboutDlg dialog;
    dialog.ShowLastBuild();
    dialog.show();
    QApplication::processEvents();
    const QLabel& label = *dialog.ui.Label1;
    EXPECT_LE(label.fontMetrics().horizontalAdvance(label.text()), label.width());
    EXPECT_LE(label.fontMetrics().height(), label.height());
    const QLabel& stamp = *dialog.ui.lbLastBuild;
    EXPECT_LE(stamp.geometry().right(), dialog.ui.btnClose->geometry().left());

    QPlainTextEdit& memo = *dialog.ui.Memo1;
    ASSERT_EQ(memo.document()->blockCount(), 5);
    for (QTextBlock line = memo.document()->begin(); line.isValid(); line = line.next()) {
        ASSERT_NE(line.layout(), nullptr);
        EXPECT_EQ(line.layout()->lineCount(), 1) << line.text().toStdString();
        // The caret after the line's last character lies inside the visible area.
        QTextCursor end(line);
        end.movePosition(QTextCursor::EndOfBlock);
        const QRect caret = memo.cursorRect(end);
        EXPECT_GE(caret.top(), 0) << line.text().toStdString();
        EXPECT_LT(caret.right(), memo.viewport()->width()) << line.text().toStdString();
        EXPECT_LT(caret.bottom(), memo.viewport()->height()) << line.text().toStdString();
    }
    EXPECT_FALSE(memo.verticalScrollBar()->isVisible());
    EXPECT_FALSE(memo.horizontalScrollBar()->isVisible());
}

TEST(AboutDlgTest, BuildStampIsCompilerDateAndTimeJoinedByOneSpace) {
    const std::string stamp = BuildStamp();
    EXPECT_NE(stamp, "???");
    // "Mmm dd yyyy hh:mm:ss", the day padded with a space below 10.
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"([A-Z][a-z]{2} [ 123]\d \d{4} \d{2}:\d{2}:\d{2})")))
        << stamp;
}

TEST(AboutDlgTest, LabelReadsQuestionMarksUntilFirstShown) {
    TRecordingDialogs dialogs;
    TQuilloryMainForm form;
    TPublished<TAboutDlg> about(AboutDlg);
    EXPECT_EQ(about.window.ui.lbLastBuild->text(), QStringLiteral("???"));

    QString labelWhileShown;
    QDialog* shown = nullptr;
    dialogs.onShowModal = [&](QDialog& dialog) {
        shown = &dialog;
        labelWhileShown = about.window.ui.lbLastBuild->text();
    };
    form.ui.mAbout->trigger();
    EXPECT_EQ(dialogs.modalShows, 1);
    EXPECT_EQ(shown, &about.window);
    EXPECT_EQ(labelWhileShown.toStdString(), BuildStamp());
    // Sized to its text: the whole stamp is visible.
    const QLabel& label = *about.window.ui.lbLastBuild;
    EXPECT_EQ(label.pos(), QPoint(56, 88));
    EXPECT_GE(label.width(), label.fontMetrics().horizontalAdvance(label.text()));
    EXPECT_TRUE(dialogs.messages.empty());

    // Every later showing shows the same stamp again.
    form.mAboutClick();
    EXPECT_EQ(dialogs.modalShows, 2);
    EXPECT_EQ(label.text().toStdString(), BuildStamp());
}

TEST(AboutDlgTest, AboutCommandWithoutTheDialogDoesNothing) {
    TRecordingDialogs dialogs;
    TQuilloryMainForm form;
    ASSERT_EQ(AboutDlg, nullptr);
    form.mAboutClick();
    EXPECT_EQ(dialogs.modalShows, 0);
}

TEST(AboutDlgTest, CloseButtonClosesWithResultOk) {
    TAboutDlg dialog;
    dialog.show();
    QApplication::processEvents();
    ASSERT_TRUE(dialog.isVisible());
    dialog.setResult(QDialog::Rejected);
    dialog.ui.btnClose->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

}  // namespace
