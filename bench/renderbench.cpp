// Rendering without a window: a screen-sized picture on all cores against the
// engine alone over the same pixels on one thread, the peak memory of the
// program rendering the largest pictures it allows, and the join of a poster.
#include "atomicfile.h"
#include "bench.h"
#include "moviepath.h"
#include "movieprogress.h"
#include "render.h"
#include "viewmath.h"
#include "workestimate.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace bench {

namespace {

constexpr int renderWidth = 3840;
constexpr int renderHeight = 2160;
constexpr std::pair<int, int> timeLeftSizes[] = {{renderWidth, renderHeight}, {16384, 16384}};

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

// Renders on all cores into /dev/null, PNG compression included, as
// --render writes; a failure ends the benchmark with an error.
class NullRender {
public:
    NullRender()
    {
        m_threads.setThreads(allThreads);
        m_open = m_sink.open();
    }
    PassThreads& threads() { return m_threads; }
    bool run(benchmark::State& state, const RenderJob& job,
             const std::function<void(int rows)>& progress = {})
    {
        if (m_open && m_render.run(job, {.png = &m_sink}, progress) == Render::Outcome::done)
            return true;
        state.SkipWithError(m_open ? "the render failed" : "/dev/null cannot be opened");
        return false;
    }

private:
    PassThreads m_threads;
    Render m_render{m_threads};
    AtomicFile m_sink{QStringLiteral("/dev/null")};
    bool m_open = false;
};

void renderBenchmark(benchmark::State& state, const NamedView& view, int samples, ColourMode colour)
{
    NullRender render;
    RenderJob job{.view = view.view, .width = renderWidth, .height = renderHeight};
    job.samples = samples;
    job.colour.mode = colour;
    for (auto _ : state)
        if (!render.run(state, job))
            break;
}

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The worst error of the times left shown (pairs of the time elapsed and the
// time left shown then) against the real ones, from a tenth of the job's time
// on while at least half a second is left (the line shows the time to the
// second); and the share of the time the estimate's sampling took, from start
// to begin.
void reportTimeLeft(benchmark::State& state, const std::vector<std::pair<double, double>>& shown,
                    Clock::time_point start, Clock::time_point begin)
{
    const double total = seconds(Clock::now() - begin);
    double worst = 0;
    int counted = 0;
    for (const auto& [elapsed, left] : shown) {
        const double real = total - elapsed;
        if (elapsed >= 0.1 * total && real >= 0.5) {
            worst = std::max(worst, std::abs(left - real) / real);
            ++counted;
        }
    }
    state.counters["worst_pct"] = worst * 100;
    state.counters["points"] = counted;
    state.counters["sample_pct"] = seconds(begin - start) / seconds(Clock::now() - start) * 100;
}

// How well the progress line's time left holds: a render of the view at a
// size, with the estimate the line uses, writes to /dev/null; after each band
// the time left the line would show is set against the real time left then.
void timeLeftBenchmark(benchmark::State& state, const NamedView& view, int width, int height)
{
    NullRender render;
    const RenderJob job{.view = view.view, .width = width, .height = height};
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const WorkEstimate work = WorkEstimate::sample(job, render.threads());
        const Clock::time_point begin = Clock::now();
        std::vector<std::pair<double, double>> shown; // elapsed, time left shown
        const auto progress = [&](int rows) {
            const double elapsed = seconds(Clock::now() - begin);
            if (const auto left = secondsLeft(work.share(rows), elapsed))
                shown.emplace_back(elapsed, *left);
        };
        if (!render.run(state, job, progress))
            break;
        reportTimeLeft(state, shown, start, begin);
    }
}

// The time left of a movie's progress line against the real one, from a
// tenth of the movie on while at least half a second is left: its frames,
// from the default view down to the dense one, weighed by their samples
// first, then drawn one after another as --movie draws them.
void movieTimeLeftBenchmark(benchmark::State& state)
{
    constexpr int frames = 48;
    NullRender render;
    const auto job = [](int frame) {
        return RenderJob{.view = movieFrame(defaultView.view, denseView.view, frame, frames),
                         .width = 1280,
                         .height = 720};
    };
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        std::vector<double> iterations;
        for (int frame = 0; frame < frames; ++frame)
            iterations.push_back(WorkEstimate::pictureIterations(job(frame), render.threads()));
        FrameClock clock(iterations, 1280.0 * 720.0);
        const Clock::time_point begin = Clock::now();
        std::vector<std::pair<double, double>> shown; // elapsed, time left shown
        for (int frame = 0; frame < frames; ++frame) {
            const Clock::time_point frameStart = Clock::now();
            const auto progress = [&](int rows) {
                const double elapsed = seconds(Clock::now() - begin);
                if (const auto left =
                        clock.secondsLeft(rows / 720.0, seconds(Clock::now() - frameStart)))
                    shown.emplace_back(elapsed, *left);
            };
            if (!render.run(state, job(frame), progress))
                return;
            clock.made(seconds(Clock::now() - frameStart));
        }
        reportTimeLeft(state, shown, start, begin);
    }
}

QString quentharBesideBench()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Quenthar");
}

