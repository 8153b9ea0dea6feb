// Measures, in one run, how close a drawing pass comes to the speed of the
// hardware: the engine over one view in the pass's scan order, the latency
// bound of its dependency chain, the window's whole pass, one rubber-band move,
// and the start-up of the window with the peak memory after a pass. The
// repetitions of all of them are interleaved at random, and the medians and
// their ratios are printed last.
#include "chain.h"
#include "enginebinding.h"
#include "form1.h"
#include "identity.h"
#include "picturebox.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int columns = 640;
constexpr int rows = 480;
constexpr int pixels = columns * rows;
constexpr int scanStep = 97;

struct NamedView {
    const char* name;
    View view;
};

const NamedView defaultView{"default", View{}};
// Up and right of the centre of the default picture, where it shows yellow:
// about a quarter of its pixels reach the cap of 1025, and the mean count is
// 706.4.
const NamedView denseView{"dense", View{0.2, -0.52, 0.04, 0.03}};

// Visits the pixels in the order of a pass: the linear index row * 640 + col
// grows by 97 modulo 307,200, from 97 to 0.
template <typename Visit> void scan(Visit&& visit)
{
    int col = 0;
    int row = 0;
    do {
        col += scanStep;
        if (col >= columns) {
            col -= columns;
            if (++row >= rows)
                row -= rows;
        }
        visit(col, row);
    } while (col != 0 || row != 0);
}

int64_t engineScan(EngineFunction engine, const View& view)
{
    const double scaleX = columns / view.viewWidth;
    const double scaleY = rows / view.viewHeight;
    int64_t sum = 0;
    scan([&](int col, int row) {
        sum += engine(col, row, scaleX, scaleY, view.viewLeft, view.viewTop);
    });
    return sum;
}

int64_t nanosecondsNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double cpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](timeval t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) * 1e-3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

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

// Waits until the picture of a shown window has been painted once.
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

// The start-up measurement runs in a process of its own, which starts the way
// the program's main() does, shows the window and draws the default view.
// argv[2] is the parent's clock reading just before it started this process.
// Prints the time from then to the window shown, the CPU time the process had
// used by then, and its peak resident memory after the pass.
int startupChild(int argc, char** argv)
{
    const int64_t spawned = std::stoll(argv[2]);
    QApplication app(argc, argv);
    setUpIdentity();

    Form1 form;
    waitForPicture(form);
    const int64_t shown = nanosecondsNow();
    const double cpu = cpuMilliseconds();

    form.draw_Click();
    if (form.selection().mode != 0)
        return 1;
    std::printf("%lld %.3f %ld\n", static_cast<long long>(shown - spawned), cpu, peakResidentKiB());
    return 0;
}

struct Shared {
    EngineFunction engine = nullptr;
    Form1* form = nullptr;
    std::map<std::string, int64_t> countSums;
};
Shared shared;

