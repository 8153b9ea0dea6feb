#include "windowoptions.h"

#include "picturescan.h"

#include <QCommandLineParser>

OptionCheck readWindow(const QCommandLineParser& parser, const Options& options,
                       std::optional<View>& view)
{
    if (const OptionCheck error = refuseOptions(
            parser, {&options.size, &options.stretch, &options.samples, &options.quiet},
            "--render or --movie"))
        return error;
    if (const OptionCheck error = refuseOptions(parser, options.colourOwn(), "--render or --movie"))
        return error;
    if (const OptionCheck error = refuseOptions(parser, options.movieOwn(), "--movie"))
        return error;
    if (const OptionCheck error =
            refuseOptions(parser, {&options.rows, &options.parts}, "--render"))
        return error;
    if (const OptionCheck error = refuseOptions(parser, {&options.check}, "--render or --movie"))
        return error;
    return readViewOrFile(parser, options, picture::columns, picture::rows, view);
}
