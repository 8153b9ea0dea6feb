#include "commandline.h"

#include "localfiles.h"
#include "outsidetext.h"
#include "pictureview.h"
#include "quenthar_version.h"
#include "viewtext.h"

#include <QFileInfo>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>

namespace {

QCommandLineOption hidden(QCommandLineOption option)
{
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    return option;
}

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
        options.append(hidden(
            QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value"))));
    for (const char* name : {"widgetcount", "nograb", "dograb", "sync"})
        options.append(hidden(QCommandLineOption(QString::fromLatin1(name))));
    return options;
}

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

// Writes text to stream; false, with errno set, if it could not be written
// whole.
bool print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    errno = 0;
    const bool written = std::fputs(bytes.constData(), stream) >= 0;
    return std::fflush(stream) == 0 && written;
}

// text as a number of type T, with nothing else around it.
template <typename T> std::optional<T> numberFrom(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    T value{};
    const auto [end, error] =
        std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value);
    if (bytes.isEmpty() || error != std::errc() || end != bytes.constData() + bytes.size())
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> CommandLine::wholeNumber(const QString& text, int first, int last)
{
    const std::optional<int> value = numberFrom<int>(text);
    return value && *value >= first && *value <= last ? value : std::nullopt;
}

std::optional<double> CommandLine::positiveNumber(const QString& text, double last)
{
    const std::optional<double> value = numberFrom<double>(text);
    return value && *value > 0 && *value <= last ? value : std::nullopt;
}

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
                      QStringLiteral("N")),
      m_viewOption(QStringLiteral("view"),
                   QStringLiteral("Opens or renders this view: the complex point at the "
                                  "picture's top-left corner and the extents on the real and "
                                  "the imaginary axis, as a saved picture holds them. The "
                                  "default view is -1.5,-1.5,3,3. Refused unless every "
                                  "pixel gets finite coordinates, different from its "
                                  "neighbours'."),
                   QStringLiteral("L,T,W,H")),
      m_renderOption(QStringLiteral("render"),
                     QStringLiteral("Draws the view into the PNG file OUT (a name ending in "
                                    ".png, or in no suffix) and exits, with no window and no "
                                    "display. A file is replaced only when complete; a pipe, "
                                    "a device or standard output is written as it is."),
                     QStringLiteral("OUT")),
      m_sizeOption(QStringLiteral("size"),
                   QStringLiteral("With --render: the picture's width and height in pixels, "
                                  "1 to %1 each (default: 640x480). With --movie: each "
                                  "frame's.")
                       .arg(Render::largestSide),
                   QStringLiteral("WxH")),
      m_quietOption(QStringLiteral("quiet"),
                    QStringLiteral("With --render or --movie: no progress line on a terminal.")),
      m_displayOption(
          hidden(QCommandLineOption(QStringLiteral("display"), QString(), QStringLiteral("value"))))
{
    m_parser.setApplicationDescription(
        QStringLiteral("Draws the Julia set of z -> z^2 + c for c = -0.54 + 0.58i and zooms "
                       "into rectangles picked on the picture.\n"
                       "Qt's standard options (-platform, -style, ...) are accepted too. The "
                       "window's keys: man Quenthar, KEYS."));
    // Qt's own options are single-dash words (-platform), not clusters of letters.
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOptions({m_help, m_version, m_threadsOption, m_viewOption, m_renderOption,
                         m_sizeOption, m_quietOption, m_displayOption});
    m_parser.addOptions(m_movieOptions.options());
    m_parser.addOptions(qtOptions());
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
                                "       Quenthar --render OUT [--size WxH] "
                                "[--view L,T,W,H | FILE]\n"
                                "       Quenthar --movie OUT [--from A] --to B [--size WxH] "
                                "[--fps F]\n"
                                "                [--seconds S | --frames N] "
                                "[--frame-range I-J] [--check]\n"
                                "       Quenthar --movie VIDEO --frames-from DIR [--frames N] "
                                "[--fps F] [--check]"));
    return help +
           QStringLiteral("\nExamples:\n"
                          "  Quenthar --view -0.75,-0.5,0.5,0.375\n"
                          "      opens the window on that view and draws it\n"
                          "  Quenthar julia.png\n"
                          "      opens the view of a picture saved from the window\n"
                          "  Quenthar --threads 1\n"
                          "      draws on the window's thread alone\n"
                          "  Quenthar --render julia-4k.png --size 3840x2160 julia.png\n"
                          "      draws that view at 3840 x 2160 pixels into julia-4k.png\n"
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
                          "  Quenthar --movie zoom.mp4 --frames-from frames --fps 60\n"
                          "      joins those frames into an H.264 video with ffmpeg\n"
                          "  Quenthar --movie zoom.webm --to 0.2,-0.52,0.04,0.03 --frames 240\n"
                          "      renders the movie straight into a VP9 video\n");
}

QString CommandLine::xDisplay() const
{
    return m_parser.value(m_displayOption);
}

CommandLine::Outcome CommandLine::fail(const QString& error, bool usage)
{
    m_error = error;
    if (usage)
        m_error += QStringLiteral(" (try 'Quenthar --help')");
    return Outcome::Error;
}

bool CommandLine::readSize(const QString& text)
{
    const qsizetype x = text.indexOf(QLatin1Char('x'));
    if (x < 0)
        return false;
    const std::optional<int> width = wholeNumber(text.left(x), 1, Render::largestSide);
    const std::optional<int> height = wholeNumber(text.mid(x + 1), 1, Render::largestSide);
    if (!width || !height)
        return false;
    m_renderJob.width = *width;
    m_renderJob.height = *height;
    return true;
}

