// Picture files made to hurt their reader, written into a folder: a text
// chunk that claims 2 GB in a 90-byte file, View texts of megabytes, one
// holding terminal escapes, and a FIFO.
#pragma once

#include "viewtext.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <sys/stat.h>
#include <zlib.h>

namespace hostile {

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

// A 1 x 1 PNG with the given chunks between its header and its pixels.
inline QByteArray png(const QByteArray& chunks)
{
    const uchar header[] = {0, 0, 0, 1, 0, 0, 0, 1, 8, 0, 0, 0, 0};
    return QByteArray("\x89PNG\r\n\x1a\n", 8) +
           chunk("IHDR", QByteArray(reinterpret_cast<const char*>(header), sizeof header)) +
           chunks + chunk("IDAT", QByteArray::fromHex("789c636000000002 0001")) + chunk("IEND", {});
}

inline QByteArray viewChunk(const QByteArray& text)
{
    return chunk("tEXt", QByteArray(viewKey) + '\0' + text);
}

struct File {
    const char* name;
    // What a refusal of it says, in English and in Slovene.
    const char* reason;
    const char* razlog;
};

inline const File files[] = {
    {"claim.png", "tEXt: chunk data is too large", "tEXt: chunk data is too large"},
    {"1MB.png", "tEXt: chunk data is too large", "tEXt: chunk data is too large"},
    {"8MB.png", "tEXt: chunk data is too large", "tEXt: chunk data is too large"},
    {"long.png", "is too long to be a view: 2000 bytes", "zapisani pogled je predolg"},
    {"escapes.png", R"(the view '\x1b]0;title\x07\x1b[2J\n,2,3,4')",
     R"(pogleda »\x1b]0;title\x07\x1b[2J\n,2,3,4« ni mogoče)"},
    {"fifo", "it is not a regular file", "to ni navadna datoteka"},
};

// Writes the files into folder; false if one could not be made.
inline bool write(const QDir& folder)
{
    const QByteArray claim = png(viewChunk("1,2,3,4")).left(33) +
                             chunk("tEXt", QByteArray(viewKey) + "\0001,2,3,4", 0x7fffffff);
    const QByteArray contents[] = {
        claim + QByteArray(90 - claim.size(), '\0'),     png(viewChunk(QByteArray(1 << 20, '1'))),
        png(viewChunk(QByteArray(8 << 20, '1'))),        png(viewChunk(QByteArray(2000, '1'))),
        png(viewChunk("\x1b]0;title\a\x1b[2J\n,2,3,4")),
    };
    for (size_t i = 0; i < std::size(contents); ++i) {
        QFile file(folder.filePath(QString::fromLatin1(files[i].name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(contents[i]) != contents[i].size() ||
            !file.flush())
            return false;
    }
    return mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("fifo"))).constData(), 0600) ==
           0;
}

} // namespace hostile
