// The PNG writer and the join of a picture's parts: the PNG written in one go
// is the join of its parts byte for byte, however the picture is split and
// whatever order the parts' names take, and reads back with its pixels; the
// join refuses what is not one picture's parts holding each row once, and
// damaged parts; both fail cleanly on a full disk.
#include "atomicfile.h"
#include "bytesink.h"
#include "fulldisk.h"
#include "pngparts.h"
#include "pngstream.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>

namespace {

using Pixels = PngHeader::Pixels;

// A picture's header and pixels: runs of one colour, as renders have them,
// and in noisy pictures a third of the rows' stretches random, so that the
// stream spans several IDAT chunks.
struct Picture {
    PngHeader header;
    std::vector<uint8_t> pixels;

    size_t rowBytes() const { return size_t(header.width) * size_t(header.bytesPerPixel()); }
    const uint8_t* row(int y) const { return pixels.data() + size_t(y) * rowBytes(); }
};

Picture makePicture(int width, int height, Pixels kind, bool noisy = false)
{
    Picture picture;
    picture.header = {width, height, kind, {}, {{"View", "-1,1,2,2"}, {"Title", "a test"}}};
    for (uint32_t level = 0; kind == Pixels::indexed && level < 256; ++level)
        picture.header.palette.push_back((level * 0x010307u) & 0xffffffu);
    picture.pixels.resize(picture.rowBytes() * size_t(height));
    QRandomGenerator noise(uint32_t(width * 31 + height));
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const size_t y = i / picture.rowBytes(), x = i % picture.rowBytes();
        picture.pixels[i] =
            noisy && (x / 97 + y) % 3 == 0 ? uint8_t(noise.generate()) : uint8_t(x / 50 + y / 9);
    }
    return picture;
}

// The PNG written in one go, in bands of band rows; empty if it failed.
QByteArray wholePng(const Picture& picture, int band)
{
    MemorySink sink;
    PngStream png(sink);
    const int height = picture.header.height;
    bool written = png.begin(picture.header);
    for (int y = 0; written && y < height; y += band)
        written = png.writeRows(picture.row(y), std::min(band, height - y));
    return written && png.finish() ? sink.bytes() : QByteArray();
}

// Writes the part of picture that holds rows first to last, in bands of 5.
bool writePart(const QString& path, const Picture& picture, int first, int last)
{
    MemorySink sink;
    PngPartWriter part(sink);
    bool written = part.begin(picture.header, first, last);
    for (int y = first; written && y <= last; y += 5)
        written = part.writeRows(picture.row(y), std::min(5, last + 1 - y));
    QFile file(path);
    if (!written || !part.finish() || !file.open(QIODevice::WriteOnly) ||
        file.write(sink.bytes()) != sink.bytes().size() || !file.flush())
        return false;
    file.close();
    return file.error() == QFile::NoError;
}

// The rows of a PNG: its IDAT chunks' data inflated whole, the stream's
// Adler-32 checked; empty if it is wrong.
QByteArray inflatedRows(const QByteArray& png, size_t size)
{
    QByteArray stream;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const uint32_t length = qFromBigEndian<uint32_t>(png.constData() + at);
        if (png.mid(at + 4, 4) == "IDAT")
            stream += png.mid(at + 8, length);
        at += 12 + qsizetype(length);
    }
    QByteArray rows(qsizetype(size), '\0');
    uLongf rowsSize = uLongf(size);
    if (uncompress(reinterpret_cast<Bytef*>(rows.data()), &rowsSize,
                   reinterpret_cast<const Bytef*>(stream.data()), uLong(stream.size())) != Z_OK)
        return {};
    return rows;
}

// Checks that png holds picture's pixels, as zlib and as QImage read them.
void checkPixels(const QByteArray& png, const Picture& picture)
{
    const PngHeader& header = picture.header;
    QByteArray rows;
    QImage expected(header.width, header.height, QImage::Format_RGB888);
    for (int y = 0; y < header.height; ++y) {
        const auto* row = picture.row(y);
        rows +=
            char(0) + QByteArray(reinterpret_cast<const char*>(row), qsizetype(picture.rowBytes()));
        for (int x = 0; x < header.width; ++x) {
            const uint8_t* pixel = row + x * header.bytesPerPixel();
            const uint32_t colour = header.pixels == Pixels::rgb
                                        ? uint32_t(pixel[0] | pixel[1] << 8 | pixel[2] << 16)
                                        : header.palette[*pixel];
            expected.setPixel(x, y, qRgb(colour & 0xff, colour >> 8 & 0xff, colour >> 16));
        }
    }
    QVERIFY(inflatedRows(png, size_t(rows.size())) == rows);
    QVERIFY(QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB888) == expected);
}

// The first rows of the parts: every row one, or parts - 1 cuts at random
// rows.
std::vector<int> partStarts(int height, int parts)
{
    std::vector<int> starts{0};
    QRandomGenerator cuts(uint32_t(height + parts));
    while (int(starts.size()) < std::min(parts, height)) {
        const int y = parts >= height ? int(starts.size()) : cuts.bounded(1, height);
        if (std::find(starts.begin(), starts.end(), y) == starts.end())
            starts.push_back(y);
    }
    std::sort(starts.begin(), starts.end());
    return starts;
}

