// The program run from outside with no display: --render against the
// window's own finished pass, bad command lines, write errors, a missing or
// faulty engine, an interrupted render, and the progress line.
#include "colourramp.h"
#include "engine.h"
#include "expectedpicture.h"
#include "probe.h"
#include "program.h"
#include "quenthar_version.h"
#include "viewmath.h"
#include "viewtext.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>

Q_DECLARE_METATYPE(View)

namespace {

QString viewText(const View& view)
{
    return QString::fromStdString(formatView(view));
}

QImage readPicture(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT

private slots:
    void matchesTheWindowsFinishedPass_data()
    {
        QTest::addColumn<View>("view");
        QTest::newRow("default") << View{};
        QTest::newRow("zoomed") << View{-0.2, -0.3, 0.25, 0.1};
    }
    void matchesTheWindowsFinishedPass()
    {
        QFETCH(View, view);
        Window w(QStringLiteral("libengine.so"));
        w.form->setView(view);
        w.form->draw_Click();
        QCOMPARE(w.mode(), 0);

        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("out.png"));
        const Outcome outcome = run({"--render", out, "--view", viewText(view)});
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(readPicture(out), w.backupPic()->image());

        QImageReader reader(out);
        QCOMPARE(reader.text(QStringLiteral("Software")),
                 QStringLiteral("Quenthar " QUENTHAR_VERSION));
        QCOMPARE(parseView(reader.text(QString::fromLatin1(viewKey)).toStdString()).view, view);
    }

    // Any size: the view stretched over it, one Engine call per pixel with the
    // scales of that size; the same file on any number of threads.
    void anySize()
    {
        const View view{-0.9, -0.6, 1.7, 1.1};
        QTemporaryDir folder;
        const QString one = folder.filePath(QStringLiteral("one.png"));
        const QString three = folder.filePath(QStringLiteral("three.png"));
        const int width = 97, height = 31;
        QCOMPARE(
            run({"--render", one, "--size", "97x31", "--threads", "1", "--view", viewText(view)})
                .status,
            0);
        QCOMPARE(
            run({"--render", three, "--size", "97x31", "--threads", "3", "--view", viewText(view)})
                .status,
            0);
        const QImage image = readPicture(one);
        QCOMPARE(image.size(), QSize(width, height));
        const Scales scales = scalesOf(view, width, height);
        for (int row = 0; row < height; ++row)
            for (int col = 0; col < width; ++col)
                QCOMPARE(image.pixel(col, row),
                         PictureBox::toRgb(colourOf(int16_t(
                             Engine(col, row, scales.x, scales.y, view.viewLeft, view.viewTop)))));
        QFile a(one), b(three);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }

