// The main window as the player meets it: its menu, its frame and its client area.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include "game/quillory_main_form.h"
#include "graphics/client_area.h"
#include "graphics/window_frame.h"
#include "tests/support/recording_dialogs.h"

namespace {

struct TExpectedItem {
    const char* name;
    const char* caption;
};

// Names and captions of the actions of `menu`, in order.
std::vector<std::pair<std::string, std::string>> Items(const QList<QAction*>& actions) {
    std::vector<std::pair<std::string, std::string>> items;
    for (const QAction* action : actions) {
        const QObject* named = action->menu() ? static_cast<const QObject*>(action->menu()) : action;
        items.emplace_back(named->objectName().toStdString(), action->text().toStdString());
    }
    return items;
}

std::vector<std::pair<std::string, std::string>> Expected(std::initializer_list<TExpectedItem> list) {
    std::vector<std::pair<std::string, std::string>> items;
    for (const TExpectedItem& item : list)
        items.emplace_back(item.name, item.caption);
    return items;
}

class MainWindowTest : public ::testing::Test {
protected:
    TRecordingDialogs dialogs;
    std::unique_ptr<TQuilloryMainForm> form = std::make_unique<TQuilloryMainForm>();
    Ui::TQuilloryMainForm& ui = form->ui;

    void ShowAndSettle() {
        form->show();
        QApplication::processEvents();
    }
};

TEST_F(MainWindowTest, MenuBarHoldsTheFourMenusInOrder) {
    EXPECT_EQ(form->menuBar(), ui.MainMenu1);
    EXPECT_EQ(ui.MainMenu1->objectName(), QStringLiteral("MainMenu1"));
    EXPECT_EQ(
        Items(ui.MainMenu1->actions()),
        Expected({{"mFile", "&File"}, {"mGame", "&Game"}, {"mSettings", "&Settings"}, {"mHelp", "&Help"}}));
    for (const QAction* action : ui.MainMenu1->actions())
        EXPECT_TRUE(action->isVisible()) << action->text().toStdString();
}

TEST_F(MainWindowTest, EachMenuHoldsItsItemsWithTheirCaptions) {
    EXPECT_EQ(
        Items(ui.mFile->actions()),
        Expected({{"mOpenTrack", "Open track..."}, {"mSaveTrack", "Save track..."}, {"mExit", "E&xit"}}));
    EXPECT_EQ(
        Items(ui.mGame->actions()),
        Expected({{"mNext", "&Next    <N>"}, {"mAgain", "Again   <Space>"}, {"mPrev", "&Prev     <P>"}}));
    EXPECT_EQ(Items(ui.mSettings->actions()),
              Expected({{"mBackground", "Background"}, {"mShowTime", "Show time"}}));
    EXPECT_EQ(Items(ui.mBackground->actions()), Expected({{"Black1", "Black"}, {"Gray1", "Gray"}}));
    EXPECT_EQ(Items(ui.mHelp->actions()),
              Expected({{"mAbout", "About..."}, {"N1", ""}, {"mFindRoute", "Find route"}}));
    // The separator is a plain line: no "-" drawn beside it.
    EXPECT_TRUE(ui.N1->isSeparator());
    EXPECT_TRUE(ui.N1->iconText().isEmpty());
    EXPECT_FALSE(ui.mAbout->isSeparator());
}

TEST_F(MainWindowTest, OnlyTheBackgroundSubmenuIsHidden) {
    EXPECT_FALSE(ui.mBackground->menuAction()->isVisible());
    const QList<QAction*> everyItem = {ui.mOpenTrack, ui.mSaveTrack, ui.mExit,     ui.mNext,
                                       ui.mAgain,     ui.mPrev,      ui.mShowTime, ui.mAbout,
                                       ui.N1,         ui.mFindRoute, ui.Black1,    ui.Gray1};
    for (const QAction* action : everyItem)
        EXPECT_TRUE(action->isVisible()) << action->objectName().toStdString();
    // Shown, the Settings menu offers "Show time" alone.
    ShowAndSettle();
    ui.mSettings->popup(form->geometry().center());
    QApplication::processEvents();
    EXPECT_TRUE(ui.mSettings->isVisible());
    EXPECT_FALSE(ui.mBackground->isVisible());
    EXPECT_EQ(ui.mSettings->actionGeometry(ui.mBackground->menuAction()), QRect());
    EXPECT_TRUE(ui.mSettings->actionGeometry(ui.mShowTime).isValid());
    ui.mSettings->hide();
}

TEST_F(MainWindowTest, ShowTimeIsACheckMarkThatStartsOffAndFlipsPerClick) {
    EXPECT_TRUE(ui.mShowTime->isCheckable());
    EXPECT_FALSE(ui.mShowTime->isChecked());
    ui.mShowTime->trigger();
    EXPECT_TRUE(ui.mShowTime->isChecked());
    ui.mShowTime->trigger();
    EXPECT_FALSE(ui.mShowTime->isChecked());
    form->mShowTimeClick();
    EXPECT_TRUE(ui.mShowTime->isChecked());
    // No other item carries a check mark.
    for (const QAction* action : {ui.mNext, ui.mAgain, ui.mPrev, ui.Black1, ui.Gray1, ui.mAbout})
        EXPECT_FALSE(action->isCheckable()) << action->objectName().toStdString();
}

TEST_F(MainWindowTest, MenuCommandsReachTheirHandlers) {
    ui.mNext->trigger();
    EXPECT_EQ(form->tableIndex, 1);
    ui.mPrev->trigger();
    ui.mPrev->trigger();
    EXPECT_EQ(form->tableIndex, 49);
    form->currentTable.x = 0;
    ui.mAgain->trigger();
    EXPECT_EQ(form->currentTable, form->tables[49]);
}

TEST_F(MainWindowTest, ClientAreaIsExactlyTheBoardBelowTheMenuBar) {
    ShowAndSettle();
    ASSERT_NE(form->clientArea, nullptr);
    EXPECT_EQ(form->centralWidget(), form->clientArea);
    EXPECT_EQ(form->clientArea->size(), QSize(450, 300));
    const QRect menu = form->menuBar()->geometry();
    EXPECT_EQ(menu.top(), 0);
    EXPECT_EQ(form->clientArea->geometry(), QRect(0, menu.bottom() + 1, 450, 300));
    EXPECT_EQ(form->size(), QSize(450, menu.height() + 300));
}

TEST_F(MainWindowTest, FrameIsFixedWithCloseAndHelpButtonsOnly) {
    ShowAndSettle();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quillory"));
    EXPECT_EQ(form->minimumSize(), form->size());
    EXPECT_EQ(form->maximumSize(), form->size());
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::Window));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowContextHelpButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    // A request to resize is refused.
    form->resize(640, 480);
    QApplication::processEvents();
    EXPECT_EQ(form->clientArea->size(), QSize(450, 300));
    EXPECT_EQ(form->size(), form->minimumSize());
}

