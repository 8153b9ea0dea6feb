// Test helpers: files written for a test, one way for all of them, and the
// folder of inputs that the command line's refusals are tried on.
#pragma once

#include "viewtext.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

// Writes bytes into the file path, made or replaced; false if it could not.
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

namespace png {

inline QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// A PNG chunk whose length field says length.
inline QByteArray chunk(const char* type, const QByteArray& data, quint32 length)
{
    const QByteArray body = QByteArray(type) + data;
    return bigEndian(length) + body +
           bigEndian(quint32(
               crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
}

inline QByteArray chunk(const char* type, const QByteArray& data)
{
    return chunk(type, data, quint32(data.size()));
}

// A black grey picture of width x height pixels with the given chunks between
// its header and its pixels.
inline QByteArray picture(int width, int height, const QByteArray& chunks = {})
{
    const QByteArray header =
        bigEndian(quint32(width)) + bigEndian(quint32(height)) + QByteArray("\x08\0\0\0\0", 5);
    // Each row: its filter byte and its pixels.
    const QByteArray rows(qsizetype(width + 1) * height, '\0');
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunks +
           chunk("IDAT", qCompress(rows).mid(4)) + chunk("IEND", {});
}

inline QByteArray viewChunk(const QByteArray& text)
{
    return chunk("tEXt", QByteArray(viewKey) + '\0' + text);
}

} // namespace png

// The inputs the command line's refusals are tried on, in folder: pictures
// of 8 x 8 pixels with no view (plain.png) and a bad one (badview.png), a
// file that is no picture (text.png, notes), frames of another size
// (sized/frame-000.png), of a movie with a gap (gap/frame-0.png and
// frame-2.png), the first of a longer movie (first/frame-00.png to
// frame-09.png), an empty folder (sized/empty), a FIFO in a frame's place
// (fifo/frame-00.png), a link to itself (loop) and a palette with a colour
// value too large (bad.map). False if one could not be
// made.
inline bool writeRefusalInputs(const QString& folder)
{
    const QDir dir(folder);
    const QByteArray plain = png::picture(8, 8);
    bool made = writeFile(dir.filePath(QStringLiteral("plain.png")), plain) &&
                writeFile(dir.filePath(QStringLiteral("badview.png")),
                          png::picture(8, 8, png::viewChunk("1,2,0,4"))) &&
                writeFile(dir.filePath(QStringLiteral("text.png")), "text\n") &&
                writeFile(dir.filePath(QStringLiteral("notes")), "notes") &&
                writeFile(dir.filePath(QStringLiteral("bad.map")), "0 0 0\n1 2 300\n");
    for (const char* name : {"sized", "sized/empty", "gap", "fifo", "first"})
        made = made && dir.mkdir(QString::fromLatin1(name));
    for (const char* name : {"sized/frame-000.png", "gap/frame-0.png", "gap/frame-2.png"})
        made = made && writeFile(dir.filePath(QString::fromLatin1(name)), plain);
    for (int frame = 0; frame < 10; ++frame)
        made = made &&
               writeFile(dir.filePath(QStringLiteral("first/frame-0%1.png").arg(frame)), plain);
    return made &&
           ::mkfifo(QFile::encodeName(dir.filePath("fifo/frame-00.png")).constData(), 0600) == 0 &&
           ::symlink("loop", QFile::encodeName(dir.filePath("loop")).constData()) == 0;
}
