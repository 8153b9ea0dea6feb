#include "options.h"

#include "localfiles.h"
#include "outsidetext.h"
#include "pictureview.h"
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
    return QList<QCommandLineOption>{help,    version, threads, view,       render,     size,
                                     stretch, quiet,   display, movie,      from,       to,
                                     fps,     seconds, frames,  frameRange, framesFrom, check} +
           qtOptions();
}

QList<const QCommandLineOption*> Options::movieOwn() const
{
    return {&from, &to, &fps, &seconds, &frames, &frameRange, &framesFrom, &check};
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
                          int rows, View& view)
{
    if (!text.contains(QLatin1Char(',')) || fileKind(text) != FileKind::missing) {
        const PictureView picture = readPictureView(text, columns, rows);
        if (!picture.ok())
            return OptionError{picture.reason()};
        view = picture.view;
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

OptionCheck refuseMovieOptions(const QCommandLineParser& parser, const Options& options)
{
    for (const QCommandLineOption* option : options.movieOwn())
        if (parser.isSet(*option))
            return usageError(
                QStringLiteral("%1 applies only with --movie").arg(optionName(*option)));
    return std::nullopt;
}
