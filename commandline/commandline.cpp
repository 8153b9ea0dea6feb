#include "commandline.h"

#include "localfiles.h"
#include "movieoptions.h"
#include "optionvalues.h"
#include "outsidetext.h"
#include "printing.h"
#include "quenthar_version.h"
#include "renderoptions.h"
#include "windowoptions.h"

#include <QSet>
#include <QThread>

#include <algorithm>
#include <cerrno>

namespace {

// The option as the user typed it, dashes and all, for one Qt names without
// them.
QString typedOption(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        const QString typed = argument.section(QLatin1Char('='), 0, 0);
        qsizetype dashes = 0;
        while (dashes < typed.size() && typed[dashes] == QLatin1Char('-'))
            ++dashes;
        if (dashes > 0 && typed.mid(dashes) == name)
            return typed;
    }
    return QStringLiteral("--") + name;
}

// The first option of given (the names the parser found, in order) that
// comes a second time, if any; an alias counts as its option's first name.
QString repeatedOption(const QStringList& given, const QList<QCommandLineOption>& aliased)
{
    QSet<QString> seen;
    for (const QString& name : given) {
        QString option = name;
        for (const QCommandLineOption& alias : aliased)
            if (alias.names().contains(name))
                option = alias.names().constFirst();
        if (seen.contains(option))
            return name;
        seen.insert(option);
    }
    return {};
}

} // namespace

CommandLine::CommandLine()
{
    m_parser.setApplicationDescription(
        QStringLiteral("Draws the Julia set of z -> z^2 + c for c = -0.54 + 0.58i and zooms "
                       "into rectangles picked on the picture.\n"
                       "Qt's standard options (-platform, -style, ...) are accepted too. The "
                       "window's keys: F1 in the window. All of it: man Quenthar (in a source "
                       "tree, man -l build/packaging/Quenthar.1)."));
    // Qt's own options are single-dash words (-platform), not clusters of letters.
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions(m_options.all());
    m_parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A picture saved by Quenthar: opens or renders the view it holds."),
        QStringLiteral("[FILE]"));
}

QString CommandLine::versionText()
{
    return QStringLiteral("Quenthar " QUENTHAR_VERSION);
}

QString CommandLine::helpText() const
{
    // Qt's usage line names the program by the path it was started with.
    QString help = m_parser.helpText();
    help.replace(0, help.indexOf(QLatin1Char('\n')),
                 QStringLiteral("Usage: Quenthar [options] [FILE]\n"
                                "       Quenthar --render OUT [--size WxH [--stretch]] "
                                "[--samples N] [--view L,T,W,H | FILE]\n"
                                "                [--iterations N] [--colour MODE [--palette P] "
                                "[--density D] [--offset O]]\n"
                                "       Quenthar --movie OUT [--from A] --to B "
                                "[--size WxH [--stretch]] "
                                "[--samples N] [--fps F]\n"
                                "                [--seconds S | --frames N] "
                                "[--frame-range I-J] [--check]\n"
                                "       Quenthar --movie VIDEO --frames-from DIR [--frames N] "
                                "[--fps F] [--check]"));
    return help + QStringLiteral(
                      "\nExamples:\n"
                      "  Quenthar --view -0.75,-0.5,0.5,0.375\n"
                      "      opens the window on that view and draws it\n"
                      "  Quenthar julia.png\n"
                      "      opens the view of a picture saved from the window\n"
                      "  Quenthar --threads 1\n"
                      "      draws on the window's thread alone\n"
                      "  Quenthar --render julia-4k.png --size 3840x2160 julia.png\n"
                      "      draws that view, widened to 16:9, at 3840 x 2160 pixels into "
                      "julia-4k.png\n"
                      "  Quenthar --render julia-4k.png --size 3840x2160 --samples 4 julia.png\n"
                      "      the same, each pixel the average of 4 x 4 samples: no speckle\n"
                      "  Quenthar --render deep.png --iterations 20000 --colour cycle --view\n"
                      "      0.24016082806169328,-0.5089135744890809,1e-10,7.5e-11\n"
                      "      a spiral's centre at a width of 1e-10, its counts in the thousands,\n"
                      "      cycled through a palette: the ramp would be all yellow\n"
                      "  Quenthar --render whole.png --quiet --view -1.5,-1.5,3,3\n"
                      "      draws the default view at 640 x 480, with no progress line\n"
                      "  Quenthar --movie frames --to julia.png --size 1920x1080 --fps 60 "
                      "--seconds 20\n"
                      "      zooms from the starting view to that of julia.png in 1,200 "
                      "frames,\n"
                      "      frames/frame-0000.png to frame-1199.png; run again, it renders "
                      "only\n"
                      "      the frames that are missing\n"
                      "  Quenthar --movie frames ... --frame-range 0-299\n"
                      "      renders only frames 0 to 299 of that movie, e.g. on one of "
                      "four machines\n"
                      "  Quenthar --movie zoom.mp4 --frames-from frames\n"
                      "      joins those frames into an H.264 video with ffmpeg, at the rate "
                      "they record\n"
                      "  Quenthar --movie zoom.mp4 --to julia.png --samples 3 --seconds 20\n"
                      "      a zoom without shimmer, each pixel from 3 x 3 samples\n"
                      "  Quenthar --movie zoom.webm --to 0.2,-0.52,0.04,0.03 --frames 240\n"
                      "      renders the movie into a VP9 video, its frames kept in "
                      "zoom.webm.frames/\n"
                      "      until the video is made\n");
}

