// Rendering without a window: a screen-sized picture on all cores against the
// engine alone over the same pixels on one thread, and the peak memory of the
// program rendering the largest picture it allows.
#include "atomicfile.h"
#include "bench.h"
#include "render.h"
#include "viewmath.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

namespace bench {

namespace {

constexpr int renderWidth = 3840;
constexpr int renderHeight = 2160;

// The engine over every pixel of the render's picture, row by row.
void renderEngineBenchmark(benchmark::State& state, const NamedView& view)
{
    const Scales scales = scalesOf(view.view, renderWidth, renderHeight);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int row = 0; row < renderHeight; ++row)
            for (int col = 0; col < renderWidth; ++col)
                sum += engine(int16_t(col), int16_t(row), scales.x, scales.y, view.view.viewLeft,
                              view.view.viewTop);
        benchmark::DoNotOptimize(sum);
    }
}

// The whole render, PNG compression included, written to /dev/null.
void renderBenchmark(benchmark::State& state, const NamedView& view)
{
    PassThreads threads;
    threads.setThreads(allThreads);
    Render render(engine, threads);
    AtomicFile sink(QStringLiteral("/dev/null"));
    if (!sink.open()) {
        state.SkipWithError("/dev/null cannot be opened");
        return;
    }
    for (auto _ : state)
        if (render.run({view.view, renderWidth, renderHeight}, sink) != Render::Outcome::done) {
            state.SkipWithError("the render failed");
            break;
        }
}

// The installed way: the program beside the bench renders a cheap view far
// outside the set (every pixel escapes at once) at the largest size, so that
// its memory is that of the bands and the PNG stream, not of the engine.
void renderPeakBenchmark(benchmark::State& state)
{
    const QByteArray program = (QCoreApplication::applicationDirPath() + "/Quenthar").toLocal8Bit();
    std::vector<std::string> args{program.toStdString(), "--render", "/dev/null", "--size",
                                  "16384x16384",         "--view",   "10,10,1,1", "--quiet"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        rusage usage{};
        if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0 ||
            wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("Quenthar --render failed");
            break;
        }
        state.counters["peak_MiB"] = double(usage.ru_maxrss) / 1024.0;
    }
}

} // namespace

// The pictures are 27 times the window's, so they are repeated 3 times.
void registerRenderBenchmarks()
{
    for (const NamedView* view : views) {
        benchmark::RegisterBenchmark((std::string("render/engine/") + view->name).c_str(),
                                     renderEngineBenchmark, *view)
            ->Iterations(1)
            ->Repetitions(3)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark((std::string("render/") + view->name).c_str(), renderBenchmark,
                                     *view)
            ->Iterations(1)
            ->Repetitions(3)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MeasureProcessCPUTime();
    }
    benchmark::RegisterBenchmark("peak/render", renderPeakBenchmark)
        ->Iterations(1)
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

} // namespace bench
