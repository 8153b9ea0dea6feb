#include "options.h"

#include "localfiles.h"
#include "optionvalues.h"
#include "outsidetext.h"
#include "pictureview.h"
#include "viewmath.h"
#include "viewtext.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace {

// Qt's standard options of a widgets program but -display, which has its own
// member: QApplication reads and removes them itself, so they are accepted
// here and left alone. -reverse is not among them: the window's layout is
// fixed.
QList<QCommandLineOption> qtOptions()
{
    QList<QCommandLineOption> options;
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                             "geometry", "style", "stylesheet", "qmljsdebugger"})
        options.append(hiddenOption(QString::fromLatin1(name)));
    for (const char* name : {"widgetcount", "nograb", "dograb", "sync"})
        options.append(hiddenOption(QString::fromLatin1(name), false));
    return options;
}

} // namespace

QCommandLineOption hiddenOption(const QString& name, bool takesValue)
{
    QCommandLineOption option(name, QString(), takesValue ? QStringLiteral("value") : QString());
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

QList<QCommandLineOption> Options::all() const
{
    return QList<QCommandLineOption>{help,       version, threads,    view,    render,  size,
                                     stretch,    samples, iterations, colour,  palette, density,
                                     offset,     rows,    parts,      quiet,   display, movie,
                                     from,       to,      fps,        seconds, frames,  frameRange,
                                     framesFrom, check} +
           qtOptions();
}

QList<const QCommandLineOption*> Options::colourOwn() const
{
    return {&iterations, &colour, &palette, &density, &offset};
}

std::string paletteNames()
{
    std::string names;
    for (const std::string_view name : builtInPaletteNames())
        names += (names.empty() ? "" : ", ") + std::string(name);
    return names;
}

QList<const QCommandLineOption*> Options::movieOwn() const
{
    return {&from, &to, &fps, &seconds, &frames, &frameRange, &framesFrom};
}

QString nearestOption(const Options& options, const QString& name)
{
    // The edit distance of two names, a swap of two neighbouring letters
    // counting as one edit, as a slip of the fingers makes it.
    const auto distance = [](const QString& a, const QString& b) {
        std::vector<std::vector<qsizetype>> table(size_t(a.size()) + 1,
                                                  std::vector<qsizetype>(size_t(b.size()) + 1));
        for (qsizetype i = 0; i <= a.size(); ++i)
            for (qsizetype j = 0; j <= b.size(); ++j) {
                qsizetype& cell = table[size_t(i)][size_t(j)];
                if (i == 0 || j == 0) {
                    cell = i + j;
                    continue;
                }
                cell = std::min(
                    {table[size_t(i - 1)][size_t(j)] + 1, table[size_t(i)][size_t(j - 1)] + 1,
                     table[size_t(i - 1)][size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1)});
                if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                    cell = std::min(cell, table[size_t(i - 2)][size_t(j - 2)] + 1);
            }
        return table.back().back();
    };
    QString nearest;
    qsizetype best = std::max<qsizetype>(1, std::min<qsizetype>(2, name.size() / 3)) + 1;
    for (const QCommandLineOption& option : options.all()) {
        if (option.flags() & QCommandLineOption::HiddenFromHelp)
            continue;
        for (const QString& known : option.names()) {
            const qsizetype apart = known.size() > 1 ? distance(name, known) : best;
            if (apart < best) {
                best = apart;
                nearest = QStringLiteral("--") + known;
            }
        }
    }
    return nearest;
}

QString optionName(const QCommandLineOption& option)
{
    return QStringLiteral("--") + option.names().constFirst();
}

OptionCheck readViewValue(const QCommandLineOption& option, const QString& text, int columns,
                          int rows, View& view, std::optional<PictureView>* picture)
{
    if (!text.contains(QLatin1Char(',')) || fileKind(text) != FileKind::missing) {
        PictureView read = readPictureView(text, columns, rows);
        if (!read.ok())
            return OptionError{read.reason()};
        view = read.view;
        if (picture)
            *picture = std::move(read);
        return std::nullopt;
    }
    const ViewParse parse = parseView(text.toStdString(), columns, rows);
    if (!parse.ok())
        return OptionError{QStringLiteral("bad view '%1'%2: %3")
                               .arg(shownText(text),
                                    option.names().contains(QStringLiteral("view"))
                                        ? QString()
                                        : QStringLiteral(" for ") + optionName(option),
                                    QString::fromStdString(parse.reason()))};
    view = parse.view;
    return std::nullopt;
}

OptionCheck readName(const QCommandLineParser& parser, const QCommandLineOption& option,
                     const char* takes, QString& name)
{
    name = parser.value(option);
    const QString takesText =
        QStringLiteral("%1 takes %2").arg(optionName(option), QLatin1String(takes));
    if (name.isEmpty())
        return usageError(takesText);
    if (name.startsWith(QLatin1Char('-')))
        return usageError(QStringLiteral("%1, and '%2' is an option: the name is missing before "
                                         "it (write a name that begins with '-' as ./%2)")
                              .arg(takesText, shownText(name)));
    const QByteArray bytes = fileNameToBytes(name);
    bool tooLong = bytes.size() >= PATH_MAX;
    for (const QByteArray& part : bytes.split('/'))
        tooLong = tooLong || part.size() > NAME_MAX;
    if (tooLong)
        return OptionError{
            QStringLiteral("cannot use '%1': %2").arg(shownText(name), systemError(ENAMETOOLONG))};
    return std::nullopt;
}

OptionCheck readViewOrFile(const QCommandLineParser& parser, const Options& options, int columns,
                           int rows, std::optional<View>& view, std::optional<PictureView>* picture)
{
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(options.view)) {
        if (!positional.isEmpty())
            return usageError(
                QStringLiteral("give the view either with --view or as a file, not both"));
        View given;
        if (const OptionCheck error = readViewValue(options.view, parser.value(options.view),
                                                    columns, rows, given, picture))
            return error;
        view = given;
    } else if (!positional.isEmpty()) {
        PictureView read = readPictureView(positional.constFirst(), columns, rows);
        if (!read.ok())
            return OptionError{read.reason()};
        view = read.view;
        if (picture)
            *picture = std::move(read);
    }
    return std::nullopt;
}

