// --movie: the path between two views, frames equal to --render's, resuming
// and slicing a movie, the video made by ffmpeg and its failures, and bad
// input, all run from outside as a user runs them.
#include "moviepath.h"
#include "program.h"
#include "viewtext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <cmath>
#include <csignal>

Q_DECLARE_METATYPE(View)

namespace {

// The movie of the tests: from the starting view down to a dense spiral, 12
// small frames named frame-00.png to frame-11.png.
const View dense{0.2, -0.52, 0.04, 0.03};
constexpr int frames = 12;
const QStringList small = {"--size", "64x48", "--frames", "12"};

QStringList movie(const QString& out, const QStringList& more = {})
{
    return QStringList{"--movie", out, "--to", viewText(dense)} + small + more;
}

QString frameName(int frame)
{
    return QStringLiteral("frame-%1.png").arg(frame, 2, 10, QLatin1Char('0'));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

ino_t inode(const QString& path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

// A file's contents, in short.
QByteArray digest(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
}

// Every file under folder, hidden ones too, with its contents' digest.
QMap<QString, QByteArray> tree(const QString& folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(folder).relativeFilePath(path)] = digest(contents(path));
    }
    return files;
}

// The first video stream as ffprobe counts it.
QJsonObject probeVideo(const QString& path)
{
    const Outcome outcome =
        run({"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
             "stream=codec_name,width,height,r_frame_rate,nb_read_frames", "-of", "json", path},
            QStringLiteral("ffprobe"));
    return QJsonDocument::fromJson(outcome.out)["streams"][0].toObject();
}

} // namespace

class TestMovie : public QObject {
    Q_OBJECT

private slots:
    void path_data()
    {
        QTest::addColumn<View>("from");
        QTest::addColumn<View>("to");
        QTest::addColumn<int>("count");
        QTest::newRow("zoom in") << View{} << dense << 12;
        QTest::newRow("zoom out") << dense << View{} << 7;
        QTest::newRow("pan") << View{-2, -1, 0.5, 0.5} << View{1, 3, 0.5, 0.5} << 9;
        QTest::newRow("B outside A") << View{0, 0, 1, 1} << View{5, -7, 0.25, 0.25} << 30;
        QTest::newRow("other shape") << View{0, 0, 1, 1} << View{0.25, 0.5, 0.002, 0.5} << 50;
        QTest::newRow("deep") << View{} << View{-0.1, 0.2, 3e-14, 3e-14} << 1000;
        QTest::newRow("two frames") << View{} << dense << 2;
    }
    // The first and last frames are the views given; each extent is the one
    // before times a factor that is the same all along, and the fixed point
    // of the zoom keeps its place in the picture, so nothing drifts or steps
    // back.
    void path()
    {
        QFETCH(View, from);
        QFETCH(View, to);
        QFETCH(int, count);
        QCOMPARE(movieFrame(from, to, 0, count), from);
        QCOMPARE(movieFrame(from, to, count - 1, count), to);
        struct Axis {
            double View::*edge;
            double View::*extent;
        };
        for (const Axis axis :
             {Axis{&View::viewLeft, &View::viewWidth}, Axis{&View::viewTop, &View::viewHeight}}) {
            const double a = from.*axis.edge, b = to.*axis.edge;
            const double ratio = to.*axis.extent / from.*axis.extent;
            const double step = std::pow(ratio, 1.0 / (count - 1));
            // The point that keeps its place, as a share of the picture.
            const double fixedShare = ratio == 1 ? 0 : (b - a) / (1 - ratio) / from.*axis.extent;
            View previous = from;
            for (int frame = 1; frame < count; ++frame) {
                const View view = movieFrame(from, to, frame, count);
                const double extent = view.*axis.extent, edge = view.*axis.edge;
                QVERIFY(std::abs(extent / previous.*axis.extent / step - 1) < 1e-12);
                QVERIFY((b - edge) * (b - a) >= 0 && (edge - previous.*axis.edge) * (b - a) >= 0);
                // To a few units in the last place of the edges.
                const double point = a + fixedShare * from.*axis.extent;
                const double expected =
                    ratio != 1 ? point - fixedShare * extent : a + (b - a) * frame / (count - 1);
                QVERIFY(std::abs(edge - expected) <= 1e-15 * (std::abs(a) + std::abs(b)) * 8);
                previous = view;
            }
        }
    }

