#include "moviejoin.h"

#include "colourtexts.h"
#include "framereader.h"
#include "localfiles.h"
#include "movieframes.h"
#include "moviepath.h"
#include "movieprogress.h"
#include "movievideo.h"
#include "optionvalues.h"
#include "outsidetext.h"
#include "printing.h"
#include "stopsignals.h"
#include "videoencoder.h"
#include "videoformats.h"
#include "viewtext.h"

#include <cmath>
#include <map>
#include <set>
#include <string>

#include <unistd.h>

namespace {

QString viewText(const std::string& view)
{
    return shownText(QString::fromStdString(view));
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
    } else if (counts.empty() && highest.empty()) {
        return fail(QStringLiteral("%1 holds no frames").arg(quoted(job.framesFrom)));
    } else if (counts.empty()) {
        // Frames whose names have more digits than their number needs: the
        // first ones of a longer movie.
        const auto [digits, frame] = *highest.begin();
        const auto name = [digits = digits](int number) {
            return frameFileNameOfDigits(number, digits);
        };
        return fail(QStringLiteral("%1 holds %2 to %3, the first frames of a movie of %4 to %5 "
                                   "frames: give --frames, or make the frames that are missing")
                        .arg(quoted(job.framesFrom), name(0), name(frame),
                             QString::number(std::pow(10.0, digits - 1) + 1, 'f', 0),
                             QString::number(std::pow(10.0, digits), 'f', 0)));
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
            return refuseWith(QStringLiteral("%1 lacks the frame %2 of %3, %4 to %5")
                                  .arg(quoted(job.framesFrom), name)
                                  .arg(joined.frames)
                                  .arg(joined.first, joined.last));
    }
    return 0;
}

// Refuses a frame that is not a picture that can be read.
int checkReadable(const QString& fileName, const FrameReader& reader)
{
    if (reader.kind() == FrameReader::Kind::notFile)
        return refuseWith(notAFrame(fileName));
    if (reader.kind() != FrameReader::Kind::picture)
        return refuseWith(cannotReadFrame(fileName, reader.reason()));
    return 0;
}

// What the frames checked so far have, which every next one must have: the
// size, the rate recorded (empty until one is) and the samples a pixel (0
// until known).
struct FramesSeen {
    QSize size;
    std::string rate;
    int samples = 0;
    // The colouring's entries, set by the first frame.
    std::optional<std::vector<PictureText>> colouring;
};

// Frames record their movie's rate: one movie's frames have one. rate is the
// first one recorded.
int checkRate(const QString& fileName, const FrameReader& reader, std::string& rate)
{
    if (!reader.frameRate().empty() &&
        !positiveNumber(QString::fromStdString(reader.frameRate()), MovieJob::largestFps))
        return refuseWith(QStringLiteral("%1 records a frame rate that is not one: '%2'")
                              .arg(quoted(fileName), viewText(reader.frameRate())));
    if (rate.empty())
        rate = reader.frameRate();
    if (!reader.frameRate().empty() && reader.frameRate() != rate)
        return refuseWith(QStringLiteral("%1 is a frame of a movie at %2 frames a second, not "
                                         "%3: the folder holds frames of two movies")
                              .arg(quoted(fileName), viewText(reader.frameRate()), viewText(rate)));
    return 0;
}

// One movie's frames have one number of samples a pixel: the one given, or
// else the first frame's.
int checkSamples(const QString& fileName, const FrameReader& reader, const MovieJob& job,
                 int& samples)
{
    const int own = recordedSamples(reader.samples());
    if (samples == 0)
        samples = job.samplesGiven ? job.samples : own;
    if (own == samples)
        return 0;
    return refuseWith(QStringLiteral("%1 has %2 samples a pixel, not %3: %4")
                          .arg(quoted(fileName), samplesText(own), samplesText(samples),
                               job.samplesGiven ? QStringLiteral("the frames are another movie's")
                                                : QStringLiteral("the folder holds frames of two "
                                                                 "movies")));
}

// One movie's frames have one colouring: the one given, or else the first
// frame's.
int checkColouring(const QString& fileName, const FrameReader& reader, const MovieJob& job,
                   std::optional<std::vector<PictureText>>& colouring)
{
    const std::vector<PictureText> own = recordedColouring(reader);
    if (!colouring)
        colouring = job.colourGiven ? colourTexts(job.colour) : own;
    if (colouringText(own) == colouringText(*colouring))
        return 0;
    return refuseWith(QStringLiteral("%1 is coloured %2, not %3: %4")
                          .arg(quoted(fileName), colouringText(own), colouringText(*colouring),
                               job.colourGiven ? QStringLiteral("the frames are another movie's")
                                               : QStringLiteral("the folder holds frames of two "
                                                                "movies")));
}

// Refuses a size the video cannot have.
int checkVideoSize(const MovieJob& job, QSize size)
{
    if (const std::optional<QString> refusal =
            videoSizeRefusal(job.out, size.width(), size.height()))
        return refuseWith(QStringLiteral("the frames are %1x%2 pixels: %3")
                              .arg(size.width())
                              .arg(size.height())
                              .arg(*refusal));
    return 0;
}

