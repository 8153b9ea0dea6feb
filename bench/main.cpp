// Measures, in one run, how close a drawing pass comes to the speed of the
// hardware (see README.md). Google Benchmark repeats the benchmarks,
// interleaved at random, and reports the medians of the repetitions, from
// which the summary and its ratios are printed last.
#include "bench.h"
#include "enginebinding.h"
#include "form1.h"
#include "lanecounts.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

namespace {

// Shows the usual table and keeps the median of each benchmark's repetitions
// (its one run, if it ran once) by the benchmark's name.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (!run.error_occurred &&
                (run.run_type == Run::RT_Iteration || run.aggregate_name == "median"))
                medians[run.run_name.function_name] = run;
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Run> medians;
};

// The engine, the kernel, the chain and the pass on one thread are timed by the CPU time
// of the measuring thread: other work on the machine stretches their
// wall-clock times (shown alongside) but hardly the CPU time of a
// single-threaded loop. A pass on all cores can only be timed by the wall
// clock; its ratio to the engine takes the engine's wall clock too. What was
// left out of the run (--benchmark_filter) shows as 0.
void printSummary(std::map<std::string, benchmark::BenchmarkReporter::Run> medians)
{
    // Per iteration, in seconds; the wall clock's time is a manual one's too.
    const auto seconds = [&](const std::string& name, bool cpu) {
        const auto& run = medians[name];
        return (cpu ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime()) /
               benchmark::GetTimeUnitMultiplier(run.time_unit);
    };
    const auto wall = [&](const std::string& name) { return seconds(name, false); };
    const auto cpu = [&](const std::string& name) { return seconds(name, true); };
    const auto counter = [&](const std::string& name, const std::string& counter) {
        return medians[name].counters[counter].value;
    };
    const int n = allThreads;
    const std::string passN = "/threads:" + std::to_string(n);

    std::printf("\nMedians of %lld repetitions; CPU time of the measuring thread, wall-clock time "
                "in brackets:\n",
                medians.count("engine/default") ? (long long)medians["engine/default"].repetitions
                                                : 0LL);
    const double chainNs = cpu("chain") * 1e9 / double(chainSteps);
    std::printf("chain: %.3f ns per iteration (%.3f), the latency bound\n", chainNs,
                wall("chain") * 1e9 / double(chainSteps));
    for (const NamedView* view : views) {
        const std::string name = view->name;
        const double engine = cpu("engine/" + name);
        const double pass1 = cpu("pass/" + name + "/threads:1");
        const double pass = wall("pass/" + name + passN);
        const double sum = double(countSums[name]);
        std::printf("engine %s: %.2f ms per view (%.2f), mean count %.2f, %.3f ns per "
                    "iteration, %.3g calls/s\n",
                    view->name, engine * 1e3, wall("engine/" + name) * 1e3, sum / picture::pixels,
                    engine * 1e9 / sum, picture::pixels / engine);
        const double kernel = cpu("kernel/" + name);
        std::printf("kernel %s on %s: %.2f ms per view (%.2f), %.3g iterations/s per core\n",
                    view->name, laneTarget(), kernel * 1e3, wall("kernel/" + name) * 1e3,
                    kernel > 0 ? sum / kernel : 0.0);
        std::printf("pass %s on 1 thread: %.2f ms (%.2f), %.2f ms beyond the engine\n", view->name,
                    pass1 * 1e3, wall("pass/" + name + "/threads:1") * 1e3, (pass1 - engine) * 1e3);
        std::printf("pass %s on %d threads: %.2f ms wall-clock (%.2f ms CPU of all threads), "
                    "parallel efficiency %.3f\n",
                    view->name, n, pass * 1e3, cpu("pass/" + name + passN) * 1e3,
                    pass > 0 ? wall("engine/" + name) / (pass * n) : 0.0);
    }
    std::printf("longest time without handling events in a dense pass (median of the "
                "repetitions' longest): %.2f ms on 1 thread, %.2f ms on %d threads\n",
                counter("pass/dense/threads:1", "gap_ms"), counter("pass/dense" + passN, "gap_ms"),
                n);
    std::printf("rubber band: %.1f us per move (%.1f), %.1f us with its repaint (%.1f)\n",
                cpu("rubber_band/0") * 1e6, wall("rubber_band/0") * 1e6, cpu("rubber_band/1") * 1e6,
                wall("rubber_band/1") * 1e6);
    std::printf("start-up to the window shown: %.1f ms wall-clock, %.1f ms CPU\n",
                wall("startup") * 1e3, counter("startup", "cpu_ms"));
    std::printf("peak resident memory after a pass: %.1f MiB (this process, after all the "
                "benchmarks: %.1f MiB)\n",
                counter("startup", "peak_MiB"), double(peakResidentKiB()) / 1024.0);
    for (const NamedView* view : views) {
        const std::string name = view->name;
        std::printf("render %s 3840x2160 on %d threads: %.0f ms wall-clock (%.0f ms CPU of all "
                    "threads); the engine over its pixels on 1 thread: %.0f ms\n",
                    view->name, n, wall("render/" + name) * 1e3, cpu("render/" + name) * 1e3,
                    wall("render/engine/" + name) * 1e3);
    }

    // The two views apart give a way's cost per iteration and per pixel
    // beside its iterations: for the engine a call, for the kernel the ends
    // of its runs too, where fewer lanes are busy.
    const double sumDefault = double(countSums[defaultView.name]);
    const double sumDense = double(countSums[denseView.name]);
    const auto costs = [&](const std::string& way) {
        const double iterationNs =
            (cpu(way + "/dense") - cpu(way + "/default")) * 1e9 / (sumDense - sumDefault);
        const double pixelNs =
            (cpu(way + "/default") * 1e9 - iterationNs * sumDefault) / picture::pixels;
        return std::pair{iterationNs, pixelNs};
    };
    const auto [perIterationNs, perCallNs] = costs("engine");
    std::printf("engine, both views together: %.3f ns per iteration (%.3f of the chain) and "
                "%.1f ns per call\n",
                perIterationNs, perIterationNs / chainNs, perCallNs);
    const auto [kernelIterationNs, kernelPixelNs] = costs("kernel");
    std::printf("kernel, both views together: %.3f ns per iteration and %.1f ns per pixel (%.0f "
                "iterations)\n",
                kernelIterationNs, kernelPixelNs,
                kernelIterationNs > 0 ? kernelPixelNs / kernelIterationNs : 0.0);

    const auto ratio = [](const char* name, double a, double b) {
        std::printf("ratio %s: %.3f\n", name, a > 0 && b > 0 ? a / b : 0.0);
    };
    ratio("engine/chain default", cpu("engine/default") * 1e9 / sumDefault, chainNs);
    ratio("engine/chain", cpu("engine/dense") * 1e9 / sumDense, chainNs);
    // The lane kernel against the engine, both on one thread.
    ratio("kernel/engine default", cpu("kernel/default"), cpu("engine/default"));
    ratio("kernel/engine dense", cpu("kernel/dense"), cpu("engine/dense"));
    ratio("pass1/engine default", cpu("pass/default/threads:1"), cpu("engine/default"));
    ratio("pass1/engine dense", cpu("pass/dense/threads:1"), cpu("engine/dense"));
    // The pass on all cores against the engine on one thread, both by the
    // wall clock: 1 / n is a perfect spread over n threads.
    std::printf("threads: %d\n", n);
    ratio("pass/engine dense", wall("pass/dense" + passN), wall("engine/dense"));
    ratio("pass/engine default", wall("pass/default" + passN), wall("engine/default"));
    // A render of 3840 x 2160 on all cores against the engine on one thread
    // over the same pixels, both by the wall clock.
    for (const NamedView* view : views) {
        const std::string name = view->name;
        ratio(("render/engine " + name).c_str(), wall("render/" + name),
              wall("render/engine/" + name));
    }
    // Supersampled: 3 x 3 samples a pixel against 9 renders of one sample,
    // the cost beyond the samples themselves.
    for (const NamedView* view : views) {
        const std::string name = view->name;
        std::printf("render samples 3 %s 3840x2160 on %d threads: %.0f ms wall-clock\n", view->name,
                    n, wall("render/" + name + "/samples3") * 1e3);
        ratio(("samples3/(9 x render) " + name).c_str(), wall("render/" + name + "/samples3"),
              9 * wall("render/" + name));
        // The smooth colouring's counts to their escape points, its three
        // steps further and its colours, against the ramp.
        ratio(("smooth/render " + name).c_str(), wall("render/" + name + "/smooth"),
              wall("render/" + name));
    }
    std::printf("peak MiB render 16384x16384: %.1f; with 4x4 samples: %.1f; 1000000x64: %.1f\n",
                counter("peak/render", "peak_MiB"), counter("peak/render/samples4", "peak_MiB"),
                counter("peak/render/wide", "peak_MiB"));
    // The join starts a program and syncs the poster to disk, which a plain
    // cp does not: the synced copy weighs the join's own work.
    std::printf("poster 16384x16384 in 4 parts (%.1f MiB): joined in %.0f ms, copied by cp in %.0f "
                "ms, by cp and sync in %.0f ms\n",
                counter("poster/join", "MiB"), counter("poster/join", "join_ms"),
                counter("poster/join", "copy_ms"), counter("poster/join", "synced_copy_ms"));
    ratio("join/copy", counter("poster/join", "join_ms"), counter("poster/join", "copy_ms"));
    ratio("join/synced copy", counter("poster/join", "join_ms"),
          counter("poster/join", "synced_copy_ms"));
    // The time left of the progress line against the real one, from a tenth
    // of the render on; the target is 30 %.
    for (const NamedView* view : views)
        for (const char* size : {"3840x2160", "16384x16384"}) {
            const std::string name = std::string("timeleft/") + view->name + "/" + size;
            if (counter(name, "points") > 0)
                std::printf("time left %s %s: worst error %.1f %% over %.0f points (its sample "
                            "%.2f %% of the time)\n",
                            view->name, size, counter(name, "worst_pct"), counter(name, "points"),
                            counter(name, "sample_pct"));
            else
                std::printf("time left %s %s: none to check (under a second)\n", view->name, size);
        }
    if (counter("timeleft/movie", "points") > 0)
        std::printf("time left movie, 48 frames of 1280x720 from the default view to the dense "
                    "one: worst error %.1f %% over %.0f points (its samples %.2f %% of the time)\n",
                    counter("timeleft/movie", "worst_pct"), counter("timeleft/movie", "points"),
                    counter("timeleft/movie", "sample_pct"));
    // A movie on all cores against its frames drawn by one --render after
    // another, and against the engine on one thread over all its pixels, all
    // by the wall clock.
    std::printf("movie, %s, on %d threads: %.0f ms; by --render one frame at a time: %.0f ms; "
                "the engine over its pixels on 1 thread: %.0f ms\n",
                movieDescription().c_str(), n, wall("movie/frames") * 1e3,
                wall("movie/renders") * 1e3, wall("movie/engine") * 1e3);
    ratio("movie/render", wall("movie/frames"), wall("movie/renders"));
    ratio("movie/engine", wall("movie/frames"), wall("movie/engine"));
    // Its twin into a video: at most the frames into a folder and their
    // encoding, ffmpeg's join of those frames.
    std::printf("video of that movie: %.0f ms; its frames into a folder: %.0f ms, joined by "
                "ffmpeg: %.0f ms\n",
                wall("movie/video") * 1e3, wall("movie/frames") * 1e3, wall("movie/join") * 1e3);
    ratio("video/(frames+join)", wall("movie/video"), wall("movie/frames") + wall("movie/join"));
    std::printf("video bitrate at 30 frames a second: %.1f Mbit/s with 1x1 samples, %.1f Mbit/s "
                "with 3x3\n",
                counter("movie/video", "Mbit_per_s"),
                counter("movie/video/samples3", "Mbit_per_s"));
}

} // namespace

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
    std::string defaults[] = {"--benchmark_repetitions=15",
                              "--benchmark_enable_random_interleaving=true",
                              "--benchmark_report_aggregates_only=true"};
    std::vector<char*> args{argv[0]};
    for (std::string& flag : defaults)
        args.push_back(flag.data());
    args.insert(args.end(), argv + 1, argv + argc);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 2;

    EngineBinding binding;
    engine = binding.resolve();
    if (!engine) {
        std::fprintf(stderr, "quenthar_bench: %s\n", qPrintable(binding.errorString()));
        return 1;
    }
    for (const NamedView* view : views)
        countSums[view->name] = engineScan(view->view);
    allThreads = std::max(1, QThread::idealThreadCount());
    Form1 form;
    waitForPicture(form);
    window = &form;

    registerEngineBenchmarks();
    registerWindowBenchmarks();
    registerStartupBenchmark();
    registerRenderBenchmarks();
    registerMovieBenchmarks();

    // The benchmarks of the ratios are interleaved among themselves; the
    // rubber band and the start-up run after them. Drawing the rubber band
    // was seen to slow the engine's loop here for the rest of the process in
    // some builds (by about 40 ns a call), which would skew the ratios.
    MedianReporter reporter;
    double loadAtStart = 0;
    getloadavg(&loadAtStart, 1);
    if (benchmark::GetBenchmarkFilter() != ".") {
        benchmark::RunSpecifiedBenchmarks(&reporter);
    } else {
        benchmark::RunSpecifiedBenchmarks(&reporter, "^(engine|kernel|chain|pass|render|movie)/");
        benchmark::RunSpecifiedBenchmarks(&reporter,
                                          "^(rubber_band|startup|peak|timeleft|poster)/");
    }
    // Other work on the machine stretches the wall-clock times, of a pass on
    // all cores most of all. The load average at the end counts the bench's
    // own threads too.
    double loadAtEnd = 0;
    getloadavg(&loadAtEnd, 1);
    std::printf("\nload average: %.2f at the start, %.2f at the end, on %d cores\n", loadAtStart,
                loadAtEnd, QThread::idealThreadCount());
    printSummary(reporter.medians);
    benchmark::Shutdown();
    return 0;
}