    // Each frame is, byte for byte, the file --render makes of its view; the
    // views of the ends read back as given, here one as a saved picture.
    void framesAreRenders()
    {
        QTemporaryDir folder;
        const QString end = folder.filePath(QStringLiteral("end.png"));
        QCOMPARE(run({"--render", end, "--view", viewText(dense)}).status, 0);
        const View start{-1.25, -0.75, 2.5, 1.5};
        const QString out = folder.filePath(QStringLiteral("frames"));
        const Outcome outcome = run(
            QStringList{"--movie", out, "--from", viewText(start), "--to", end, "--threads", "2"} +
            small);
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.err, QByteArray());
        QStringList names;
        for (int frame = 0; frame < frames; ++frame)
            names << frameName(frame);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), names);
        for (int frame = 0; frame < frames; ++frame) {
            const View view = movieFrame(start, dense, frame, frames);
            const QString render = folder.filePath(QStringLiteral("render.png"));
            QCOMPARE(run({"--render", render, "--size", "64x48", "--view", viewText(view)}).status,
                     0);
            QVERIFY2(contents(QDir(out).filePath(names[frame])) == contents(render),
                     qPrintable(names[frame]));
        }
        QCOMPARE(QImageReader(QDir(out).filePath(names.constLast())).text(QStringLiteral("View")),
                 viewText(dense));
    }

    // Slices rendered apart make the same frames as the whole; a second run
    // keeps the whole frames of the movie and renders the rest: missing, cut
    // short, or of another view. An interrupt leaves only whole frames.
    void resumeAndSlices()
    {
        QTemporaryDir folder;
        const QString whole = folder.filePath(QStringLiteral("whole"));
        const QString sliced = folder.filePath(QStringLiteral("sliced"));
        QCOMPARE(run(movie(whole)).status, 0);
        for (const char* range : {"0-4", "5-10", "11-11"})
            QCOMPARE(run(movie(sliced, {"--frame-range", range})).status, 0);
        QCOMPARE(tree(sliced), tree(whole));

        const auto path = [&](int frame) { return QDir(sliced).filePath(frameName(frame)); };
        QVERIFY(QFile::remove(path(3)));
        writeFile(path(7), contents(path(7)).chopped(20));
        QVERIFY(QFile::remove(path(9)) && QFile::copy(path(8), path(9)));
        QMap<int, ino_t> inodes;
        for (int frame = 0; frame < frames; ++frame)
            inodes[frame] = inode(path(frame));
        QCOMPARE(run(movie(sliced)).status, 0);
        QCOMPARE(tree(sliced), tree(whole));
        for (int frame = 0; frame < frames; ++frame)
            QCOMPARE(inode(path(frame)) == inodes[frame], frame != 3 && frame != 7 && frame != 9);

        const QString big = folder.filePath(QStringLiteral("big"));
        QProcess process;
        start(process, quenthar(),
              {"--movie", big, "--from", viewText(dense), "--to", "0.21,-0.51,0.01,0.01", "--size",
               "640x480", "--frames", "100"});
        // Stopped while it draws a frame after the first.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(big).filePath(QStringLiteral("frame-00.png"))),
                                 60000);
        QTest::qWait(300);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(finish(process).crashed);
        const QStringList left = QDir(big).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(!left.isEmpty() && left.size() < 100);
        for (const QString& name : left) {
            QVERIFY2(name.startsWith(QLatin1String("frame-")), qPrintable(name));
            QImage image;
            QVERIFY2(QImageReader(QDir(big).filePath(name)).read(&image), qPrintable(name));
        }
    }

    // Folders whose names are not UTF-8 keep their bytes: frames rendered,
    // kept by a second run, and joined into a video in another such folder.
    void namesOfAnyBytes()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("ffmpeg is not installed");
        QTemporaryDir folder;
        const Outcome outcome = runShell(folder.path(), R"sh(
            frames=$(printf 'fr\351'); videos=$(printf 'v\351'); mkdir "$videos"
            trap 'rm -rf "$frames" "$videos"' EXIT
            movie() { "$0" --movie "$frames" --to "$1" --size 64x48 --frames 3 --quiet; }
            movie "$1" || exit
            before=$(ls -i "$frames"); movie "$1" || exit
            [ "$before" = "$(ls -i "$frames")" ] || echo replaced
            "$0" --movie "$videos/zoom.mp4" --frames-from "$frames" --fps 3 --quiet || exit
            ls -A "$frames" "$videos")sh",
                                         {viewText(dense)});
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.out, QByteArray("fr\xe9:\nframe-0.png\nframe-1.png\nframe-2.png\n\n"
                                         "v\xe9:\nzoom.mp4\n"));
    }

    // Straight into a video, and a folder of frames joined into one: every
    // frame, the size and the rate, H.264 or VP9 by the suffix.
    void video_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("codec");
        QTest::newRow("mp4") << "zoom.mp4"
                             << "h264";
        QTest::newRow("mkv") << "zoom.mkv"
                             << "h264";
        QTest::newRow("webm") << "zoom.webm"
                              << "vp9";
    }
    void video()
    {
        QFETCH(QString, name);
        QFETCH(QString, codec);
        if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
            QSKIP("ffmpeg is not installed");
        QTemporaryDir folder;
        const QString video = folder.filePath(name);
        const QString frameFolder = folder.filePath(QStringLiteral("frames"));
        QCOMPARE(run(movie(frameFolder)).status, 0);
        const QString joined = folder.filePath(QStringLiteral("joined-") + name);
        for (const QStringList& arguments :
             {movie(video, {"--fps", "24"}),
              QStringList{"--movie", joined, "--frames-from", frameFolder, "--fps", "24"}}) {
            const Outcome outcome = run(arguments);
            QCOMPARE(outcome.status, 0);
            QCOMPARE(outcome.err, QByteArray());
            const QJsonObject stream = probeVideo(arguments[1]);
            QCOMPARE(stream["codec_name"].toString(), codec);
            QCOMPARE(stream["width"].toInt(), 64);
            QCOMPARE(stream["height"].toInt(), 48);
            QCOMPARE(stream["r_frame_rate"].toString(), QStringLiteral("24/1"));
            QCOMPARE(stream["nb_read_frames"].toString(), QString::number(frames));
        }
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"joined-" + name, name}));
    }

    // Without ffmpeg, with an ffmpeg that fails, and when interrupted, a
    // video is not made: one line, and an earlier video as it was, with no
    // temporary file left.
    void videoFailures()
    {
        QTemporaryDir folder;
        const QString video = folder.filePath(QStringLiteral("zoom.mp4"));
        const QByteArray earlier = "an earlier video";
        writeFile(video, earlier);
        const QString bin = folder.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkdir(bin));
        const auto runWithPath = [&](const QString& path, const QStringList& arguments) {
            QProcess process;
            QProcessEnvironment environment = noDisplay();
            environment.insert(QStringLiteral("PATH"), path);
            process.setProcessEnvironment(environment);
            start(process, quenthar(), arguments);
            return finish(process);
        };
        Outcome outcome = runWithPath(bin, movie(video));
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.oneLine() && outcome.err.contains("ffmpeg is not on PATH"),
                 outcome.err.constData());

        const QString fake = QDir(bin).filePath(QStringLiteral("ffmpeg"));
        writeFile(fake, "#!/bin/sh\nhead -c 1000 >/dev/null\necho 'Unknown encoder' >&2\n"
                        "echo 'fake ffmpeg: no such codec' >&2\nexit 3\n");
        QVERIFY(QFile::setPermissions(fake, QFile::ReadOwner | QFile::ExeOwner));
        outcome = runWithPath(bin + QStringLiteral(":/usr/bin:/bin"), movie(video));
        QCOMPARE(outcome.status, 1);
        QVERIFY2(outcome.oneLine() &&
                     outcome.err.contains("ffmpeg failed (status 3): fake ffmpeg: no such codec"),
                 outcome.err.constData());

        if (!QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty()) {
            QProcess process;
            start(process, quenthar(),
                  {"--movie", video, "--to", "0.21,-0.51,0.01,0.01", "--size", "640x480",
                   "--frames", "100"});
            QTest::qWait(1000);
            ::kill(pid_t(process.processId()), SIGINT);
            QVERIFY(finish(process).crashed);
        }
        QCOMPARE(tree(folder.path()),
                 (QMap<QString, QByteArray>{{"bin", digest({})},
                                            {"bin/ffmpeg", digest(contents(fake))},
                                            {"zoom.mp4", digest(earlier)}}));
    }

    // Each is refused in one line with status 2, and nothing is written.
    void badInputs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* name, QStringList arguments, const char* line) {
            QTest::newRow(name) << arguments << QString::fromUtf8(line);
        };
        const QString to = viewText(dense);
        row("no --to", {"--movie", "out"}, "--movie needs the last frame's view");
        row("--to not drawable", {"--movie", "out", "--to", "1,2,3,1e-320"},
            "bad view '1,2,3,1e-320' for --to: the height '1e-320' is too small");
        row("--from not a view", {"--movie", "out", "--to", to, "--from", "1,2,0,4"},
            "the width '0' is not a positive");
        row("--to no picture", {"--movie", "out", "--to", "plain.png"}, "holds no view");
        row("zero frames", {"--movie", "out", "--to", to, "--frames", "0"}, "2 to 1000000 frames");
        row("one frame", {"--movie", "out", "--to", to, "--frames", "1"}, "2 to 1000000 frames");
        row("too short", {"--movie", "out", "--to", to, "--seconds", "0.01"}, "make 0 frames");
        row("range beyond",
            {"--movie", "out", "--to", to, "--frames", "12", "--frame-range", "8-12"},
            "0 <= I <= J <= 11 for a movie of 12 frames, not '8-12'");
        row("range reversed",
            {"--movie", "out", "--to", to, "--frames", "12", "--frame-range", "5-3"}, "not '5-3'");
        row("fps 0", {"--movie", "out", "--to", to, "--fps", "0"}, "--fps takes a number above 0");
        row("fps negative", {"--movie", "out", "--to", to, "--fps", "-24"}, "not '-24'");
        row("fps NaN", {"--movie", "out", "--to", to, "--fps", "nan"}, "not 'nan'");
        row("out under a file", {"--movie", "plain.png/out", "--to", to},
            "cannot write the frames into 'plain.png/out': Not a directory");
        row("out a file", {"--movie", "plain.png", "--to", to}, "it is not a folder");
        row("a FIFO for a frame", {"--movie", "fifo", "--to", to, "--frames", "12"},
            "'fifo/frame-00.png' is not a regular file");
        row("frame of another size", {"--movie", "sized", "--to", to, "--size", "64x48"},
            "'sized/frame-000.png' is 8x8 pixels, not 64x48");
        row("video unwritable", {"--movie", "missing/out.mp4", "--to", to},
            "cannot write 'missing/out.mp4': ");
        row("video of odd size", {"--movie", "out.mp4", "--to", to, "--size", "63x48"},
            "must be even, not 63x48");
        row("video range", {"--movie", "out.mp4", "--to", to, "--frame-range", "0-1"},
            "--frame-range renders frames into a folder");
        row("join a gap", {"--movie", "out.mp4", "--frames-from", "gap"},
            "'gap' lacks the frame frame-1.png of 3");
        row("join nothing", {"--movie", "out.mp4", "--frames-from", "gap/none", "--frames", "2"},
            "no such folder");
        row("join an empty folder",
            {"--movie", "out.mp4", "--frames-from", "sized/empty", "--frames", "2"},
            "lacks the frame frame-0.png of 2");
        row("join too few", {"--movie", "out.mp4", "--frames-from", "sized", "--frames", "5"},
            "lacks the frame frame-0.png of 5");
        row("--from without --movie", {"--from", to}, "--from applies only with --movie");
        row("both commands", {"--movie", "out", "--render", "a.png", "--to", to},
            "either --render or --movie");
    }
    void badInputs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        QTemporaryDir folder;
        const QDir dir(folder.path());
        QImage plain(8, 8, QImage::Format_RGB32);
        plain.fill(Qt::black);
        QVERIFY(plain.save(dir.filePath(QStringLiteral("plain.png"))));
        for (const char* name : {"sized", "sized/empty", "gap", "fifo"})
            QVERIFY(dir.mkdir(QString::fromLatin1(name)));
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo/frame-00.png")), 0600), 0);
        QVERIFY(plain.save(dir.filePath(QStringLiteral("sized/frame-000.png"))));
        QVERIFY(plain.save(dir.filePath(QStringLiteral("gap/frame-0.png"))));
        QVERIFY(plain.save(dir.filePath(QStringLiteral("gap/frame-2.png"))));
        const auto before = tree(folder.path());

        const Outcome outcome = runIn(folder.path(), arguments);
        QVERIFY2(refusedWith(outcome, line), outcome.err.constData());
        QCOMPARE(tree(folder.path()), before);
    }

    // On a terminal the frames done, the frame's share and the time left;
    // nothing with --quiet (nor on a pipe, as every other test sees).
    void progressOnTerminal()
    {
        if (!canOpenTerminal())
            QSKIP("no pseudo-terminal can be opened here");
        QTemporaryDir folder;
        Outcome outcome = runOnTerminal(movie(folder.filePath(QStringLiteral("a"))));
        QCOMPARE(outcome.status, 0);
        QVERIFY2(outcome.out.contains("100%  12/12 frames"), outcome.out.constData());
        outcome = runOnTerminal(movie(folder.filePath(QStringLiteral("b")), {"--quiet"}));
        QCOMPARE(outcome.status, 0);
        QCOMPARE(outcome.out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestMovie)
#include "tst_movie.moc"
