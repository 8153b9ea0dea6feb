// The program run from outside with no display: --render's pictures against
// the engine's counts, bad command lines, write errors (a full disk,
// pipes and FIFOs, standard output, names that are not UTF-8), no engine
// library needed, an interrupted render, and the progress line.
#include "colouring.h"
#include "colourramp.h"
#include "commandline.h"
#include "engine.h"
#include "enginebinding.h"
#include "expectedpicture.h"
#include "fulldisk.h"
#include "hostilepictures.h"
#include "kernel/escapeloop.h"
#include "pictureview.h"
#include "program.h"
#include "viewmath.h"
#include "viewtext.h"
#include "workestimate.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>

Q_DECLARE_METATYPE(View)

namespace {

QImage readPicture(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestRender : public QObject {
    Q_OBJECT

private slots:
    // Any size: the view stretched over it, each pixel Engine's count with the
    // scales of that size; the same file on any number of threads.
    void anySize()
    {
        const View view{-0.9, -0.6, 1.7, 1.1};
        QTemporaryDir folder;
        const QString one = folder.filePath(QStringLiteral("one.png"));
        const QString three = folder.filePath(QStringLiteral("three.png"));
        const int width = 97, height = 31;
        QCOMPARE(run({"--render", one, "--size", "97x31", "--stretch", "--threads", "1", "--view",
                      viewText(view)})
                     .status,
                 0);
        QCOMPARE(run({"--render", three, "--size", "97x31", "--stretch", "--threads", "3", "--view",
                      viewText(view)})
                     .status,
                 0);
        const QImage image = readPicture(one);
        QCOMPARE(image.size(), QSize(width, height));
        const Scales scales = scalesOf(view, width, height);
        for (int row = 0; row < height; ++row)
            for (int col = 0; col < width; ++col)
                QCOMPARE(image.pixel(col, row),
                         rgbOf(colourOf(int16_t(
                             Engine(col, row, scales.x, scales.y, view.viewLeft, view.viewTop)))));
        QFile a(one), b(three);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        QCOMPARE(a.readAll(), b.readAll());
    }

    // With N x N samples a pixel, each pixel is the average in linear light of
    // the N x N block of the picture N times as large (its samples), encoded
    // back to sRGB and rounded to the nearest level: a box filter of the
    // larger picture, exactly; the picture records its samples. One sample
    // is today's picture, byte for byte.
    void supersampled_data()
    {
        QTest::addColumn<View>("view");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("samples");
        const View dense{0.2, -0.52, 0.04, 0.03};
        QTest::newRow("default, 2") << View{} << QSize(64, 48) << 2;
        QTest::newRow("default, 3") << View{} << QSize(64, 48) << 3;
        QTest::newRow("dense, 2") << dense << QSize(64, 48) << 2;
        QTest::newRow("dense, 3") << dense << QSize(64, 48) << 3;
        QTest::newRow("odd size, 3") << View{-0.9, -0.6, 1.7, 1.1} << QSize(37, 23) << 3;
    }
    void supersampled()
    {
        QFETCH(View, view);
        QFETCH(QSize, size);
        QFETCH(int, samples);
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("out.png"));
        const QString large = folder.filePath(QStringLiteral("large.png"));
        const auto sizeText = [](QSize s) {
            return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
        };
        QCOMPARE(run({"--render", out, "--size", sizeText(size), "--stretch", "--samples",
                      QString::number(samples), "--view", viewText(view)})
                     .status,
                 0);
        QCOMPARE(run({"--render", large, "--size", sizeText(size * samples), "--stretch", "--view",
                      viewText(view)})
                     .status,
                 0);
        // The standard sRGB transfer functions.
        const auto decode = [](double c) {
            return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        };
        const auto encode = [](double l) {
            return l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
        };
        const QImage picture = readPicture(out);
        const QImage samplesPicture = readPicture(large);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                double light = 0;
                for (int j = 0; j < samples; ++j)
                    for (int i = 0; i < samples; ++i)
                        light += decode(
                            qRed(samplesPicture.pixel(x * samples + i, y * samples + j)) / 255.0);
                const int level = int(std::nearbyint(255 * encode(light / (samples * samples))));
                QCOMPARE(picture.pixel(x, y), qRgb(level, level, 0));
            }
        QCOMPARE(QImageReader(out).text(QStringLiteral("Samples")), QString::number(samples));
        QCOMPARE(QImageReader(large).text(QStringLiteral("Samples")), QString());
        // One sample a pixel is today's picture.
        const QString one = folder.filePath(QStringLiteral("one.png"));
        QCOMPARE(run({"--render", one, "--size", sizeText(size), "--stretch", "--samples", "1",
                      "--view", viewText(view)})
                     .status,
                 0);
        QCOMPARE(
            run({"--render", out, "--size", sizeText(size), "--stretch", "--view", viewText(view)})
                .status,
            0);
        QCOMPARE(contents(one), contents(out));
    }

