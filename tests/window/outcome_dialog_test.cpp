// The end of a table reported with the result pictures: the result dialog when they
// were read at start-up, message boxes when they were not.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <unistd.h>

#include "game/game_rules.h"
#include "game/quillory_main_form.h"
#include "game/result_form.h"
#include "recording_dialogs.h"

namespace {

namespace fs = std::filesystem;

// A plain 24-bit BMP file of width x height in one colour (blue, green, red bytes).
void WriteBmp(const fs::path& file, int width, int height, uint8_t b, uint8_t g, uint8_t r) {
    const int stride = (width * 3 + 3) / 4 * 4;
    const uint32_t pixels = static_cast<uint32_t>(stride * height);
    std::vector<uint8_t> bytes;
    auto u16 = [&](uint32_t v) { bytes.push_back(v & 0xFF); bytes.push_back((v >> 8) & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    bytes.push_back('B');
    bytes.push_back('M');
    u32(54 + pixels);
    u32(0);
    u32(54);
    u32(40);
    u32(static_cast<uint32_t>(width));
    u32(static_cast<uint32_t>(height));
    u16(1);
    u16(24);
    u32(0);
    u32(pixels);
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bytes.push_back(b);
            bytes.push_back(g);
            bytes.push_back(r);
        }
        for (int pad = width * 3; pad < stride; ++pad)
            bytes.push_back(0);
    }
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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

    void SetUp() override {
        ResultForm = &result;
        dialogs.onShowModal = [this](QDialog& dialog) {
            shown = &dialog;
            shownSize = dialog.size();
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
    PlayEndgame(true);
    EXPECT_EQ(dialogs.modalShows, 1);
    EXPECT_EQ(shown, &result);
    EXPECT_EQ(shownSize, QSize(48, 67));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form->tableIndex, 0);
    EXPECT_EQ(form->currentTable.x, 6);
    EXPECT_EQ(form->history.size(), 1u);
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
