// The PNG as the render writes it, shared by the one-go writer (pngstream.h)
// and by a picture's parts and their join (pngparts.h), so that both make the
// same bytes:
// - the bytes before the pixels: signature, IHDR, PLTE (indexed pixels), one
//   tEXt chunk for each text entry;
// - one zlib stream of the rows: its two-byte head, then each row (filter
//   byte 0 and its pixels) compressed on its own as raw deflate, level 1,
//   runs only, ended by a full flush, so that its bytes depend on that row
//   alone; then a final empty block and the Adler-32 of all the rows;
// - that stream cut into IDAT chunks every idatBytes of it, the last one
//   shorter: a rule of the position in the whole stream alone, which a join
//   follows without knowing where its parts' rows were compressed;
// - IEND.
#pragma once

#include "pngstream.h"

#include <QByteArray>
#include <QString>

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace pngformat {

// The bytes before the pixels at most: the picture reader takes no chunk
// over 64 KiB, and a part's head is read whole.
inline constexpr qsizetype largestPrefix = 64 << 10;
// The IDAT chunks' length but the last's: a chunk's 12 bytes of length, type
// and CRC are little beside it, and a writer buffers one chunk at most.
inline constexpr size_t idatBytes = 64 << 10;

// A whole picture's lengths do not fit in 32 bits: zlib's functions that
// combine checksums take them as z_off_t.
static_assert(sizeof(z_off_t) >= 8);

// The CRC-32 of bytes after those whose CRC-32 is crc.
uint32_t crcOf(QByteArrayView bytes, uint32_t crc = 0);
// Big-endian, as PNG writes its numbers.
void putUint32(char* to, uint32_t value);
void appendUint32(QByteArray& bytes, uint32_t value);
void appendUint64(QByteArray& bytes, uint64_t value);
uint32_t readUint32(const char* bytes);
uint64_t readUint64(const char* bytes);
// Appends a chunk: its length, type, data and CRC.
void appendChunk(QByteArray& bytes, const char* type, QByteArrayView data);

// The PNG's bytes before its pixels, or empty with error set if header
// cannot be written.
QByteArray prefix(const PngHeader& header, QString& error);

// Reads the size and the kind of pixels of prefix into header; false if
// prefix is not as prefix() writes it.
bool readPrefix(QByteArrayView prefix, PngHeader& header);
// A row's bytes in the zlib stream, its filter byte included.
uint64_t rowBytes(const PngHeader& header);

// The zlib stream's head: deflate with a 32 KiB window, level 1.
inline constexpr char zlibHead[2] = {0x78, 0x01};
// The zlib stream's end after the rows: a final empty block (fixed codes),
// and the Adler-32 of the rows' bytes.
QByteArray zlibTail(uint32_t adler);
// The PNG's last chunk.
QByteArray pngEnd();

// A picture's rows compressed one at a time, as the zlib stream holds them,
// counted against the rows expected.
class RowDeflater {
public:
    RowDeflater() = default;
    ~RowDeflater();
    RowDeflater(const RowDeflater&) = delete;
    RowDeflater& operator=(const RowDeflater&) = delete;

    // Prepares for rows rows of header's picture; false, with error set, if
    // memory runs out.
    bool begin(const PngHeader& header, int rows, QString& error);
    // Compresses the next rows rows of pixels and hands each row's
    // compressed bytes to out in turn. False, with error set, if rows are
    // more than those left or memory runs out; false if out returns false.
    bool deflateRows(const uint8_t* pixels, int rows, QString& error,
                     const std::function<bool(QByteArrayView)>& out);
    // True if every row was compressed; else false, with error set.
    bool allRows(QString& error) const;

    // Of the rows so far, their filter bytes included.
    uint32_t adler() const { return m_adler; }
    uint64_t rawLength() const { return m_rawLength; }

private:
    bool deflateRow(const uint8_t* pixels, QString& error);

    z_stream m_zlib{};
    bool m_open = false;
    // The row being compressed: its filter byte, then its pixels.
    QByteArray m_row;
    QByteArray m_out;
    qsizetype m_outSize = 0;
    int m_rowsLeft = 0;
    uint32_t m_adler = 1;
    uint64_t m_rawLength = 0;
};

// The zlib stream written to a sink as IDAT chunks, cut every idatBytes.
class IdatStream {
public:
    explicit IdatStream(ByteSink& sink);
    // Room in the current chunk for the stream's next bytes, never empty.
    char* room(size_t& size);
    // Takes the next size bytes, put in room() already, whose CRC-32 alone
    // is crc; writes the chunk they fill.
    bool take(size_t size, uint32_t crc);
    // Takes the next bytes from data.
    bool write(QByteArrayView data);
    // Writes the last chunk, if it holds any bytes.
    bool finish();

private:
    bool writeChunk();

    ByteSink& m_sink;
    // A whole chunk: length, type, data, CRC.
    QByteArray m_chunk;
    size_t m_used = 0;
    // Of the chunk's type and of its data so far.
    uint32_t m_crc = 0;
};

} // namespace pngformat
