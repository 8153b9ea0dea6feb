#include "summary.h"

#include "bench.h"

#include <algorithm>
#include <cstdio>

namespace bench {

void SummaryReporter::ReportRuns(const std::vector<Run>& runs)
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

double SummaryReporter::counter(const std::string& name, const std::string& counter) const
{
    const auto& counters = find(name).counters;
    const auto it = counters.find(counter);
    return it == counters.end() ? 0 : median(it->second);
}

double SummaryReporter::median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void SummaryReporter::record(const Run& run)
{
    const std::string& args = run.run_name.args;
    Samples& samples = m_samples[run.run_name.function_name + (args.empty() ? "" : "/" + args)];
    const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
    samples.seconds.push_back(run.GetAdjustedRealTime() / unit);
    samples.cpuSeconds.push_back(run.GetAdjustedCPUTime() / unit);
    for (const auto& [name, counter] : run.counters)
        samples.counters[name].push_back(counter.value);
}

const SummaryReporter::Samples& SummaryReporter::find(const std::string& name) const
{
    static const Samples none;
    const auto it = m_samples.find(name);
    return it == m_samples.end() ? none : it->second;
}

// The engine, the chain and the pass on one thread are timed by the CPU time
// of the measuring thread: other work on the machine stretches their
// wall-clock times (shown alongside) but hardly the CPU time of a
// single-threaded loop. A pass on all cores can only be timed by the wall
// clock; its ratio to the engine takes the engine's wall clock too.
void printSummary(const SummaryReporter& r)
{
    const int n = shared.threads;
    const std::string passN = "/threads:" + std::to_string(n);
    std::printf("\nMedians of %zu repetitions; CPU time of the measuring thread, wall-clock time "
                "in brackets:\n",
                r.repetitions("engine/default"));
    const double chainNs = r.cpuSeconds("chain") * 1e9 / double(chainSteps);
    std::printf("chain: %.3f ns per iteration (%.3f), the latency bound\n", chainNs,
                r.seconds("chain") * 1e9 / double(chainSteps));
    for (const NamedView* view : views) {
        const std::string name = view->name;
        const double engine = r.cpuSeconds("engine/" + name);
        const double engineWall = r.seconds("engine/" + name);
        const double pass1 = r.cpuSeconds("pass/" + name + "/threads:1");
        const double pass = r.seconds("pass/" + name + passN);
        const double sum = double(shared.countSums[name]);
        std::printf("engine %s: %.2f ms per view (%.2f), mean count %.2f, %.3f ns per "
                    "iteration, %.3g calls/s\n",
                    view->name, engine * 1e3, engineWall * 1e3, sum / picture::pixels,
                    engine * 1e9 / sum, picture::pixels / engine);
        std::printf("pass %s on 1 thread: %.2f ms (%.2f), %.2f ms beyond the engine\n", view->name,
                    pass1 * 1e3, r.seconds("pass/" + name + "/threads:1") * 1e3,
                    (pass1 - engine) * 1e3);
        std::printf("pass %s on %d threads: %.2f ms wall-clock (%.2f ms CPU of all threads), "
                    "parallel efficiency %.3f\n",
                    view->name, n, pass * 1e3, r.cpuSeconds("pass/" + name + passN) * 1e3,
                    pass > 0 ? engineWall / (pass * n) : 0.0);
    }
    std::printf("longest time without handling events in a dense pass (median of the "
                "repetitions' longest): %.2f ms on 1 thread, %.2f ms on %d threads\n",
                r.counter("pass/dense/threads:1", "gap_ms"),
                r.counter("pass/dense" + passN, "gap_ms"), n);
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
        (r.cpuSeconds("engine/default") * 1e9 - perIterationNs * sumDefault) / picture::pixels;
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
    ratio("pass1/engine default", r.cpuSeconds("pass/default/threads:1"),
          r.cpuSeconds("engine/default"));
    ratio("pass1/engine dense", r.cpuSeconds("pass/dense/threads:1"), r.cpuSeconds("engine/dense"));
    // The pass on all cores against the engine on one thread, both by the
    // wall clock: 1 / n is a perfect spread over n threads.
    std::printf("threads: %d\n", n);
    ratio("pass/engine dense", r.seconds("pass/dense" + passN), r.seconds("engine/dense"));
    ratio("pass/engine default", r.seconds("pass/default" + passN), r.seconds("engine/default"));
}

} // namespace bench
