// Picture files made to hurt their reader, written into a folder: a text
// chunk that claims 2 GB in a 90-byte file, View texts of megabytes, one
// holding terminal escapes, and a FIFO.
#pragma once

#include "fixtures.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace hostile {

using png::chunk;
using png::viewChunk;

// A 1 x 1 PNG with the given chunks between its header and its pixels.
inline QByteArray png(const QByteArray& chunks)
{
    return png::picture(1, 1, chunks);
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
    for (size_t i = 0; i < std::size(contents); ++i)
        if (!writeFile(folder.filePath(QString::fromLatin1(files[i].name)), contents[i]))
            return false;
    return mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("fifo"))).constData(), 0600) ==
           0;
}

} // namespace hostile
