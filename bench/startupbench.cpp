// The start-up of the window in a process of its own, and the peak memory of
// that process after a pass.
#include "bench.h"
#include "form1.h"
#include "identity.h"
#include "slovene.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProcess>

#include <cstdio>
#include <ctime>
#include <string>

namespace bench {

namespace {

void startupBenchmark(benchmark::State& state)
{
    for (auto _ : state) {
        QProcess child;
        const int64_t spawned = nanosecondsNow();
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--startup-child"), QString::number(spawned)});
        long long shownAfter = 0;
        double cpu = 0;
        long peakKiB = 0;
        if (!child.waitForFinished(60000) || child.exitCode() != 0 ||
            std::sscanf(child.readAllStandardOutput().constData(), "%lld %lf %ld", &shownAfter,
                        &cpu, &peakKiB) != 3) {
            state.SkipWithError("the start-up process failed");
            break;
        }
        state.SetIterationTime(double(shownAfter) * 1e-9);
        state.counters["cpu_ms"] = cpu;
        state.counters["peak_MiB"] = double(peakKiB) / 1024.0;
    }
}

} // namespace

// Starts the way the program's main() does, shows the window and draws the
// default view. argv[2] is the parent's clock reading just before it started
// this process. Prints the time from then to the window shown, the CPU time
// the process had used by then, and its peak resident memory after the pass.
int startupChild(int argc, char** argv)
{
    const int64_t spawned = std::stoll(argv[2]);
    QApplication app(argc, argv);
    setUpIdentity();
    installSlovene();

    Form1 form;
    waitForPicture(form);
    const int64_t shown = nanosecondsNow();
    const double cpuMs = double(std::clock()) * 1e3 / CLOCKS_PER_SEC;

    form.draw_Click();
    if (form.selection().mode != Selection::pictureStands)
        return 1;
    std::printf("%lld %.3f %ld\n", static_cast<long long>(shown - spawned), cpuMs,
                peakResidentKiB());
    return 0;
}

void registerStartupBenchmark()
{
    benchmark::RegisterBenchmark("startup", startupBenchmark)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
}

} // namespace bench
