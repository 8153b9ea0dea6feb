// The engine over one view in the scan order of a pass, and the hardware's
// latency bound of its dependency chain.
#include "bench.h"
#include "viewmath.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <string>

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
    benchmark::RegisterBenchmark("chain", chainBenchmark)
        ->Iterations(2)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

} // namespace bench
