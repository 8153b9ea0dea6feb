#include "renderoptions.h"

#include "colouroptions.h"
#include "localfiles.h"
#include "optionvalues.h"
#include "outsidetext.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace {

// --parts: the poster to write from the parts in a folder, which hold every
// other thing about it.
OptionCheck readJoin(const QCommandLineParser& parser, const Options& options,
                     RenderCommand& render)
{
    if (const OptionCheck error =
            readName(parser, options.parts, "the folder of the parts", render.partsFolder))
        return error;
    render.joinParts = true;
    if (parser.isSet(options.view) || !parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("--parts joins the picture its parts hold: its view "
                                         "is theirs"));
    QList<const QCommandLineOption*> picture = {&options.size, &options.stretch, &options.samples,
                                                &options.rows};
    picture += options.colourOwn();
    return refuseOptions(parser, picture, "--render without --parts: the parts hold the picture");
}

// --rows: the part of the picture that holds rows I to J, into the folder
// OUT.
OptionCheck readRows(const QCommandLineParser& parser, const Options& options,
                     RenderCommand& render)
{
    RenderJob& job = render.job;
    const QString range = parser.value(options.rows);
    const qsizetype dash = range.indexOf(QLatin1Char('-'));
    const std::optional<int> first = wholeNumber(range.left(dash), 0, job.height - 1);
    const std::optional<int> last =
        wholeNumber(range.mid(dash + 1), first.value_or(0), job.height - 1);
    if (dash < 0 || !first || !last)
        return usageError(QStringLiteral("--rows takes I-J, whole numbers with 0 <= I <= J <= %1 "
                                         "for a picture of %2 rows, not '%3'")
                              .arg(job.height - 1)
                              .arg(job.height)
                              .arg(shownText(range)));
    job.firstRow = *first;
    job.lastRow = *last;
    render.partsFolder = render.file;
    render.file = inFolder(render.file, RenderCommand::partName(*first, *last, job.height));
    return std::nullopt;
}

} // namespace

OptionCheck readRender(const QCommandLineParser& parser, const Options& options,
                       RenderCommand& render)
{
    if (const OptionCheck error =
            readName(parser, options.render, "the name of the file to write", render.file))
        return error;
    render.check = parser.isSet(options.check);
    if (parser.isSet(options.parts))
        return readJoin(parser, options, render);
    const QString suffix = QFileInfo(render.file).suffix();
    if (!parser.isSet(options.rows) && !suffix.isEmpty() &&
        suffix.compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
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
    if (parser.isSet(options.rows))
        if (const OptionCheck error = readRows(parser, options, render))
            return error;
    // A picture's pixels keep their shape, so that a poster of it looks
    // like it; a view's given in numbers are square. A JPEG picture is the
    // window's.
    const QSize pictureSize = picture && picture->width > 0
                                  ? QSize(picture->width, picture->height)
                                  : QSize(picture::columns, picture::rows);
    return fitView(parser, options, size, job.view,
                   picture ? pixelShape(job.view, pictureSize.width(), pictureSize.height()) : 1);
}
