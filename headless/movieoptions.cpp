#include "movieoptions.h"

#include "commandline.h"
#include "localfiles.h"
#include "moviepath.h"
#include "outsidetext.h"
#include "pictureview.h"
#include "videoencoder.h"
#include "viewtext.h"

#include <QCommandLineParser>

#include <cmath>

namespace {

constexpr double largestFps = 1000;

QString optionName(const QCommandLineOption& option)
{
    return QStringLiteral("--") + option.names().constFirst();
}

// A view given to --from or --to: four numbers, or a picture saved by
// Quenthar. Text with no comma, or the name of a file that exists, is a
// picture.
std::optional<MovieOptions::Error> readView(const QString& option, const QString& text, int columns,
                                            int rows, View& view)
{
    if (!text.contains(QLatin1Char(',')) || fileKind(text) != FileKind::missing) {
        const PictureView picture = readPictureView(text, columns, rows);
        if (!picture.ok())
            return MovieOptions::Error{picture.reason()};
        view = picture.view;
        return std::nullopt;
    }
    const ViewParse parse = parseView(text.toStdString(), columns, rows);
    if (!parse.ok())
        return MovieOptions::Error{
            QStringLiteral("bad view '%1' for %2: %3")
                .arg(shownText(text), option, QString::fromStdString(parse.reason()))};
    view = parse.view;
    return std::nullopt;
}

} // namespace

MovieOptions::MovieOptions()
    : m_movie(QStringLiteral("movie"),
              QStringLiteral("Draws a zoom movie from the view --from to the view --to and "
                             "exits, with no window and no display. OUT is a folder, which "
                             "gets one PNG a frame, or a video file ending in .mp4, .mkv or "
                             ".webm, made by ffmpeg."),
              QStringLiteral("OUT")),
      m_from(QStringLiteral("from"),
             QStringLiteral("With --movie: the first frame's view, as with --view, or a picture "
                            "saved by Quenthar (default: the starting view)."),
             QStringLiteral("A")),
      m_to(QStringLiteral("to"),
           QStringLiteral("With --movie: the last frame's view, or a picture saved by "
                          "Quenthar."),
           QStringLiteral("B")),
      m_fps(QStringLiteral("fps"),
            QStringLiteral("With --movie: frames a second, above 0 and up to %1 (default: 30).")
                .arg(largestFps),
            QStringLiteral("F")),
      m_seconds(QStringLiteral("seconds"),
                QStringLiteral("With --movie: the movie's length in seconds (default: 10)."),
                QStringLiteral("S")),
      m_frames(QStringLiteral("frames"),
               QStringLiteral("With --movie: the number of frames, 2 to %1, instead of "
                              "--seconds. With --frames-from: the number the folder must hold.")
                   .arg(MovieJob::largestFrames),
               QStringLiteral("N")),
      m_frameRange(QStringLiteral("frame-range"),
                   QStringLiteral("With --movie and a folder: renders only the frames I to J, "
                                  "counted from 0, so that several machines can share a "
                                  "movie."),
                   QStringLiteral("I-J")),
      m_framesFrom(QStringLiteral("frames-from"),
                   QStringLiteral("With --movie and a video: joins the frames in the folder DIR, "
                                  "made by --movie, instead of rendering them; with --to, "
                                  "--frames or --size, they must be that movie's."),
                   QStringLiteral("DIR")),
      m_check(QStringLiteral("check"),
              QStringLiteral("With --movie: checks the options and OUT, draws nothing, and "
                             "prints the movie's options in full, one a line, views as "
                             "numbers."))
{
}

QString MovieJob::optionLines() const
{
    QString lines;
    const auto line = [&lines](const char* name, const QString& value) {
        lines += QStringLiteral("--%1=%2\n").arg(QLatin1String(name), value);
    };
    if (framesFrom.isEmpty() || viewsGiven) {
        line("from", QString::fromStdString(formatView(from)));
        line("to", QString::fromStdString(formatView(to)));
    }
    if (framesFrom.isEmpty() || sizeGiven)
        line("size", QStringLiteral("%1x%2").arg(width).arg(height));
    line("fps", QString::fromStdString(formatNumber(fps)));
    if (framesFrom.isEmpty() || framesGiven)
        line("frames", QString::number(frames));
    return lines;
}

QList<QCommandLineOption> MovieOptions::options() const
{
    return {m_movie, m_from, m_to, m_fps, m_seconds, m_frames, m_frameRange, m_framesFrom, m_check};
}

QString MovieOptions::firstSet(const QCommandLineParser& parser) const
{
    for (const QCommandLineOption* option :
         {&m_from, &m_to, &m_fps, &m_seconds, &m_frames, &m_frameRange, &m_framesFrom, &m_check})
        if (parser.isSet(*option))
            return optionName(*option);
    return {};
}

