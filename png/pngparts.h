// A picture drawn in parts, each a band of its rows drawn apart (on other
// machines), and their join into the very PNG that PngStream writes of the
// whole picture, byte for byte, with nothing compressed again: each row is
// compressed on its own (pngformat.h), so a part holds its rows' bytes as
// the whole picture's stream holds them, and the join copies them in order,
// cuts them into IDAT chunks by the same rule and combines the parts'
// Adler-32 checksums into the stream's.
//
// A part's file, in chunks like a PNG's, each with its length, type and CRC:
// - its signature, 8 bytes: 0x89 "QPT" CR LF 0x1A LF;
// - qHDR: its first and last rows (32 bits each, counted from 0), then the
//   PNG's bytes before its pixels (at most 64 KiB);
// - its rows' compressed bytes, in one run and in no chunk;
// - qEND, 24 bytes: the length of those bytes and of the rows they hold (64
//   bits each), the rows' Adler-32 and the compressed bytes' CRC-32.
// The summary comes last, as the writer, which streams, learns it last, and
// has a fixed length, so that a join reads it from the file's end: the length
// of file it implies catches a part cut short, and every part is checked
// before a byte of the picture is written. The rows' bytes lie in one run so
// that a join reads them straight into the picture's IDAT chunks, checking
// their CRC in the pass that works out the chunks' own.
#pragma once

#include "pngstream.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class ByteSink;
namespace pngformat {
class IdatStream;
}

// Writes one part of a picture.
class PngPartWriter {
public:
    // Writes to file, which must be open.
    explicit PngPartWriter(ByteSink& file);
    ~PngPartWriter();
    PngPartWriter(const PngPartWriter&) = delete;
    PngPartWriter& operator=(const PngPartWriter&) = delete;

    // Writes the head of the part of header's picture that holds its rows
    // firstRow to lastRow, counted from 0.
    bool begin(const PngHeader& header, int firstRow, int lastRow);
    // Writes the part's next rows, each width * bytesPerPixel() bytes.
    bool writeRows(const uint8_t* pixels, int rows);
    // Writes the part's summary. All its rows must have been written.
    bool finish();

    // After a call that returned false: why, e.g. "No space left on device".
    const QString& errorString() const { return m_error; }

private:
    struct Part;

    ByteSink& m_file;
    std::unique_ptr<Part> m_part;
    QString m_error;
};

// The parts of one picture in a folder, checked, then joined.
class PngJoin {
public:
    enum class Outcome {
        done,
        // A part cannot be read, or is damaged: errorString() names it.
        badPart,
        // The picture cannot be written: errorString() is the sink's reason.
        writeFailed,
    };

    // Reads the head and the summary of each file in folder, and checks that
    // they are the parts of one picture and hold each of its rows once; false
    // if not, with errorString() naming the parts at fault in one line.
    bool read(const QString& folder);
    // Writes the picture of the parts read to out, reading each part's rows
    // once, in bounded memory.
    Outcome join(ByteSink& out);

    const QString& errorString() const { return m_error; }

private:
    struct Part {
        QString path;
        int firstRow = 0;
        int lastRow = 0;
        qint64 fileSize = 0;
        // Where the rows' compressed bytes begin, and their length.
        qint64 rowsAt = 0;
        qint64 rowsLength = 0;
        // The length of the rows they hold, and their Adler-32.
        uint64_t rawLength = 0;
        uint32_t adler = 0;
        uint32_t crc = 0;
    };

    bool readPart(const QString& path, Part& part, QByteArray& prefix);
    bool samePicture(const Part& part, const QByteArray& prefix);
    bool eachRowOnce();
    bool copyRows(const Part& part, pngformat::IdatStream& idat, Outcome& outcome);

    std::vector<Part> m_parts;
    // The picture's bytes before its pixels, as every part holds them.
    QByteArray m_prefix;
    int m_height = 0;
    QString m_error;
};