QString CommandLine::xDisplay() const
{
    return m_parser.value(m_options.display);
}

CommandLine::Outcome CommandLine::fail(const OptionError& error)
{
    m_error = error.text;
    if (error.usage)
        m_error += QStringLiteral(" (try 'Quenthar --help')");
    return Outcome::Error;
}

// What every mode reads: the options known and each given once, the
// arguments, the threads.
OptionCheck CommandLine::readCommon(const QStringList& arguments)
{
    if (!m_parser.parse(arguments)) {
        const QStringList unknown = m_parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString nearest = nearestOption(m_options, unknown.constFirst());
            return usageError(QStringLiteral("unknown option '%1'%2")
                                  .arg(shownText(typedOption(arguments, unknown.constFirst())),
                                       nearest.isEmpty()
                                           ? QString()
                                           : QStringLiteral(": did you mean '%1'?").arg(nearest)));
        }
        // "Missing value after '--threads'." and the like.
        QString error = m_parser.errorText();
        if (error.endsWith(QLatin1Char('.')))
            error.chop(1);
        if (!error.isEmpty())
            error[0] = error[0].toLower();
        return usageError(error);
    }
    const QString repeated =
        repeatedOption(m_parser.optionNames(), {m_options.help, m_options.version});
    if (!repeated.isEmpty())
        return usageError(QStringLiteral("%1 is given more than once")
                              .arg(shownText(typedOption(arguments, repeated))));
    if (m_parser.isSet(m_options.help) || m_parser.isSet(m_options.version))
        return std::nullopt;
    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() > 1)
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(shownText(positional.at(1))));
    if (m_parser.isSet(m_options.threads)) {
        const QString value = m_parser.value(m_options.threads);
        const std::optional<int> threads = wholeNumber(value, 1, Options::maxThreads);
        if (!threads)
            return usageError(
                QStringLiteral("--threads takes a whole number from 1 to %1, not '%2'")
                    .arg(Options::maxThreads)
                    .arg(shownText(value)));
        m_threads = *threads;
    }
    return std::nullopt;
}

// The mode the options ask for, read by its own reader.
CommandLine::Outcome CommandLine::readMode()
{
    if (m_parser.isSet(m_options.movie)) {
        const OptionCheck error = readMovie(m_parser, m_options, m_movieJob);
        return error ? fail(*error) : Outcome::Movie;
    }
    if (m_parser.isSet(m_options.render)) {
        const OptionCheck error = readRender(m_parser, m_options, m_render);
        return error ? fail(*error) : Outcome::Render;
    }
    const OptionCheck error = readWindow(m_parser, m_options, m_view);
    return error ? fail(*error) : Outcome::Run;
}

CommandLine::Outcome CommandLine::parse(const QStringList& arguments)
{
    m_error.clear();
    m_threads = std::max(1, QThread::idealThreadCount());
    m_view.reset();
    m_render = RenderCommand{};
    m_movieJob = MovieJob{};
    if (const OptionCheck error = readCommon(arguments))
        return fail(*error);
    if (m_parser.isSet(m_options.help))
        return Outcome::ShowHelp;
    if (m_parser.isSet(m_options.version))
        return Outcome::ShowVersion;
    return readMode();
}

int CommandLine::report(Outcome outcome) const
{
    const auto show = [](const QString& text, const char* what) {
        if (printText(stdout, text))
            return 0;
        printErrorLine(QStringLiteral("cannot write the %1: %2")
                           .arg(QLatin1String(what), systemError(errno ? errno : EIO)));
        return 1;
    };
    switch (outcome) {
    case Outcome::Run:
    case Outcome::Render:
    case Outcome::Movie:
        break;
    case Outcome::ShowHelp:
        return show(helpText(), "help");
    case Outcome::ShowVersion:
        return show(versionText() + QLatin1Char('\n'), "version");
    case Outcome::Error:
        printErrorLine(m_error);
        return 2;
    }
    return 0;
}

QStringList CommandLine::arguments(int argc, char* argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(fileNameFromBytes(argv[i]));
    return list;
}
