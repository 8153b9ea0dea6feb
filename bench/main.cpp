// Measures, in one run, how close a drawing pass comes to the speed of the
// hardware: the engine over one view in the pass's scan order, the latency
// bound of its dependency chain, the window's whole pass on one thread and on
// all cores, one rubber-band move, and the start-up of the window with the
// peak memory after a pass. The repetitions are interleaved at random, and the
// medians and their ratios are printed last.
#include "bench.h"
#include "enginebinding.h"
#include "form1.h"
#include "summary.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace bench {

Shared shared;

int64_t nanosecondsNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What the machine's cores have done since it started, in seconds of one
// core: all of them together, and this process with the processes it waited
// for. The difference over a run is the work of others that shared the
// cores with it.
struct CoreSeconds {
    double machine = 0;
    double ours = 0;
};

CoreSeconds coreSecondsNow()
{
    CoreSeconds now;
    // user nice system idle iowait irq softirq steal: all but idle and iowait
    // kept a core from this process.
    std::ifstream stat("/proc/stat");
    std::string cpu;
    long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    if (stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal)
        now.machine =
            double(user + nice + system + irq + softirq + steal) / double(sysconf(_SC_CLK_TCK));
    const auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        getrusage(who, &usage);
        now.ours += seconds(usage.ru_utime) + seconds(usage.ru_stime);
    }
    return now;
}

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace bench

using namespace bench;

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
    for (const NamedView* view : views)
        shared.countSums[view->name] = engineScan(shared.engine, view->view);
    shared.threads = std::max(1, QThread::idealThreadCount());

    Form1 form;
    waitForPicture(form);
    shared.form = &form;

    registerEngineBenchmarks();
    registerWindowBenchmarks();
    registerStartupBenchmark();

    // The benchmarks of the ratios are interleaved among themselves; the
    // rubber band and the start-up run after them. Drawing the rubber band
    // was seen to slow the engine's loop here for the rest of the process in
    // some builds (by about 40 ns a call), which would skew the ratios.
    SummaryReporter reporter;
    double load[1] = {0};
    getloadavg(load, 1);
    const CoreSeconds before = coreSecondsNow();
    const int64_t started = nanosecondsNow();
    const bool filtered = std::any_of(argv + 1, argv + argc, [](const char* arg) {
        return std::strncmp(arg, "--benchmark_filter", 18) == 0;
    });
    if (filtered) {
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        benchmark::RunSpecifiedBenchmarks(&reporter, "^(engine|chain|pass)/");
        benchmark::RunSpecifiedBenchmarks(&reporter, "^(rubber_band|startup)/");
    }
    // Other work on the machine stretches the wall-clock times, of a pass on
    // all cores most of all: say how much there was.
    const CoreSeconds after = coreSecondsNow();
    const double wall = double(nanosecondsNow() - started) * 1e-9;
    std::printf("\nOther work on the machine during the run: %.2f of %d cores busy on average "
                "(load average %.2f at the start)\n",
                std::max(0.0, (after.machine - before.machine) - (after.ours - before.ours)) / wall,
                QThread::idealThreadCount(), load[0]);
    printSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
