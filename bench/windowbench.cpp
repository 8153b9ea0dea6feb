// The window's whole pass on one thread and on all cores, with the longest
// time the window goes without handling events, and one rubber-band move.
#include "bench.h"
#include "form1.h"
#include "picturebox.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEvent>
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
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// Times the rounds of event handling while it runs: it keeps one event of its
// own posted, and Qt hands an event posted during a round to the next round,
// so the event is handled once in every round and posts the next.
class EventRounds : public QObject {
public:
    void start()
    {
        m_longest = 0;
        m_last = nanosecondsNow();
        m_running = true;
        post();
    }
    // The longest time from start() to a round, between two rounds, or from
    // the last round to now, in nanoseconds.
    int64_t stop()
    {
        note();
        m_running = false;
        return m_longest;
    }

protected:
    void customEvent(QEvent*) override
    {
        m_posted = false;
        if (m_running) {
            note();
            post();
        }
    }

private:
    void note()
    {
        const int64_t now = nanosecondsNow();
        m_longest = std::max(m_longest, now - m_last);
        m_last = now;
    }
    void post()
    {
        if (m_posted)
            return;
        m_posted = true;
        QCoreApplication::postEvent(this, new QEvent(QEvent::User));
    }

    bool m_running = false;
    bool m_posted = false;
    int64_t m_last = 0;
    int64_t m_longest = 0;
};

// A pass over the view on state.range(0) threads.
void passBenchmark(benchmark::State& state, const NamedView& view)
{
    Form1& form = *shared.form;
    form.setView(view.view);
    form.setThreads(int(state.range(0)));
    EventRounds rounds;
    int64_t longestGap = 0;
    for (auto _ : state) {
        rounds.start();
        form.draw_Click();
        longestGap = std::max(longestGap, rounds.stop());
    }
    if (form.selection().mode != 0)
        state.SkipWithError("the pass did not finish");
    state.counters["gap_ms"] = double(longestGap) * 1e-6;
}

// One pointer move with the first corner placed: restore the saved picture
// and draw the outline. With state.range(0) == 1 the move is followed by the
// repaint it schedules.
void rubberBandBenchmark(benchmark::State& state)
{
    Form1& form = *shared.form;
    form.setView(defaultView.view);
    form.draw_Click();
    form.pb_MouseUp(1, 0, 2400, 1800);
    if (form.selection().mode != 1) {
        state.SkipWithError("the first corner was not placed");
        return;
    }
    const bool repaint = state.range(0) == 1;
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
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, [] {
        std::fputs("quenthar_bench: the window was not shown within 10 s\n", stderr);
        std::_Exit(1);
    });
    timeout.start(10000);
    form.show();
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The pass on one thread is timed by the CPU time of the measuring thread, as
// the engine is; the pass on all cores by the wall clock, beside the CPU time
// of the whole process.
void registerWindowBenchmarks()
{
    for (const NamedView* view : views) {
        const std::string name = std::string("pass/") + view->name;
        for (const int threads : {1, shared.threads}) {
            auto* pass = benchmark::RegisterBenchmark(name.c_str(), passBenchmark, *view)
                             ->ArgName("threads")
                             ->Arg(threads)
                             ->Iterations(view == &denseView ? 1 : 2)
                             ->Unit(benchmark::kMillisecond)
                             ->UseRealTime();
            if (threads > 1)
                pass->MeasureProcessCPUTime();
            if (shared.threads == 1)
                break;
        }
    }
    benchmark::RegisterBenchmark("rubber_band", rubberBandBenchmark)
        ->Arg(0)
        ->Arg(1)
        ->Iterations(200)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime();
}

} // namespace bench
