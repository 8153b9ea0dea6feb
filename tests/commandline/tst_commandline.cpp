// The command line: what it accepts, what it refuses, the threads it sets and
// the view it opens.
#include "commandline.h"

#include <QTest>
#include <QThread>

using Outcome = CommandLine::Outcome;

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
             {"0x480", "640x-1", "16385x1", "640", "640x", "x480", "ax4", "640x480x2", "6e2x480"})
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
