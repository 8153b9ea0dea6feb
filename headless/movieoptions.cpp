#include "movieoptions.h"

#include "joinoptions.h"
#include "localfiles.h"
#include "moviepath.h"
#include "optionvalues.h"
#include "outsidetext.h"
#include "pictureview.h"
#include "renderoptions.h"
#include "videoencoder.h"
#include "viewtext.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {

// The movie's length in frames: --frames, or --seconds at the rate.
OptionCheck readLength(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (parser.isSet(options.seconds) && parser.isSet(options.frames))
        return usageError(QStringLiteral("give the movie's length either with --seconds or "
                                         "with --frames, not both"));
    const QString framesText = QStringLiteral("a movie has 2 to %1 frames, its first and its last "
                                              "among them")
                                   .arg(MovieJob::largestFrames);
    job.framesGiven = parser.isSet(options.frames) || parser.isSet(options.seconds);
    if (parser.isSet(options.frames)) {
        const std::optional<int> frames =
            wholeNumber(parser.value(options.frames), 2, MovieJob::largestFrames);
        if (!frames)
            return usageError(QStringLiteral("--frames takes a whole number: %1, not '%2'")
                                  .arg(framesText, shownText(parser.value(options.frames))));
        job.frames = *frames;
        return std::nullopt;
    }
    double seconds = 10;
    if (parser.isSet(options.seconds)) {
        const std::optional<double> given =
            positiveNumber(parser.value(options.seconds), std::numeric_limits<double>::max());
        if (!given)
            return usageError(QStringLiteral("--seconds takes a number above 0, not '%1'")
                                  .arg(shownText(parser.value(options.seconds))));
        seconds = *given;
    }
    const double frames = std::round(seconds * job.fps);
    if (!(frames >= 2 && frames <= MovieJob::largestFrames))
        return usageError(QStringLiteral("%1 seconds at %2 frames a second make %3 frames: %4")
                              .arg(QString::number(seconds, 'g', 15),
                                   QString::number(job.fps, 'g', 15),
                                   QString::number(frames, 'g', 15), framesText));
    job.frames = int(frames);
    return std::nullopt;
}

// OUT, the rate and the length, and a video's size, which every movie reads.
OptionCheck readCommon(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (const OptionCheck error =
            readName(parser, options.movie, "the folder or the video file to write", job.out))
        return error;
    job.video = VideoEncoder::isVideo(job.out);
    // A name that says another kind of video or a picture would make a
    // folder that looks like something else.
    static const QStringList others = {
        QStringLiteral("avi"),  QStringLiteral("mov"),  QStringLiteral("gif"),
        QStringLiteral("flv"),  QStringLiteral("wmv"),  QStringLiteral("asf"),
        QStringLiteral("mpg"),  QStringLiteral("mpeg"), QStringLiteral("m4v"),
        QStringLiteral("ogv"),  QStringLiteral("ogg"),  QStringLiteral("ts"),
        QStringLiteral("m2ts"), QStringLiteral("3gp"),  QStringLiteral("mxf"),
        QStringLiteral("apng"), QStringLiteral("webp"), QStringLiteral("png"),
        QStringLiteral("jpg"),  QStringLiteral("jpeg")};
    const QString suffix = QFileInfo(job.out).suffix();
    if (others.contains(suffix, Qt::CaseInsensitive))
        return OptionError{
            QStringLiteral("--movie makes a folder of frames, or a video ending in "
                           "%1, and '%2' ends in '.%3': name the folder without "
                           "it, or the video with one of those")
                .arg(QLatin1String(VideoEncoder::suffixes), shownText(job.out), shownText(suffix))};
    job.check = parser.isSet(options.check);
    if (parser.isSet(options.fps)) {
        const std::optional<double> fps =
            positiveNumber(parser.value(options.fps), MovieJob::largestFps);
        if (!fps)
            return usageError(QStringLiteral("--fps takes a number above 0 and up to %1, not '%2'")
                                  .arg(MovieJob::largestFps)
                                  .arg(shownText(parser.value(options.fps))));
        job.fps = *fps;
        job.fpsGiven = true;
    }
    if (const OptionCheck error = readLength(parser, options, job))
        return error;
    // A video is encoded as 4:2:0, whose colours cover two pixels each way,
    // and its codec takes frames up to a size.
    if (job.video && (job.width % 2 != 0 || job.height % 2 != 0))
        return usageError(QStringLiteral("a video's width and height must be even, not %1x%2")
                              .arg(job.width)
                              .arg(job.height));
    if (const auto refusal =
            job.video ? VideoEncoder::sizeRefusal(job.out, job.width, job.height) : std::nullopt)
        return usageError(*refusal);
    return std::nullopt;
}

