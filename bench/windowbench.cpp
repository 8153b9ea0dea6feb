// The window's whole pass on one thread and on all cores, with the longest
// time the window goes without handling events, and one rubber-band move.
#include "bench.h"
#include "form1.h"
#include "picturebox.h"

#include <benchmark/benchmark.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>

namespace bench {

namespace {

// Notes the first paint of a widget.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        painted = painted || event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

// A pass over the view on the given threads. The event dispatcher signals the
// start of every round of event handling; gap_ms is the longest time from the
// click to a round, between two rounds, or from the last to the pass's end.
void passBenchmark(benchmark::State& state, const NamedView& view, int threads)
{
    Form1& form = *window;
    form.setView(view.view);
    form.setThreads(threads);
    int64_t last = 0;
    int64_t longestGap = 0;
    const auto round = [&] {
        const int64_t now = nanosecondsNow();
        longestGap = std::max(longestGap, now - last);
        last = now;
    };
    const QMetaObject::Connection rounds = QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::awake, round);
    for (auto _ : state) {
        last = nanosecondsNow();
        form.draw_Click();
        round();
    }
    QObject::disconnect(rounds);
    if (form.selection().mode != Selection::pictureStands)
        state.SkipWithError("the pass did not finish");
    state.counters["gap_ms"] = double(longestGap) * 1e-6;
}

// One pointer move with the first corner placed: restore the saved picture
// and draw the outline; with repaint, then the repaint it schedules.
void rubberBandBenchmark(benchmark::State& state, bool repaint)
{
    Form1& form = *window;
    form.setView(defaultView.view);
    form.draw_Click();
    form.pb_MouseUp(1, 0, 2400, 1800);
    if (form.selection().mode != Selection::cornerPlaced) {
        state.SkipWithError("the first corner was not placed");
        return;
    }
    int step = 0;
    for (auto _ : state) {
        step = (step + 1) % 64;
        form.pb_MouseMove(0, 0, float(4800 + 60 * step), float(3600 + 45 * step));
        if (repaint)
            QCoreApplication::processEvents();
    }
    form.pb_MouseUp(2, 0, 0, 0);
}

} // namespace

void waitForPicture(Form1& form)
{
    PaintWatch watch;
    form.findChild<PictureBox*>(QStringLiteral("pb"))->installEventFilter(&watch);
    // Bound to watch, so that it is cancelled when the picture was painted.
    QTimer::singleShot(10000, &watch, [] {
        std::fputs("quenthar_bench: the window was not shown within 10 s\n", stderr);
        std::_Exit(1);
    });
    form.show();
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The pass on one thread is timed by the CPU time of the measuring thread, as
// the engine is; the pass on all cores by the wall clock, beside the CPU time
// of the whole process.
void registerWindowBenchmarks()
{
    for (const NamedView* view : views)
        for (const int threads : {1, allThreads}) {
            const std::string name =
                std::string("pass/") + view->name + "/threads:" + std::to_string(threads);
            auto* pass = benchmark::RegisterBenchmark(name.c_str(), passBenchmark, *view, threads)
                             ->Iterations(view == &denseView ? 1 : 2)
                             ->Unit(benchmark::kMillisecond)
                             ->UseRealTime();
            if (threads > 1)
                pass->MeasureProcessCPUTime();
            if (allThreads == 1)
                break;
        }
    for (const bool repaint : {false, true})
        benchmark::RegisterBenchmark(repaint ? "rubber_band/1" : "rubber_band/0",
                                     rubberBandBenchmark, repaint)
            ->Iterations(200)
            ->Unit(benchmark::kMicrosecond)
            ->UseRealTime();
}

} // namespace bench