// A folder of parts of a small picture, and the picture: a.part holds rows
// 0 to 3, b.part 4 to 6, c.part 7 to 9.
struct SplitPicture {
    QTemporaryDir dir;
    Picture picture = makePicture(20, 10, Pixels::indexed, true);

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    bool write(const char* name, const Picture& of, int first, int last) const
    {
        return writePart(path(name), of, first, last);
    }
    bool resize(const char* name, qint64 by) const
    {
        QFile file(path(name));
        return file.resize(file.size() + by);
    }
    // Flips the byte at offset, from the end if negative.
    bool flip(const char* name, qint64 offset) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::ReadWrite))
            return false;
        const qint64 at = offset < 0 ? file.size() + offset : offset;
        char byte = 0;
        if (!file.seek(at) || !file.getChar(&byte) || !file.seek(at) ||
            !file.putChar(char(~byte)) || !file.flush())
            return false;
        file.close();
        return file.error() == QFile::NoError;
    }
};

struct Refusal {
    const char* name;
    std::function<bool(SplitPicture&)> change;
    // '@' stands for the folder.
    const char* line;
};

Picture changed(const std::function<void(Picture&)>& change)
{
    Picture picture = makePicture(20, 10, Pixels::indexed, true);
    change(picture);
    return picture;
}

const std::vector<Refusal> partRefusals = {
    {"no parts",
     [](SplitPicture& f) {
         return QFile::remove(f.path("a.part")) && QFile::remove(f.path("b.part")) &&
                QFile::remove(f.path("c.part"));
     },
     "'@' holds no parts"},
    {"a program",
     [](SplitPicture& f) {
         return QFile::copy(QCoreApplication::applicationFilePath(), f.path("program"));
     },
     "'@/program' is not a part of a picture"},
    {"FIFO",
     [](SplitPicture& f) {
         return ::mkfifo(QFile::encodeName(f.path("fifo")).constData(), 0600) == 0;
     },
     "cannot read the part '@/fifo': it is not a regular file"},
    {"RGB",
     [](SplitPicture& f) { return f.write("c.part", makePicture(20, 10, Pixels::rgb), 7, 9); },
     "'@/a.part' and '@/c.part' are parts of different pictures: one is of 20x10 indexed pixels, "
     "the other of 20x10 RGB pixels"},
    {"other palette",
     [](SplitPicture& f) {
         return f.write("b.part", changed([](Picture& p) { p.header.palette[9] ^= 1; }), 4, 6);
     },
     "'@/a.part' and '@/b.part' are parts of different pictures: their palettes or text entries "
     "differ"},
    {"middle missing", [](SplitPicture& f) { return QFile::remove(f.path("b.part")); },
     "no part holds rows 4 to 6, between '@/a.part' and '@/c.part'"},
    {"top missing", [](SplitPicture& f) { return QFile::remove(f.path("a.part")); },
     "no part holds rows 0 to 3, before '@/b.part'"},
    {"last row missing", [](SplitPicture& f) { return f.write("c.part", f.picture, 7, 8); },
     "no part holds row 9, after '@/c.part'"},
    {"overlap", [](SplitPicture& f) { return f.write("d.part", f.picture, 6, 7); },
     "'@/b.part' and '@/d.part' both hold row 6"},
    {"twice", [](SplitPicture& f) { return QFile::copy(f.path("b.part"), f.path("b2.part")); },
     "'@/b.part' and '@/b2.part' both hold rows 4 to 6"},
    {"cut short", [](SplitPicture& f) { return f.resize("c.part", -1); },
     "the part '@/c.part' is damaged or cut short: its summary at its end is damaged"},
    {"head damaged", [](SplitPicture& f) { return f.flip("a.part", 30); },
     "the part '@/a.part' is damaged or cut short: its head is damaged"},
    {"rows damaged", [](SplitPicture& f) { return f.flip("b.part", -37); },
     "the part '@/b.part' is damaged or cut short: its rows' bytes do not match their CRC"},
};

} // namespace

