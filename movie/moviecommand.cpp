#include "moviecommand.h"

#include "colourtexts.h"
#include "leftovers.h"
#include "localfiles.h"
#include "movieframes.h"
#include "moviejoin.h"
#include "moviepath.h"
#include "movieprogress.h"
#include "movievideo.h"
#include "outsidetext.h"
#include "passthreads.h"
#include "printing.h"
#include "render.h"
#include "stopsignals.h"
#include "videoencoder.h"
#include "viewtext.h"
#include "workestimate.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include <unistd.h>

namespace {

RenderJob frameJob(const MovieJob& job, int frame)
{
    return {movieFrame(job.from, job.to, frame, job.frames),
            job.width,
            job.height,
            job.fps,
            job.samples,
            job.colour};
}

// Where the frames go: OUT, or for a video a work folder beside it, which
// keeps them until the video is made, so that an interrupted video carries
// on where it stopped.
QString framesFolder(const MovieJob& job)
{
    return job.video ? job.out + QStringLiteral(".frames") : job.out;
}

// The line that refuses folder, a name for the frames that is no folder.
QString notAFolder(const QString& folder)
{
    return QStringLiteral("cannot write the frames into %1: it is not a folder")
        .arg(quoted(folder));
}

// Creates the folder unless it is there (removed again on the way out if no
// frame ever goes into it), and checks that it takes files.
std::optional<QString> prepareFolder(const QString& folder)
{
    if (const std::optional<QString> error = makeFolder(folder))
        return error;
    const QByteArray path = fileNameToBytes(folder);
    const TemporaryFile probe = makeTemporaryFile(path, ".probe");
    if (probe.fd < 0)
        return systemError(probe.error);
    ::close(probe.fd);
    ::unlink(probe.path.constData());
    leftovers::release(probe.ticket);
    return std::nullopt;
}

// The line that refuses a frame found in the folder, or none for a frame
// that is missing, whole or to be rendered again.
std::optional<QString> refusal(const FrameCheck& check, const QString& fileName,
                               const MovieJob& job, int frame)
{
    switch (check.state) {
    case FrameCheck::State::notFile:
        return notAFrame(fileName);
    case FrameCheck::State::otherSize:
        return QStringLiteral("%1 is %2x%3 pixels, not %4x%5: the folder holds another movie")
            .arg(quoted(fileName))
            .arg(check.size.width())
            .arg(check.size.height())
            .arg(job.width)
            .arg(job.height);
    case FrameCheck::State::otherView:
        return QStringLiteral("%1 is not this movie's frame %2: its view is %3, not %4")
            .arg(quoted(fileName))
            .arg(frame)
            .arg(check.view.isEmpty() ? QStringLiteral("none") : shownText(check.view),
                 QString::fromStdString(formatView(frameJob(job, frame).view)));
    case FrameCheck::State::otherRate:
        return QStringLiteral("%1 is this movie's frame %2 at %3 frames a second, not %4: "
                              "give --fps %3, or another folder")
            .arg(quoted(fileName))
            .arg(frame)
            .arg(shownText(check.frameRate), QString::fromStdString(formatNumber(job.fps)));
    case FrameCheck::State::otherColouring:
        return QStringLiteral("%1 is this movie's frame %2 coloured %3, not %4: give its colour "
                              "options, or another folder")
            .arg(quoted(fileName))
            .arg(frame)
            .arg(check.colouring, colouringText(colourTexts(job.colour)));
    case FrameCheck::State::otherSamples:
        return QStringLiteral("%1 is this movie's frame %2 with %3 samples a pixel, not %4: give "
                              "--samples %5, or another folder")
            .arg(quoted(fileName))
            .arg(frame)
            .arg(samplesText(check.samples), samplesText(job.samples))
            .arg(check.samples);
    default:
        return std::nullopt;
    }
}

// The stop line of a movie stopped with done of its frames checked, or made.
void setMovieStopLine(int done, int frames, const char* what)
{
    setStopLine(QStringLiteral("stopped with %1 of the %2 frames %3; the same command carries on "
                               "from there")
                    .arg(done)
                    .arg(frames)
                    .arg(QLatin1String(what)));
}

// The frames of the movie in its folder that are to be made: those that are
// missing or not whole. The status of a refusal, or 0.
int framesToMake(const MovieJob& job, QList<int>& missing, MovieProgress& progress)
{
    const QString folder = framesFolder(job);
    const FileKind kind = fileKind(folder);
    if (kind != FileKind::missing && kind != FileKind::folder)
        return refuseWith(notAFolder(folder));
    const int all = job.last - job.first + 1;
    for (int frame = job.first; frame <= job.last; ++frame) {
        const int checked = frame - job.first;
        if (kind == FileKind::folder) {
            setMovieStopLine(checked, all, "checked");
            progress.checking(checked);
        }
        const QString fileName = inFolder(folder, frameFileName(frame, job.frames));
        const FrameCheck check = kind == FileKind::folder
                                     ? checkFrame(fileName, frameJob(job, frame), &stopFlag())
                                     : FrameCheck{};
        if (check.state == FrameCheck::State::stopped || stopFlag())
            endByStopSignal();
        if (const std::optional<QString> line = refusal(check, fileName, job, frame))
            return refuseWith(*line);
        if (check.state != FrameCheck::State::whole)
            missing.append(frame);
    }
    return 0;
}

// The frames to make weighed beside each other, where a progress line shows
// the time left: a few of them sampled, evenly spread, and the others
// weighed between their sampled neighbours, so that the first frame starts
// at once whatever their number. The time the samples took is the rate
// guessed until a frame is made.
FrameClock frameClock(const MovieJob& job, const QList<int>& frames, PassThreads& threads,
                      bool shown)
{
    constexpr qsizetype sampledFrames = 64;
    // A frame's pixels are its samples, for their cost beside their
    // iterations.
    const double pixels = double(job.width) * double(job.height) * job.samples * job.samples;
    std::vector<double> iterations(size_t(frames.size()));
    if (!shown || frames.isEmpty())
        return FrameClock(iterations, pixels);
    const qsizetype samples = std::min(frames.size(), sampledFrames);
    const auto sampled = [&](qsizetype k) {
        return samples == 1 ? 0 : k * (frames.size() - 1) / (samples - 1);
    };
    const auto start = std::chrono::steady_clock::now();
    double sampledIterations = 0;
    for (qsizetype k = 0; k < samples; ++k) {
        if (stopFlag())
            endByStopSignal();
        double share = 0;
        const qsizetype i = sampled(k);
        iterations[size_t(i)] =
            WorkEstimate::pictureIterations(frameJob(job, frames[i]), threads, &share);
        sampledIterations += iterations[size_t(i)] * share;
    }
    for (qsizetype k = 0; k + 1 < samples; ++k) {
        const qsizetype a = sampled(k), b = sampled(k + 1);
        for (qsizetype i = a + 1; i < b; ++i)
            iterations[size_t(i)] =
                iterations[size_t(a)] +
                (iterations[size_t(b)] - iterations[size_t(a)]) * double(i - a) / double(b - a);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return FrameClock(iterations, pixels,
                      sampledIterations > 0 ? std::optional(seconds / sampledIterations)
                                            : std::nullopt);
}

// A video's work folder, once the video is made: its frames, and the folder
// if nothing else is in it.
void removeFrames(const MovieJob& job)
{
    const QString folder = framesFolder(job);
    for (int frame = 0; frame < job.frames; ++frame)
        ::unlink(fileNameToBytes(inFolder(folder, frameFileName(frame, job.frames))).constData());
    ::rmdir(fileNameToBytes(folder).constData());
}

// What a movie needs before its first frame: the frames still to make
// (missing), its video started, their folder made. Returns the status to end
// with, or nothing to go on.
std::optional<int> prepareMovie(const MovieJob& job, QList<int>& missing,
                                std::optional<VideoEncoder>& video, MovieProgress& progress)
{
    if (const int status = framesToMake(job, missing, progress))
        return status;
    if (!job.video && missing.isEmpty())
        return 0;
    if (job.video) {
        video.emplace(job.out, job.width, job.height, job.fps, &stopFlag());
        if (const int status = openVideo(*video, job.out))
            return status;
    }
    // The folder before ffmpeg, which is not started for a movie that
    // cannot be made.
    const QString folder = framesFolder(job);
    if (const std::optional<QString> error =
            missing.isEmpty() ? std::nullopt : prepareFolder(folder))
        return refuseWith(
            QStringLiteral("cannot write the frames into %1: %2").arg(quoted(folder), *error));
    if (const int status = video ? startFfmpeg(*video, job.out) : 0)
        return status;
    return std::nullopt;
}

// One frame of the movie, kept or made, into the folder and the video:
// nothing, or the status to end with.
std::optional<int> frameIntoMovie(const MovieJob& job, int frame, bool toMake, Render& render,
                                  VideoEncoder* video, MovieProgress& progress)
{
    const QString fileName = inFolder(framesFolder(job), frameFileName(frame, job.frames));
    if (!toMake) {
        if (!video)
            return std::nullopt;
        if (const std::optional<QString> error = pipeFrame(fileName, job.size(), *video)) {
            progress.stop();
            return failWith(cannotReadFrame(fileName, *error));
        }
        progress.keptFed(double(fileSize(fileName)));
        return std::nullopt;
    }
    QString error;
    const Render::Outcome outcome = writeFrame(
        fileName, render, frameJob(job, frame), video,
        [&](int rows) {
            progress.making(double(rows) / job.height);
            if (video)
                progress.encoded(video->encodedFrames());
        },
        &stopFlag(), &error);
    // A write to the video that failed is ffmpeg's to explain, unless the
    // stop made it fail.
    const bool videoFailed = video && !video->errorString().isEmpty();
    if (outcome == Render::Outcome::stopped || (outcome != Render::Outcome::done && !videoFailed)) {
        progress.stop();
        return renderEnd(outcome, fileName, error);
    }
    if (outcome == Render::Outcome::done)
        progress.made(double(fileSize(fileName)));
    return std::nullopt;
}

// Makes the movie's frames into their folder, keeping those there, and with
// a video pipes every frame, kept or made, into it.
int makeMovie(const MovieJob& job, int threadCount)
{
    const int all = job.last - job.first + 1;
    MovieProgress progress(job.quiet ? -1 : STDERR_FILENO, all, job.video);
    QList<int> missing;
    std::optional<VideoEncoder> video;
    if (const std::optional<int> status = prepareMovie(job, missing, video, progress))
        return *status;
    int whole = all - int(missing.size());
    setMovieStopLine(whole, all, "made");
    PassThreads threads;
    threads.setThreads(threadCount);
    Render render(threads);
    progress.setClock(frameClock(job, missing, threads, progress.shown()));
    std::vector<bool> toMake(size_t(all), false);
    for (const int frame : missing)
        toMake[size_t(frame - job.first)] = true;
    for (int frame = job.first; frame <= job.last; ++frame) {
        if (stopFlag())
            endByStopSignal();
        const bool make = toMake[size_t(frame - job.first)];
        if (const std::optional<int> status =
                frameIntoMovie(job, frame, make, render, video ? &*video : nullptr, progress))
            return *status;
        // A frame whose video write failed was not kept.
        if (video && !video->errorString().isEmpty())
            break;
        if (make)
            setMovieStopLine(++whole, all, "made");
        if (video)
            progress.encoded(video->encodedFrames());
    }
    if (stopFlag())
        endByStopSignal();
    if (!video) {
        progress.finish();
        return 0;
    }
    setStopLine(QStringLiteral("stopped with the %1 frames made, while ffmpeg encoded them; the "
                               "same command makes the video from them")
                    .arg(all));
    const int status = finishVideo(*video, job.out, progress);
    if (status == 0)
        removeFrames(job);
    return status;
}

// Refuses, as the run would, the frames in the folder of the movie that are
// not its own, read up to their pixels.
int checkFramesThere(const MovieJob& job)
{
    const QString folder = framesFolder(job);
    if (fileKind(folder) != FileKind::folder)
        return 0;
    for (int frame = job.first; frame <= job.last; ++frame) {
        if (stopFlag())
            endByStopSignal();
        const QString fileName = inFolder(folder, frameFileName(frame, job.frames));
        const FrameCheck check = checkFrame(fileName, frameJob(job, frame), &stopFlag(), false);
        if (const std::optional<QString> line = refusal(check, fileName, job, frame))
            return refuseWith(*line);
    }
    return 0;
}

// The movie's options in full on standard output, after checking OUT and
// the frames there.
int checkMovie(MovieJob job)
{
    const FileKind out = fileKind(job.out);
    if (!job.video && out != FileKind::missing && out != FileKind::folder)
        return refuseWith(notAFolder(job.out));
    if (job.video && out != FileKind::missing && out != FileKind::regular)
        return refuseWith(QStringLiteral("cannot write the video %1: it is not a regular file")
                              .arg(quoted(job.out)));
    if (const int status = job.framesFrom.isEmpty() ? checkFramesThere(job) : checkJoinFrames(job))
        return status;
    return printOptions(job.optionLines());
}

} // namespace

int runMovie(int argc, char* argv[], const MovieJob& job, int threads)
{
    startCommand();
    // Qt's set-up of the process: its locale, by which file names are
    // encoded.
    const QCoreApplication app(argc, argv);
    if (job.check)
        return checkMovie(job);
    if (!job.framesFrom.isEmpty())
        return joinFrames(job);
    return makeMovie(job, threads);
}