    // Coloured renders: each pixel the colour of its count, to the cap given,
    // as Engine's loop written plainly counts it; the picture records its
    // colouring, and a render of it with no colour options makes it again,
    // byte for byte. The cap and the ramp by default are today's picture.
    void colouredRenders_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("palette"); // a palette picture, not red, green and blue
        QTest::newRow("ramp to 100") << QStringList{"--iterations", "100"} << true;
        QTest::newRow("cycle") << QStringList{"--iterations", "5000", "--colour", "cycle"} << true;
        QTest::newRow("cycle, ice, density and offset")
            << QStringList{"--colour",  "cycle", "--palette", "ice",
                           "--density", "0.25",  "--offset",  "-3"}
            << true;
        QTest::newRow("smooth") << QStringList{"--iterations", "3000",      "--colour",
                                               "smooth",       "--palette", "spectrum"}
                                << false;
    }
    void colouredRenders()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, palette);
        const View view{0.2, -0.52, 0.04, 0.03};
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("out.png"));
        QCOMPARE(
            run(QStringList{"--render", out, "--size", "48x36", "--view", viewText(view)} + options)
                .status,
            0);
        CommandLine commandLine;
        QCOMPARE(commandLine.parse(QStringList{"Quenthar", "--render", out, "--size", "48x36",
                                               "--view", viewText(view)} +
                                   options),
                 CommandLine::Outcome::Render);
        const ColourChoice& choice = commandLine.render().job.colour;
        const Colouring colouring(choice);
        const Scales scales = scalesOf(view, 48, 36);
        const PixelLattice lattice{scales.x, scales.y, view.viewLeft, view.viewTop, 48};
        const QImage image = QImage(out).convertToFormat(QImage::Format_RGB32);
        for (size_t i = 0; i < 48 * 36; ++i) {
            EscapePoint point{};
            const int32_t count = escapeLoop(lattice, i, choice.cap, point);
            const Rgb colour = colouring.colour(count, &point);
            QCOMPARE(image.pixel(int(i % 48), int(i / 48)), qRgb(colour.r, colour.g, colour.b));
        }
        QCOMPARE(QImageReader(out).imageFormat() == QImage::Format_Indexed8, palette);
        // Drawn again from the picture alone.
        const QString again = folder.filePath(QStringLiteral("again.png"));
        QCOMPARE(run({"--render", again, "--size", "48x36", out}).status, 0);
        QCOMPARE(contents(again), contents(out));
        // The default colouring, given, is today's picture.
        QCOMPARE(run({"--render", out, "--view", viewText(view), "--iterations", "1024", "--colour",
                      "ramp"})
                     .status,
                 0);
        QCOMPARE(run({"--render", again, "--view", viewText(view)}).status, 0);
        QCOMPARE(contents(again), contents(out));
    }

    // Past the engine's 16-bit columns and rows: a long thin picture either
    // way, each pixel the count of Engine's formula for its column and row.
    void beyondSixteenBits_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("40000 x 3") << QSize(40000, 3);
        QTest::newRow("3 x 40000") << QSize(3, 40000);
    }
    void beyondSixteenBits()
    {
        QFETCH(QSize, size);
        const View view{-1.3, -0.4, 2.6, 0.8};
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("out.png"));
        QCOMPARE(run({"--render", out, "--size",
                      QStringLiteral("%1x%2").arg(size.width()).arg(size.height()), "--stretch",
                      "--view", viewText(view)})
                     .status,
                 0);
        const QImage image = readPicture(out);
        QCOMPARE(image.size(), size);
        const Scales scales = scalesOf(view, size.width(), size.height());
        for (int row = 0; row < size.height(); ++row)
            for (int col = 0; col < size.width(); ++col)
                QCOMPARE(image.pixel(col, row),
                         rgbOf(colourOf(int16_t(
                             Engine(col, row, scales.x, scales.y, view.viewLeft, view.viewTop)))));
    }

    // A poster drawn in parts of rows, given in any split, joins into byte
    // for byte the PNG of one render; parts of two pictures are refused, in
    // one line naming them, and nothing is written.
    void posterInParts()
    {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        const QStringList picture = {"--size",   "301x173", "--samples", "2",
                                     "--colour", "cycle",   "--view",    "0.2,-0.52,0.04,0.03"};
        QCOMPARE(run(QStringList{"--render", dir.filePath("one.png")} + picture).status, 0);
        for (const char* rows : {"0-9", "10-10", "11-150", "151-172"})
            QCOMPARE(run(QStringList{"--render", dir.filePath("parts"), "--rows", rows} + picture)
                         .status,
                     0);
        QCOMPARE(
            run({"--render", dir.filePath("poster.png"), "--parts", dir.filePath("parts")}).status,
            0);
        QCOMPARE(contents(dir.filePath("poster.png")), contents(dir.filePath("one.png")));
        QCOMPARE(
            run({"--render", dir.filePath("parts"), "--rows", "0-9", "--size", "301x173"}).status,
            0);
        const Outcome outcome =
            run({"--render", dir.filePath("again.png"), "--parts", dir.filePath("parts")});
        QVERIFY2(refusedWith(outcome, "rows-000-009.part") &&
                     outcome.err.contains("are parts of different pictures"),
                 outcome.err.constData());
        QVERIFY(!dir.exists(QStringLiteral("again.png")));
    }

    // A poster's view is read without its pixels, whatever its size: here
    // one that claims a million pixels a side and holds a few bytes of them.
    // And a poster of a saved picture keeps the picture's look: its pixels'
    // shape, the view widened about its centre to the new size's shape.
    void postersOfPictures()
    {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        const QString huge = dir.filePath(QStringLiteral("huge.png"));
        const QByteArray million = png::bigEndian(1000000);
        QVERIFY(writeFile(
            huge, QByteArray("\x89PNG\r\n\x1a\n", 8) +
                      png::chunk("IHDR", million + million + QByteArray("\x08\0\0\0\0", 5)) +
                      png::viewChunk("-0.5,-0.5,1,1") +
                      png::chunk("IDAT", QByteArray::fromHex("7801"))));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(readPictureView(huge).view, (View{-0.5, -0.5, 1, 1}));
        QVERIFY(timer.elapsed() < 1000);
        const auto drawn = [&](const QString& size) {
            const Outcome outcome =
                run({"--render", dir.filePath("poster.png"), "--check", "--size", size, huge});
            return outcome.out.split('\n').value(0);
        };
        // A 640 x 480 picture of a square view.
        QCOMPARE(run({"--render", huge, "--view", "-0.5,-0.5,1,1"}).status, 0);
        QCOMPARE(drawn(QStringLiteral("1280x480")), QByteArray("--view=-1,-0.5,2,1"));
        QCOMPARE(drawn(QStringLiteral("2560x1920")), QByteArray("--view=-0.5,-0.5,1,1"));
        // A view given as numbers gets square pixels.
        const Outcome numbers = run({"--render", dir.filePath("poster.png"), "--check", "--size",
                                     "1280x480", "--view", "-0.5,-0.5,1,1"});
        QVERIFY2(numbers.out.startsWith("--view=-1.3333333333333333,-0.5,2.6666666666666665,1"),
                 numbers.out.constData());
    }

    // Given a size of another shape, the view is widened about its centre to
    // that shape, a pixel as wide as high, and the picture records the view
    // drawn, which is drawn the same again.
    void keepsProportions()
    {
        const View view{-0.9, -0.6, 1.7, 1.1};
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("out.png"));
        QCOMPARE(run({"--render", out, "--size", "97x31", "--view", viewText(view)}).status, 0);
        const PictureView drawn = readPictureView(out, 97, 31);
        QCOMPARE(formatView(drawn.view), formatView(fittedView(view, 97, 31)));
        const Scales scales = scalesOf(drawn.view, 97, 31);
        QVERIFY(std::abs(scales.x / scales.y - 1) < 1e-12);
        QCOMPARE(drawn.view.viewTop + drawn.view.viewHeight / 2,
                 view.viewTop + view.viewHeight / 2);
        const QString again = folder.filePath(QStringLiteral("again.png"));
        QCOMPARE(run({"--render", again, "--size", "97x31", "--view", viewText(drawn.view)}).status,
                 0);
        QCOMPARE(contents(again), contents(out));
        // --view takes the picture itself, as --from and --to do.
        QCOMPARE(run({"--render", again, "--size", "97x31", "--view", out}).status, 0);
        QCOMPARE(contents(again), contents(out));
    }

    // A bad command line is refused in one line with status 2, before any
    // window would open (without a display, opening one would end with
    // status 1), and nothing is written: a few end to end, the parser's own
    // refusals in-process (tst_commandline).
    void badInputs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* name, QStringList arguments, const char* line) {
            QTest::newRow(name) << arguments << QString::fromUtf8(line);
        };
        row("unknown option", {"--bogus"},
            "Quenthar: unknown option '--bogus' (try 'Quenthar --help')");
        row("bad view in file", {"badview.png"}, "the view '1,2,0,4' of 'badview.png' is wrong");
        row("render twice", {"--render", "a.png", "--render", "out.png"},
            "--render is given more than once");
    }
    void badInputs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        QTemporaryDir folder;
        QVERIFY(writeRefusalInputs(folder.path()));
        const QStringList before = QDir(folder.path()).entryList(QDir::Files | QDir::Hidden);

        const Outcome outcome = runIn(folder.path(), arguments);
        QVERIFY2(refusedWith(outcome, line), outcome.err.constData());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), before);
    }

    // Hostile files are refused at once, in one line with their content
    // escaped, in a few megabytes; a FIFO is not waited on.
    void hostileFilesRefusedAtOnce()
    {
        QTemporaryDir folder;
        QVERIFY(hostile::write(QDir(folder.path())));
        const QString out = folder.filePath(QStringLiteral("out.png"));
        for (const hostile::File& file : hostile::files) {
            const QString path = folder.filePath(QString::fromLatin1(file.name));
            long peakKiB = 0;
            const Outcome outcome = runMeasured({"--render", out, path}, peakKiB);
            QCOMPARE(outcome.status, 2);
            QVERIFY2(outcome.oneLine() && outcome.err.contains(file.reason),
                     outcome.err.constData());
            QVERIFY2(std::none_of(outcome.err.begin(), outcome.err.end() - 1,
                                  [](char c) { return uchar(c) < 0x20; }),
                     outcome.err.constData());
#if !defined(__SANITIZE_ADDRESS__)
            qInfo("%s: peak resident memory %.1f MiB", file.name, peakKiB / 1024.0);
            QVERIFY(peakKiB > 0 && peakKiB < 50 * 1024);
#endif
            QElapsedTimer timer;
            timer.start();
            QVERIFY(!readPictureView(path).ok());
            QVERIFY2(timer.elapsed() < 200, file.name);
        }
        QVERIFY(!QFile::exists(out));
    }

    // A FILE whose name is not UTF-8 opens: its bytes reach the system as
    // they were given.
    void fileNameOfAnyBytes()
    {
        QTemporaryDir folder;
        const View view{-0.2, -0.3, 0.25, 0.1};
        const QString out = folder.filePath(QStringLiteral("out.png"));
        QCOMPARE(
            run({"--render", out, "--size", "8x6", "--stretch", "--view", viewText(view)}).status,
            0);
        const QByteArray name = QFile::encodeName(folder.path()) + "/caf\xe9.png";
        QCOMPARE(::rename(QFile::encodeName(out).constData(), name.constData()), 0);
        // QTemporaryDir does not see the name.
        const auto remove = qScopeGuard([&name] { ::unlink(name.constData()); });
        const Outcome outcome = run(
            {"-c",
             R"sh(exec "$0" --render "$1" --size 8x6 --stretch "$(printf '%s/caf\351.png' "$2")")sh",
             quenthar(), out, folder.path()},
            QStringLiteral("/bin/sh"));
        QCOMPARE(outcome.status, 0);
        const PictureView opened = readPictureView(out);
        QVERIFY2(opened.ok(), qPrintable(opened.reason()));
        QCOMPARE(formatView(opened.view), formatView(view));
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

    // On a disk that is full, or fills up midway, the render fails naming
    // the file and why, and leaves the earlier file whole and nothing
    // beside it.
    void fullDiskKeepsTheEarlierFile_data()
    {
        QTest::addColumn<QString>("size");
        QTest::addColumn<qint64>("room");
        QTest::newRow("full") << QStringLiteral("64x48") << qint64(0);
        QTest::newRow("fills up midway") << QStringLiteral("640x480") << qint64(16384);
    }
    void fullDiskKeepsTheEarlierFile()
    {
        QFETCH(QString, size);
        QFETCH(qint64, room);
        QTemporaryDir folder;
        FullDisk disk;
        if (const QString why = disk.mount(folder.path()); !why.isEmpty())
            QSKIP(qPrintable(why));
        const QString out = folder.filePath(QStringLiteral("keep.png"));
        QCOMPARE(run({"--render", out, "--size", "8x6"}).status, 0);
        const QByteArray earlier = contents(out);
        QVERIFY(disk.fill(room));

        const Outcome outcome = run({"--render", out, "--size", size, "--quiet"});
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.oneLine() && outcome.err.contains(out.toUtf8()) &&
                     outcome.err.endsWith(": No space left on device\n"),
                 outcome.err.constData());
        QCOMPARE(contents(out), earlier);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"fill", "keep.png"}));
    }

    // Written in place, a render may block for ever on a FIFO with no reader
    // or a pipe whose reader stalls; a signal still ends it at once, by that
    // signal.
    void signalsEndABlockedWrite_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("reader");   // the FIFO has a reader, which stalls
        QTest::addColumn<bool>("asStdout"); // the FIFO is standard output, OUT /dev/stdout
        QTest::newRow("FIFO without a reader") << int(SIGTERM) << false << false;
        QTest::newRow("stalled FIFO") << int(SIGHUP) << true << false;
        QTest::newRow("stalled pipe on stdout") << int(SIGINT) << true << true;
    }
    void signalsEndABlockedWrite()
    {
        QFETCH(int, signal);
        QFETCH(bool, reader);
        QFETCH(bool, asStdout);
        QTemporaryDir folder;
        const QString fifo = folder.filePath(QStringLiteral("fifo"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const int readEnd =
            reader ? ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)
                   : -1;
        QCOMPARE(readEnd >= 0, reader);
        QProcess process;
        if (asStdout)
            process.setStandardOutputFile(fifo);
        start(process, quenthar(),
              {"--render", asStdout ? QStringLiteral("/dev/stdout") : fifo, "--size", "4000x4000"});
        // Blocked in its open() without a reader, else once the pipe is
        // nearly full and stays so.
        if (reader) {
            const int capacity = fcntl(readEnd, F_GETPIPE_SZ);
            int queued = 0, before = -1;
            QElapsedTimer waited;
            waited.start();
            while (!(queued > capacity / 2 && queued == before) && waited.elapsed() < 60000) {
                before = queued;
                QTest::qWait(200);
                QCOMPARE(ioctl(readEnd, FIONREAD, &queued), 0);
            }
            QVERIFY(queued == before);
        } else {
            QVERIFY(waitFor([&] { return inSyscall(process.processId(), SYS_openat); }));
        }
        QCOMPARE(process.state(), QProcess::Running);

        ::kill(pid_t(process.processId()), signal);
        const bool ended = process.waitForFinished(1000);
        if (!ended)
            process.kill();
        process.waitForFinished();
        if (readEnd >= 0)
            ::close(readEnd);
        QVERIFY(ended);
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(process.exitCode(), signal);
    }

    // Standard output is written where it stands, whatever its name: the
    // shell's file opened for appending keeps what came before and after.
    void standardOutputIsAppendedTo_data()
    {
        QTest::addColumn<QString>("out");
        QTest::newRow("/dev/stdout") << QStringLiteral("/dev/stdout");
        QTest::newRow("/proc/self/fd/1") << QStringLiteral("/proc/self/fd/1");
    }
    void standardOutputIsAppendedTo()
    {
        QFETCH(QString, out);
        QTemporaryDir folder;
        QCOMPARE(run({"--render", folder.filePath(QStringLiteral("picture.png")), "--size", "8x6"})
                     .status,
                 0);
        const QString log = folder.filePath(QStringLiteral("log"));
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("first\n") == 6);
        file.close();
        const Outcome outcome =
            runShell(folder.path(),
                     R"((echo before; "$0" --render "$1" --size 8x6; echo after) >> log)", {out});
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(contents(log),
                 "first\nbefore\n" + contents(folder.filePath("picture.png")) + "after\n");
    }

    // A name that is not UTF-8 is written with its bytes; an earlier file
    // keeps its mode and, behind a symbolic link, its link, even one to a
    // file not made yet; a new file gets the mode the umask gives.
    void fileKeepsItsNameModeAndLink()
    {
        QTemporaryDir folder;
        const QByteArray name = QFile::encodeName(folder.path()) + "/caf\xe9.png";
        const auto mode = [](const QByteArray& path) {
            struct stat file {};
            return ::lstat(path.constData(), &file) == 0 ? file.st_mode : 0;
        };
        QCOMPARE(runShell(folder.path(),
                          R"sh(umask 027; "$0" --render "$(printf 'caf\351.png')" --size 8x6)sh")
                     .status,
                 0);
        QCOMPARE(mode(name), mode_t(S_IFREG | 0640));
        QVERIFY(::chmod(name.constData(), 0604) == 0);
        QVERIFY(::symlink(name.constData(), QFile::encodeName(folder.filePath("link.png"))) == 0);
        QCOMPARE(run({"--render", folder.filePath("link.png"), "--size", "8x6"}).status, 0);
        QCOMPARE(mode(name), mode_t(S_IFREG | 0604));
        QVERIFY(S_ISLNK(mode(QFile::encodeName(folder.filePath("link.png")))));
        QCOMPARE(readPicture(folder.filePath("link.png")).size(), QSize(8, 6));
        // A link to nothing yet leads to the picture made.
        QVERIFY(::symlink("new.png", QFile::encodeName(folder.filePath("dangling.png"))) == 0);
        QCOMPARE(run({"--render", folder.filePath("dangling.png"), "--size", "8x6"}).status, 0);
        QVERIFY(S_ISLNK(mode(QFile::encodeName(folder.filePath("dangling.png")))));
        QCOMPARE(readPicture(folder.filePath("new.png")).size(), QSize(8, 6));
        QVERIFY(QFile::remove(folder.filePath("dangling.png")) &&
                QFile::remove(folder.filePath("new.png")));
        // Qt lists and removes no name that is not UTF-8.
        QCOMPARE(::unlink(name.constData()), 0);
        QCOMPARE(
            QDir(folder.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList{"link.png"});
    }

    // A render and a movie load no engine library: beside the program, where
    // the window looks first, lies one of that name without Engine (Qt
    // Test's), and still both draw Engine's pixels.
    void noEngineLibraryLoaded()
    {
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("Quenthar"));
        QVERIFY(QFile::copy(quenthar(), program));
        QVERIFY(QFile::copy(QStringLiteral(QT_TEST_LIBRARY),
                            folder.filePath(EngineBinding::defaultFileName())));
        const QString out = folder.filePath(QStringLiteral("out.png"));
        Outcome outcome = run({"--render", out}, program);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(readPicture(out), expectedPicture(View{}));
        const QString frames = folder.filePath(QStringLiteral("frames"));
        outcome = run(
            {"--movie", frames, "--to", "-0.2,-0.3,0.25,0.1", "--size", "64x48", "--frames", "2"},
            program);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(QDir(frames).entryList(QDir::Files).size(), 2);
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
            // Once its temporary file is there.
            QVERIFY(waitFor([&] { return !hiddenFiles(folder.path()).isEmpty(); }));
            signalWhereItStands(process.processId(), signal);
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

    // The time left follows the work: the default view's rows hold little at
    // its edges and most in its middle, half of it in each half (the set is
    // symmetric about 0, the view's centre).
    void workEstimateFollowsTheSet()
    {
        PassThreads threads;
        const int height = 2160;
        const WorkEstimate work = WorkEstimate::sample(
            RenderJob{.view = View{}, .width = 3840, .height = height}, threads);
        QCOMPARE(work.share(0), 0.0);
        QCOMPARE(work.share(height), 1.0);
        for (int rows = 0; rows < height; rows += 8)
            QVERIFY(work.share(rows) <= work.share(rows + 8));
        QVERIFY2(work.share(height / 10) < 0.05,
                 qPrintable(QString::number(work.share(height / 10))));
        QVERIFY(qAbs(work.share(height / 2) - 0.5) < 0.01);
        QCOMPARE(secondsLeft(0.25, 3.0), std::optional<double>(9.0));
        QCOMPARE(secondsLeft(0, 3.0), std::optional<double>());
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
        long peakKiB = 0;
        const Outcome outcome =
            runMeasured({"--render", out, "--size", "16384x16384", "--view", "10,10,1,1"}, peakKiB);
        QCOMPARE(outcome.status, 0);
        QImageReader reader(out);
        QCOMPARE(reader.size(), QSize(16384, 16384));
        qInfo("Peak resident memory of the render: %.1f MiB", peakKiB / 1024.0);
        QVERIFY(peakKiB > 0 && peakKiB < 100 * 1024);
        // Nor with the samples: never more than the rows of samples of a band.
        const Outcome sampled = runMeasured(
            {"--render", out, "--size", "16384x256", "--samples", "8", "--view", "10,10,1,1"},
            peakKiB);
        QCOMPARE(sampled.status, 0);
        qInfo("Peak resident memory with 8x8 samples: %.1f MiB", peakKiB / 1024.0);
        QVERIFY(peakKiB > 0 && peakKiB < 50 * 1024);
    }
};

QTEST_GUILESS_MAIN(TestRender)
#include "tst_render.moc"
