#include "options.h"

#include <QCommandLineParser>

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