// --frame-range into job's first and last frames.
OptionCheck readRange(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    job.first = 0;
    job.last = job.frames - 1;
    if (!parser.isSet(options.frameRange))
        return std::nullopt;
    if (job.video)
        return usageError(
            QStringLiteral("--frame-range renders frames into a folder, not a video"));
    const QString range = parser.value(options.frameRange);
    const qsizetype dash = range.indexOf(QLatin1Char('-'));
    const std::optional<int> first = wholeNumber(range.left(dash), 0, job.last);
    const std::optional<int> last = wholeNumber(range.mid(dash + 1), first.value_or(0), job.last);
    if (dash < 0 || !first || !last)
        return usageError(QStringLiteral("--frame-range takes I-J, whole numbers with 0 <= I <= J "
                                         "<= %1 for a movie of %2 frames, not '%3'")
                              .arg(job.last)
                              .arg(job.frames)
                              .arg(shownText(range)));
    job.first = *first;
    job.last = *last;
    return std::nullopt;
}

} // namespace

OptionCheck readMovieViews(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (parser.isSet(options.from))
        if (const OptionCheck error = readViewValue(options.from, parser.value(options.from),
                                                    job.width, job.height, job.from))
            return error;
    if (const OptionCheck error =
            readViewValue(options.to, parser.value(options.to), job.width, job.height, job.to))
        return error;
    job.stretch = parser.isSet(options.stretch);
    const QSize size(job.width, job.height);
    if (const OptionCheck error = fitView(parser, options, size, job.from))
        return error;
    return fitView(parser, options, size, job.to);
}

OptionCheck readMovie(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (const OptionCheck error = readCommon(parser, options, job))
        return error;
    if (parser.isSet(options.framesFrom))
        return readJoin(parser, options, job);
    if (!parser.isSet(options.to))
        return usageError(QStringLiteral("--movie needs the last frame's view: --to"));
    if (const OptionCheck error = readRange(parser, options, job))
        return error;
    if (const OptionCheck error = readMovieViews(parser, options, job))
        return error;
    // Each frame's view is written into its picture and must read back as
    // one that can be drawn at this size, as A and B do.
    for (int frame = job.first; frame <= job.last; ++frame) {
        const std::string text = formatView(movieFrame(job.from, job.to, frame, job.frames));
        const ViewParse parse = parseView(text, job.width, job.height);
        if (!parse.ok())
            return OptionError{
                QStringLiteral("frame %1 of the movie, view %2, cannot be drawn: %3")
                    .arg(frame)
                    .arg(QString::fromStdString(text), QString::fromStdString(parse.reason()))};
    }
    return std::nullopt;
}

QString MovieJob::optionLines() const
{
    QString lines;
    const auto line = [&lines](const char* name, const std::string& value) {
        lines +=
            QStringLiteral("--%1=%2\n").arg(QLatin1String(name), QString::fromStdString(value));
    };
    if (framesFrom.isEmpty() || viewsGiven) {
        line("from", formatView(from));
        line("to", formatView(to));
    }
    if (framesFrom.isEmpty() || sizeGiven)
        line("size", std::to_string(width) + 'x' + std::to_string(height));
    if (stretch)
        lines += QStringLiteral("--stretch\n");
    line("fps", formatNumber(fps));
    if (framesFrom.isEmpty() || framesGiven)
        line("frames", std::to_string(frames));
    return lines;
}
