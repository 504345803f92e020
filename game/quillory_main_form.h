// The main window: owns the game state, turns events into game operations, and draws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QMainWindow>
#include <QTimer>

#include "game/quillory_table.h"
#include "graphics/mem_bitmap.h"
#include "graphics/platform_dialogs.h"
#include "route/route_finder.h"
#include "ui_quillory_main_form.h"

class TClientArea;

class TQuilloryMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TQuilloryMainForm(QWidget* parent = nullptr);
    ~TQuilloryMainForm() override;

    // Events.
    void FormKeyDown(uint16_t key, Qt::KeyboardModifiers shift);
    // A left click at (x, y) of the client area: on a cell next to the player, the arrow
    // key towards it; anywhere else nothing.
    void FormMouseDown(int x, int y);
    void FormPaint(TDeviceContext& canvas);
    void FormShow();
    void TimerTimer();

    // Menu commands.
    void mOpenTrackClick();
    void mSaveTrackClick();
    void mExitClick();
    void mNextClick();
    void mAgainClick();
    void mPrevClick();
    void Black1Click();
    void Gray1Click();
    void mShowTimeClick();
    void mAboutClick();
    void mFindRouteClick();

    // Game operations.
    void ResetPlay();
    void LoadTrack(const char* fileName);
    // Opens the track `fileName` as "Open track..." does once its dialog is confirmed:
    // the file dialogs start in its folder from now on, and a file that cannot be used
    // is ignored. Throws only std::bad_alloc.
    void OpenTrack(const std::string& fileName);
    void ShowOutcome(bool won);
    void DrawBoard();
    void BuildTiles();

    // Pictures: the composed board, the two tiles, and the two result pictures.
    TMemBitmap viewBitmap;
    TMemBitmap cellTile;
    TMemBitmap playerTile;
    TMemBitmap successPicture;
    TMemBitmap lostPicture;

    // Game state.
    int32_t tableIndex = 0;
    std::vector<TQuilloryTable> tables;
    TQuilloryTable currentTable;
    std::vector<TBoardPoint> history;
    uint32_t backgroundColor = 0;
    int32_t elapsedSeconds = 0;
    std::vector<TRouteFinder::TPoint> route;

    // Components.
    Ui::TQuilloryMainForm ui;
    QTimer Timer;
    TFileDialogOptions OpenDialog;
    TFileDialogOptions SaveDialog;
    TClientArea* clientArea = nullptr;
    // The folder of the last track opened or saved in this run; empty before the first.
    std::string trackFolder;

private:
    void ConnectMenu();
    void RememberTrackFolder(const std::string& fileName);
    void PutTableInPlay(int index);
};

// The main window of the running program; owned by the program entry, null before it
// is created and after it is destroyed.
extern TQuilloryMainForm* QuilloryMainForm;
