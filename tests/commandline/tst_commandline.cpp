// The command line: what it accepts, what it refuses, the threads it sets and
// the view it opens.
#include "commandline.h"
#include "fixtures.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using Outcome = CommandLine::Outcome;

namespace {

// The files and folders under folder, hidden ones too.
QStringList filesUnder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void outcomes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("threads"); // 0: one per core

        const auto row = [](const char* name, QStringList arguments, Outcome outcome,
                            int threads = 0) {
            arguments.prepend(QStringLiteral("Quenthar"));
            QTest::newRow(name) << arguments << int(outcome) << threads;
        };
        row("nothing", {}, Outcome::Run);
        row("threads", {"--threads", "4"}, Outcome::Run, 4);
        row("threads=", {"--threads=1"}, Outcome::Run, 1);
        row("threads max", {"--threads", "256"}, Outcome::Run, 256);
        row("Qt's options", {"-platform", "offscreen", "-style", "fusion", "-display", ":1"},
            Outcome::Run);
        row("view", {"--view", "-1.5,-1.5,3,3"}, Outcome::Run);
        row("render", {"--render", "a.png", "--size", "16384x1", "--quiet"}, Outcome::Render);
        row("render a view", {"--render=a.png", "--view=1e-3,0,2.5e-1,1"}, Outcome::Render);
        row("render, a size with X", {"--render", "a.png", "--size", "3840X2160"}, Outcome::Render);
        row("render .PNG", {"--render", "A.PNG"}, Outcome::Render);
        row("render no suffix", {"--render", "/dev/stdout"}, Outcome::Render);
        row("help", {"--help"}, Outcome::ShowHelp);
        row("-h", {"-h"}, Outcome::ShowHelp);
        row("version", {"--version"}, Outcome::ShowVersion);
        row("-v after Qt's option", {"-platform", "xcb", "-v"}, Outcome::ShowVersion);
        row("unknown option", {"--frobnicate"}, Outcome::Error);
        row("stray argument", {"picture.png"}, Outcome::Error);
        row("threads 0", {"--threads", "0"}, Outcome::Error);
        row("threads negative", {"--threads", "-3"}, Outcome::Error);
        row("threads too many", {"--threads", "257"}, Outcome::Error);
        row("threads not a number", {"--threads", "four"}, Outcome::Error);
        row("threads fraction", {"--threads", "2.5"}, Outcome::Error);
        row("threads without value", {"--threads"}, Outcome::Error);
        row("-reverse", {"-reverse"}, Outcome::Error);
        row("two files", {"a.png", "b.png"}, Outcome::Error);
        row("a view and a file", {"--view", "1,2,3,4", "a.png"}, Outcome::Error);
        row("too small for the render",
            {"--render", "a.png", "--size", "16384x480", "--view", "0,0,1e-306,1"}, Outcome::Error);
        row("size without render", {"--size", "10x10"}, Outcome::Error);
        row("quiet without render", {"--quiet"}, Outcome::Error);
        row("render without a name", {"--render="}, Outcome::Error);
        row("movie", {"--movie", "out", "--to", "1,2,3,4", "--size", "64x48", "--quiet"},
            Outcome::Movie);
        row("join", {"--movie", "a.webm", "--frames-from", "frames"}, Outcome::Movie);
        row("movie and a view", {"--movie", "out", "--to", "1,2,3,4", "--view", "1,2,3,4"},
            Outcome::Error);
        row("seconds and frames",
            {"--movie", "out", "--to", "1,2,3,4", "--seconds", "2", "--frames", "60"},
            Outcome::Error);
        row("join a range", {"--movie", "a.mp4", "--frames-from", "f", "--frame-range", "0-1"},
            Outcome::Error);
        for (const char* size :
             {"0x480", "640x-1", "1000001x1", "640", "640x", "x480", "ax4", "640x480x2", "6e2x480"})
            row(size, {"--render", "a.png", "--size", size}, Outcome::Error);
    }

    void outcomes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, outcome);
        QFETCH(int, threads);

        CommandLine commandLine;
        QCOMPARE(int(commandLine.parse(arguments)), outcome);
        if (outcome == int(Outcome::Error)) {
            QVERIFY(!commandLine.errorText().isEmpty());
            QVERIFY(!commandLine.errorText().contains(QLatin1Char('\n')));
        }
        if (outcome == int(Outcome::Run))
            QCOMPARE(commandLine.threads(), threads ? threads : QThread::idealThreadCount());
    }

    // A bad command line is one line, naming what the user typed (the
    // program's own lines for each bad input are checked by tst_render).
    void errorLines()
    {
        const auto error = [](QStringList arguments) {
            arguments.prepend(QStringLiteral("Quenthar"));
            CommandLine commandLine;
            commandLine.parse(arguments);
            return commandLine.errorText();
        };
        QCOMPARE(error({"--threads=1", "--x=2"}),
                 QStringLiteral("unknown option '--x' (try 'Quenthar --help')"));
        QCOMPARE(error({"--threads"}),
                 QStringLiteral("missing value after '--threads' (try 'Quenthar --help')"));
        // A slip of the keys is named with the option meant.
        QCOMPARE(error({"--rendr", "a.png"}),
                 QStringLiteral("unknown option '--rendr': did you mean '--render'? (try 'Quenthar "
                                "--help')"));
        QCOMPARE(error({"-sise", "640x360"}),
                 QStringLiteral("unknown option '-sise': did you mean '--size'? (try 'Quenthar "
                                "--help')"));
        // Two letters swapped are one slip.
        for (const auto& [typed, meant] :
             {std::pair{"--szie", "--size"}, std::pair{"--fsp", "--fps"},
              std::pair{"--moive", "--movie"}})
            QVERIFY2(error({QString::fromLatin1(typed)})
                         .contains(QStringLiteral("did you mean '%1'?").arg(QLatin1String(meant))),
                     typed);
    }

    // Each bad command line is refused in one line, by the parser, before any
    // file is written; the program prints it with status 2 (tst_render and
    // tst_movie check a few end to end). The inputs lie in the folder the
    // parser runs in (fixtures.h).
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* name, QStringList arguments, const char* line) {
            QTest::newRow(name) << arguments << QString::fromUtf8(line);
        };
        // The window and --render.
        row("-reverse", {"-reverse"}, "unknown option '-reverse' (try 'Quenthar --help')");
        row("threads", {"--threads", "0"}, "--threads takes a whole number");
        row("an option for OUT", {"--render", "--size", "1920x1080"},
            "--render takes the name of the file to write, and '--size' is an option: the name is "
            "missing before it");
        row("missing file", {"missing.png"}, "cannot read 'missing.png': No such file");
        row("folder", {"."}, "cannot read '.'");
        row("not an image", {"text.png"}, "'text.png' is not a PNG or JPEG image");
        row("no view", {"plain.png"}, "'plain.png' holds no view");
        row("three numbers", {"--view", "1,2,3"}, "bad view '1,2,3': a view is four numbers");
        row("five numbers", {"--view", "1,2,3,4,5"}, "a view is four numbers");
        row("not a number", {"--view", "1,2,three,4"}, "the width 'three' is not a number");
        row("zero width", {"--view", "1,2,0,4"}, "the width '0' is not a positive");
        row("negative height", {"--view", "1,2,3,-4"}, "the height '-4' is not a positive");
        row("infinite width", {"--view", "1,2,inf,4"}, "the width 'inf' is not a positive");
        row("tiny height", {"--view", "1,2,3,1e-320"}, "the height '1e-320' is too small");
        row("infinite edge", {"--view", "-inf,2,3,4"}, "the left edge '-inf' is not a finite");
        row("NaN edge", {"--view", "1,nan,3,4"}, "the top edge 'nan' is not a finite");
        row("render: size 0", {"--render", "out.png", "--size", "0x480"}, "'0x480'");
        row("render: size over", {"--render", "out.png", "--size", "640x1000001"},
            "1 to 1000000 (the most a side that PNG readers commonly take), not '640x1000001'");
        row("render: size text", {"--render", "out.png", "--size", "wide"}, "'wide'");
        row("render: no view", {"--render", "out.png", "plain.png"}, "holds no view");
        row("render: view", {"--render", "out.png", "--view", "1,2,3"}, "four numbers");
        row("render: BMP", {"--render", "out.bmp"},
            "--render writes PNG only, and 'out.bmp' ends in '.bmp'");
        row("render: stretch alone", {"--render", "out.png", "--stretch"},
            "--stretch applies only with --size");
        row("window: stretch", {"--stretch"}, "--stretch applies only with --render or --movie");
        row("render: widened past a double",
            {"--render", "out.png", "--size", "16384x1", "--view", "0,0,1,1e305"},
            "widened to the shape of 16384x1 pixels (--stretch keeps it as given), cannot be "
            "drawn");
        for (const char* samples : {"0", "9", "x", "2.5"})
            row(samples, {"--render", "out.png", "--samples", samples},
                "--samples takes a whole number from 1 to 8");
        row("window: samples", {"--samples", "2"},
            "--samples applies only with --render or --movie");
        // The colouring.
        for (const char* cap : {"0", "1000001", "x"})
            row(cap, {"--render", "out.png", "--iterations", cap},
                "--iterations takes a whole number from 1 to 1000000");
        row("colour unknown", {"--render", "out.png", "--colour", "rainbow"},
            "--colour takes ramp, cycle or smooth, not 'rainbow'");
        row("palette with the ramp", {"--render", "out.png", "--palette", "ice"},
            "--palette applies only with --colour cycle or smooth");
        row("palette unknown", {"--render", "out.png", "--colour", "cycle", "--palette", "mauve"},
            "a .map file or a picture's colours, and 'mauve' is none of them");
        row("palette file bad",
            {"--render", "out.png", "--colour", "cycle", "--palette", "bad.map"},
            "cannot read 'bad.map': line 2: 300 is not a colour value from 0 to 255");
        row("palette not a map",
            {"--render", "out.png", "--colour", "cycle", "--palette", "plain.png"},
            "cannot read 'plain.png': it is not a text file");
        for (const char* density : {"0", "-1", "inf", "x"})
            row(density,
                {"--movie", "out", "--to", "1,1,1,1", "--colour", "smooth", "--density", density},
                "--density takes a number above 0");
        row("offset NaN", {"--render", "out.png", "--colour", "cycle", "--offset", "nan"},
            "--offset takes a number, not 'nan'");
        row("window: colour", {"--colour", "cycle"},
            "--colour applies only with --render or --movie");
        for (const char* option : {"--view=1,2,3,4", "--size=8x8", "--threads=2", "--quiet"})
            row(option, {"--render", "out.png", option, option},
                "is given more than once (try 'Quenthar --help')");
        // --movie.
        const QString to = QStringLiteral("0.2,-0.52,0.04,0.03");
        row("--to not drawable", {"--movie", "out", "--to", "1,2,3,1e-320"},
            "bad view '1,2,3,1e-320' for --to: the height '1e-320' is too small");
        row("--from not a view", {"--movie", "out", "--to", to, "--from", "1,2,0,4"},
            "the width '0' is not a positive");
        row("--to no picture", {"--movie", "out", "--to", "plain.png"}, "holds no view");
        row("zero frames", {"--movie", "out", "--to", to, "--frames", "0"}, "2 to 1000000 frames");
        row("one frame", {"--movie", "out", "--to", to, "--frames", "1"}, "2 to 1000000 frames");
        row("too short", {"--movie", "out", "--to", to, "--seconds", "0.01"}, "make 0 frames");
        row("seconds beyond the frames", {"--movie", "out", "--to", to, "--seconds", "1e7"},
            "10000000 seconds at 30 frames a second make 300000000 frames");
        row("range beyond",
            {"--movie", "out", "--to", to, "--frames", "12", "--frame-range", "8-12"},
            "0 <= I <= J <= 11 for a movie of 12 frames, not '8-12'");
        row("range reversed",
            {"--movie", "out", "--to", to, "--frames", "12", "--frame-range", "5-3"}, "not '5-3'");
        row("fps 0", {"--movie", "out", "--to", to, "--fps", "0"}, "--fps takes a number above 0");
        row("fps negative", {"--movie", "out", "--to", to, "--fps", "-24"}, "not '-24'");
        row("fps NaN", {"--movie", "out", "--to", to, "--fps", "nan"}, "not 'nan'");
        row("video of odd size", {"--movie", "out.mp4", "--to", to, "--size", "63x48"},
            "must be even, not 63x48");
        row("video range", {"--movie", "out.mp4", "--to", to, "--frame-range", "0-1"},
            "--frame-range renders frames into a folder");
        row("a video ffmpeg makes, but not this program", {"--movie", "zoom.avi", "--to", to},
            "'zoom.avi' ends in '.avi'");
        row("video name too long", {"--movie", QString(252, 'v') + ".mp4", "--to", to},
            "File name too long");
        row("a name too long for a file's", {"--movie", "a." + QString(32768, 'y'), "--to", to},
            ": File name too long");
        row("an option for OUT", {"--movie", "-v.mp4", "--to", to},
            "and '-v.mp4' is an option: the name is missing before it");
        row("H.264 too large", {"--movie", "out.mkv", "--to", to, "--size", "16384x16384"},
            "an H.264 video's frames hold at most 139,264 blocks");
        row("VP9 too large", {"--movie", "out.webm", "--to", to, "--size", "8192x8192"},
            "a VP9 video's frames hold at most 35,651,584 pixels");
        row("--from without --movie", {"--from", to}, "--from applies only with --movie");
        row("both commands", {"--movie", "out", "--render", "a.png", "--to", to},
            "either --render or --movie");
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        QTemporaryDir folder;
        QVERIFY(writeRefusalInputs(folder.path()));
        const QStringList before = filesUnder(folder.path());
        const QString current = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        CommandLine commandLine;
        const Outcome outcome = commandLine.parse(QStringList{"Quenthar"} + arguments);
        QVERIFY(QDir::setCurrent(current));
        QCOMPARE(outcome, Outcome::Error);
        QVERIFY2(commandLine.errorText().contains(line), qPrintable(commandLine.errorText()));
        QVERIFY(!commandLine.errorText().contains(QLatin1Char('\n')));
        QCOMPARE(filesUnder(folder.path()), before);
    }

    // The movie's length from its seconds and rate, and the frames to render.
    void movieJob()
    {
        CommandLine commandLine;
        QCOMPARE(commandLine.parse({"Quenthar", "--movie", "out", "--to", "1,2,3,4", "--fps",
                                    "23.976", "--seconds", "2.5", "--frame-range", "10-59"}),
                 Outcome::Movie);
        const MovieJob& job = commandLine.movieJob();
        QCOMPARE(job.frames, 60);
        QCOMPARE(job.fps, 23.976);
        QCOMPARE(job.first, 10);
        QCOMPARE(job.last, 59);
        QVERIFY(job.from == View{} && job.to == (View{1, 2, 3, 4}) && !job.video);
        QCOMPARE(commandLine.parse(
                     {"Quenthar", "--movie", "out", "--to", "1,2,3,4", "--frame-range", "10-300"}),
                 Outcome::Error);
    }

    void texts()
    {
        CommandLine commandLine;
        const QString help = commandLine.helpText();
        for (const char* option :
             {"--help", "--version", "--threads <N>", "--view <L,T,W,H>", "--render <OUT>",
              "--size <WxH>", "--quiet", "FILE", "F1 in the window", "--movie <OUT>",
              "--frames-from <DIR>", "--frame-range <I-J>"})
            QVERIFY2(help.contains(QLatin1String(option)), option);
        QVERIFY(!help.contains(QLatin1String("platformpluginpath")));
        QVERIFY(help.startsWith(QLatin1String("Usage: Quenthar [options] [FILE]\n")));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