// The installed way: the program beside the bench renders a cheap view far
// outside the set (every pixel escapes at once) at a large size, so that its
// memory is that of the bands and the PNG stream, not of the engine.
void renderPeakBenchmark(benchmark::State& state, const QString& size, int samples)
{
    // GNU time reports the program's own peak: a child's ru_maxrss as wait4
    // gives it would start from this process's, which it shares until exec.
    QTemporaryFile peak;
    if (!peak.open()) {
        state.SkipWithError("no temporary file for the peak");
        return;
    }
    const QStringList arguments{"-q",
                                "-f",
                                "%M",
                                "-o",
                                peak.fileName(),
                                quentharBesideBench(),
                                "--render",
                                "/dev/null",
                                "--size",
                                size,
                                "--view",
                                "10,10,1,1",
                                "--quiet",
                                "--samples",
                                QString::number(samples)};
    for (auto _ : state) {
        if (QProcess::execute(QStringLiteral("/usr/bin/time"), arguments) != 0) {
            state.SkipWithError("Quenthar --render failed (or /usr/bin/time is missing)");
            break;
        }
        peak.seek(0);
        state.counters["peak_MiB"] = peak.readAll().trimmed().toDouble() / 1024.0;
    }
}

// A poster of the default view drawn in four parts, then timed three times:
// the join of its parts into one PNG, a plain copy of that PNG, the least
// any join could take, and the copy made as durable as the join makes its
// poster (synced to disk before it replaces anything).
void posterJoinBenchmark(benchmark::State& state)
{
    constexpr int side = 16384;
    constexpr int parts = 4;
    QTemporaryDir folder;
    const QString partsFolder = folder.filePath(QStringLiteral("parts"));
    const QString poster = folder.filePath(QStringLiteral("poster.png"));
    const QString size = QStringLiteral("%1x%1").arg(side);
    const auto quenthar = [](QStringList arguments) {
        arguments << "--quiet";
        return QProcess::execute(quentharBesideBench(), arguments) == 0;
    };
    for (int part = 0; part < parts; ++part) {
        const QString rows =
            QStringLiteral("%1-%2").arg(part * side / parts).arg((part + 1) * side / parts - 1);
        if (!quenthar({"--render", partsFolder, "--size", size, "--rows", rows})) {
            state.SkipWithError("Quenthar --render --rows failed");
            return;
        }
    }
    for (auto _ : state) {
        const Clock::time_point joinStart = Clock::now();
        if (!quenthar({"--render", poster, "--parts", partsFolder})) {
            state.SkipWithError("Quenthar --render --parts failed");
            break;
        }
        const Clock::time_point copyStart = Clock::now();
        if (QProcess::execute(QStringLiteral("cp"), {poster, poster + ".copy"}) != 0) {
            state.SkipWithError("cp failed");
            break;
        }
        const Clock::time_point copyEnd = Clock::now();
        if (QProcess::execute(QStringLiteral("sh"), {"-c",
                                                     "cp \"$0\" \"$0.synced\" && sync "
                                                     "\"$0.synced\"",
                                                     poster}) != 0) {
            state.SkipWithError("cp or sync failed");
            break;
        }
        const Clock::time_point syncedEnd = Clock::now();
        state.counters["join_ms"] = seconds(copyStart - joinStart) * 1e3;
        state.counters["copy_ms"] = seconds(copyEnd - copyStart) * 1e3;
        state.counters["synced_copy_ms"] = seconds(syncedEnd - copyEnd) * 1e3;
        state.counters["MiB"] = double(QFileInfo(poster).size()) / (1 << 20);
        for (const char* suffix : {"", ".copy", ".synced"})
            QFile::remove(poster + QLatin1String(suffix));
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
        // One sample and the ramp, 3 x 3 samples, the smooth colouring.
        const std::tuple<const char*, int, ColourMode> kinds[] = {
            {"", 1, ColourMode::ramp},
            {"/samples3", 3, ColourMode::ramp},
            {"/smooth", 1, ColourMode::smooth}};
        for (const auto& [kind, samples, colour] : kinds)
            benchmark::RegisterBenchmark((std::string("render/") + view->name + kind).c_str(),
                                         renderBenchmark, *view, samples, colour)
                ->Iterations(1)
                ->Repetitions(3)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MeasureProcessCPUTime();
    }
    for (const NamedView* view : views)
        for (const auto& [width, height] : timeLeftSizes)
            benchmark::RegisterBenchmark((std::string("timeleft/") + view->name + "/" +
                                          std::to_string(width) + "x" + std::to_string(height))
                                             .c_str(),
                                         timeLeftBenchmark, *view, width, height)
                ->Iterations(1)
                ->Repetitions(1)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
    benchmark::RegisterBenchmark("timeleft/movie", movieTimeLeftBenchmark)
        ->Iterations(1)
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    // The largest square, 4 x 4 samples of it, and the widest picture.
    const std::tuple<const char*, const char*, int> peaks[] = {
        {"peak/render", "16384x16384", 1},
        {"peak/render/samples4", "16384x16384", 4},
        {"peak/render/wide", "1000000x64", 1}};
    for (const auto& [name, size, samples] : peaks)
        benchmark::RegisterBenchmark(name, renderPeakBenchmark, QString::fromLatin1(size), samples)
            ->Iterations(1)
            ->Repetitions(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::RegisterBenchmark("poster/join", posterJoinBenchmark)
        ->Iterations(1)
        ->Repetitions(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

} // namespace bench