TEST_F(MainWindowTest, WindowIsCentredWithButtonFaceAndSmallSansFont) {
    ShowAndSettle();
    const QRect screen = form->screen()->availableGeometry();
    // Centred when built, by the window's own size: off by no more than its frame.
    const QRect window = form->geometry();
    const QRect frame = form->frameGeometry();
    const int slackX = (frame.width() - window.width()) / 2 + 1;
    const int slackY = (frame.height() - window.height()) / 2 + 1;
    EXPECT_LE(std::abs(window.center().x() - screen.center().x()), slackX);
    EXPECT_LE(std::abs(window.center().y() - screen.center().y()), slackY);
    // Centred again once shown, by its frame.
    CentreOnScreen(*form);
    QApplication::processEvents();
    EXPECT_LE(std::abs(form->frameGeometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(form->frameGeometry().center().y() - screen.center().y()), 1);
    EXPECT_EQ(form->palette().color(QPalette::Window), form->palette().color(QPalette::Button));
    EXPECT_TRUE(form->autoFillBackground());
    EXPECT_EQ(form->font().family(), QStringLiteral("DejaVu Sans Condensed"));
    EXPECT_EQ(form->font().pixelSize(), 10);
    EXPECT_EQ(form->font(), WindowFont());
    // The family's own narrow face, found on this system, not the regular one narrowed.
    EXPECT_EQ(QFontInfo(form->font()).family(), QStringLiteral("DejaVu Sans Condensed"));
    EXPECT_EQ(form->font().stretch(), QFont::AnyStretch);
    EXPECT_FALSE(form->font().bold());
    EXPECT_FALSE(form->font().italic());
}

TEST_F(MainWindowTest, ExitClosesTheWindow) {
    ShowAndSettle();
    ASSERT_TRUE(form->isVisible());
    ui.mExit->trigger();
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
