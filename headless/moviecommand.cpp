#include "moviecommand.h"

#include "bytesink.h"
#include "commandline.h"
#include "commandrun.h"
#include "localfiles.h"
#include "movieframes.h"
#include "moviepath.h"
#include "movieprogress.h"
#include "outsidetext.h"
#include "passthreads.h"
#include "pngreader.h"
#include "render.h"
#include "videoencoder.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace {

int badInput(const QString& line)
{
    return failWith(line, 2);
}

QString quoted(const QString& fileName)
{
    return QLatin1Char('\'') + shownText(fileName) + QLatin1Char('\'');
}

// The threads that every frame is rendered on.
struct Renderer {
    explicit Renderer(int threadCount) { threads.setThreads(threadCount); }

    PassThreads threads;
    Render render{threads};

    int failed(Render::Outcome outcome, const QString& fileName, const QString& error)
    {
        return renderEnd(outcome, fileName, error);
    }
};

RenderJob frameJob(const MovieJob& job, int frame)
{
    return {movieFrame(job.from, job.to, frame, job.frames), job.width, job.height};
}

// Creates the folder unless it is there, and checks that it takes files.
std::optional<QString> prepareFolder(const QString& folder)
{
    if (fileKind(folder) != FileKind::folder &&
        ::mkdir(fileNameToBytes(folder).constData(), 0777) != 0)
        return systemError(errno);
    const TemporaryFile probe = makeTemporaryFile(folder, QStringLiteral(".probe-"));
    if (probe.error)
        return probe.error;
    ::close(probe.fd);
    ::unlink(fileNameToBytes(probe.name).constData());
    return std::nullopt;
}

int renderFolder(const MovieJob& job, int threadCount)
{
    const FileKind folder = fileKind(job.out);
    if (folder != FileKind::missing && folder != FileKind::folder)
        return badInput(QStringLiteral("cannot write the frames into %1: it is not a folder")
                            .arg(quoted(job.out)));
    // Whole frames of this movie are kept; one of another size means that
    // the folder holds another movie, which is left alone.
    const QSize size(job.width, job.height);
    QList<int> missing;
    for (int frame = job.first; frame <= job.last; ++frame) {
        const QString fileName = inFolder(job.out, frameFileName(frame, job.frames));
        const FrameCheck check = folder == FileKind::folder
                                     ? checkFrame(fileName, size, frameJob(job, frame).view)
                                     : FrameCheck{};
        if (check.state == FrameCheck::State::notFile)
            return badInput(QStringLiteral("%1 is not a regular file: it cannot be a frame")
                                .arg(quoted(fileName)));
        if (check.state == FrameCheck::State::otherSize)
            return badInput(QStringLiteral("%1 is %2x%3 pixels, not %4x%5: the folder holds "
                                           "another movie")
                                .arg(quoted(fileName))
                                .arg(check.size.width())
                                .arg(check.size.height())
                                .arg(job.width)
                                .arg(job.height));
        if (check.state != FrameCheck::State::whole)
            missing.append(frame);
    }
    if (missing.isEmpty())
        return 0;

    Renderer renderer(threadCount);
    if (const std::optional<QString> error = prepareFolder(job.out))
        return badInput(
            QStringLiteral("cannot write the frames into %1: %2").arg(quoted(job.out), *error));

    MovieProgress progress(job.quiet ? -1 : STDERR_FILENO, int(missing.size()));
    for (qsizetype i = 0; i < missing.size(); ++i) {
        const QString fileName = inFolder(job.out, frameFileName(missing[i], job.frames));
        QString error;
        const Render::Outcome outcome = writeFrame(
            fileName, renderer.render, frameJob(job, missing[i]),
            [&](int rows) { progress.update(int(i), double(rows) / job.height); }, &stopFlag(),
            &error);
        if (outcome != Render::Outcome::done) {
            progress.stop();
            return renderer.failed(outcome, fileName, error);
        }
    }
    progress.finish();
    return 0;
}

// Starts the video's encoder: the status of a failure, or 0.
int startVideo(VideoEncoder& encoder, const QString& fileName)
{
    const QString ffmpeg = VideoEncoder::findFfmpeg();
    if (ffmpeg.isEmpty())
        return failWith(QStringLiteral("cannot make the video %1: ffmpeg is not on PATH (install "
                                       "it, or give a folder for the frames)")
                            .arg(quoted(fileName)));
    if (fileKind(fileName) == FileKind::folder)
        return badInput(
            QStringLiteral("cannot write the video %1: it is a folder").arg(quoted(fileName)));
    if (!encoder.createFile())
        return cannotWrite(fileName, encoder.errorString(), 2);
    if (!encoder.start(ffmpeg))
        return failWith(QStringLiteral("cannot make the video %1: %2")
                            .arg(quoted(fileName), encoder.errorString()));
    return 0;
}