void engineBenchmark(benchmark::State& state, const NamedView& view)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(engineScan(shared.engine, view.view));
    state.counters["calls/s"] =
        benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["iter/s"] = benchmark::Counter(double(shared.countSums[view.name]),
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

// With the program's c every orbit escapes sooner or later (even the slowest
// pixels within a few thousand steps), so the chain runs with c = -0.54 + 0.4i
// instead, whose orbit of 0 settles on an attracting fixed point: every step
// stays an ordinary binary64 operation, of the same latency as in the engine.
constexpr int64_t chainSteps = int64_t(1) << 24;

void chainBenchmark(benchmark::State& state)
{
    for (auto _ : state) {
        const double result = latencyChain(0, 0, 0.54, 0.4, chainSteps);
        if (!std::isfinite(result)) {
            state.SkipWithError("the chain's orbit escaped");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.counters["iter/s"] =
        benchmark::Counter(double(chainSteps), benchmark::Counter::kIsIterationInvariantRate);
}

void passBenchmark(benchmark::State& state, const NamedView& view)
{
    shared.form->setView(view.view);
    for (auto _ : state)
        shared.form->draw_Click();
    if (shared.form->selection().mode != 0)
        state.SkipWithError("the pass did not finish");
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

void startupBenchmark(benchmark::State& state)
{
    for (auto _ : state) {
        QProcess child;
        const int64_t spawned = nanosecondsNow();
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--startup-child"), QString::number(spawned)});
        if (!child.waitForFinished(60000) || child.exitCode() != 0) {
            state.SkipWithError("the start-up process failed");
            break;
        }
        long long shownAfter = 0;
        double cpu = 0;
        long peakKiB = 0;
        if (std::sscanf(child.readAllStandardOutput().constData(), "%lld %lf %ld", &shownAfter,
                        &cpu, &peakKiB) != 3) {
            state.SkipWithError("the start-up process reported nothing");
            break;
        }
        state.SetIterationTime(double(shownAfter) * 1e-9);
        state.counters["cpu_ms"] = cpu;
        state.counters["peak_MiB"] = double(peakKiB) / 1024.0;
    }
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// Shows the usual table, with the statistics of the repetitions in place of
// each one, and keeps the time per iteration (in seconds) and the counters of
// every repetition for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        std::vector<Run> shown;
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                record(run);
                // With repetitions, the table shows their statistics only.
                if (run.repetitions > 1)
                    continue;
            }
            shown.push_back(run);
        }
        if (!shown.empty())
            ConsoleReporter::ReportRuns(shown);
    }

    // Wall-clock time (or the measured time of a manual measurement) and
    // CPU time of the benchmark's thread, per iteration.
    double seconds(const std::string& name) const { return median(find(name).seconds); }
    double cpuSeconds(const std::string& name) const { return median(find(name).cpuSeconds); }
    double counter(const std::string& name, const std::string& counter) const
    {
        const auto& counters = find(name).counters;
        const auto it = counters.find(counter);
        return it == counters.end() ? 0 : median(it->second);
    }
    size_t repetitions(const std::string& name) const { return find(name).seconds.size(); }

private:
    void record(const Run& run)
    {
        const std::string& args = run.run_name.args;
        Samples& samples = m_samples[run.run_name.function_name + (args.empty() ? "" : "/" + args)];
        const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
        samples.seconds.push_back(run.GetAdjustedRealTime() / unit);
        samples.cpuSeconds.push_back(run.GetAdjustedCPUTime() / unit);
        for (const auto& [name, counter] : run.counters)
            samples.counters[name].push_back(counter.value);
    }

    struct Samples {
        std::vector<double> seconds;
        std::vector<double> cpuSeconds;
        std::map<std::string, std::vector<double>> counters;
    };
    const Samples& find(const std::string& name) const
    {
        static const Samples none;
        const auto it = m_samples.find(name);
        return it == m_samples.end() ? none : it->second;
    }

    std::map<std::string, Samples> m_samples;
};

// CPU time of the measuring thread is the basis of the figures: other work on
// the machine stretches the wall-clock times (shown alongside) but hardly the
// CPU time of a single-threaded loop.
void printSummary(const SummaryReporter& r)
{
    std::printf("\nMedians of %zu repetitions; CPU time, wall-clock time in brackets:\n",
                r.repetitions("engine/default"));
    const double chainNs = r.cpuSeconds("chain") * 1e9 / double(chainSteps);
    std::printf("chain: %.3f ns per iteration (%.3f), the latency bound\n", chainNs,
                r.seconds("chain") * 1e9 / double(chainSteps));
    for (const NamedView* view : {&defaultView, &denseView}) {
        const std::string name = view->name;
        const double engine = r.cpuSeconds("engine/" + name);
        const double pass = r.cpuSeconds("pass/" + name);
        const double sum = double(shared.countSums[name]);
        std::printf("engine %s: %.2f ms per view (%.2f), mean count %.2f, %.3f ns per "
                    "iteration, %.3g calls/s\n",
                    view->name, engine * 1e3, r.seconds("engine/" + name) * 1e3, sum / pixels,
                    engine * 1e9 / sum, pixels / engine);
        std::printf("pass %s: %.2f ms (%.2f), %.2f ms beyond the engine\n", view->name, pass * 1e3,
                    r.seconds("pass/" + name) * 1e3, (pass - engine) * 1e3);
    }
    std::printf("rubber band: %.1f us per move (%.1f), %.1f us with its repaint (%.1f)\n",
                r.cpuSeconds("rubber_band/0") * 1e6, r.seconds("rubber_band/0") * 1e6,
                r.cpuSeconds("rubber_band/1") * 1e6, r.seconds("rubber_band/1") * 1e6);
    std::printf("start-up to the window shown: %.1f ms wall-clock, %.1f ms CPU\n",
                r.seconds("startup") * 1e3, r.counter("startup", "cpu_ms"));
    std::printf("peak resident memory after a pass: %.1f MiB (this process, after all the "
                "benchmarks: %.1f MiB)\n",
                r.counter("startup", "peak_MiB"), double(peakResidentKiB()) / 1024.0);

    // The two views apart give the engine's cost per iteration and per call.
    const double sumDefault = double(shared.countSums[defaultView.name]);
    const double sumDense = double(shared.countSums[denseView.name]);
    const double perIterationNs = (r.cpuSeconds("engine/dense") - r.cpuSeconds("engine/default")) *
                                  1e9 / (sumDense - sumDefault);
    const double perCallNs =
        (r.cpuSeconds("engine/default") * 1e9 - perIterationNs * sumDefault) / pixels;
    std::printf("engine, both views together: %.3f ns per iteration (%.3f of the chain) and "
                "%.1f ns per call\n",
                perIterationNs, perIterationNs / chainNs, perCallNs);

    const auto perIteration = [&](const NamedView& view) {
        return r.cpuSeconds(std::string("engine/") + view.name) * 1e9 /
               double(shared.countSums[view.name]);
    };
    // A ratio of something left out of the run (--benchmark_filter) shows as 0.
    const auto ratio = [](const char* name, double a, double b) {
        std::printf("ratio %s: %.3f\n", name, a > 0 && b > 0 ? a / b : 0.0);
    };
    ratio("engine/chain default", perIteration(defaultView), chainNs);
    ratio("engine/chain", perIteration(denseView), chainNs);
    ratio("pass/engine default", r.cpuSeconds("pass/default"), r.cpuSeconds("engine/default"));
    ratio("pass/engine dense", r.cpuSeconds("pass/dense"), r.cpuSeconds("engine/dense"));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--startup-child") == 0)
        return startupChild(argc, argv);

    // Headless unless asked otherwise; the start-up processes inherit it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // Defaults that the command line may override.
    std::vector<char*> args{argv[0]};
    std::string defaults[] = {"--benchmark_repetitions=15",
                              "--benchmark_enable_random_interleaving=true"};
    for (std::string& flag : defaults)
        args.push_back(flag.data());
    args.insert(args.end(), argv + 1, argv + argc);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 2;

    EngineBinding binding(QStringLiteral("libengine.so"));
    shared.engine = binding.resolve();
    if (!shared.engine) {
        std::fprintf(stderr, "quenthar_bench: %s\n", qPrintable(binding.errorString()));
        return 1;
    }
    for (const NamedView* view : {&defaultView, &denseView})
        shared.countSums[view->name] = engineScan(shared.engine, view->view);

    Form1 form;
    waitForPicture(form);
    shared.form = &form;

    using benchmark::kMicrosecond;
    using benchmark::kMillisecond;
    for (const NamedView* view : {&defaultView, &denseView}) {
        const bool dense = view == &denseView;
        benchmark::RegisterBenchmark((std::string("engine/") + view->name).c_str(), engineBenchmark,
                                     *view)
            ->Iterations(dense ? 1 : 2)
            ->Unit(kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark((std::string("pass/") + view->name).c_str(), passBenchmark,
                                     *view)
            ->Iterations(dense ? 1 : 2)
            ->Unit(kMillisecond)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("chain", chainBenchmark)
        ->Iterations(2)
        ->Unit(kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("rubber_band", rubberBandBenchmark)
        ->Arg(0)
        ->Arg(1)
        ->Iterations(200)
        ->Unit(kMicrosecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("startup", startupBenchmark)
        ->Iterations(1)
        ->Unit(kMillisecond)
        ->UseManualTime();

    // The benchmarks of the ratios are interleaved among themselves; the
    // rubber band and the start-up run after them. Drawing the rubber band
    // was seen to slow the engine's loop here for the rest of the process in
    // some builds (by about 40 ns a call), which would skew the ratios.
    SummaryReporter reporter;
    const bool filtered = std::any_of(argv + 1, argv + argc, [](const char* arg) {
        return std::strncmp(arg, "--benchmark_filter", 18) == 0;
    });
    if (filtered) {
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        benchmark::RunSpecifiedBenchmarks(&reporter, "^(engine|chain|pass)/");
        benchmark::RunSpecifiedBenchmarks(&reporter, "^(rubber_band|startup)/");
    }
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
