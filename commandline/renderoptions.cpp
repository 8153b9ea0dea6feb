#include "renderoptions.h"

#include "colouroptions.h"
#include "outsidetext.h"

#include <QCommandLineParser>
#include <QFileInfo>

OptionCheck readRender(const QCommandLineParser& parser, const Options& options,
                       RenderCommand& render)
{
    if (const OptionCheck error =
            readName(parser, options.render, "the name of the file to write", render.file))
        return error;
    const QString suffix = QFileInfo(render.file).suffix();
    if (!suffix.isEmpty() && suffix.compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
        return OptionError{QStringLiteral("--render writes PNG only, and '%1' ends in '.%2' (name "
                                          "it .png, or with no suffix)")
                               .arg(shownText(render.file), shownText(suffix))};
    RenderJob& job = render.job;
    QSize size(job.width, job.height);
    if (const OptionCheck error = readSize(parser, options, Render::largestSide, size))
        return error;
    job.width = size.width();
    job.height = size.height();
    if (const OptionCheck error = readSamples(parser, options, job.samples))
        return error;
    bool colourGiven = false;
    if (const OptionCheck error = readColouring(parser, options, job.colour, colourGiven))
        return error;
    render.quiet = parser.isSet(options.quiet);
    if (const OptionCheck error = refuseOptions(parser, options.movieOwn(), "--movie"))
        return error;
    std::optional<View> view;
    std::optional<PictureView> picture;
    if (const OptionCheck error =
            readViewOrFile(parser, options, job.width, job.height, view, &picture))
        return error;
    job.view = view.value_or(View{});
    // A picture drawn again looks as it did: its colouring and its samples,
    // unless others are given.
    if (picture && !colourGiven)
        if (const OptionCheck error =
                recordedColouring(picture->fileName, picture->recorded, job.colour))
            return error;
    if (picture && !parser.isSet(options.samples))
        if (const OptionCheck error = recordedSamples(*picture, job.samples))
            return error;
    return fitView(parser, options, size, job.view);
}
