// What assistive technology is told about the board: the table, the player's cell, the cells left.
#pragma once

#include <string>

#include <QObject>

#include "game/quillory_table.h"

class QWidget;
class TQuilloryMainForm;

// The accessible name and description of a board.
struct TBoardSpeech {
    std::string name;
    std::string description;
};

// The name ("Table 3") and description ("Player at column 1, row 9. 27 cells left.")
// of the table in play; the position is the board's own column and row, counted
// from 0 as in the game. Never throws except for exhausted memory.
TBoardSpeech DescribeBoard(int tableIndex, const TQuilloryTable& table);

// The name ("Table 3 won" or "Table 3 lost") and description ("You have won table 3 in
// 01:05." or "You have lost table 3.") of the result of table `tableIndex`; the time is
// told only when the board shows it (`showTime`), as TimeText of `elapsedSeconds`.
// Never throws except for exhausted memory.
TBoardSpeech DescribeOutcome(bool won, int tableIndex, bool showTime, int elapsedSeconds);

// Keeps the accessible name and description of the board widget in step with the
// game: they are brought up to date now and before every repaint of the board, so a
// screen reader hears of each change that reaches the screen. The announcer is a
// child of `board` and is deleted with it; `form` must outlive it.
class TBoardAnnouncer : public QObject {
    Q_OBJECT
public:
    TBoardAnnouncer(const TQuilloryMainForm& form, QWidget& board);

    // Sets the board's name and description from the game; a text that has not
    // changed is left alone, so no change event is sent for it.
    void Refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const TQuilloryMainForm& form_;
    QWidget& board_;
};
