// The end of a table reported with the result pictures: the result dialog when they
// were read at start-up, message boxes when they were not.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <unistd.h>

#include <QImage>
#include <QPixmap>

#include "game/game_rules.h"
#include "game/quillory_main_form.h"
#include "game/result_form.h"
#include "tests/support/bmp_test_files.h"
#include "tests/support/files.h"
#include "tests/support/recording_dialogs.h"

namespace {

namespace fs = std::filesystem;

using kest::test::WriteWholeFile;

// A plain 24-bit BMP file of width x height in one colour (blue, green, red bytes).
void WriteBmp(const fs::path& file, int width, int height, uint8_t b, uint8_t g, uint8_t r) {
    TBmpPicture picture;
    picture.width = width;
    picture.height = height;
    picture.palette = {uint32_t{r} | uint32_t{g} << 8 | uint32_t{b} << 16};
    picture.index.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    WriteWholeFile(file, WriteBmpVariant(TBmpVariant{.name = "plain"}, picture));
}

// Runs a test in a fresh working directory and goes back afterwards.
class TWorkingDirectory {
public:
    TWorkingDirectory() : previous_(fs::current_path()) {
        path_ = fs::temp_directory_path() / ("quillory-outcome-" + std::to_string(::getpid()));
        fs::remove_all(path_);
        fs::create_directories(path_ / "images");
        fs::current_path(path_);
    }
    ~TWorkingDirectory() {
        fs::current_path(previous_);
        fs::remove_all(path_);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path previous_;
    fs::path path_;
};

class OutcomeDialogTest : public ::testing::Test {
protected:
    TRecordingDialogs dialogs;
    TResultForm result;
    std::unique_ptr<TQuilloryMainForm> form;
    QDialog* shown = nullptr;
    QSize shownSize;
    QString shownName, shownDescription;

    void SetUp() override {
        ResultForm = &result;
        dialogs.onShowModal = [this](QDialog& dialog) {
            shown = &dialog;
            shownSize = dialog.size();
            shownName = dialog.accessibleName();
            shownDescription = dialog.accessibleDescription();
        };
    }
    void TearDown() override { ResultForm = nullptr; }

    void MakeForm() { form = std::make_unique<TQuilloryMainForm>(); }