std::optional<MovieOptions::Error> MovieOptions::read(const QCommandLineParser& parser,
                                                      MovieJob& job) const
{
    const auto usage = [](const QString& text) { return Error{text, true}; };
    job.out = parser.value(m_movie);
    if (job.out.isEmpty())
        return usage(QStringLiteral("--movie takes the folder or the video file to write"));
    job.video = VideoEncoder::isVideo(job.out);

    if (parser.isSet(m_fps)) {
        const std::optional<double> fps =
            CommandLine::positiveNumber(parser.value(m_fps), largestFps);
        if (!fps)
            return usage(QStringLiteral("--fps takes a number above 0 and up to %1, not '%2'")
                             .arg(largestFps)
                             .arg(shownText(parser.value(m_fps))));
        job.fps = *fps;
    }
    if (parser.isSet(m_seconds) && parser.isSet(m_frames))
        return usage(QStringLiteral("give the movie's length either with --seconds or with "
                                    "--frames, not both"));
    const QString framesText = QStringLiteral("a movie has 2 to %1 frames, its first and its last "
                                              "among them")
                                   .arg(MovieJob::largestFrames);
    job.framesGiven = parser.isSet(m_frames) || parser.isSet(m_seconds);
    job.check = parser.isSet(m_check);
    if (parser.isSet(m_frames)) {
        const std::optional<int> frames =
            CommandLine::wholeNumber(parser.value(m_frames), 2, MovieJob::largestFrames);
        if (!frames)
            return usage(QStringLiteral("--frames takes a whole number: %1, not '%2'")
                             .arg(framesText, shownText(parser.value(m_frames))));
        job.frames = *frames;
    } else {
        double seconds = 10;
        if (parser.isSet(m_seconds)) {
            const std::optional<double> given =
                CommandLine::positiveNumber(parser.value(m_seconds), MovieJob::largestFrames);
            if (!given)
                return usage(QStringLiteral("--seconds takes a number above 0, not '%1'")
                                 .arg(shownText(parser.value(m_seconds))));
            seconds = *given;
        }
        const double frames = std::round(seconds * job.fps);
        if (!(frames >= 2 && frames <= MovieJob::largestFrames))
            return usage(QStringLiteral("%1 seconds at %2 frames a second make %3 frames: %4")
                             .arg(seconds)
                             .arg(job.fps)
                             .arg(qint64(frames))
                             .arg(framesText));
        job.frames = int(frames);
    }
    // A video is encoded as 4:2:0, whose colours cover two pixels each way,
    // and its codec takes frames up to a size.
    if (job.video && (job.width % 2 != 0 || job.height % 2 != 0))
        return usage(QStringLiteral("a video's width and height must be even, not %1x%2")
                         .arg(job.width)
                         .arg(job.height));
    if (job.video)
        if (const std::optional<QString> refusal =
                VideoEncoder::sizeRefusal(job.out, job.width, job.height))
            return usage(*refusal);

    if (parser.isSet(m_framesFrom)) {
        if (!job.video)
            return usage(QStringLiteral("--frames-from joins frames into a video: OUT must end "
                                        "in .mp4, .mkv or .webm"));
        if (parser.isSet(m_frameRange))
            return usage(QStringLiteral("--frame-range does not apply with --frames-from: the "
                                        "frames are made already"));
        job.framesFrom = parser.value(m_framesFrom);
        if (job.framesFrom.isEmpty())
            return usage(QStringLiteral("--frames-from takes the folder of the frames"));
        // The movie the frames must be, if given, as the one that made them.
        job.viewsGiven = parser.isSet(m_to);
        if (parser.isSet(m_from) && !job.viewsGiven)
            return usage(QStringLiteral("--from goes with --to"));
        return job.viewsGiven ? readViews(parser, job) : std::nullopt;
    }
    if (!parser.isSet(m_to))
        return usage(QStringLiteral("--movie needs the last frame's view: --to"));

    job.first = 0;
    job.last = job.frames - 1;
    if (parser.isSet(m_frameRange)) {
        if (job.video)
            return usage(QStringLiteral("--frame-range renders frames into a folder, not a "
                                        "video"));
        const QString range = parser.value(m_frameRange);
        const qsizetype dash = range.indexOf(QLatin1Char('-'));
        const std::optional<int> first = CommandLine::wholeNumber(range.left(dash), 0, job.last);
        const std::optional<int> last =
            CommandLine::wholeNumber(range.mid(dash + 1), first.value_or(0), job.last);
        if (dash < 0 || !first || !last)
            return usage(QStringLiteral("--frame-range takes I-J, whole numbers with "
                                        "0 <= I <= J <= %1 for a movie of %2 frames, not '%3'")
                             .arg(job.last)
                             .arg(job.frames)
                             .arg(shownText(range)));
        job.first = *first;
        job.last = *last;
    }
    if (const auto error = readViews(parser, job))
        return error;
    // Each frame's view is written into its picture and must read back as
    // one that can be drawn at this size, as A and B do.
    for (int frame = job.first; frame <= job.last; ++frame) {
        const std::string text = formatView(movieFrame(job.from, job.to, frame, job.frames));
        const ViewParse parse = parseView(text, job.width, job.height);
        if (!parse.ok())
            return Error{
                QStringLiteral("frame %1 of the movie, view %2, cannot be drawn: %3")
                    .arg(frame)
                    .arg(QString::fromStdString(text), QString::fromStdString(parse.reason()))};
    }
    return std::nullopt;
}

std::optional<MovieOptions::Error> MovieOptions::readViews(const QCommandLineParser& parser,
                                                           MovieJob& job) const
{
    if (parser.isSet(m_from))
        if (const auto error =
                readView(optionName(m_from), parser.value(m_from), job.width, job.height, job.from))
            return error;
    return readView(optionName(m_to), parser.value(m_to), job.width, job.height, job.to);
}
