#include "renderoptions.h"

#include "optionvalues.h"
#include "outsidetext.h"
#include "viewmath.h"
#include "viewtext.h"
#include "windowoptions.h"

#include <QCommandLineParser>
#include <QFileInfo>

OptionCheck readPictureSize(const QCommandLineParser& parser, const Options& options, QSize& size,
                            bool& quiet)
{
    quiet = parser.isSet(options.quiet);
    if (!parser.isSet(options.size))
        return parser.isSet(options.stretch)
                   ? OptionCheck(usageError(QStringLiteral("--stretch applies only with --size")))
                   : std::nullopt;
    const std::optional<QSize> value = sizeValue(parser.value(options.size), Render::largestSide);
    if (!value)
        return usageError(
            QStringLiteral("--size takes WIDTHxHEIGHT, whole numbers from 1 to %1, not '%2'")
                .arg(Render::largestSide)
                .arg(shownText(parser.value(options.size))));
    size = *value;
    return std::nullopt;
}

OptionCheck fitView(const QCommandLineParser& parser, const Options& options, QSize size,
                    View& view)
{
    if (!parser.isSet(options.size) || parser.isSet(options.stretch))
        return std::nullopt;
    const View fitted = fittedView(view, size.width(), size.height());
    const ViewParse parse = parseView(formatView(fitted), size.width(), size.height());
    if (!parse.ok())
        return OptionError{QStringLiteral("the view %1, widened to the shape of %2x%3 pixels "
                                          "(--stretch keeps it as given), cannot be drawn: %4")
                               .arg(QString::fromStdString(formatView(view)))
                               .arg(size.width())
                               .arg(size.height())
                               .arg(QString::fromStdString(parse.reason()))};
    view = fitted;
    return std::nullopt;
}

OptionCheck readRender(const QCommandLineParser& parser, const Options& options, QString& file,
                       RenderJob& job, bool& quiet)
{
    if (const OptionCheck error =
            readName(parser, options.render, "the name of the file to write", file))
        return error;
    const QString suffix = QFileInfo(file).suffix();
    if (!suffix.isEmpty() && suffix.compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
        return OptionError{QStringLiteral("--render writes PNG only, and '%1' ends in '.%2' (name "
                                          "it .png, or with no suffix)")
                               .arg(shownText(file), shownText(suffix))};
    QSize size(job.width, job.height);
    if (const OptionCheck error = readPictureSize(parser, options, size, quiet))
        return error;
    job.width = size.width();
    job.height = size.height();
    if (const OptionCheck error = refuseMovieOptions(parser, options))
        return error;
    std::optional<View> view;
    if (const OptionCheck error = readStartView(parser, options, job.width, job.height, view))
        return error;
    job.view = view.value_or(View{});
    return fitView(parser, options, size, job.view);
}