    // Two cells side by side: moving right wins. A third, far cell makes it a loss.
    void PlayEndgame(bool lose) {
        TQuilloryTable table;
        table.SetCell(5, 5, true);
        table.SetCell(6, 5, true);
        if (lose)
            table.SetCell(9, 9, true);
        table.x = 5;
        table.y = 5;
        form->currentTable = table;
        form->ResetPlay();
        form->FormKeyDown(keys::kRight, Qt::NoModifier);
    }
};

TEST_F(OutcomeDialogTest, PicturesAreReadFromTheWorkingDirectoryAtStart) {
    TWorkingDirectory directory;
    WriteBmp(directory.Path() / "images" / "success.bmp", 100, 80, 0, 0xFF, 0);
    MakeForm();
    EXPECT_TRUE(form->successPicture.loaded);
    EXPECT_EQ(form->successPicture.width, 100);
    EXPECT_EQ(form->successPicture.height, 80);
    EXPECT_FALSE(form->lostPicture.loaded);
}

TEST_F(OutcomeDialogTest, WinWithPictureShowsTheResultDialogThenTheNextTable) {
    TWorkingDirectory directory;
    WriteBmp(directory.Path() / "images" / "success.bmp", 100, 80, 0, 0xFF, 0);
    MakeForm();
    PlayEndgame(false);
    EXPECT_EQ(dialogs.modalShows, 1);
    EXPECT_EQ(shown, &result);
    EXPECT_EQ(shownSize, QSize(108, 117));
    EXPECT_EQ(shownName, QStringLiteral("Table 0 won"));
    EXPECT_EQ(shownDescription, QStringLiteral("You have won table 0."));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(result.picture.width, 100);
    EXPECT_EQ(form->tableIndex, 1);
    EXPECT_EQ(form->currentTable, form->tables[1]);
    EXPECT_TRUE(form->history.empty());
}

TEST_F(OutcomeDialogTest, LossWithPictureShowsTheResultDialogAndKeepsTheBoard) {
    TWorkingDirectory directory;
    WriteBmp(directory.Path() / "images" / "lost.bmp", 40, 30, 0, 0, 0xFF);
    MakeForm();
    form->mShowTimeClick();
    PlayEndgame(true);
    EXPECT_EQ(dialogs.modalShows, 1);
    EXPECT_EQ(shown, &result);
    EXPECT_EQ(shownSize, QSize(48, 67));
    EXPECT_EQ(shownName, QStringLiteral("Table 0 lost"));
    EXPECT_EQ(shownDescription, QStringLiteral("You have lost table 0 in 00:00."));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->tableIndex, 0);
    EXPECT_EQ(form->currentTable.x, 6);
    EXPECT_EQ(form->history.size(), 1u);
}

TEST_F(OutcomeDialogTest, TopDownPicturesGiveDialogsOfTheirRealHeightUpright) {
    TWorkingDirectory directory;
    const TBmpVariant topDown{.name = "top down", .bits = 24, .topDown = true};
    const TBmpPicture won = MakeBmpPicture(topDown, 30, 20);
    const TBmpPicture lost = MakeBmpPicture(topDown, 12, 7);
    WriteWholeFile(directory.Path() / "images" / "success.bmp", WriteBmpVariant(topDown, won));
    WriteWholeFile(directory.Path() / "images" / "lost.bmp", WriteBmpVariant(topDown, lost));
    MakeForm();
    QImage shot;
    dialogs.onShowModal = [&](QDialog& dialog) {
        shownSize = dialog.size();
        shot = dialog.grab().toImage();
    };
    auto expectUpright = [&](const TBmpPicture& intended) {
        ASSERT_EQ(shot.size(), QSize(intended.width + 8, intended.height + 37));
        for (int y = 0; y < intended.height; ++y)
            for (int x = 0; x < intended.width; ++x) {
                const uint32_t c = IntendedColour(topDown, intended, x, y);
                ASSERT_EQ(shot.pixel(4 + x, 4 + y), qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF))
                    << x << "," << y;
            }
    };
    PlayEndgame(true);
    EXPECT_EQ(dialogs.modalShows, 1);
    expectUpright(lost);
    PlayEndgame(true);  // a second loss shows the dialog again
    EXPECT_EQ(dialogs.modalShows, 2);
    PlayEndgame(false);
    EXPECT_EQ(dialogs.modalShows, 3);
    EXPECT_EQ(shownSize, QSize(38, 57));
    expectUpright(won);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->tableIndex, 1);
    EXPECT_EQ(form->currentTable, form->tables[1]);
}

TEST_F(OutcomeDialogTest, PicturesWithAZeroSideCountAsMissing) {
    TWorkingDirectory directory;
    WriteBmp(directory.Path() / "images" / "success.bmp", 0, 5, 0, 0xFF, 0);
    WriteBmp(directory.Path() / "images" / "lost.bmp", 5, 0, 0, 0xFF, 0);
    MakeForm();
    EXPECT_FALSE(form->successPicture.loaded);
    EXPECT_FALSE(form->lostPicture.loaded);
    PlayEndgame(true);
    PlayEndgame(false);
    EXPECT_EQ(dialogs.modalShows, 0);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(form->tableIndex, 1);
}

TEST_F(OutcomeDialogTest, MissingPicturesFallBackToMessageBoxes) {
    TWorkingDirectory directory;
    WriteBmp(directory.Path() / "images" / "lost.bmp", 40, 30, 0, 0, 0xFF);
    MakeForm();
    PlayEndgame(false);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Well done...\nTry the next one.");
    EXPECT_EQ(dialogs.messages[0].caption, "Quillory");
    EXPECT_EQ(dialogs.modalShows, 0);
    EXPECT_EQ(form->tableIndex, 1);

    form->lostPicture.LoadFromFile("images/none.bmp", -1);
    ASSERT_FALSE(form->lostPicture.loaded);
    PlayEndgame(true);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, "You have lost!");
    EXPECT_EQ(dialogs.modalShows, 0);
}

TEST_F(OutcomeDialogTest, CorruptPictureFileCountsAsMissing) {
    TWorkingDirectory directory;
    WriteBmp(directory.Path() / "images" / "success.bmp", 100, 80, 0, 0xFF, 0);
    fs::resize_file(directory.Path() / "images" / "success.bmp", 60);
    MakeForm();
    EXPECT_FALSE(form->successPicture.loaded);
    PlayEndgame(false);
    EXPECT_EQ(dialogs.modalShows, 0);
    ASSERT_EQ(dialogs.messages.size(), 1u);
}

}  // namespace
