// The command line: what it accepts, what it refuses, and the threads it sets.
#include "commandline.h"
#include "quenthar_version.h"

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
        row("Qt's options", {"-platform", "offscreen", "-style", "fusion", "-reverse"},
            Outcome::Run);
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

    void texts()
    {
        QCOMPARE(CommandLine::versionText(), QStringLiteral("Quenthar " QUENTHAR_VERSION));
        CommandLine commandLine;
        const QString help = commandLine.helpText();
        for (const char* option : {"--help", "--version", "--threads <N>"})
            QVERIFY2(help.contains(QLatin1String(option)), option);
        QVERIFY(!help.contains(QLatin1String("platformpluginpath")));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