// Checks the frame at of the join, read up to its pixels: of the size of
// those before (which the first sets), of their rate, and of the movie, whose
// views ends holds; the ends themselves are read first and make those views
// unless the movie was given.
int checkJoinedFrame(const MovieJob& job, const JoinedFrames& joined, int at,
                     const QString& fileName, FramesSeen& seen, View ends[2])
{
    const FrameReader reader(fileName);
    if (const int status = checkReadable(fileName, reader))
        return status;
    QSize& size = seen.size;
    if (size.isEmpty())
        size = job.sizeGiven ? QSize(job.width, job.height) : reader.size();
    if (reader.size() != size)
        return refuseWith(QStringLiteral("the frame %1 is %2x%3 pixels, not %4x%5: a video's "
                                         "frames are all of one size")
                              .arg(quoted(fileName))
                              .arg(reader.size().width())
                              .arg(reader.size().height())
                              .arg(size.width())
                              .arg(size.height()));
    if (const int status = checkRate(fileName, reader, seen.rate))
        return status;
    if (const int status = checkSamples(fileName, reader, job, seen.samples))
        return status;
    if (const int status = checkColouring(fileName, reader, job, seen.colouring))
        return status;
    const bool end = at == 0 || at == joined.frames - 1;
    const QString own = reader.view().empty() ? QStringLiteral("none") : viewText(reader.view());
    if (end && !job.viewsGiven) {
        const ViewParse parse = parseView(reader.view(), size.width(), size.height());
        if (!parse.ok())
            return refuseWith(QStringLiteral("%1 is not a movie's frame: its view is %2")
                                  .arg(quoted(fileName), own));
        ends[at == 0 ? 0 : 1] = parse.view;
        return 0;
    }
    const std::string expected = formatView(movieFrame(ends[0], ends[1], at, joined.frames));
    if (reader.view() != expected)
        return refuseWith(QStringLiteral("%1 is not a frame of the movie from %2 to %3: its view "
                                         "is %4, not %5")
                              .arg(quoted(fileName), viewText(formatView(ends[0])),
                                   viewText(formatView(ends[1])), own, viewText(expected)));
    return 0;
}

// Checks, before any is joined, that the frames are there (or with partial,
// those there), readable up to their pixels, of one size that a video takes,
// and of one movie: each of the view on the path from the first frame's view
// to the last's, or on the movie's path if it was given. Sets size, empty if
// no frame was there, and rate.
int checkJoin(const MovieJob& job, const JoinedFrames& joined, FramesSeen& seen,
              MovieProgress& progress, bool partial = false)
{
    if (const int status = partial ? 0 : checkNames(job, joined))
        return status;
    View ends[2] = {job.from, job.to};
    for (int frame = 0; frame < joined.frames; ++frame) {
        setStopLine(QStringLiteral("stopped with %1 of the %2 frames checked; the same command "
                                   "joins them anew")
                        .arg(frame)
                        .arg(joined.frames));
        progress.checking(frame);
        if (stopFlag())
            endByStopSignal();
        // The ends first: the path between them is the movie's.
        const int at = frame == 0 ? 0 : frame == 1 ? joined.frames - 1 : frame - 1;
        const QString fileName = inFolder(job.framesFrom, frameFileName(at, joined.frames));
        if (partial && fileKind(fileName, Links::keep) == FileKind::missing)
            continue;
        if (const int status = checkJoinedFrame(job, joined, at, fileName, seen, ends))
            return status;
    }
    return seen.size.isEmpty() ? 0 : checkVideoSize(job, seen.size);
}

// The rate of the video: the one given, else the one the frames record.
double videoRate(const MovieJob& job, const std::string& recorded)
{
    return job.fpsGiven || recorded.empty()
               ? job.fps
               : *positiveNumber(QString::fromStdString(recorded), MovieJob::largestFps);
}

} // namespace

int joinFrames(const MovieJob& job)
{
    const JoinedFrames joined = framesToJoin(job);
    if (joined.error)
        return refuseWith(*joined.error);
    MovieProgress progress(job.quiet ? -1 : STDERR_FILENO, joined.frames, true);
    FramesSeen seen;
    if (const int status = checkJoin(job, joined, seen, progress))
        return status;
    const QSize size = seen.size;
    const double fps = videoRate(job, seen.rate);

    VideoEncoder encoder(job.out, size.width(), size.height(), fps, &stopFlag());
    if (const int status = startVideo(encoder, job.out))
        return status;
    progress.setClock(FrameClock({}, 0));
    for (int frame = 0; frame < joined.frames; ++frame) {
        setStopLine(QStringLiteral("stopped with %1 of the %2 frames joined; the same command "
                                   "joins them anew")
                        .arg(frame)
                        .arg(joined.frames));
        if (stopFlag())
            endByStopSignal();
        const QString fileName = inFolder(job.framesFrom, frameFileName(frame, joined.frames));
        if (const std::optional<QString> error = pipeFrame(fileName, size, encoder)) {
            encoder.cancel();
            progress.stop();
            return failWith(QStringLiteral("cannot join the frame %1: %2")
                                .arg(quoted(fileName), shownText(*error)));
        }
        // A write that failed is ffmpeg's to explain.
        if (!encoder.errorString().isEmpty())
            break;
        progress.keptFed(double(fileSize(fileName)));
        progress.encoded(encoder.encodedFrames());
    }
    if (stopFlag())
        endByStopSignal();
    setStopLine(QStringLiteral("stopped with the %1 frames joined, while ffmpeg encoded them; the "
                               "same command joins them anew")
                    .arg(joined.frames));
    return finishVideo(encoder, job.out, progress);
}

int checkJoinFrames(MovieJob& job)
{
    // With the movie given, its frames may be made yet: those there must be
    // its frames.
    const bool partial = job.viewsGiven;
    if (partial && fileKind(job.framesFrom) == FileKind::missing)
        return 0;
    const JoinedFrames joined = framesToJoin(job);
    if (joined.error)
        return refuseWith(*joined.error);
    MovieProgress progress(-1, joined.frames, true);
    FramesSeen seen;
    if (const int status = checkJoin(job, joined, seen, progress, partial))
        return status;
    job.fps = videoRate(job, seen.rate);
    if (seen.samples > 0)
        job.samples = seen.samples;
    if (seen.colouring)
        job.colour = parseColourTexts(*seen.colouring).choice;
    return 0;
}
