#include "moviecommand.h"

#include "commandline.h"
#include "commandrun.h"
#include "localfiles.h"
#include "movieframes.h"
#include "moviepath.h"
#include "movieprogress.h"
#include "outsidetext.h"
#include "passthreads.h"
#include "render.h"
#include "videoencoder.h"
#include "viewtext.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <map>
#include <set>

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

QString viewText(const std::string& view)
{
    return shownText(QString::fromStdString(view));
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

// The line that refuses a frame found in the folder, or none for a frame
// that is missing, whole or to be rendered again.
std::optional<QString> refusal(const FrameCheck& check, const QString& fileName,
                               const MovieJob& job, int frame)
{
    switch (check.state) {
    case FrameCheck::State::notFile:
        return QStringLiteral("%1 is not a regular file: it cannot be a frame")
            .arg(quoted(fileName));
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
    default:
        return std::nullopt;
    }
}

int renderFolder(const MovieJob& job, int threadCount)
{
    const FileKind folder = fileKind(job.out);
    if (folder != FileKind::missing && folder != FileKind::folder)
        return badInput(QStringLiteral("cannot write the frames into %1: it is not a folder")
                            .arg(quoted(job.out)));
    // Whole frames of this movie are kept; one of another movie means that
    // the folder holds another movie, which is left alone.
    QList<int> missing;
    for (int frame = job.first; frame <= job.last; ++frame) {
        const QString fileName = inFolder(job.out, frameFileName(frame, job.frames));
        const FrameCheck check = folder == FileKind::folder
                                     ? checkFrame(fileName, QSize(job.width, job.height),
                                                  frameJob(job, frame).view, &stopFlag())
                                     : FrameCheck{};
        if (check.state == FrameCheck::State::stopped || stopFlag())
            endByStopSignal();
        if (const std::optional<QString> line = refusal(check, fileName, job, frame))
            return badInput(*line);
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

// Opens the video's file and starts ffmpeg: the status of a failure, or 0.
int startVideo(VideoEncoder& encoder, const QString& fileName)
{
    if (fileKind(fileName) == FileKind::folder)
        return badInput(
            QStringLiteral("cannot write the video %1: it is a folder").arg(quoted(fileName)));
    if (const std::optional<QString> error = encoder.open())
        return cannotWrite(fileName, *error, 2);
    const QString ffmpeg = VideoEncoder::findFfmpeg();
    if (ffmpeg.isEmpty())
        return failWith(QStringLiteral("cannot make the video %1: ffmpeg is not on PATH (install "
                                       "it, or give a folder for the frames)")
                            .arg(quoted(fileName)));
    if (!encoder.start(ffmpeg))
        return failWith(QStringLiteral("cannot make the video %1: %2")
                            .arg(quoted(fileName), encoder.errorString()));
    return 0;
}

int finishVideo(VideoEncoder& encoder, const QString& fileName, MovieProgress& progress)
{
    if (stopFlag() || !encoder.finish()) {
        encoder.cancel();
        progress.stop();
        if (stopFlag())
            endByStopSignal();
        return failWith(QStringLiteral("cannot make the video %1: %2")
                            .arg(quoted(fileName), encoder.errorString()));
    }
    progress.finish();
    return 0;
}

int renderVideo(const MovieJob& job, int threadCount)
{
    Renderer renderer(threadCount);
    VideoEncoder encoder(job.out, job.width, job.height, job.fps, &stopFlag());
    if (const int status = startVideo(encoder, job.out))
        return status;
    MovieProgress progress(job.quiet ? -1 : STDERR_FILENO, job.frames);
    for (int frame = 0; frame < job.frames; ++frame) {
        const Render::Outcome outcome = renderer.render.run(
            frameJob(job, frame), {.levels = &encoder},
            [&](int rows) { progress.update(frame, double(rows) / job.height); }, &stopFlag());
        // A write that failed is ffmpeg's to explain.
        if (outcome == Render::Outcome::writeFailed)
            break;
        if (outcome != Render::Outcome::done) {
            encoder.cancel();
            progress.stop();
            return renderer.failed(outcome, job.out, renderer.render.errorString());
        }
    }
    return finishVideo(encoder, job.out, progress);
}

// The frames of one movie in a folder: their count, and so their names.
struct JoinedFrames {
    int frames = 0;
    QString first;
    QString last;
    std::optional<QString> error;
};

// Which frames to join: the count given, or that of the one movie whose
// frames the folder holds. Names of another count of digits are another
// movie's leftovers and are not read.
JoinedFrames framesToJoin(const MovieJob& job)
{
    JoinedFrames joined;
    const auto fail = [&](const QString& error) {
        joined.error = error;
        return joined;
    };
    if (fileKind(job.framesFrom) != FileKind::folder)
        return fail(QStringLiteral("cannot read the frames in %1: there is no such folder")
                        .arg(quoted(job.framesFrom)));
    const FolderEntries entries = folderEntries(job.framesFrom);
    if (entries.error)
        return fail(QStringLiteral("cannot read the frames in %1: %2")
                        .arg(quoted(job.framesFrom), *entries.error));
    // The highest frame number by the number of its digits.
    std::map<int, int> highest;
    for (const QString& name : entries.names)
        if (const std::optional<FrameNumber> number = frameNumber(name))
            highest[number->digits] = std::max(highest[number->digits], number->frame);
    std::set<int> counts;
    for (const auto& [digits, frame] : highest)
        if (frameDigits(frame + 1) == digits)
            counts.insert(frame + 1);
    if (job.framesGiven) {
        joined.frames = job.frames;
    } else if (counts.size() == 1) {
        joined.frames = *counts.begin();
    } else if (counts.empty()) {
        return fail(QStringLiteral("%1 holds no frames").arg(quoted(job.framesFrom)));
    } else {
        QStringList movies;
        for (int count : counts)
            movies << QStringLiteral("%1 to %2")
                          .arg(frameFileName(0, count), frameFileName(count - 1, count));
        return fail(QStringLiteral("%1 holds the frames of %2 movies, %3: give --frames")
                        .arg(quoted(job.framesFrom))
                        .arg(counts.size())
                        .arg(movies.join(QStringLiteral(" and "))));
    }
    joined.first = frameFileName(0, joined.frames);
    joined.last = frameFileName(joined.frames - 1, joined.frames);
    const auto more = highest.find(frameDigits(joined.frames));
    if (more != highest.end() && more->second >= joined.frames)
        return fail(QStringLiteral("%1 holds more than %2 frames, %3 to %4")
                        .arg(quoted(job.framesFrom))
                        .arg(joined.frames)
                        .arg(joined.first, joined.last));
    return joined;
}

// Checks that every frame's name is there, before any is read.
int checkNames(const MovieJob& job, const JoinedFrames& joined)
{
    for (int frame = 0; frame < joined.frames; ++frame) {
        const QString name = frameFileName(frame, joined.frames);
        if (fileKind(inFolder(job.framesFrom, name), Links::keep) == FileKind::missing)
            return badInput(QStringLiteral("%1 lacks the frame %2 of %3, %4 to %5")
                                .arg(quoted(job.framesFrom), name)
                                .arg(joined.frames)
                                .arg(joined.first, joined.last));
    }
    return 0;
}

// Checks, before any is joined, that the frames are there, readable up to
// their pixels, of one size that a video takes, and of one movie: each of
// the view on the path from the first frame's view to the last's, or on the
// movie's path if it was given. Sets size.
int checkJoin(const MovieJob& job, const JoinedFrames& joined, QSize& size)
{
    if (const int status = checkNames(job, joined))
        return status;
    View ends[2] = {job.from, job.to};
    for (int frame = 0; frame < joined.frames; ++frame) {
        if (stopFlag())
            endByStopSignal();
        // The ends first: the path between them is the movie's.
        const int at = frame == 0 ? 0 : frame == 1 ? joined.frames - 1 : frame - 1;
        const bool end = at == 0 || at == joined.frames - 1;
        const QString name = frameFileName(at, joined.frames);
        const QString fileName = inFolder(job.framesFrom, name);
        const FrameReader reader(fileName);
        if (reader.kind() == FrameReader::Kind::notFile)
            return badInput(QStringLiteral("%1 is not a regular file: it cannot be a frame")
                                .arg(quoted(fileName)));
        if (reader.kind() != FrameReader::Kind::picture)
            return badInput(QStringLiteral("cannot read the frame %1: %2")
                                .arg(quoted(fileName), shownText(reader.reason())));
        if (frame == 0)
            size = job.sizeGiven ? QSize(job.width, job.height) : reader.size();
        if (reader.size() != size)
            return badInput(QStringLiteral("the frame %1 is %2x%3 pixels, not %4x%5: a video's "
                                           "frames are all of one size")
                                .arg(quoted(fileName))
                                .arg(reader.size().width())
                                .arg(reader.size().height())
                                .arg(size.width())
                                .arg(size.height()));
        const ViewParse own = parseView(reader.view(), size.width(), size.height());
        if (end && !job.viewsGiven && !own.ok())
            return badInput(QStringLiteral("%1 is not a movie's frame: its view is %2")
                                .arg(quoted(fileName), reader.view().empty()
                                                           ? QStringLiteral("none")
                                                           : viewText(reader.view())));
        if (end && !job.viewsGiven) {
            ends[at == 0 ? 0 : 1] = own.view;
            continue;
        }
        const std::string expected = formatView(movieFrame(ends[0], ends[1], at, joined.frames));
        if (reader.view() != expected)
            return badInput(
                QStringLiteral("%1 is not a frame of the movie from %2 to %3: its view "
                               "is %4, not %5")
                    .arg(quoted(fileName), viewText(formatView(ends[0])),
                         viewText(formatView(ends[1])),
                         reader.view().empty() ? QStringLiteral("none") : viewText(reader.view()),
                         viewText(expected)));
    }
    if (size.width() % 2 != 0 || size.height() % 2 != 0)
        return badInput(QStringLiteral("the frames are %1x%2 pixels: a video's width and height "
                                       "must be even")
                            .arg(size.width())
                            .arg(size.height()));
    if (const std::optional<QString> refusal =
            VideoEncoder::sizeRefusal(job.out, size.width(), size.height()))
        return badInput(*refusal);
    return 0;
}

// Reads the frame's rows into the video.
std::optional<QString> pipeFrame(const QString& fileName, QSize size, VideoEncoder& encoder)
{
    FrameReader reader(fileName);
    if (reader.kind() != FrameReader::Kind::picture || reader.size() != size)
        return reader.reason().isEmpty() ? QStringLiteral("it changed while it was joined")
                                         : reader.reason();
    // About a render's band at a time.
    const int rows = std::clamp(262144 / size.width(), 1, size.height());
    std::vector<uint8_t> rgb(size_t(rows) * size_t(size.width()) * 3);
    for (int row = 0; row < size.height(); row += rows) {
        const int count = std::min(rows, size.height() - row);
        if (!reader.readRows(rgb.data(), count))
            return reader.reason();
        if (!encoder.writeRows(rgb.data(), count))
            return encoder.errorString();
    }
    if (!reader.finish())
        return reader.reason();
    return std::nullopt;
}

int joinFrames(const MovieJob& job)
{
    const JoinedFrames joined = framesToJoin(job);
    if (joined.error)
        return badInput(*joined.error);
    QSize size;
    if (const int status = checkJoin(job, joined, size))
        return status;

    VideoEncoder encoder(job.out, size.width(), size.height(), job.fps, &stopFlag());
    if (const int status = startVideo(encoder, job.out))
        return status;
    MovieProgress progress(job.quiet ? -1 : STDERR_FILENO, joined.frames);
    for (int frame = 0; frame < joined.frames && !stopFlag(); ++frame) {
        const QString fileName = inFolder(job.framesFrom, frameFileName(frame, joined.frames));
        if (const std::optional<QString> error = pipeFrame(fileName, size, encoder)) {
            // A write that failed is ffmpeg's to explain.
            if (stopFlag() || !encoder.errorString().isEmpty())
                break;
            encoder.cancel();
            progress.stop();
            return failWith(QStringLiteral("cannot join the frame %1: %2")
                                .arg(quoted(fileName), shownText(*error)));
        }
        progress.update(frame + 1, 0);
    }
    return finishVideo(encoder, job.out, progress);
}

// The movie's options in full on standard output, after checking OUT.
int checkMovie(const MovieJob& job)
{
    const FileKind out = fileKind(job.out);
    if (!job.video && out != FileKind::missing && out != FileKind::folder)
        return badInput(QStringLiteral("cannot write the frames into %1: it is not a folder")
                            .arg(quoted(job.out)));
    if (job.video && out != FileKind::missing && out != FileKind::regular)
        return badInput(QStringLiteral("cannot write the video %1: it is not a regular file")
                            .arg(quoted(job.out)));
    const QByteArray lines = job.optionLines().toUtf8();
    if (std::fputs(lines.constData(), stdout) < 0 || std::fflush(stdout) != 0)
        return failWith(QStringLiteral("cannot write the options: %1").arg(systemError(errno)));
    return 0;
}

} // namespace

int runMovie(int argc, char* argv[], const CommandLine& commandLine)
{
    startCommand();
    // Qt's set-up of the process: its locale, by which file names are
    // encoded, and the events of ffmpeg's process.
    const QCoreApplication app(argc, argv);
    const MovieJob& job = commandLine.movieJob();
    if (job.check)
        return checkMovie(job);
    if (!job.framesFrom.isEmpty())
        return joinFrames(job);
    return job.video ? renderVideo(job, commandLine.threads())
                     : renderFolder(job, commandLine.threads());
}
