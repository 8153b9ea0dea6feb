#include "movieoptions.h"

#include "colouroptions.h"
#include "localfiles.h"
#include "moviepath.h"
#include "optionvalues.h"
#include "outsidetext.h"
#include "viewtext.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cmath>
#include <limits>

namespace {

// OUT: a folder of frames, or a video by its suffix; a name that says another
// kind of video or a picture would make a folder that looks like something
// else.
OptionCheck readOut(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (const OptionCheck error =
            readName(parser, options.movie, "the folder or the video file to write", job.out))
        return error;
    job.video = isVideo(job.out);
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
                .arg(QLatin1String(videoSuffixes), shownText(job.out), shownText(suffix))};
    return std::nullopt;
}

// --fps, if given.
OptionCheck readRate(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (!parser.isSet(options.fps))
        return std::nullopt;
    const std::optional<double> fps =
        positiveNumber(parser.value(options.fps), MovieJob::largestFps);
    if (!fps)
        return usageError(QStringLiteral("--fps takes a number above 0 and up to %1, not '%2'")
                              .arg(MovieJob::largestFps)
                              .arg(shownText(parser.value(options.fps))));
    job.fps = *fps;
    job.fpsGiven = true;
    return std::nullopt;
}

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

// The frames' size, which a video's codec must take, and whether the
// progress is silenced.
OptionCheck readFrameSize(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    QSize size(job.width, job.height);
    if (const OptionCheck error = readSize(parser, options, MovieJob::largestSide, size))
        return error;
    job.width = size.width();
    job.height = size.height();
    job.sizeGiven = parser.isSet(options.size);
    job.samplesGiven = parser.isSet(options.samples);
    if (const OptionCheck error = readSamples(parser, options, job.samples))
        return error;
    if (const OptionCheck error = readColouring(parser, options, job.colour, job.colourGiven))
        return error;
    job.stretch = parser.isSet(options.stretch);
    job.quiet = parser.isSet(options.quiet);
    if (const auto refusal =
            job.video ? videoSizeRefusal(job.out, job.width, job.height) : std::nullopt)
        return usageError(*refusal);
    return std::nullopt;
}

// --from (if given) and --to into job, as views or saved pictures, each
// drawable at the movie's size.
OptionCheck readViews(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (parser.isSet(options.from))
        if (const OptionCheck error = readViewValue(options.from, parser.value(options.from),
                                                    job.width, job.height, job.from))
            return error;
    if (const OptionCheck error =
            readViewValue(options.to, parser.value(options.to), job.width, job.height, job.to))
        return error;
    const QSize size(job.width, job.height);
    if (const OptionCheck error = fitView(parser, options, size, job.from))
        return error;
    return fitView(parser, options, size, job.to);
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

// A movie to draw: its views, each frame's drawable, and the frames to
// draw.
OptionCheck readFrames(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (!parser.isSet(options.to))
        return usageError(QStringLiteral("--movie needs the last frame's view: --to"));
    if (const OptionCheck error = readRange(parser, options, job))
        return error;
    if (const OptionCheck error = readViews(parser, options, job))
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

// Frames joined into a video: their folder, and the movie they must be, if
// its views are given.
OptionCheck readJoin(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (!job.video)
        return usageError(QStringLiteral("--frames-from joins frames into a video: OUT must end "
                                         "in %1")
                              .arg(QLatin1String(videoSuffixes)));
    if (parser.isSet(options.frameRange))
        return usageError(QStringLiteral("--frame-range does not apply with --frames-from: the "
                                         "frames are made already"));
    if (const OptionCheck error =
            readName(parser, options.framesFrom, "the folder of the frames", job.framesFrom))
        return error;
    job.viewsGiven = parser.isSet(options.to);
    if (parser.isSet(options.from) && !job.viewsGiven)
        return usageError(QStringLiteral("--from goes with --to"));
    return job.viewsGiven ? readViews(parser, options, job) : std::nullopt;
}

} // namespace

OptionCheck readMovie(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (parser.isSet(options.render))
        return usageError(QStringLiteral("give either --render or --movie, not both"));
    if (parser.isSet(options.view) || !parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("a movie takes its views with --from and --to"));
    if (const OptionCheck error =
            refuseOptions(parser, {&options.rows, &options.parts}, "--render"))
        return error;
    if (const OptionCheck error = readOut(parser, options, job))
        return error;
    job.check = parser.isSet(options.check);
    if (const OptionCheck error = readRate(parser, options, job))
        return error;
    if (const OptionCheck error = readLength(parser, options, job))
        return error;
    if (const OptionCheck error = readFrameSize(parser, options, job))
        return error;
    return parser.isSet(options.framesFrom) ? readJoin(parser, options, job)
                                            : readFrames(parser, options, job);
}
