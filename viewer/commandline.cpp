#include "commandline.h"

#include "quenthar_version.h"

#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

// Qt's standard options of a widgets program: QApplication reads and removes
// them itself, so they are accepted here and left alone.
QList<QCommandLineOption> qtOptions()
{
    QList<QCommandLineOption> options;
    for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin",
                             "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display",
                             "geometry", "style", "stylesheet", "qmljsdebugger"})
        options.append(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
        options.append(QCommandLineOption(QString::fromLatin1(name)));
    for (QCommandLineOption& option : options)
        option.setFlags(QCommandLineOption::HiddenFromHelp);
    return options;
}

void print(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace

CommandLine::CommandLine()
    : m_help({QStringLiteral("h"), QStringLiteral("help")},
             QStringLiteral("Shows this help and exits.")),
      m_version({QStringLiteral("v"), QStringLiteral("version")},
                QStringLiteral("Shows the program's version and exits.")),
      m_threadsOption(QStringLiteral("threads"),
                      QStringLiteral("Draws on N threads, 1 to %1 (default: one per core, "
                                     "here %2). 1 draws on the window's thread alone.")
                          .arg(maxThreads)
                          .arg(QThread::idealThreadCount()),
                      QStringLiteral("N"))
{
    m_parser.setApplicationDescription(
        QStringLiteral("Draws the Julia set of z -> z^2 + c for c = -0.54 + 0.58i and zooms "
                       "into rectangles picked on the picture.\n"
                       "Qt's standard options (-platform, -style, ...) are accepted too."));
    // Qt's own options are single-dash words (-platform), not clusters of letters.
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(m_help);
    m_parser.addOption(m_version);
    m_parser.addOption(m_threadsOption);
    m_parser.addOptions(qtOptions());
}

QString CommandLine::versionText()
{
    return QStringLiteral("Quenthar " QUENTHAR_VERSION);
}

CommandLine::Outcome CommandLine::parse(const QStringList& arguments)
{
    m_error.clear();
    m_threads = std::max(1, QThread::idealThreadCount());
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return Outcome::Error;
    }
    if (m_parser.isSet(m_help))
        return Outcome::ShowHelp;
    if (m_parser.isSet(m_version))
        return Outcome::ShowVersion;
    if (!m_parser.positionalArguments().isEmpty()) {
        m_error = QStringLiteral("Unexpected argument '%1'.")
                      .arg(m_parser.positionalArguments().constFirst());
        return Outcome::Error;
    }
    if (m_parser.isSet(m_threadsOption)) {
        const QString value = m_parser.value(m_threadsOption);
        bool ok = false;
        const int threads = value.toInt(&ok);
        if (!ok || threads < 1 || threads > maxThreads) {
            m_error = QStringLiteral("--threads takes a whole number from 1 to %1, not '%2'.")
                          .arg(maxThreads)
                          .arg(value);
            return Outcome::Error;
        }
        m_threads = threads;
    }
    return Outcome::Run;
}

int CommandLine::report(Outcome outcome) const
{
    switch (outcome) {
    case Outcome::Run:
        break;
    case Outcome::ShowHelp:
        print(stdout, helpText());
        return 0;
    case Outcome::ShowVersion:
        print(stdout, versionText() + QLatin1Char('\n'));
        return 0;
    case Outcome::Error:
        print(stderr, QStringLiteral("Quenthar: %1\n%2").arg(m_error, helpText()));
        return 2;
    }
    return 0;
}

QStringList CommandLine::arguments(int argc, char* argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(QString::fromLocal8Bit(argv[i]));
    return list;
}
