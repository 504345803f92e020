// Times the board's drawing: a full frame (compose, read back, copy to the window) and the tiles.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <QApplication>
#include <QWindow>

#include "game/quillory_main_form.h"
#include "graphics/client_area.h"

namespace {

constexpr int kWarmUp = 20;
constexpr int kRuns = 500;
constexpr double kTargetMs = 1.0;

struct TFigures {
    double median;
    double p90;
    double best;
};

template <typename Work>
TFigures Time(Work work) {
    for (int i = 0; i < kWarmUp; ++i)
        work();
    std::vector<double> ms;
    ms.reserve(kRuns);
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.front()};
}

void Print(const char* what, const TFigures& f) {
    std::printf("%-52s median %.3f ms  p90 %.3f ms  best %.3f ms  (target median <= %.1f ms: %s)\n", what,
                f.median, f.p90, f.best, kTargetMs, f.median <= kTargetMs ? "met" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    TQuilloryMainForm form;
    form.show();
    for (int i = 0; i < 200 && !(form.windowHandle() && form.windowHandle()->isExposed()); ++i)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    form.Timer.stop();

    // Every cell present, the time shown and a route through every cell: the most a frame draws.
    for (int y = 0; y < kBoardRows; ++y)
        for (int x = 0; x < kBoardColumns; ++x)
            form.currentTable.SetCell(x, y, true);
    form.currentTable.x = 0;
    form.currentTable.y = 0;
    form.ui.mShowTime->setChecked(true);
    form.elapsedSeconds = 6005;
    form.route.clear();
    for (int y = 0; y < kBoardRows; ++y)
        for (int i = 0; i < kBoardColumns; ++i)
            form.route.push_back({y % 2 == 0 ? i : kBoardColumns - 1 - i, y});

    std::printf("window exposed: %s; %d runs after %d warm-up runs\n",
                form.windowHandle() && form.windowHandle()->isExposed() ? "yes" : "no", kRuns, kWarmUp);
    Print("DrawBoard, full board + time + 216-cell route", Time([&] { form.DrawBoard(); }));
    form.route.clear();
    form.ui.mShowTime->setChecked(false);
    Print("DrawBoard, full board", Time([&] { form.DrawBoard(); }));
    Print("FormPaint (copy to the window only)", Time([&] { form.clientArea->repaint(); }));
    Print("BuildTiles (two 25 x 25 tiles)", Time([&] { form.BuildTiles(); }));
    return 0;
}
