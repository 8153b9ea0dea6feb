// The command line: what it accepts, what it refuses, the threads it sets and
// the view it opens.
#include "commandline.h"
#include "quenthar_version.h"
#include "viewtext.h"

#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <cstring>

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
        row("three numbers", {"--view", "1,2,3"}, Outcome::Error);
        row("not a number", {"--view", "1,2,x,4"}, Outcome::Error);
        row("zero height", {"--view", "1,2,3,0"}, Outcome::Error);
        row("NaN edge", {"--view", "nan,2,3,4"}, Outcome::Error);
        row("too small for the render",
            {"--render", "a.png", "--size", "16384x480", "--view", "0,0,1e-306,1"}, Outcome::Error);
        row("size without render", {"--size", "10x10"}, Outcome::Error);
        row("quiet without render", {"--quiet"}, Outcome::Error);
        row("render without a name", {"--render="}, Outcome::Error);
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

    // A bad command line is one line, naming what the user typed.
    void errorLines()
    {
        const auto error = [](QStringList arguments) {
            arguments.prepend(QStringLiteral("Quenthar"));
            CommandLine commandLine;
            commandLine.parse(arguments);
            return commandLine.errorText();
        };
        QCOMPARE(error({"--bogus"}),
                 QStringLiteral("unknown option '--bogus' (try 'Quenthar --help')"));
        QCOMPARE(error({"-reverse"}),
                 QStringLiteral("unknown option '-reverse' (try 'Quenthar --help')"));
        QCOMPARE(error({"--threads=1", "--x=2"}),
                 QStringLiteral("unknown option '--x' (try 'Quenthar --help')"));
        QCOMPARE(error({"--threads"}),
                 QStringLiteral("missing value after '--threads' (try 'Quenthar --help')"));
        QCOMPARE(
            error({"--view", "1,2,0,4"}),
            QStringLiteral("bad view '1,2,0,4': the width '0' is not a positive finite number"));
        QVERIFY(error({"--render", "a.png", "--size", "0x480"}).contains(QLatin1String("'0x480'")));
    }

    // A view saved in a picture comes back bit for bit, from the file and from
    // its numbers; a file with no view is refused, naming it.
    void viewOfASavedPicture()
    {
        const View view{-0.5030356770833333, -0.026616319444444647, 0.5313415364583334, 3e-7};
        QTemporaryDir folder;
        const QString saved = folder.filePath(QStringLiteral("saved.png"));
        QImageWriter writer(saved);
        for (const PictureText& text : pictureTexts(view))
            writer.setText(QString::fromLatin1(text.key), QString::fromStdString(text.value));
        QImage picture(640, 480, QImage::Format_RGB32);
        picture.fill(Qt::yellow);
        QVERIFY(writer.write(picture));

        CommandLine commandLine;
        QCOMPARE(commandLine.parse({"Quenthar", saved}), Outcome::Run);
        QVERIFY(commandLine.view());
        QVERIFY(std::memcmp(&*commandLine.view(), &view, sizeof view) == 0);
        QCOMPARE(
            commandLine.parse({"Quenthar", "--view", QString::fromStdString(formatView(view))}),
            Outcome::Run);
        QVERIFY(std::memcmp(&*commandLine.view(), &view, sizeof view) == 0);

        const QString plain = folder.filePath(QStringLiteral("plain.png"));
        QVERIFY(picture.save(plain));
        const QString text = folder.filePath(QStringLiteral("text.png"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
        file.close();
        const QString missing = folder.filePath(QStringLiteral("missing.png"));
        for (const QString& path : {plain, text, missing, folder.path()}) {
            QCOMPARE(commandLine.parse({"Quenthar", path}), Outcome::Error);
            QVERIFY2(commandLine.errorText().contains(QLatin1Char('\'') + path + QLatin1Char('\'')),
                     qPrintable(commandLine.errorText()));
            QVERIFY(!commandLine.errorText().contains(QLatin1Char('\n')));
        }
    }

    void texts()
    {
        QCOMPARE(CommandLine::versionText(), QStringLiteral("Quenthar " QUENTHAR_VERSION));
        CommandLine commandLine;
        const QString help = commandLine.helpText();
        for (const char* option : {"--help", "--version", "--threads <N>", "--view <L,T,W,H>",
                                   "--render <OUT>", "--size <WxH>", "--quiet", "FILE", "Ctrl+O"})
            QVERIFY2(help.contains(QLatin1String(option)), option);
        QVERIFY(!help.contains(QLatin1String("platformpluginpath")));
        QVERIFY(help.startsWith(QLatin1String("Usage: Quenthar [options] [FILE]\n")));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
