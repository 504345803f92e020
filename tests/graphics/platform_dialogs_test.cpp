// The file dialogs' filters, default extension and starting folder, headless.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QListView>
#include <QMessageBox>

#include "graphics/platform_dialogs.h"

namespace {

using Strings = std::vector<std::string>;

TEST(PlatformDialogsTest, FilterListsBecomeQtNameFilters) {
    EXPECT_EQ(QtNameFilters("Text files (*.txt)|*.txt|Any file (*.*)|*.*"),
              (Strings{"Text files (*.txt) (*.txt)", "Any file (*.*) (*)"}));
    EXPECT_EQ(QtNameFilters("Text files (*.txt)|*.txt"), (Strings{"Text files (*.txt) (*.txt)"}));
    EXPECT_EQ(QtNameFilters("Tracks|*.txt;*.trk; *.*"), (Strings{"Tracks (*.txt *.trk *)"}));
    EXPECT_EQ(QtNameFilters("Everything"), (Strings{"Everything (*)"}));
    EXPECT_EQ(QtNameFilters("A|a.*|"), (Strings{"A (a.*)"}));
    EXPECT_EQ(QtNameFilters(""), Strings{});
}

TEST(PlatformDialogsTest, DefaultExtensionOnlyWhereTheNameNeedsIt) {
    struct TCase {
        std::string chosen;
        TFileDialogKind kind;
        bool exists;
        std::string expected;
    };
    const TFileDialogKind open = TFileDialogKind::Open;
    const TFileDialogKind save = TFileDialogKind::Save;
    for (const TCase& c : std::vector<TCase>{
             {"/home/me/mytrack", open, true, "/home/me/mytrack"},
             {"/home/me/mytrack", open, false, "/home/me/mytrack.txt"},
             {"/home/me/mytrack.dat", open, false, "/home/me/mytrack.dat"},
             {"/home/me/mytrack", save, true, "/home/me/mytrack.txt"},
             {"/home/me/mytrack", save, false, "/home/me/mytrack.txt"},
             {"/home/me/mytrack.txt", save, false, "/home/me/mytrack.txt"},
             {"/home/me/my.track", save, false, "/home/me/my.track"},
             {"/home/v1.2/mytrack", save, false, "/home/v1.2/mytrack.txt"},
             {"/home/me/.hidden", save, false, "/home/me/.hidden.txt"},
             {"mytrack", save, false, "mytrack.txt"},
             {"/home/me/", save, false, "/home/me/"},
             {"", save, false, ""},
         }) {
        EXPECT_EQ(WithDefaultExtension(c.chosen, "txt", c.kind, c.exists), c.expected)
            << c.chosen << (c.kind == open ? " open" : " save") << (c.exists ? " exists" : "");
    }
    EXPECT_EQ(WithDefaultExtension("/home/me/mytrack", "", TFileDialogKind::Save, false), "/home/me/mytrack");
}

TEST(PlatformDialogsTest, FolderOfAName) {
    EXPECT_EQ(FolderOf("/home/me/t.txt"), "/home/me");
    EXPECT_EQ(FolderOf("/t.txt"), "/");
    EXPECT_EQ(FolderOf("t.txt"), "");
    EXPECT_EQ(FolderOf("tracks/t.txt"), "tracks");
}

// The names the dialog's file list shows, once its model has read the folder.
QStringList ListedNames(QFileDialog& dialog, int expected) {
    QListView* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    if (!list)
        return {};
    QStringList names;
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        names.clear();
        const QModelIndex root = list->rootIndex();
        for (int row = 0; row < list->model()->rowCount(root); ++row)
            names.append(list->model()->index(row, 0, root).data().toString());
    } while (names.size() < expected && clock.elapsed() < 5000);
    names.sort();
    return names;
}

TEST(PlatformDialogsTest, AnyFileListsNamesWithoutADotInTheChosenFolder) {
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("dialog_folder_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "mytrack") << "5 5\n";
    std::ofstream(folder / "saved.txt") << "5 5\n";

    QFileDialog dialog;
    const TFileDialogOptions options{"Open track", "txt", "Text files (*.txt)|*.txt|Any file (*.*)|*.*", 1,
                                     folder.string()};
    ConfigureFileDialog(dialog, options, TFileDialogKind::Open);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Open track"));
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(QDir(dialog.directory()).canonicalPath(),
              QString::fromStdString(std::filesystem::canonical(folder).string()));
    // The list of filters shows the descriptions as written.
    QComboBox* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), 2);
    EXPECT_EQ(types->itemText(0), QStringLiteral("Text files (*.txt)"));
    EXPECT_EQ(types->itemText(1), QStringLiteral("Any file (*.*)"));
    EXPECT_EQ(types->currentIndex(), 0);

    EXPECT_EQ(ListedNames(dialog, 1), QStringList{QStringLiteral("saved.txt")});
    dialog.selectNameFilter(dialog.nameFilters()[1]);
    EXPECT_EQ(ListedNames(dialog, 2), (QStringList{QStringLiteral("mytrack"), QStringLiteral("saved.txt")}));

    std::filesystem::remove_all(folder);
}

TEST(PlatformDialogsTest, MessageBoxesAreWideEnoughForTheirCaption) {
    EXPECT_GT(MessageBoxMinimumWidth("Quillory"), MessageBoxMinimumWidth("Q") + 20);
    for (const char* caption : {"Quillory", "A caption longer than the short text in the box"}) {
        QMessageBox box;
        ConfigureMessageBox(box, "You have lost!", caption, TMessageIcon::None);
        box.show();
        QApplication::processEvents();
        EXPECT_GE(box.width(), MessageBoxMinimumWidth(caption)) << caption;
        EXPECT_EQ(box.windowTitle().toStdString(), caption);
        EXPECT_EQ(box.text(), QStringLiteral("You have lost!"));
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
        box.hide();
    }
}

TEST(PlatformDialogsTest, SaveDialogStartsInTheWorkingDirectoryWithoutAFolder) {
    QFileDialog dialog;
    const TFileDialogOptions options{"Save track", "txt", "Text files (*.txt)|*.txt", 1, {}};
    ConfigureFileDialog(dialog, options, TFileDialogKind::Save);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog.defaultSuffix(), QString());
    EXPECT_EQ(QDir(dialog.directory()).canonicalPath(), QDir::current().canonicalPath());
}

}  // namespace