int finishVideo(VideoEncoder& encoder, const QString& fileName, MovieProgress& progress)
{
    if (stopFlag()) {
        encoder.cancel();
        progress.stop();
        endByStopSignal();
    }
    if (!encoder.finish()) {
        progress.stop();
        return failWith(QStringLiteral("cannot make the video %1: %2")
                            .arg(quoted(fileName), encoder.errorString()));
    }
    progress.finish();
    return 0;
}

int renderVideo(const MovieJob& job, int threadCount)
{
    Renderer renderer(threadCount);
    VideoEncoder encoder(job.out, job.width, job.height, job.fps);
    if (const int status = startVideo(encoder, job.out))
        return status;
    MovieProgress progress(job.quiet ? -1 : STDERR_FILENO, job.frames);
    for (int frame = 0; frame < job.frames; ++frame) {
        MemorySink png;
        const Render::Outcome outcome = renderer.render.run(
            frameJob(job, frame), png,
            [&](int rows) { progress.update(frame, double(rows) / job.height); }, &stopFlag());
        if (outcome != Render::Outcome::done) {
            encoder.cancel();
            progress.stop();
            return renderer.failed(outcome, job.out, renderer.render.errorString());
        }
        if (!encoder.addFrame(png.bytes(), frameFileName(frame, job.frames)))
            break;
    }
    return finishVideo(encoder, job.out, progress);
}

int joinFrames(const MovieJob& job)
{
    if (fileKind(job.framesFrom) != FileKind::folder)
        return badInput(QStringLiteral("cannot read the frames in %1: there is no such folder")
                            .arg(quoted(job.framesFrom)));
    const FolderEntries entries = folderEntries(job.framesFrom);
    if (entries.error)
        return badInput(QStringLiteral("cannot read the frames in %1: %2")
                            .arg(quoted(job.framesFrom), *entries.error));
    std::map<int, FrameNumber> found;
    for (const QString& name : entries.names)
        if (const std::optional<FrameNumber> number = frameNumber(name))
            found[number->frame] = *number;
    const int frames = job.framesGiven ? job.frames : found.empty() ? 0 : found.rbegin()->first + 1;
    if (frames == 0)
        return badInput(QStringLiteral("%1 holds no frames").arg(quoted(job.framesFrom)));
    if (!found.empty() && found.rbegin()->first >= frames)
        return badInput(
            QStringLiteral("%1 holds more than %2 frames").arg(quoted(job.framesFrom)).arg(frames));
    // Every frame there, named as a movie of that many frames names them, and
    // all of one size.
    QSize size;
    for (int frame = 0; frame < frames; ++frame) {
        const QString name = frameFileName(frame, frames);
        const auto number = found.find(frame);
        if (number == found.end() || number->second.digits != frameDigits(frames))
            return badInput(QStringLiteral("%1 lacks the frame %2 of %3")
                                .arg(quoted(job.framesFrom), name)
                                .arg(frames));
        const QString fileName = inFolder(job.framesFrom, name);
        QFile file;
        PngReader reader(file);
        std::optional<QString> error = openRegularFile(file, fileName);
        if (!error && !reader.begin())
            error = reader.errorString();
        if (error)
            return badInput(
                QStringLiteral("cannot read the frame %1: %2").arg(quoted(fileName), *error));
        const QSize frameSize(reader.width(), reader.height());
        if (frame == 0)
            size = frameSize;
        if (frameSize != size || size.width() % 2 != 0 || size.height() % 2 != 0)
            return badInput(QStringLiteral("the frame %1 is %2x%3 pixels: a video's frames are "
                                           "all of one size, even in both")
                                .arg(quoted(fileName))
                                .arg(frameSize.width())
                                .arg(frameSize.height()));
    }

    VideoEncoder encoder(job.out, size.width(), size.height(), job.fps);
    if (const int status = startVideo(encoder, job.out))
        return status;
    MovieProgress progress(job.quiet ? -1 : STDERR_FILENO, frames);
    for (int frame = 0; frame < frames && !stopFlag(); ++frame) {
        const QString fileName = inFolder(job.framesFrom, frameFileName(frame, frames));
        QFile file;
        if (const std::optional<QString> error = openRegularFile(file, fileName)) {
            encoder.cancel();
            progress.stop();
            return failWith(
                QStringLiteral("cannot read the frame %1: %2").arg(quoted(fileName), *error));
        }
        if (!encoder.addFrame(file.readAll(), fileName))
            break;
        progress.update(frame + 1, 0);
    }
    return finishVideo(encoder, job.out, progress);
}

} // namespace

int runMovie(int argc, char* argv[], const CommandLine& commandLine)
{
    startCommand();
    // Qt's set-up of the process: its locale, by which file names are
    // encoded, and the events of ffmpeg's process.
    const QCoreApplication app(argc, argv);
    const MovieJob& job = commandLine.movieJob();
    if (!job.framesFrom.isEmpty())
        return joinFrames(job);
    return job.video ? renderVideo(job, commandLine.threads())
                     : renderFolder(job, commandLine.threads());
}
