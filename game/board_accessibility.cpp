#include "game/board_accessibility.h"

#include <QEvent>
#include <QWidget>

#include "game/board_texts.h"
#include "game/game_rules.h"
#include "game/quillory_main_form.h"

TBoardSpeech DescribeBoard(int tableIndex, const TQuilloryTable& table) {
    const int left = CountPresentCells(table);
    TBoardSpeech speech;
    speech.name = "Table " + std::to_string(tableIndex);
    speech.description = "Player at column " + std::to_string(table.x) + ", row " + std::to_string(table.y) +
                         ". " + std::to_string(left) + (left == 1 ? " cell left." : " cells left.");
    return speech;
}

TBoardSpeech DescribeOutcome(bool won, int tableIndex, bool showTime, int elapsedSeconds) {
    const std::string table = std::to_string(tableIndex);
    const char* result = won ? "won" : "lost";
    TBoardSpeech speech;
    speech.name = "Table " + table + " " + result;
    speech.description = std::string("You have ") + result + " table " + table;
    if (showTime)
        speech.description += " in " + TimeText(elapsedSeconds);
    speech.description += ".";
    return speech;
}

TBoardAnnouncer::TBoardAnnouncer(const TQuilloryMainForm& form, QWidget& board)
    : QObject(&board), form_(form), board_(board) {
    board_.installEventFilter(this);
    Refresh();
}

void TBoardAnnouncer::Refresh() {
    const TBoardSpeech speech = DescribeBoard(form_.tableIndex, form_.currentTable);
    const QString name = QString::fromStdString(speech.name);
    const QString description = QString::fromStdString(speech.description);
    if (board_.accessibleName() != name)
        board_.setAccessibleName(name);
    if (board_.accessibleDescription() != description)
        board_.setAccessibleDescription(description);
}

bool TBoardAnnouncer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &board_ && event->type() == QEvent::Paint)
        Refresh();
    return QObject::eventFilter(watched, event);
}
