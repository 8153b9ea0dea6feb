#include "options.h"

#include <QCommandLineParser>

#include <algorithm>
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
    // The edit distance of two names, by the rows of its table.
    const auto distance = [](const QString& a, const QString& b) {
        std::vector<qsizetype> row(size_t(b.size()) + 1);
        for (qsizetype j = 0; j <= b.size(); ++j)
            row[size_t(j)] = j;
        for (qsizetype i = 1; i <= a.size(); ++i) {
            qsizetype diagonal = row[0];
            row[0] = i;
            for (qsizetype j = 1; j <= b.size(); ++j) {
                const qsizetype above = row[size_t(j)];
                row[size_t(j)] = std::min(
                    {above + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
                diagonal = above;
            }
        }
        return row.back();
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

OptionCheck refuseMovieOptions(const QCommandLineParser& parser, const Options& options)
{
    for (const QCommandLineOption* option : options.movieOwn())
        if (parser.isSet(*option))
            return usageError(
                QStringLiteral("%1 applies only with --movie").arg(optionName(*option)));
    return std::nullopt;
}
