#include "windowoptions.h"

#include "outsidetext.h"
#include "pictureview.h"
#include "viewtext.h"

#include <QCommandLineParser>

OptionCheck readStartView(const QCommandLineParser& parser, const Options& options, int columns,
                          int rows, std::optional<View>& view)
{
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(options.view)) {
        if (!positional.isEmpty())
            return usageError(
                QStringLiteral("give the view either with --view or as a file, not both"));
        View given;
        if (const OptionCheck error =
                readViewValue(options.view, parser.value(options.view), columns, rows, given))
            return error;
        view = given;
    } else if (!positional.isEmpty()) {
        const PictureView picture = readPictureView(positional.constFirst(), columns, rows);
        if (!picture.ok())
            return OptionError{picture.reason()};
        view = picture.view;
    }
    return std::nullopt;
}

OptionCheck readWindow(const QCommandLineParser& parser, const Options& options,
                       std::optional<View>& view)
{
    for (const QCommandLineOption* option : {&options.size, &options.stretch, &options.quiet})
        if (parser.isSet(*option))
            return usageError(QStringLiteral("%1 applies only with --render or --movie")
                                  .arg(optionName(*option)));
    if (const OptionCheck error = refuseMovieOptions(parser, options))
        return error;
    return readStartView(parser, options, picture::columns, picture::rows, view);
}
