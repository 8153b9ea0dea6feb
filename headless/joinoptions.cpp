#include "joinoptions.h"

#include "movieoptions.h"
#include "videoencoder.h"

#include <QCommandLineParser>

OptionCheck readJoin(const QCommandLineParser& parser, const Options& options, MovieJob& job)
{
    if (!job.video)
        return usageError(QStringLiteral("--frames-from joins frames into a video: OUT must end "
                                         "in %1")
                              .arg(QLatin1String(VideoEncoder::suffixes)));
    if (parser.isSet(options.frameRange))
        return usageError(QStringLiteral("--frame-range does not apply with --frames-from: the "
                                         "frames are made already"));
    if (const OptionCheck error =
            readName(parser, options.framesFrom, "the folder of the frames", job.framesFrom))
        return error;
    // The movie the frames must be, if given, as the one that made them.
    job.viewsGiven = parser.isSet(options.to);
    if (parser.isSet(options.from) && !job.viewsGiven)
        return usageError(QStringLiteral("--from goes with --to"));
    return job.viewsGiven ? readMovieViews(parser, options, job) : std::nullopt;
}
