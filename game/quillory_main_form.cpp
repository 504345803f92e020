#include "game/quillory_main_form.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

#include "game/about_dlg.h"
#include "game/board_accessibility.h"
#include "game/built_in_tables.h"
#include "game/game_rules.h"
#include "game/result_form.h"
#include "graphics/client_area.h"
#include "graphics/window_frame.h"
#include "route/find_route_command.h"

namespace {

constexpr int kTimerIntervalMs = 1000;
constexpr int kViewBitsPerPixel = 24;
constexpr const char* kSuccessPictureFile = "images/success.bmp";
constexpr const char* kLostPictureFile = "images/lost.bmp";
// Decide a picture's format by its name and content.
constexpr int kPictureFormatByName = -1;
constexpr const char* kCaption = "Quillory";
constexpr const char* kWonText = "Well done...\nTry the next one.";
constexpr const char* kLostText = "You have lost!";
constexpr const char* kNoRouteText = "There is no route from here";

// Gives the keyboard back to the board when Escape closes the last open menu. The menu
// bar would otherwise keep it, showing nothing, and the next arrow key would open a
// menu instead of moving the player.
class TMenuEscapeReturnsKeys final : public QObject {
public:
    TMenuEscapeReturnsKeys(QWidget& board, QObject* parent) : QObject(parent), board_(board) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            // Once the menu has handled the key: Escape in a submenu leaves its parent open.
            QTimer::singleShot(0, &board_, [board = &board_] {
                if (QApplication::activePopupWidget() == nullptr)
                    board->setFocus(Qt::OtherFocusReason);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget& board_;
};

}  // namespace

TQuilloryMainForm* QuilloryMainForm = nullptr;

TQuilloryMainForm::TQuilloryMainForm(QWidget* parent) : QMainWindow(parent) {
    ui.setupUi(this);
    // The form marks the separator with the caption "-"; drawn, a separator shows no text.
    ui.N1->setSeparator(true);
    ui.N1->setText(QString());
    ui.mBackground->menuAction()->setVisible(false);
    clientArea = new TClientArea(kBoardWidthPixels, kBoardHeightPixels, this);
    clientArea->onKeyDown = [this](uint16_t key, Qt::KeyboardModifiers shift) { FormKeyDown(key, shift); };
    clientArea->onLeftClick = [this](int x, int y) { FormMouseDown(x, y); };
    clientArea->onPaint = [this](TDeviceContext& canvas) { FormPaint(canvas); };
    setCentralWidget(clientArea);
    SetMainWindowFrame(*this);
    clientArea->setFocus();
    auto* escape = new TMenuEscapeReturnsKeys(*clientArea, this);
    for (QMenu* menu : {ui.mFile, ui.mGame, ui.mSettings, ui.mBackground, ui.mHelp})
        menu->installEventFilter(escape);
    ConnectMenu();
    Timer.setInterval(kTimerIntervalMs);
    connect(&Timer, &QTimer::timeout, this, &TQuilloryMainForm::TimerTimer);
    Timer.start();

    OpenDialog = {"Open track", "txt", "Text files (*.txt)|*.txt|Any file (*.*)|*.*", 1, {}};
    SaveDialog = {"Save track", "txt", "Text files (*.txt)|*.txt", 1, {}};

    viewBitmap.Create(kBoardWidthPixels, kBoardHeightPixels, kViewBitsPerPixel);
    tables = BuildTables();
    BuildTiles();
    successPicture.LoadFromFile(kSuccessPictureFile, kPictureFormatByName);
    lostPicture.LoadFromFile(kLostPictureFile, kPictureFormatByName);
    currentTable = tables[0];
    DrawBoard();
    // Owned by the client area, which it keeps described for screen readers.
    new TBoardAnnouncer(*this, *clientArea);
}

TQuilloryMainForm::~TQuilloryMainForm() = default;

void TQuilloryMainForm::ConnectMenu() {
    connect(ui.mOpenTrack, &QAction::triggered, this, &TQuilloryMainForm::mOpenTrackClick);
    connect(ui.mSaveTrack, &QAction::triggered, this, &TQuilloryMainForm::mSaveTrackClick);
    connect(ui.mExit, &QAction::triggered, this, &TQuilloryMainForm::mExitClick);
    connect(ui.mNext, &QAction::triggered, this, &TQuilloryMainForm::mNextClick);
    connect(ui.mAgain, &QAction::triggered, this, &TQuilloryMainForm::mAgainClick);
    connect(ui.mPrev, &QAction::triggered, this, &TQuilloryMainForm::mPrevClick);
    connect(ui.Black1, &QAction::triggered, this, &TQuilloryMainForm::Black1Click);
    connect(ui.Gray1, &QAction::triggered, this, &TQuilloryMainForm::Gray1Click);
    // Qt flips a checkable item before it reports the click; the handler does its own flip.
    connect(ui.mShowTime, &QAction::triggered, this, [this] {
        ui.mShowTime->setChecked(!ui.mShowTime->isChecked());
        mShowTimeClick();
    });
    connect(ui.mAbout, &QAction::triggered, this, &TQuilloryMainForm::mAboutClick);
    connect(ui.mFindRoute, &QAction::triggered, this, &TQuilloryMainForm::mFindRouteClick);
}

void TQuilloryMainForm::FormShow() {}

void TQuilloryMainForm::PutTableInPlay(int index) {
    tableIndex = index;
    currentTable = tables[static_cast<size_t>(tableIndex)];
    ResetPlay();
}

void TQuilloryMainForm::mNextClick() {
    PutTableInPlay(NextTableIndex(tableIndex, static_cast<int>(tables.size())));
}

void TQuilloryMainForm::mAgainClick() {
    PutTableInPlay(tableIndex);
}

void TQuilloryMainForm::mPrevClick() {
    PutTableInPlay(PreviousTableIndex(tableIndex, static_cast<int>(tables.size())));
}

void TQuilloryMainForm::ResetPlay() {
    history.clear();
    route.clear();
    elapsedSeconds = 0;
    DrawBoard();
}

void TQuilloryMainForm::FormKeyDown(uint16_t key, Qt::KeyboardModifiers) {
    // The modifiers are ignored: Shift+N acts like N.
    switch (PlayKey(key, currentTable, history)) {
    case TPlayResult::Moved:
    case TPlayResult::Undone: DrawBoard(); break;
    // The new board is on screen before the report.
    case TPlayResult::Won:
        DrawBoard();
        ShowOutcome(true);
        break;
    case TPlayResult::Lost:
        DrawBoard();
        ShowOutcome(false);
        break;
    case TPlayResult::Again: mAgainClick(); break;
    case TPlayResult::Next: mNextClick(); break;
    case TPlayResult::Previous: mPrevClick(); break;
    case TPlayResult::Nothing: break;
    }
}

void TQuilloryMainForm::FormMouseDown(int x, int y) {
    if (x < 0 || y < 0)
        return;
    const std::uint16_t key = ArrowTowards(currentTable, x / kCellPixels, y / kCellPixels);
    if (key != keys::kNone)
        FormKeyDown(key, Qt::NoModifier);
}

void TQuilloryMainForm::ShowOutcome(bool won) {
    // The result dialog when the picture was read at start-up and can be shown, a
    // message box otherwise.
    const TMemBitmap& picture = won ? successPicture : lostPicture;
    if (ResultForm && picture.loaded) {
        // A picture says nothing to a screen reader: the dialog tells what happened.
        const TBoardSpeech speech =
            DescribeOutcome(won, tableIndex, ui.mShowTime->isChecked(), elapsedSeconds);
        ResultForm->setAccessibleName(QString::fromStdString(speech.name));
        ResultForm->setAccessibleDescription(QString::fromStdString(speech.description));
    }
    if (!(picture.loaded && ResultForm && ResultForm->ShowPicture(picture)))
        Dialogs().MessageBox(this, won ? kWonText : kLostText, kCaption, TMessageIcon::None);
    if (won)
        mNextClick();
}

void TQuilloryMainForm::mExitClick() {
    close();
}

void TQuilloryMainForm::mAboutClick() {
    if (!AboutDlg)
        return;
    AboutDlg->ShowLastBuild();
    Dialogs().ShowModal(*AboutDlg);
}
void TQuilloryMainForm::mFindRouteClick() {
    if (FindRouteOnTable(currentTable, route))
        DrawBoard();
    else
        Dialogs().MessageBox(this, kNoRouteText, kCaption, TMessageIcon::Exclamation);
}