CommandLine::Outcome CommandLine::parse(const QStringList& arguments)
{
    m_error.clear();
    m_threads = std::max(1, QThread::idealThreadCount());
    m_view.reset();
    m_renderFile.clear();
    m_renderJob = RenderJob{};
    m_quiet = false;
    m_movieJob = MovieJob{};

    if (!m_parser.parse(arguments)) {
        const QStringList unknown = m_parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return fail(QStringLiteral("unknown option '%1'")
                            .arg(shownText(typedOption(arguments, unknown.constFirst()))),
                        true);
        // "Missing value after '--threads'." and the like.
        QString error = m_parser.errorText();
        if (error.endsWith(QLatin1Char('.')))
            error.chop(1);
        if (!error.isEmpty())
            error[0] = error[0].toLower();
        return fail(error, true);
    }
    const QString repeated = repeatedOption(m_parser.optionNames(), {m_help, m_version});
    if (!repeated.isEmpty())
        return fail(QStringLiteral("%1 is given more than once")
                        .arg(shownText(typedOption(arguments, repeated))),
                    true);
    if (m_parser.isSet(m_help))
        return Outcome::ShowHelp;
    if (m_parser.isSet(m_version))
        return Outcome::ShowVersion;

    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() > 1)
        return fail(QStringLiteral("unexpected argument '%1'").arg(shownText(positional.at(1))),
                    true);
    if (m_parser.isSet(m_threadsOption)) {
        const QString value = m_parser.value(m_threadsOption);
        const std::optional<int> threads = wholeNumber(value, 1, maxThreads);
        if (!threads)
            return fail(QStringLiteral("--threads takes a whole number from 1 to %1, not '%2'")
                            .arg(maxThreads)
                            .arg(shownText(value)),
                        true);
        m_threads = *threads;
    }

    const bool render = m_parser.isSet(m_renderOption);
    const bool movie = m_parser.isSet(m_movieOptions.movieOption());
    for (const QCommandLineOption* option : {&m_sizeOption, &m_quietOption})
        if (!render && !movie && m_parser.isSet(*option))
            return fail(QStringLiteral("--%1 applies only with --render or --movie")
                            .arg(option->names().constFirst()),
                        true);
    if (render) {
        m_renderFile = m_parser.value(m_renderOption);
        if (m_renderFile.isEmpty())
            return fail(QStringLiteral("--render takes the name of the file to write"), true);
        const QString suffix = QFileInfo(m_renderFile).suffix();
        if (!suffix.isEmpty() && suffix.compare(QLatin1String("png"), Qt::CaseInsensitive) != 0)
            return fail(QStringLiteral("--render writes PNG only, and '%1' ends in '.%2' "
                                       "(name it .png, or with no suffix)")
                            .arg(shownText(m_renderFile), shownText(suffix)),
                        false);
    }
    if (render || movie) {
        if (m_parser.isSet(m_sizeOption) && !readSize(m_parser.value(m_sizeOption)))
            return fail(QStringLiteral("--size takes WIDTHxHEIGHT, whole numbers from 1 to %1, "
                                       "not '%2'")
                            .arg(Render::largestSide)
                            .arg(shownText(m_parser.value(m_sizeOption))),
                        true);
        m_quiet = m_parser.isSet(m_quietOption);
    }

    // A movie takes its views from its own options, checked apart.
    const QString movieOption = m_movieOptions.firstSet(m_parser);
    if (!movie && !movieOption.isEmpty())
        return fail(QStringLiteral("%1 applies only with --movie").arg(movieOption), true);
    if (movie) {
        if (render)
            return fail(QStringLiteral("give either --render or --movie, not both"), true);
        if (m_parser.isSet(m_viewOption) || !positional.isEmpty())
            return fail(QStringLiteral("a movie takes its views with --from and --to"), true);
        m_movieJob.width = m_renderJob.width;
        m_movieJob.height = m_renderJob.height;
        m_movieJob.sizeGiven = m_parser.isSet(m_sizeOption);
        m_movieJob.quiet = m_quiet;
        if (const auto error = m_movieOptions.read(m_parser, m_movieJob))
            return fail(error->text, error->usage);
        return Outcome::Movie;
    }

    // The view must be drawable at the size it is drawn at: the window's, or
    // the render's.
    const int columns = m_renderJob.width;
    const int rows = m_renderJob.height;
    if (m_parser.isSet(m_viewOption)) {
        if (!positional.isEmpty())
            return fail(QStringLiteral("give the view either with --view or as a file, not both"),
                        true);
        const QString text = m_parser.value(m_viewOption);
        const ViewParse parse = parseView(text.toStdString(), columns, rows);
        if (!parse.ok())
            return fail(QStringLiteral("bad view '%1': %2")
                            .arg(shownText(text), QString::fromStdString(parse.reason())),
                        false);
        m_view = parse.view;
    } else if (!positional.isEmpty()) {
        const PictureView picture = readPictureView(positional.constFirst(), columns, rows);
        if (!picture.ok())
            return fail(picture.reason(), false);
        m_view = picture.view;
    }
    if (render && m_view)
        m_renderJob.view = *m_view;
    return render ? Outcome::Render : Outcome::Run;
}

int CommandLine::report(Outcome outcome) const
{
    const auto show = [](const QString& text, const char* what) {
        if (print(stdout, text))
            return 0;
        printError(QStringLiteral("cannot write the %1: %2")
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
        printError(m_error);
        return 2;
    }
    return 0;
}

void CommandLine::printError(const QString& line)
{
    print(stderr, QStringLiteral("Quenthar: %1\n").arg(line));
}

QStringList CommandLine::arguments(int argc, char* argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list.append(fileNameFromBytes(argv[i]));
    return list;
}