OptionCheck readSize(const QCommandLineParser& parser, const Options& options, int largest,
                     QSize& size)
{
    if (!parser.isSet(options.size))
        return parser.isSet(options.stretch)
                   ? OptionCheck(usageError(QStringLiteral("--stretch applies only with --size")))
                   : std::nullopt;
    const std::optional<QSize> value = sizeValue(parser.value(options.size), largest);
    if (!value)
        return usageError(QStringLiteral("--size takes WIDTHxHEIGHT, whole numbers from 1 to %1%2, "
                                         "not '%3'")
                              .arg(largest)
                              .arg(largest == Render::largestSide
                                       ? QStringLiteral(" (the most a side that PNG readers "
                                                        "commonly take)")
                                       : QStringLiteral(" for a movie's frames"))
                              .arg(shownText(parser.value(options.size))));
    size = *value;
    return std::nullopt;
}

OptionCheck fitView(const QCommandLineParser& parser, const Options& options, QSize size,
                    View& view, double pixelShape)
{
    if (!parser.isSet(options.size) || parser.isSet(options.stretch))
        return std::nullopt;
    const View fitted = fittedView(view, size.width(), size.height(), pixelShape);
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

OptionCheck readSamples(const QCommandLineParser& parser, const Options& options, int& samples)
{
    if (!parser.isSet(options.samples))
        return std::nullopt;
    const std::optional<int> value =
        wholeNumber(parser.value(options.samples), 1, RenderJob::mostSamples);
    if (!value)
        return usageError(QStringLiteral("--samples takes a whole number from 1 to %1, not '%2'")
                              .arg(RenderJob::mostSamples)
                              .arg(shownText(parser.value(options.samples))));
    samples = *value;
    return std::nullopt;
}

OptionCheck refuseOptions(const QCommandLineParser& parser,
                          const QList<const QCommandLineOption*>& options, const char* only)
{
    for (const QCommandLineOption* option : options)
        if (parser.isSet(*option))
            return usageError(QStringLiteral("%1 applies only with %2")
                                  .arg(optionName(*option), QLatin1String(only)));
    return std::nullopt;
}
