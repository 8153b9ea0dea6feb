// The engine over one view in the scan order of a pass, the lane kernel over
// the same pixels, and the hardware's latency bound of the engine's
// dependency chain.
#include "bench.h"
#include "lanecounts.h"
#include "viewmath.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

namespace bench {

int64_t engineScan(const View& view)
{
    const Scales scales = scalesOf(view, picture::columns, picture::rows);
    int64_t sum = 0;
    int16_t col = 0;
    int16_t row = 0;
    do {
        scan::nextPixel(col, row);
        sum += engine(col, row, scales.x, scales.y, view.viewLeft, view.viewTop);
    } while (col != 0 || row != 0);
    return sum;
}

namespace {

void engineBenchmark(benchmark::State& state, const NamedView& view)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(engineScan(view.view));
}

// The kernel over the view's pixels in runs of 256, the largest blocks that a
// render's threads take.
void kernelBenchmark(benchmark::State& state, const NamedView& view)
{
    const Scales scales = scalesOf(view.view, picture::columns, picture::rows);
    const PixelLattice lattice{scales.x, scales.y, view.view.viewLeft, view.view.viewTop,
                               picture::columns};
    std::vector<int16_t> counts(picture::pixels);
    for (auto _ : state) {
        for (size_t begin = 0; begin < counts.size(); begin += 256)
            laneCounts(lattice, begin, std::min(counts.size(), begin + 256), counts.data() + begin);
        benchmark::DoNotOptimize(counts.data());
    }
    if (std::accumulate(counts.begin(), counts.end(), int64_t(0)) != countSums[view.name])
        state.SkipWithError("the kernel's counts are not the engine's");
}

// The same runs to the same cap, counted in 32 bits and with the points
// after the escapes: what smooth colours would cost beside the counts alone.
void escapesBenchmark(benchmark::State& state, const NamedView& view)
{
    const Scales scales = scalesOf(view.view, picture::columns, picture::rows);
    const PixelLattice lattice{scales.x, scales.y, view.view.viewLeft, view.view.viewTop,
                               picture::columns};
    std::vector<int32_t> counts(picture::pixels);
    std::vector<EscapePoint> points(picture::pixels);
    for (auto _ : state) {
        for (size_t begin = 0; begin < counts.size(); begin += 256)
            laneCounts(lattice, begin, std::min(counts.size(), begin + 256), counts.data() + begin,
                       1024, points.data() + begin);
        benchmark::DoNotOptimize(counts.data());
        benchmark::DoNotOptimize(points.data());
    }
    if (std::accumulate(counts.begin(), counts.end(), int64_t(0)) != countSums[view.name])
        state.SkipWithError("the kernel's counts are not the engine's");
}

// With the program's c every orbit escapes sooner or later (even the slowest
// pixels within a few thousand steps), so the chain runs with c = -0.54 + 0.4i
// instead, whose orbit of 0 settles on an attracting fixed point: every step
// stays an ordinary binary64 operation, of the same latency as in the engine.
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
}

} // namespace

void registerEngineBenchmarks()
{
    for (const NamedView* view : views)
        benchmark::RegisterBenchmark((std::string("engine/") + view->name).c_str(), engineBenchmark,
                                     *view)
            ->Iterations(view == &denseView ? 1 : 2)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    for (const NamedView* view : views)
        benchmark::RegisterBenchmark((std::string("kernel/") + view->name).c_str(), kernelBenchmark,
                                     *view)
            ->Iterations(view == &denseView ? 2 : 8)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    // Not in the default run: --benchmark_filter='^(kernel|escapes)/'.
    for (const NamedView* view : views)
        benchmark::RegisterBenchmark((std::string("escapes/") + view->name).c_str(),
                                     escapesBenchmark, *view)
            ->Iterations(view == &denseView ? 2 : 8)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::RegisterBenchmark("chain", chainBenchmark)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

} // namespace bench