class TestPngStream : public QObject {
    Q_OBJECT

private slots:
    void joinIsTheWhole_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("rgb");
        QTest::addColumn<bool>("noisy");
        QTest::addColumn<int>("parts");
        const auto row = [](const char* name, int width, int height, bool rgb, bool noisy,
                            int parts) {
            QTest::newRow(name) << width << height << rgb << noisy << parts;
        };
        row("indexed 1x1", 1, 1, false, false, 1);
        row("RGB 1x1", 1, 1, true, false, 1);
        row("indexed 1x40, every row", 1, 40, false, false, 40);
        row("RGB 37x1", 37, 1, true, true, 1);
        row("RGB 23x17, every row", 23, 17, true, true, 17);
        // Rows of one colour, which a row's compression must not match with
        // the row before.
        row("indexed 30x20 in runs, every row", 30, 20, false, false, 20);
        row("indexed 200x300, one part", 200, 300, false, true, 1);
        row("indexed 200x300, 7 parts", 200, 300, false, true, 7);
        row("indexed 40000x3, every row", 40000, 3, false, true, 3);
        row("RGB 40000x3, 2 parts", 40000, 3, true, true, 2);
        row("indexed 3x40000, 50 parts", 3, 40000, false, true, 50);
        row("RGB 3x40000, 500 parts", 3, 40000, true, true, 500);
    }
    void joinIsTheWhole()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, rgb);
        QFETCH(bool, noisy);
        QFETCH(int, parts);
        const Picture picture =
            makePicture(width, height, rgb ? Pixels::rgb : Pixels::indexed, noisy);
        const QByteArray whole = wholePng(picture, 7);
        QVERIFY(!whole.isEmpty());
        QVERIFY(wholePng(picture, height) == whole);
        checkPixels(whole, picture);
        if (QTest::currentTestFailed())
            return;

        // The parts named at random, so that their names' order is not their rows'.
        QTemporaryDir folder;
        const std::vector<int> starts = partStarts(height, parts);
        QRandomGenerator names{uint32_t(parts)};
        for (size_t i = 0; i < starts.size(); ++i) {
            const int last = i + 1 < starts.size() ? starts[i + 1] - 1 : height - 1;
            const QString name = QString::number(names.generate64(), 36) + QStringLiteral(".part");
            QVERIFY(writePart(folder.filePath(name), picture, starts[i], last));
        }
        PngJoin join;
        QVERIFY2(join.read(folder.path()), qPrintable(join.errorString()));
        MemorySink joined;
        QCOMPARE(join.join(joined), PngJoin::Outcome::done);
        QVERIFY(joined.bytes() == whole);
    }

    // Each refused in one line naming the parts at fault, before a byte is
    // written or, for rows found damaged, during the join.
    void refusals_data()
    {
        QTest::addColumn<size_t>("index");
        for (size_t i = 0; i < partRefusals.size(); ++i)
            QTest::newRow(partRefusals[i].name) << i;
    }
    void refusals()
    {
        QFETCH(size_t, index);
        SplitPicture folder;
        QVERIFY(folder.write("a.part", folder.picture, 0, 3) &&
                folder.write("b.part", folder.picture, 4, 6) &&
                folder.write("c.part", folder.picture, 7, 9));
        QVERIFY(partRefusals[index].change(folder));
        PngJoin join;
        MemorySink joined;
        QVERIFY(!join.read(folder.dir.path()) || join.join(joined) == PngJoin::Outcome::badPart);
        QCOMPARE(join.errorString(),
                 QString::fromUtf8(partRefusals[index].line).replace('@', folder.dir.path()));
    }

    // A picture that cannot be written is refused before a byte is written.
    void writerRefusals()
    {
        const PngHeader wide{1'000'001, 10, Pixels::indexed, {0}, {}};
        const PngHeader texts{10, 10, Pixels::indexed, {0}, {{"View", std::string(70'000, 'v')}}};
        for (const PngHeader& header : {wide, texts}) {
            MemorySink sink;
            PngStream png(sink);
            PngPartWriter part(sink);
            QVERIFY(!png.begin(header) && !part.begin(header, 0, 9));
            QVERIFY(!png.errorString().isEmpty() && part.errorString() == png.errorString());
            QVERIFY(sink.bytes().isEmpty());
        }
    }

    // On a full disk, the writers and the join fail with the system's reason
    // and leave nothing behind.
    void fullDisk_data()
    {
        QTest::addColumn<QString>("writer");
        for (const char* writer : {"whole", "part", "join"})
            QTest::newRow(writer) << QString::fromLatin1(writer);
    }
    void fullDisk()
    {
        QFETCH(QString, writer);
        QTemporaryDir folder, partsFolder;
        FullDisk disk;
        if (const QString why = disk.mount(folder.path()); !why.isEmpty())
            QSKIP(qPrintable(why));
        const Picture picture = makePicture(600, 600, Pixels::rgb, true);
        const int height = picture.header.height;
        QVERIFY(writePart(partsFolder.filePath("a"), picture, 0, 299) &&
                writePart(partsFolder.filePath("b"), picture, 300, height - 1));

        AtomicFile file(folder.filePath(QStringLiteral("out")));
        QVERIFY(file.open());
        PngStream png(file);
        PngPartWriter part(file);
        PngJoin join;
        QVERIFY(join.read(partsFolder.path()));
        bool written = false;
        QString error;
        if (writer == "whole") {
            written =
                png.begin(picture.header) && png.writeRows(picture.row(0), height) && png.finish();
            error = png.errorString();
        } else if (writer == "part") {
            written = part.begin(picture.header, 0, height - 1) &&
                      part.writeRows(picture.row(0), height) && part.finish();
            error = part.errorString();
        } else {
            written = join.join(file) == PngJoin::Outcome::done;
            error = join.errorString();
        }
        if (written && !file.commit())
            error = file.errorString();
        QCOMPARE(error, QStringLiteral("No space left on device"));
        file.discard();
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestPngStream)
#include "tst_pngstream.moc"
