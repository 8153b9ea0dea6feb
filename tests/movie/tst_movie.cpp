// --movie: the path between two views, frames equal to --render's, resuming
// and slicing a movie, the video made by ffmpeg and its failures, and bad
// input, all run from outside as a user runs them.
#include "fixtures.h"
#include "hostilepictures.h"
#include "moviepath.h"
#include "program.h"
#include "viewtext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <array>
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

// An ffmpeg of the test's own in folder/bin, running script under bash;
// returns that folder, or nothing if it cannot be made. The default one takes
// the frames, reports them as ffmpeg does and writes a video of its own.
const QByteArray fakeVideo =
    "for a; do [ \"$last\" = -video_size ] && size=$a; last=$a; done\n"
    "bytes=$(wc -c)\necho \"frame=$((bytes / (${size%x*} * ${size#*x} * 3)))\" >&2\n"
    "echo progress=end >&2\necho video >\"${last#file:}\"\n";
QString fakeFfmpeg(const QTemporaryDir& folder, const QByteArray& script = fakeVideo,
                   QFile::Permissions permissions = QFile::ReadOwner | QFile::ExeOwner)
{
    const QString bin = folder.filePath(QStringLiteral("bin"));
    QFile file(bin + QStringLiteral("/ffmpeg"));
    const QByteArray text = "#!/bin/bash\n" + script;
    const bool made = QDir().mkpath(bin) && file.open(QIODevice::WriteOnly) &&
                      file.write(text) == text.size() && file.flush() &&
                      file.setPermissions(permissions);
    return made ? bin : QString();
}

// A movie of larger frames, whose phases take long enough to be seen: 30
// frames of 640 x 480 to the dense view. largeMovie() holds its frames, made
// once for the suite.
const QStringList largeMovieOptions = {"--to", viewText(dense), "--size", "640x480", "--frames",
                                       "30",   "--quiet"};
QString largeMovie()
{
    static const QTemporaryDir folder;
    static const QString frames = folder.filePath(QStringLiteral("frames"));
    static const bool made = run(QStringList{"--movie", frames} + largeMovieOptions).status == 0;
    return made ? frames : QString();
}

// The sanitizers' options of this environment with their suppression
// files copied into folder, where another user reads them: a build under
// /root is out of nobody's reach.
QProcessEnvironment withSuppressionsIn(const QString& folder)
{
    QProcessEnvironment environment = noDisplay();
    static const QRegularExpression suppressions(
        QStringLiteral("suppressions=(\"([^\"]*)\"|([^:]*))"));
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        QString options = environment.value(QString::fromLatin1(name));
        const QRegularExpressionMatch match = suppressions.match(options);
        if (!match.hasMatch())
            continue;
        const QString file = match.captured(2) + match.captured(3);
        const QString copy = QDir(folder).filePath(QString::fromLatin1(name) + ".supp");
        if (!QFile::copy(file, copy) || !QFile::setPermissions(copy, QFile::Permissions(0x4444)))
            qWarning("cannot copy %s for another user", qPrintable(file));
        options.replace(match.capturedStart(), match.capturedLength(),
                        QStringLiteral("suppressions=%1").arg(copy));
        environment.insert(QString::fromLatin1(name), options);
    }
    return environment;
}

