// A short zoom movie: the program's --movie on all cores against the same
// frames drawn by one --render after another, and against the engine alone
// over all its pixels on one thread; into a video against its frames into a
// folder and their join.
#include "bench.h"
#include "moviepath.h"
#include "viewmath.h"
#include "viewtext.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <string>
#include <utility>

namespace bench {

namespace {

// From the default view down to the dense one: the frames grow from light
// to dense.
constexpr int movieFrames = 8;
constexpr int movieWidth = 1280;
constexpr int movieHeight = 720;
// Drawn stretched (--stretch), so that every run draws the very same pixels.
const QString movieSize = QStringLiteral("%1x%2").arg(movieWidth).arg(movieHeight);

View frameView(int frame)
{
    return movieFrame(defaultView.view, denseView.view, frame, movieFrames);
}

QString viewText(const View& view)
{
    return QString::fromStdString(formatView(view));
}

QString quenthar()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Quenthar");
}

// Each run writes into a folder of its own, so that the movie finds no
// frames to keep.
class Folders {
public:
    QString next() { return m_root.filePath(QString::number(m_count++)); }

private:
    QTemporaryDir m_root;
    int m_count = 0;
};

// The command line of the movie into out, a folder or a video, with samples
// N x N a pixel.
QStringList movieArguments(const QString& out, int samples = 1)
{
    return {"--movie",
            out,
            "--from",
            viewText(frameView(0)),
            "--to",
            viewText(frameView(movieFrames - 1)),
            "--size",
            movieSize,
            "--stretch",
            "--frames",
            QString::number(movieFrames),
            "--samples",
            QString::number(samples),
            "--quiet"};
}

void movieBenchmark(benchmark::State& state)
{
    Folders folders;
    for (auto _ : state)
        if (QProcess::execute(quenthar(), movieArguments(folders.next())) != 0) {
            state.SkipWithError("Quenthar --movie failed");
            break;
        }
}

void movieRendersBenchmark(benchmark::State& state)
{
    Folders folders;
    for (auto _ : state) {
        const QDir folder(folders.next());
        folder.mkpath(QStringLiteral("."));
        for (int frame = 0; frame < movieFrames; ++frame)
            if (QProcess::execute(quenthar(),
                                  {"--render", folder.filePath(QStringLiteral("%1.png").arg(frame)),
                                   "--view", viewText(frameView(frame)), "--size", movieSize,
                                   "--stretch", "--quiet"}) != 0) {
                state.SkipWithError("Quenthar --render failed");
                return;
            }
    }
}

// The movie straight into a video, its rows piped into ffmpeg as they are
// drawn, with samples N x N a pixel, and the video's bitrate (at the default
// 30 frames a second): speckle is what the encoder spends its bits on. And
// the same frames, drawn into a folder first, joined into one: ffmpeg's own
// work.
void movieVideoBenchmark(benchmark::State& state, int samples)
{
    Folders folders;
    for (auto _ : state) {
        const QString video = folders.next() + ".mp4";
        if (QProcess::execute(quenthar(), movieArguments(video, samples)) != 0) {
            state.SkipWithError("Quenthar --movie into a video failed (is ffmpeg installed?)");
            break;
        }
        state.counters["Mbit_per_s"] = QFileInfo(video).size() * 8.0 / 1e6 / (movieFrames / 30.0);
    }
}

void movieJoinBenchmark(benchmark::State& state)
{
    Folders folders;
    const QString frames = folders.next();
    if (QProcess::execute(quenthar(), movieArguments(frames)) != 0) {
        state.SkipWithError("Quenthar --movie failed");
        return;
    }
    for (auto _ : state)
        if (QProcess::execute(quenthar(), {"--movie", folders.next() + ".mp4", "--frames-from",
                                           frames, "--quiet"}) != 0) {
            state.SkipWithError("Quenthar --frames-from failed (is ffmpeg installed?)");
            break;
        }
}

void movieEngineBenchmark(benchmark::State& state)
{
    for (auto _ : state) {
        int64_t sum = 0;
        for (int frame = 0; frame < movieFrames; ++frame) {
            const View view = frameView(frame);
            const Scales scales = scalesOf(view, movieWidth, movieHeight);
            for (int row = 0; row < movieHeight; ++row)
                for (int col = 0; col < movieWidth; ++col)
                    sum += engine(int16_t(col), int16_t(row), scales.x, scales.y, view.viewLeft,
                                  view.viewTop);
        }
        benchmark::DoNotOptimize(sum);
    }
}

} // namespace

std::string movieDescription()
{
    return std::to_string(movieFrames) + " frames of " + movieSize.toStdString() +
           " from the default view to the dense one";
}

// Each takes seconds, so they are repeated 3 times.
void registerMovieBenchmarks()
{
    using Function = void (*)(benchmark::State&);
    const std::pair<const char*, Function> benchmarks[] = {{"movie/frames", movieBenchmark},
                                                           {"movie/renders", movieRendersBenchmark},
                                                           {"movie/engine", movieEngineBenchmark},
                                                           {"movie/join", movieJoinBenchmark}};
    for (const auto& [name, function] : benchmarks)
        benchmark::RegisterBenchmark(name, function)
            ->Iterations(1)
            ->Repetitions(3)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    for (const int samples : {1, 3})
        benchmark::RegisterBenchmark(samples > 1 ? "movie/video/samples3" : "movie/video",
                                     movieVideoBenchmark, samples)
            ->Iterations(1)
            ->Repetitions(3)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
}

} // namespace bench