    // Each is refused in one line with status 2, before any window would
    // open: without a display, opening one would end with status 1.
    void badInputs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* name, QStringList arguments, const char* line) {
            QTest::newRow(name) << arguments << QString::fromUtf8(line);
        };
        row("unknown option", {"--bogus"},
            "Quenthar: unknown option '--bogus' (try 'Quenthar --help')");
        row("-reverse", {"-reverse"},
            "Quenthar: unknown option '-reverse' (try 'Quenthar --help')");
        row("threads", {"--threads", "0"}, "--threads takes a whole number");
        row("missing file", {"missing.png"}, "cannot read 'missing.png': No such file");
        row("folder", {"."}, "cannot read '.'");
        row("not an image", {"text.png"}, "'text.png' is not an image");
        row("no view", {"plain.png"}, "'plain.png' holds no view");
        row("bad view in file", {"badview.png"}, "the view '1,2,0,4' of 'badview.png' is wrong");
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
        row("render: size over", {"--render", "out.png", "--size", "640x16385"}, "'640x16385'");
        row("render: size text", {"--render", "out.png", "--size", "wide"}, "'wide'");
        row("render: no view", {"--render", "out.png", "plain.png"}, "holds no view");
        row("render: view", {"--render", "out.png", "--view", "1,2,3"}, "four numbers");
    }
    void badInputs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        QTemporaryDir folder;
        QImage plain(8, 8, QImage::Format_RGB32);
        plain.fill(Qt::black);
        QVERIFY(plain.save(folder.filePath(QStringLiteral("plain.png"))));
        plain.setText(QString::fromLatin1(viewKey), QStringLiteral("1,2,0,4"));
        QVERIFY(plain.save(folder.filePath(QStringLiteral("badview.png"))));
        QFile text(folder.filePath(QStringLiteral("text.png")));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("text\n") > 0);
        text.close();

        QProcess process;
        process.setWorkingDirectory(folder.path());
        start(process, quenthar(), arguments);
        const Outcome outcome = finish(process);
        QCOMPARE(outcome.status, 2);
        QVERIFY2(outcome.oneLine(), outcome.err.constData());
        QVERIFY2(outcome.err.startsWith("Quenthar: ") && outcome.err.contains(line.toUtf8()),
                 outcome.err.constData());
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("out.png"))));
    }

    void writeErrors()
    {
        for (const char* option : {"--help", "--version"}) {
            QProcess process;
            process.setStandardOutputFile(QStringLiteral("/dev/full"));
            start(process, quenthar(), {QString::fromLatin1(option)});
            const Outcome outcome = finish(process);
            QCOMPARE(outcome.status, 1);
            QVERIFY2(outcome.oneLine() && outcome.err.contains("No space left on device"),
                     outcome.err.constData());
        }
        for (const char* out : {"/dev/full", "/nonexistent-folder/out.png"}) {
            const Outcome outcome = run({"--render", QString::fromLatin1(out)});
            QCOMPARE(outcome.status, 1);
            QVERIFY2(outcome.oneLine() && outcome.err.contains(out), outcome.err.constData());
        }
    }

    // The engine is looked for beside the program: absent, without Engine, or
    // giving a count out of range, the render fails in one line and writes
    // nothing.
    void engineFaults_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("line");
        const QString folder = QCoreApplication::applicationDirPath();
        QTest::newRow("missing") << QString() << QStringLiteral("libengine.so");
        // A shared library with no Engine in it: Qt Test's.
        QTest::newRow("no Engine")
            << QStringLiteral(QT_TEST_LIBRARY) << QStringLiteral("undefined symbol: Engine");
        QTest::newRow("bad count") << folder + QStringLiteral("/libbadcountengine.so")
                                   << QStringLiteral("invalid count (40000)");
    }
    void engineFaults()
    {
        QFETCH(QString, library);
        QFETCH(QString, line);
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("Quenthar"));
        QVERIFY(QFile::copy(quenthar(), program));
        if (!library.isEmpty())
            QVERIFY(QFile::copy(library, folder.filePath(QStringLiteral("libengine.so"))));
        const QString out = folder.filePath(QStringLiteral("out.png"));
        const Outcome outcome = run({"--render", out}, program);
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.oneLine() && outcome.err.contains(line.toUtf8()), outcome.err.constData());
        QVERIFY(!QFile::exists(out));
    }

    // Stopped while it draws, a render leaves no file, and an earlier file of
    // that name whole.
    void interruptedRenderLeavesNoFile()
    {
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("out.png"));
        const QByteArray earlier = "an earlier picture";
        QFile file(out);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
        file.close();
        for (int signal : {SIGTERM, SIGINT}) {
            QProcess process;
            start(process, quenthar(), {"--render", out, "--size", "16384x16384"});
            QTest::qWait(500);
            QCOMPARE(process.state(), QProcess::Running);
            ::kill(pid_t(process.processId()), signal);
            const Outcome outcome = finish(process);
            QVERIFY(outcome.crashed);
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList{"out.png"});
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), earlier);
            file.close();
        }
    }

    // With stderr closed the render still completes (and nothing it opens
    // takes stderr's place).
    void withoutStderr()
    {
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("out.png"));
        const Outcome outcome =
            run({"-c", "\"$0\" --render \"$1\" 2>&-", quenthar(), out}, QStringLiteral("/bin/sh"));
        QCOMPARE(outcome.status, 0);
        QCOMPARE(readPicture(out), expectedPicture(View{}));
    }

    // On a terminal a render shows its progress, unless --quiet.
    void progressOnTerminal()
    {
        if (!canOpenTerminal())
            QSKIP("no pseudo-terminal can be opened here");
        QTemporaryDir folder;
        const QStringList render = {"--render", folder.filePath(QStringLiteral("out.png")),
                                    "--size", "64x48"};
        Outcome outcome = runOnTerminal(render);
        QCOMPARE(outcome.status, 0);
        QVERIFY2(outcome.out.contains("100%  48/48 rows"), outcome.out.constData());
        outcome = runOnTerminal(render + QStringList{"--quiet"});
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.out, QByteArray());
    }

    // Memory does not grow with the picture: a 16384 x 16384 render of a view
    // where every pixel escapes at once stays under 100 MiB.
    void largeRenderStaysSmall()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("The sanitizers' own memory hides the render's");
#endif
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("out.png"));
        const Outcome outcome =
            run({"--render", out, "--size", "16384x16384", "--view", "10,10,1,1"});
        QCOMPARE(outcome.status, 0);
        QImageReader reader(out);
        QCOMPARE(reader.size(), QSize(16384, 16384));
        rusage usage{};
        QCOMPARE(getrusage(RUSAGE_CHILDREN, &usage), 0);
        qInfo("Peak resident memory of the largest child: %.1f MiB", usage.ru_maxrss / 1024.0);
        QVERIFY(usage.ru_maxrss < 100 * 1024);
    }
};

QTEST_MAIN(TestRender)
#include "tst_render.moc"
