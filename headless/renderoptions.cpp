#include "renderoptions.h"

#include "optionvalues.h"
#include "outsidetext.h"
#include "windowoptions.h"

#include <QCommandLineParser>
#include <QFileInfo>

OptionCheck readPictureSize(const QCommandLineParser& parser, const Options& options, QSize& size,
                            bool& quiet)
{
    quiet = parser.isSet(options.quiet);
    if (!parser.isSet(options.size))
        return std::nullopt;
    const std::optional<QSize> value = sizeValue(parser.value(options.size), Render::largestSide);
    if (!value)
        return usageError(
            QStringLiteral("--size takes WIDTHxHEIGHT, whole numbers from 1 to %1, not '%2'")
                .arg(Render::largestSide)
                .arg(shownText(parser.value(options.size))));
    size = *value;
    return std::nullopt;
}

OptionCheck readRender(const QCommandLineParser& parser, const Options& options, QString& file,
                       RenderJob& job, bool& quiet)
{
    file = parser.value(options.render);
    if (file.isEmpty())
        return usageError(QStringLiteral("--render takes the name of the file to write"));
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
    return std::nullopt;
}