// Copies the files of folder into a new folder to.
bool copyFolder(const QString& folder, const QString& to)
{
    if (folder.isEmpty() || !QDir().mkpath(to))
        return false;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        if (!QFile::copy(QDir(folder).filePath(name), QDir(to).filePath(name)))
            return false;
    return true;
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

    // Each frame is the picture --render makes of its view, and records its
    // view and the movie's rate; the views of the ends read back as given,
    // here one as a saved picture.
    void framesAreRenders()
    {
        QTemporaryDir folder;
        const QString end = folder.filePath(QStringLiteral("end.png"));
        QCOMPARE(run({"--render", end, "--view", viewText(dense)}).status, 0);
        const View start{-1.25, -0.75, 2, 1.5};
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
            QImageReader reader(QDir(out).filePath(names[frame]));
            QCOMPARE(reader.text(QStringLiteral("View")), viewText(view));
            QCOMPARE(reader.text(QStringLiteral("FrameRate")), QStringLiteral("30"));
            QCOMPARE(reader.read(), QImage(render));
        }
        QCOMPARE(QImageReader(QDir(out).filePath(names.constLast())).text(QStringLiteral("View")),
                 viewText(dense));
    }

    // Frames with samples are the pictures --render --samples makes of their
    // views.
    void framesWithSamples()
    {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        QCOMPARE(run({"--movie", dir.filePath("two"), "--to", viewText(dense), "--size", "32x24",
                      "--frames", "3", "--samples", "2"})
                     .status,
                 0);
        for (int frame = 0; frame < 3; ++frame) {
            const QString name = dir.filePath(QStringLiteral("two/frame-%1.png").arg(frame));
            const QString render = dir.filePath(QStringLiteral("render.png"));
            QCOMPARE(run({"--render", render, "--size", "32x24", "--samples", "2", "--view",
                          QImageReader(name).text(QStringLiteral("View"))})
                         .status,
                     0);
            QCOMPARE(QImage(name), QImage(render));
            QCOMPARE(QImageReader(name).text(QStringLiteral("Samples")), QStringLiteral("2"));
        }
    }

    // A movie's frames record their samples and colouring: a resume with
    // other ones and a join of frames of two movies are refused, naming both,
    // and a join's check gives the frames' own options.
    void framesOfOtherOptions_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("resumedWith");
        QTest::addColumn<QString>("resumeRefusal");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<QString>("joinRefusal");
        QTest::newRow("samples")
            << QStringList{"--samples", "2"} << QStringList{}
            << "frame-0.png' is this movie's frame 0 with 2x2 samples a pixel, not 1x1: give "
               "--samples 2"
            << "--samples=2\n"
            << "frame-2.png' has 2x2 samples a pixel, not 1x1: the folder holds frames of two "
               "movies";
        QTest::newRow("colouring")
            << QStringList{"--iterations", "3000", "--colour", "smooth", "--palette", "ice"}
            << QStringList{"--iterations", "3000", "--colour", "cycle"}
            << "frame-0.png' is this movie's frame 0 coloured Iterations=3000 Colour=smooth "
               "Palette=ice, not Iterations=3000 Colour=cycle"
            << "--iterations=3000\n--colour=smooth\n--palette=ice\n"
            << "frame-2.png' is coloured Iterations=3000 Colour=smooth Palette=ice, not the "
               "window's: the folder holds frames of two movies";
    }
    void framesOfOtherOptions()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, resumedWith);
        QFETCH(QString, resumeRefusal);
        QFETCH(QString, checked);
        QFETCH(QString, joinRefusal);
        QTemporaryDir folder;
        const QDir dir(folder.path());
        const QStringList sized = {"--to", viewText(dense), "--size", "32x24", "--frames", "3"};
        QCOMPARE(run(QStringList{"--movie", dir.filePath("made")} + sized + options).status, 0);
        Outcome outcome = run(QStringList{"--movie", dir.filePath("made")} + sized + resumedWith);
        QVERIFY2(refusedWith(outcome, resumeRefusal), outcome.err.constData());
        outcome = run(
            {"--movie", dir.filePath("v.mp4"), "--frames-from", dir.filePath("made"), "--check"});
        QVERIFY2(outcome.status == 0 && outcome.out.contains(checked.toUtf8()),
                 outcome.out + outcome.err);
        QCOMPARE(run(QStringList{"--movie", dir.filePath("mixed")} + sized).status, 0);
        QVERIFY(QFile::remove(dir.filePath("mixed/frame-2.png")) &&
                QFile::copy(dir.filePath("made/frame-2.png"), dir.filePath("mixed/frame-2.png")));
        outcome = run({"--movie", dir.filePath("v.mp4"), "--frames-from", dir.filePath("mixed")});
        QVERIFY2(refusedWith(outcome, joinRefusal), outcome.err.constData());
    }

    // Deep into a spiral's centre, to a width of 1e-10, the counts run into
    // the thousands, where the ramp is all one yellow: cycled through a
    // palette, to a cap high enough, every frame keeps at least 64 colours.
    void deepZoomStaysColourful()
    {
        QTemporaryDir folder;
        const QString frames = folder.filePath(QStringLiteral("deep"));
        QCOMPARE(run({"--movie", frames, "--to",
                      "0.24016082806169328,-0.5089135744890809,1e-10,7.5e-11", "--size", "64x48",
                      "--frames", "120", "--iterations", "20000", "--colour", "cycle", "--quiet"})
                     .status,
                 0);
        int fewest = 1 << 30;
        for (const QString& name : QDir(frames).entryList({"frame-*.png"}, QDir::Files)) {
            const QImage image =
                QImage(QDir(frames).filePath(name)).convertToFormat(QImage::Format_RGB32);
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    colours.insert(image.pixel(x, y));
            fewest = std::min(fewest, int(colours.size()));
        }
        qInfo("The frame of fewest colours has %d", fewest);
        QVERIFY2(fewest >= 64, qPrintable(QString::number(fewest)));
    }

    // Slices rendered apart make the same frames as the whole; a second run
    // keeps the whole frames of the movie and renders the rest: missing, cut
    // short, or not a picture at all. An interrupt leaves only whole frames.
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
        QVERIFY(writeFile(path(7), contents(path(7)).chopped(20)));
        QVERIFY(writeFile(path(9), "not a picture"));
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
        QVERIFY(waitFor([&] { return QFile::exists(QDir(big).filePath("frame-00.png")); }));
        QVERIFY(waitFor([&] { return !hiddenFiles(big).isEmpty(); }));
        signalWhereItStands(process.processId(), SIGTERM);
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
        QCOMPARE(run(movie(frameFolder, {"--fps", "24"})).status, 0);
        const QString joined = folder.filePath(QStringLiteral("joined-") + name);
        // A join's check gives the rate the frames record.
        const Outcome checked = run({"--movie", joined, "--frames-from", frameFolder, "--check"});
        QCOMPARE(checked.status, 0);
        QVERIFY2(checked.out.contains("--fps=24\n"), checked.out.constData());
        // Joined at the rate the frames record.
        for (const QStringList& arguments :
             {movie(video, {"--fps", "24"}),
              QStringList{"--movie", joined, "--frames-from", frameFolder}}) {
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

    // A stop in any phase of a movie (checking the frames kept, making
    // frames, piping kept frames into ffmpeg, waiting for ffmpeg to finish),
    // by any of the stop signals, ends it by that signal with one line that
    // counts the frames right, and leaves no temporary file, no ffmpeg
    // running, the earlier video as it was and only whole frames.
    void stopsInEveryPhase_data()
    {
        QTest::addColumn<QString>("phase");
        QTest::addColumn<int>("signal");
        for (const char* phase : {"checking", "making frames", "making a video",
                                  "piping kept frames", "ffmpeg finishing"})
            for (const int signal : {SIGINT, SIGTERM, SIGHUP})
                QTest::addRow("%s, signal %d", phase, signal)
                    << QString::fromLatin1(phase) << signal;
    }
    void stopsInEveryPhase()
    {
        QFETCH(QString, phase);
        QFETCH(int, signal);
        QTemporaryDir folder;
        const QDir dir(folder.path());
        const bool video = phase != QLatin1String("making frames");
        const bool kept =
            phase != QLatin1String("making frames") && phase != QLatin1String("making a video");
        const QString out = video ? QStringLiteral("zoom.mp4") : QStringLiteral("frames");
        const QString work = video ? out + QStringLiteral(".frames") : out;
        if (kept)
            QVERIFY(copyFolder(largeMovie(), dir.filePath(work)));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("zoom.mp4")), "an earlier video"));
        // Each ffmpeg says where it is: pid its own, finishing once it has
        // read every frame.
        const QByteArray pid = "echo $$ >ffmpeg.pid\n";
        const QByteArray script =
            phase == QLatin1String("piping kept frames")
                ? pid + "while dd bs=921600 count=1 iflag=fullblock status=none | grep -q .; do "
                        "sleep 0.05; done\n"
            : phase == QLatin1String("ffmpeg finishing")
                ? pid + "cat >/dev/null; touch finishing; exec sleep 100000\n"
                : pid + fakeVideo;
        const QString bin = fakeFfmpeg(folder, script);
        QVERIFY(!bin.isEmpty());
        QProcess process;
        QProcessEnvironment environment = noDisplay();
        environment.insert(QStringLiteral("PATH"), bin + QStringLiteral(":/usr/bin:/bin"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder.path());
        start(process, quenthar(), QStringList{"--movie", out} + largeMovieOptions);
        const qint64 program = process.processId();
        const auto exists = [&](const QString& name) { return dir.exists(name); };
        const bool reached =
            phase == QLatin1String("checking")
                ? stepUntil(program,
                            [&] { return hasOpen(program, work + QStringLiteral("/frame-")); })
            : phase == QLatin1String("piping kept frames")
                ? waitFor([&] { return exists("ffmpeg.pid"); })
            : phase == QLatin1String("ffmpeg finishing")
                ? waitFor([&] { return exists("finishing"); })
                : waitFor([&] { return exists(work + "/frame-00.png"); });
        QVERIFY(reached);
        signalWhereItStands(program, signal);
        const Outcome outcome = finish(process);
        QVERIFY2(outcome.crashed, outcome.err.left(3000).constData());
        QCOMPARE(process.exitCode(), signal);

        const QStringList made = QDir(dir.filePath(work)).entryList({"frame-*.png"}, QDir::Files);
        const QRegularExpressionMatch line =
            QRegularExpression(
                QStringLiteral("^Quenthar: stopped with (the 30|\\d+ of the 30) "
                               "frames (checked|made)(, while ffmpeg encoded them)?; "
                               "the same command (carries on from there|makes the "
                               "video from them)\n$"))
                .match(QString::fromUtf8(outcome.err));
        QVERIFY2(line.hasMatch(), outcome.err.constData());
        const QString counted = line.captured(1);
        if (phase == QLatin1String("checking")) {
            QCOMPARE(line.captured(2), QStringLiteral("checked"));
            QVERIFY(counted.section(QLatin1Char(' '), 0, 0).toInt() < 30);
        } else if (phase == QLatin1String("ffmpeg finishing")) {
            QCOMPARE(counted, QStringLiteral("the 30"));
            QVERIFY(!line.captured(3).isEmpty());
        } else {
            QCOMPARE(counted, QStringLiteral("%1 of the 30").arg(made.size()));
        }
        QCOMPARE(hiddenFiles(folder.path()), QStringList());
        QCOMPARE(contents(dir.filePath(QStringLiteral("zoom.mp4"))),
                 QByteArray("an earlier video"));
        if (video && exists("ffmpeg.pid"))
            QVERIFY(!isRunning(
                contents(dir.filePath(QStringLiteral("ffmpeg.pid"))).trimmed().toLongLong()));
        for (const QString& name : made)
            QVERIFY2(!QImage(QDir(dir.filePath(work)).filePath(name)).isNull(), qPrintable(name));
    }

    // However a stop falls, a video is made whole or not at all, ffmpeg never
    // outlives the program, and nothing is left but whole frames.
    void stopsAtRandomMoments()
    {
        QTemporaryDir folder;
        const QDir dir(folder.path());
        const QString bin =
            fakeFfmpeg(folder, "echo $$ >ffmpeg.pid\nsleep 0.$((RANDOM % 4))\n" + fakeVideo);
        QVERIFY(!bin.isEmpty());
        QProcessEnvironment environment = noDisplay();
        environment.insert(QStringLiteral("PATH"), bin + QStringLiteral(":/usr/bin:/bin"));
        const quint32 seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        for (int run = 0; run < 12; ++run) {
            const QString context = QStringLiteral("seed %1, run %2").arg(seed).arg(run);
            QVERIFY(writeFile(dir.filePath(QStringLiteral("zoom.mp4")), "an earlier video"));
            QFile::remove(dir.filePath(QStringLiteral("ffmpeg.pid")));
            QProcess process;
            process.setProcessEnvironment(environment);
            process.setWorkingDirectory(folder.path());
            start(process, quenthar(), QStringList{"--movie", "zoom.mp4"} + largeMovieOptions);
            ::usleep(random.bounded(1500000));
            const int signal = std::array{SIGINT, SIGTERM, SIGHUP}[random.bounded(3)];
            ::kill(pid_t(process.processId()), signal);
            const Outcome outcome = finish(process);
            QVERIFY2(hiddenFiles(folder.path()).isEmpty(), qPrintable(context));
            if (dir.exists(QStringLiteral("ffmpeg.pid")))
                QVERIFY2(!isRunning(contents(dir.filePath("ffmpeg.pid")).trimmed().toLongLong()),
                         qPrintable(context));
            if (!outcome.crashed) {
                QVERIFY2(outcome.status == 0 && contents(dir.filePath("zoom.mp4")) == "video\n",
                         qPrintable(context + QLatin1Char(' ') + outcome.err));
                QVERIFY2(!dir.exists(QStringLiteral("zoom.mp4.frames")), qPrintable(context));
                continue;
            }
            QVERIFY2(process.exitCode() == signal, qPrintable(context));
            QVERIFY2(outcome.err.isEmpty() ||
                         (outcome.oneLine() && outcome.err.startsWith("Quenthar: stopped with ")),
                     qPrintable(context + QLatin1Char(' ') + outcome.err));
            QCOMPARE(contents(dir.filePath(QStringLiteral("zoom.mp4"))),
                     QByteArray("an earlier video"));
            const QDir work(dir.filePath(QStringLiteral("zoom.mp4.frames")));
            for (const QString& name : work.entryList(QDir::Files))
                QVERIFY2(!QImage(work.filePath(name)).isNull(), qPrintable(context + name));
        }
    }

    // An interrupted video says how far it came and carries on where it
    // stopped: its frames wait in a folder beside it, kept by the next run,
    // and go once the video is made.
    void videoResumes()
    {
        QTemporaryDir folder;
        const QString bin = fakeFfmpeg(folder);
        QVERIFY(!bin.isEmpty());
        QProcessEnvironment environment = noDisplay();
        environment.insert(QStringLiteral("PATH"), bin + QStringLiteral(":/usr/bin:/bin"));
        const QString video = folder.filePath(QStringLiteral("zoom.mp4"));
        const QStringList arguments = {"--movie",  video, "--to",      "0.21,-0.51,0.01,0.01",
                                       "--frames", "100", "--threads", "1"};
        const QString first = video + QStringLiteral(".frames/frame-00.png");
        QProcess process;
        process.setProcessEnvironment(environment);
        start(process, quenthar(), arguments);
        QVERIFY(waitFor([&] { return QFile::exists(first); }));
        QVERIFY(waitFor([&] { return !hiddenFiles(video + QStringLiteral(".frames")).isEmpty(); }));
        signalWhereItStands(process.processId(), SIGINT);
        const Outcome stopped = finish(process);
        QVERIFY(stopped.crashed);
        QVERIFY2(stopped.oneLine() &&
                     QRegularExpression(QStringLiteral("^Quenthar: stopped with [1-9][0-9]* of the "
                                                       "100 frames made; the same command "
                                                       "carries on from there\n$"))
                         .match(QString::fromUtf8(stopped.err))
                         .hasMatch(),
                 stopped.err.constData());
        // Stopped again while it checks the frames it keeps.
        const ino_t kept = inode(first);
        start(process, quenthar(), arguments);
        QVERIFY(stepUntil(process.processId(),
                          [&] { return hasOpen(process.processId(), QStringLiteral("frame-")); }));
        signalWhereItStands(process.processId(), SIGINT);
        finish(process);
        QCOMPARE(inode(first), kept);
        QCOMPARE(run(arguments, quenthar(), environment).status, 0);
        QCOMPARE(contents(video), QByteArray("video\n"));
        QVERIFY(!QFileInfo::exists(video + QStringLiteral(".frames")));
    }

    // Whatever ffmpeg does (missing, failing, writing nothing, flooding its
    // stderr, ending with 0 after an error or with frames missing, hanging
    // until a signal comes), a video is not made: one line saying why, or the
    // end by the signal within a second or two, in a few MiB, ffmpeg gone; an
    // earlier video stays as it was and no temporary file is left.
    void hostileFfmpegs_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("join");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("line");
        QTest::newRow("missing") << QByteArray() << false << 0 << "ffmpeg is not on PATH";
        QTest::newRow("failing") << QByteArray("head -c 1000 >/dev/null; echo 'Unknown encoder' "
                                               ">&2; echo 'fake ffmpeg: no such codec' >&2; exit 3")
                                 << false << 0
                                 << "ffmpeg failed (status 3): fake ffmpeg: no such codec";
        QTest::newRow("writing nothing")
            << QByteArray("cat >/dev/null") << true << 0 << "ffmpeg wrote nothing";
        QTest::newRow("flooding stderr")
            << QByteArray("cat >/dev/null; yes noise | head -c 300000000 >&2; echo 'its reason' "
                          ">&2; exit 3")
            << true << 0 << "ffmpeg failed (status 3): its reason";
        // ffmpeg ends with 0 after it failed to write the end of the video.
        QTest::newRow("a full disk at the end")
            << QByteArray("for a; do out=$a; done; cat >/dev/null; echo half >\"${out#file:}\"\n"
                          "echo frame=12 >&2; echo progress=end >&2\n"
                          "echo \"Error writing trailer of $out: No space left on device\" >&2")
            << false << 0
            << "ffmpeg reported an error: Error writing trailer of the video: No "
               "space left on device";
        QTest::newRow("half the frames")
            << QByteArray("for a; do out=$a; done; cat >/dev/null; echo half >\"${out#file:}\"\n"
                          "echo frame=6 >&2; echo progress=end >&2")
            << true << 0 << "ffmpeg made 6 of the 12 frames into the video";
        // Its status is not lost where SIGCHLD came ignored.
        QTest::newRow("failing, SIGCHLD ignored")
            << QByteArray("for a; do out=$a; done; cat >/dev/null; echo half >\"${out#file:}\"\n"
                          "exit 3")
            << true << -SIGCHLD << "ffmpeg failed (status 3)";
        for (const int signal : {SIGINT, SIGTERM})
            QTest::addRow("hanging, signal %d", signal)
                << QByteArray("exec sleep 100000") << true << signal << QString();
        // The real one, while it encodes a longer movie.
        QTest::newRow("ffmpeg, SIGINT")
            << QByteArray("exec ffmpeg \"$@\"") << false << SIGINT << QString();
    }
    void hostileFfmpegs()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, join);
        QFETCH(int, signal);
        QFETCH(QString, line);
        QTemporaryDir folder;
        const QDir dir(folder.path());
        QCOMPARE(run(movie(dir.filePath(QStringLiteral("frames")))).status, 0);
        const QString video = dir.filePath(QStringLiteral("zoom.mp4"));
        QVERIFY(writeFile(video, "an earlier video"));
        // Without a script, no ffmpeg at all.
        const QString bin = script.isEmpty() ? dir.filePath(QStringLiteral("bin"))
                                             : fakeFfmpeg(folder, script + '\n');
        QVERIFY(script.isEmpty() ? dir.mkdir(bin) : !bin.isEmpty());
        QProcessEnvironment environment = noDisplay();
        environment.insert(QStringLiteral("PATH"),
                           bin + (script.isEmpty() ? QString() : QStringLiteral(":/usr/bin:/bin")));
        if (script.startsWith("exec /usr/bin/ffmpeg") &&
            QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("ffmpeg is not installed");
        const QStringList arguments =
            join ? QStringList{"--movie", video, "--frames-from", dir.filePath("frames")}
            : signal
                ? QStringList{"--movie", video, "--to", "0.21,-0.51,0.01,0.01", "--frames", "100"}
                : movie(video);
        const auto before = tree(folder.path());
        if (signal > 0) {
            QProcess process;
            process.setProcessEnvironment(environment);
            start(process, quenthar(), arguments);
            // Once ffmpeg runs: it is killed and reaped on the way out.
            QList<qint64> ffmpeg;
            QVERIFY(waitFor([&] { return !(ffmpeg = childrenOf(process.processId())).isEmpty(); }));
            ::kill(pid_t(process.processId()), signal);
            QElapsedTimer timer;
            timer.start();
            QVERIFY(finish(process).crashed);
            QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
            QVERIFY(!isRunning(ffmpeg.constFirst()));
        } else {
            long peakKiB = 0;
            const Outcome outcome =
                signal == -SIGCHLD
                    ? run(QStringList{"--ignore-signal=CHLD", quenthar()} + arguments,
                          QStringLiteral("env"), environment)
                    : runMeasured(arguments, peakKiB, environment);
            QCOMPARE(outcome.status, 1);
            QVERIFY2(outcome.oneLine() && outcome.err.contains(line.toUtf8()),
                     outcome.err.constData());
            QVERIFY2(!memoryMeasured || peakKiB < 100 << 10, qPrintable(QString::number(peakKiB)));
        }
        // The frames made are kept for the next run, whole.
        QDir work(video + QStringLiteral(".frames"));
        QCOMPARE(work.entryList(QDir::Hidden | QDir::AllEntries | QDir::NoDotAndDotDot),
                 work.entryList(QDir::AllEntries | QDir::NoDotAndDotDot));
        QVERIFY(work.removeRecursively());
        QCOMPARE(tree(folder.path()), before);
    }

    // Frames that are not this movie's are left alone, each refused in one
    // line: a symbolic link in a frame's place (its target is not written),
    // another movie's frame, a join of two movies' frames, and leftovers of a
    // movie of another count, told apart by their names. A frame padded to a
    // gigabyte is joined in a few MiB.
    void hostileFrames()
    {
        QTemporaryDir folder;
        const QString bin = fakeFfmpeg(folder);
        QVERIFY(!bin.isEmpty());
        const Outcome outcome = runShell(folder.path(), R"sh(
            PATH=$PWD/bin:$PATH
            m() { out=$1; shift; "$0" --movie "$out" --size 64x48 --frames 12 --quiet "$@"; }
            join() { "$0" --movie "$1.mp4" --frames-from "$@" --quiet; echo "$1 $?"; }
            m movie --to "$1" && m other --to -1,-1,0.5,0.5 || exit
            mkdir link; echo thesis >thesis.txt; ln -s ../thesis.txt link/frame-05.png
            m link --to "$1"; echo "link $? $(cat thesis.txt)"
            m movie --to -1,-1,0.5,0.5 --frame-range 3-5; echo "another $?"
            cp -r movie mixed; cp other/frame-04.png mixed; join mixed
            m movie --to "$1" --fps 24; echo "rate $?"
            m rated --to "$1" --fps 24 --frame-range 5-5 && cp -r movie rates && cp rated/* rates
            join rates
            cp -r movie left; for i in 0 1 2 3 4 5 6 7 8 9; do cp other/frame-00.png left/frame-$i.png; done
            join left; join left --frames 12
            cp -r movie padded; truncate -s 1G padded/frame-06.png
            /usr/bin/time -f %M -o peak "$0" --movie padded.mp4 --frames-from padded; echo "padded $? $(cat peak)"
        )sh",
                                         {viewText(dense)});
        const QList<QByteArray> lines = outcome.out.split('\n');
        QCOMPARE(lines.mid(0, 7), (QByteArrayList{"link 2 thesis", "another 2", "mixed 2", "rate 2",
                                                  "rates 2", "left 2", "left 0"}));
        const QByteArrayList padded = lines.value(7).split(' ');
        QCOMPARE(padded.mid(0, 2), (QByteArrayList{"padded", "0"}));
        QVERIFY2(!memoryMeasured || padded.value(2).toLong() < 100 << 10, lines[7].constData());
        for (const char* line :
             {"'link/frame-05.png' is not a regular file",
              "'movie/frame-03.png' is not this "
              "movie's frame 3",
              "'mixed/frame-04.png' is not a frame of the movie from -2,-1.5,4,3 to",
              "'left' holds the frames of 2 movies, frame-0.png to frame-9.png and frame-00.png "
              "to frame-11.png: give --frames",
              "'movie/frame-00.png' is this movie's frame 0 at 30 frames a second, not 24",
              "'rates/frame-05.png' is a frame of a movie at 24 frames a second, not 30"})
            QVERIFY2(outcome.err.contains(line), outcome.err.constData());
    }

    // A frame whose texts would take gigabytes to read (990 zTXt chunks of
    // 7.9 MB each, 7.6 MB of file) is read no further than its first: the
    // movie draws it again, the join refuses it, both at once.
    void pngBombFrame()
    {
        QTemporaryDir folder;
        const QString frames = folder.filePath(QStringLiteral("frames"));
        QCOMPARE(run(movie(frames)).status, 0);
        const QString first = QDir(frames).filePath(frameName(0));
        const QByteArray whole = contents(first);
        QByteArray text(7900000, 'a');
        uLongf size = compressBound(uLong(text.size()));
        QByteArray packed(qsizetype(size), '\0');
        QCOMPARE(compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                           reinterpret_cast<const Bytef*>(text.constData()), uLong(text.size()), 9),
                 Z_OK);
        const QByteArray bomb =
            hostile::chunk("zTXt", QByteArray("Comment\0\0", 9) + packed.left(qsizetype(size)));
        // After the signature and the header.
        QVERIFY(writeFile(first, whole.left(33) + bomb.repeated(990) + whole.mid(33)));
        QElapsedTimer timer;
        timer.start();
        const Outcome joined =
            run({"--movie", folder.filePath(QStringLiteral("zoom.mp4")), "--frames-from", frames});
        QVERIFY2(refusedWith(joined, "cannot read the frame"), joined.err.constData());
        QCOMPARE(run(movie(frames)).status, 0);
        QCOMPARE(contents(first), whole);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    }

    // A video takes the place of a file as --render does, and only where
    // --render would: a read-only file and a FIFO are refused, a private file
    // stays private, and a symbolic link stays a link to the video, made
    // where the link leads if nothing is there yet. Run as
    // nobody where the suite runs as root, to whom no file is read-only.
    void videoTargets()
    {
        QTemporaryDir folder;
        QVERIFY(QFile::setPermissions(folder.path(), QFile::Permissions(0x7777)));
        const QString bin = fakeFfmpeg(folder, fakeVideo, QFile::Permissions(0x7555));
        QVERIFY(!bin.isEmpty());
        // A copy of the program where nobody reaches it: the build may lie in
        // a home of its own, as /root is.
        const QString program = folder.filePath(QStringLiteral("Quenthar"));
        QVERIFY(QFile::copy(quenthar(), program));
        QVERIFY(QFile::setPermissions(program, QFile::Permissions(0x7555)));
        const char* script = R"sh(
            cd "$1" && PATH=$PWD/bin:$PATH || exit
            v() { "$0" --movie "$1" --to "$3" --size 64x48 --frames 12 --quiet; echo "$1 $?"; }
            echo old >ro.mp4; chmod 0444 ro.mp4; v ro.mp4 "$@"
            echo old >priv.mp4; chmod 0600 priv.mp4; v priv.mp4 "$@"; stat -c %a priv.mp4
            echo old >target.mp4; ln -s target.mp4 link.mp4; v link.mp4 "$@"
            [ -L link.mp4 ] && cat target.mp4
            ln -s new.mp4 dangling.mp4; v dangling.mp4 "$@"; [ -L dangling.mp4 ] && cat new.mp4
            mkfifo ff.mp4; v ff.mp4 "$@"
            ls -A | grep '^\.')sh";
        const QStringList arguments = {"-c", QString::fromLatin1(script), program, folder.path(),
                                       viewText(dense)};
        const Outcome outcome =
            ::geteuid() == 0 ? run(QStringList{"-u", "nobody", "--", "/bin/sh"} + arguments,
                                   QStringLiteral("runuser"), withSuppressionsIn(folder.path()))
                             : run(arguments, QStringLiteral("/bin/sh"));
        QVERIFY2(outcome.out == "ro.mp4 2\npriv.mp4 0\n600\nlink.mp4 0\nvideo\ndangling.mp4 "
                                "0\nvideo\nff.mp4 2\n",
                 outcome.out + outcome.err);
        QVERIFY2(outcome.err.contains("cannot write 'ro.mp4': Permission denied") &&
                     outcome.err.contains("cannot write 'ff.mp4': it is not a regular file"),
                 outcome.err.constData());
    }

    // Where the system gives no more threads or memory, a command goes on
    // with the threads it has, or ends in one line with status 1: never an
    // abort, never a temporary file left.
    void scarceSystem()
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QSKIP("a sanitizer's own memory does not fit under a limit");
#endif
        QTemporaryDir folder;
        const Outcome outcome = runShell(folder.path(), R"sh(
            (ulimit -v 2000000; "$0" --render threads.png --threads 256); echo "$?"
            "$0" --movie frames --to "$1" --size 64x48 --frames 12 --quiet || exit
            for out in movie zoom.mp4; do
                (ulimit -v 100000; "$0" --movie $out --to "$1" --size 64x48 --frames 12 --threads 64)
                echo "$?"
            done
            (ulimit -v 100000; "$0" --movie joined.mp4 --frames-from frames --threads 64); echo "$?"
            ls -A | grep '^\.'
        )sh",
                                         {viewText(dense)});
        const QByteArrayList statuses = outcome.out.trimmed().split('\n');
        QCOMPARE(statuses.size(), 4);
        QCOMPARE(statuses[0], "0");
        const qsizetype failed = statuses.count("1");
        QCOMPARE(failed + statuses.count("0"), 4);
        QCOMPARE(outcome.err.count('\n'), failed);
        QCOMPARE(outcome.err.count("Quenthar: "), failed);
    }

    // With /tmp read-only, a video is made all the same: nothing of it goes
    // there.
    void videoWithoutTmp()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
            QSKIP("ffmpeg is not installed");
        if (QFileInfo(quenthar()).canonicalFilePath().startsWith(QLatin1String("/tmp/")))
            QSKIP("the program lies under /tmp, which this test hides");
        QTemporaryDir folder(QDir::home().filePath(QStringLiteral("movie-XXXXXX")));
        const QString frames = folder.filePath(QStringLiteral("frames"));
        QCOMPARE(run(movie(frames)).status, 0);
        const Outcome outcome =
            run({"-m", "sh", "-c", "mount -t tmpfs -o ro tmpfs /tmp || exit 77; exec \"$@\"", "sh",
                 quenthar(), "--movie", folder.filePath(QStringLiteral("zoom.webm")),
                 "--frames-from", frames},
                QStringLiteral("unshare"));
        if (outcome.status == 77 || outcome.err.startsWith("unshare:"))
            QSKIP(qPrintable(QStringLiteral("no mount namespace of its own can be made here: ") +
                             QString::fromLocal8Bit(outcome.err.trimmed())));
        QCOMPARE(outcome.err, QByteArray());
        QCOMPARE(outcome.status, 0);
    }

    // What the movie finds in its folders, or cannot write, is refused in one
    // line with status 2, and nothing is written; so is a bad command line,
    // here once end to end (the parser's own refusals in-process, in
    // tst_commandline).
    void badInputs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("line");
        const auto row = [](const char* name, QStringList arguments, const char* line) {
            QTest::newRow(name) << arguments << QString::fromUtf8(line);
        };
        const QString to = viewText(dense);
        row("no --to", {"--movie", "out"}, "--movie needs the last frame's view");
        row("out under a file", {"--movie", "plain.png/out", "--to", to},
            "cannot write the frames into 'plain.png/out': Not a directory");
        row("out a file", {"--movie", "notes", "--to", to}, "it is not a folder");
        row("a FIFO for a frame", {"--movie", "fifo", "--to", to, "--frames", "12"},
            "'fifo/frame-00.png' is not a regular file");
        row("frame of another size", {"--movie", "sized", "--to", to, "--size", "64x48"},
            "'sized/frame-000.png' is 8x8 pixels, not 64x48");
        row("check a folder of another movie's frames",
            {"--movie", "sized", "--to", to, "--size", "64x48", "--check"},
            "'sized/frame-000.png' is 8x8 pixels, not 64x48");
        row("the frames' folder a link loop", {"--movie", "loop", "--to", to},
            "cannot write the frames into 'loop': Too many levels of symbolic links");
        row("video unwritable", {"--movie", "missing/out.mp4", "--to", to},
            "cannot write 'missing/out.mp4': ");
        row("join a gap", {"--movie", "out.mp4", "--frames-from", "gap"},
            "'gap' lacks the frame frame-1.png of 3");
        row("join nothing", {"--movie", "out.mp4", "--frames-from", "gap/none", "--frames", "2"},
            "no such folder");
        row("join an empty folder",
            {"--movie", "out.mp4", "--frames-from", "sized/empty", "--frames", "2"},
            "lacks the frame frame-0.png of 2");
        row("join too few", {"--movie", "out.mp4", "--frames-from", "sized", "--frames", "5"},
            "lacks the frame frame-0.png of 5");
        row("join the first frames of a longer movie",
            {"--movie", "out.mp4", "--frames-from", "first"},
            "'first' holds frame-00.png to frame-09.png, the first frames of a movie of 11 to 100 "
            "frames");
    }
    void badInputs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, line);
        QTemporaryDir folder;
        QVERIFY(writeRefusalInputs(folder.path()));
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

    // The time left of a video counts its encoding, and its encoder's lag:
    // with an encoder far slower than the drawing, that gives its first
    // frames after more have come in (as ffmpeg's encoders look ahead), it
    // holds within 30 % from a tenth of the job on (and a second, the
    // line's own rounding), while the frames are made or kept frames go in,
    // and while it finishes, counting down.
    void timeLeftCountsTheEncoding_data()
    {
        QTest::addColumn<bool>("resume");
        QTest::addColumn<int>("lag");
        QTest::newRow("frames made") << false << 0;
        QTest::newRow("a resume, frames kept") << true << 10;
    }
    void timeLeftCountsTheEncoding()
    {
        QFETCH(bool, resume);
        QFETCH(int, lag);
        if (!canOpenTerminal())
            QSKIP("no pseudo-terminal can be opened here");
        QTemporaryDir folder;
        // An encoder of 0.2 s a frame that reports as ffmpeg does: the frames
        // it took in, and the time of the video written, lag frames behind.
        const QByteArray script =
            "for a; do out=$a; done\nn=0\nlag=" + QByteArray::number(lag) +
            "\nreport() { echo frame=$1; echo out_time_us=$(($2 * 1000000 / 30)); } >&2\n"
            "while [ \"$(dd bs=9216 count=1 iflag=fullblock status=none | wc -c)\" -gt 0 ]\n"
            "do sleep 0.2; n=$((n + 1)); report $n $((n > lag ? n - lag : 0)); done\n"
            "for i in $(seq $lag); do sleep 0.2; done\n"
            "{ echo frame=$n; echo progress=end; } >&2\necho video >\"${out#file:}\"\n";
        const QString bin = fakeFfmpeg(folder, script);
        QVERIFY(!bin.isEmpty());
        QProcessEnvironment environment = noDisplay();
        environment.insert(QStringLiteral("PATH"), bin + QStringLiteral(":/usr/bin:/bin"));
        const QString video = folder.filePath(QStringLiteral("zoom.mp4"));
        const QStringList movie = {"--to", viewText(dense), "--size", "64x48", "--frames", "30"};
        if (resume)
            QCOMPARE(run(QStringList{"--movie", video + QStringLiteral(".frames")} + movie).status,
                     0);
        QElapsedTimer timer;
        timer.start();
        const Outcome outcome = runOnTerminal(QStringList{"--movie", video} + movie, environment);
        const double all = timer.elapsed() / 1000.0;
        QCOMPARE(outcome.status, 0);
        const QRegularExpression drawn(QStringLiteral("(\\d+):(\\d+) spent  (\\d+):(\\d+) left"));
        int checked = 0;
        int checkedAtTheEnd = 0;
        for (const QByteArray& line : outcome.out.split('\r')) {
            const QRegularExpressionMatch match = drawn.match(QString::fromUtf8(line));
            if (!match.hasMatch())
                continue;
            const double spent = match.captured(1).toInt() * 60 + match.captured(2).toInt();
            const double left = match.captured(3).toInt() * 60 + match.captured(4).toInt();
            const double real = all - spent;
            // The line rounds the time spent to the second.
            if (spent - 0.5 < all / 10 || real < 2)
                continue;
            ++checked;
            checkedAtTheEnd += real < lag * 0.2 + 1;
            QVERIFY2(
                std::abs(left - real) <= 0.3 * real + 1,
                qPrintable(
                    QStringLiteral("%1 left after %2 s of %3 s").arg(left).arg(spent).arg(all)));
        }
        QVERIFY2(checked > 0, outcome.out.constData());
        QVERIFY2(lag == 0 || checkedAtTheEnd > 0, outcome.out.constData());
    }

    // However many its frames, a movie shows its line and starts its first
    // frame at once, and a stop there says how far it came.
    void startsAtOnce()
    {
        if (!canOpenTerminal())
            QSKIP("no pseudo-terminal can be opened here");
        QTemporaryDir folder;
        const QString frames = folder.filePath(QStringLiteral("frames"));
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        start(process, QStringLiteral("script"),
              {"-qec",
               QStringLiteral("exec '%1' --movie '%2' --to %3 --size 64x48 --frames 100000")
                   .arg(quenthar(), frames, viewText(dense)),
               "/dev/null"});
        QVERIFY(
            waitFor([&] { return QFile::exists(frames + QStringLiteral("/frame-00000.png")); }));
        const qint64 first = timer.elapsed();
        const QList<qint64> program = childrenOf(process.processId());
        QCOMPARE(program.size(), 1);
        // A plain signal: script stops itself when its child is stopped.
        ::kill(pid_t(program.constFirst()), SIGINT);
        const Outcome outcome = finish(process);
        QVERIFY2(outcome.out.contains("frames  0:00 spent"), outcome.out.constData());
        QVERIFY2(QRegularExpression(QStringLiteral("\\r?\\nQuenthar: stopped with [1-9][0-9]* of "
                                                   "the 100000 frames made"))
                     .match(QString::fromUtf8(outcome.out))
                     .hasMatch(),
                 outcome.out.right(300).constData());
        QVERIFY2(memoryMeasured ? first < 1000 : first < 10000, qPrintable(QString::number(first)));
    }
};

QTEST_GUILESS_MAIN(TestMovie)
#include "tst_movie.moc"
