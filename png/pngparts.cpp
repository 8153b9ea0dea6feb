#include "pngparts.h"

#include "bytesink.h"
#include "localfiles.h"
#include "pngformat.h"
#include "printing.h"

#include <QFile>

#include <algorithm>
#include <cstring>

using namespace pngformat;

namespace {

constexpr char partSignature[8] = {'\x89', 'Q', 'P', 'T', '\r', '\n', '\x1a', '\n'};
constexpr qint64 chunkFrame = 12;
// The head's data before the picture's prefix: the first and last rows.
constexpr qsizetype rowRangeBytes = 8;
constexpr qsizetype summaryBytes = 24;
constexpr qint64 endBytes = chunkFrame + summaryBytes;

QString notAPart(const QString& path)
{
    return QStringLiteral("%1 is not a part of a picture").arg(quoted(path));
}

QString damagedPart(const QString& path, const QString& how)
{
    return QStringLiteral("the part %1 is damaged or cut short: %2").arg(quoted(path), how);
}

QString unreadablePart(const QString& path, const QString& reason)
{
    return QStringLiteral("cannot read the part %1: %2").arg(quoted(path), reason);
}

// "row 4" or "rows 4 to 9".
QString rowsText(int first, int last)
{
    return first == last ? QStringLiteral("row %1").arg(first)
                         : QStringLiteral("rows %1 to %2").arg(first).arg(last);
}

QString pictureText(const PngHeader& info)
{
    return QStringLiteral("%1x%2 %3 pixels")
        .arg(info.width)
        .arg(info.height)
        .arg(info.pixels == PngHeader::Pixels::rgb ? QStringLiteral("RGB")
                                                   : QStringLiteral("indexed"));
}

bool readWhole(QFile& file, char* data, qint64 size)
{
    return file.read(data, size) == size;
}

// Reads a chunk of type whose data is at most largest bytes, and checks its
// CRC; false if it is not there whole.
bool readChunk(QFile& file, const char* type, qsizetype largest, QByteArray& data)
{
    char frame[8];
    if (!readWhole(file, frame, sizeof frame) || std::memcmp(frame + 4, type, 4) != 0)
        return false;
    const uint32_t length = readUint32(frame);
    if (length > uint32_t(largest))
        return false;
    QByteArray bytes(qsizetype(length) + 4, Qt::Uninitialized);
    if (!readWhole(file, bytes.data(), bytes.size()))
        return false;
    const QByteArrayView content = QByteArrayView(bytes).first(length);
    if (crcOf(content, crcOf(QByteArrayView(frame + 4, 4))) !=
        readUint32(bytes.constData() + length))
        return false;
    bytes.truncate(length);
    data = bytes;
    return true;
}

} // namespace

struct PngPartWriter::Part {
    RowDeflater rows;
    uint32_t crc = 0;
    uint64_t length = 0;
};

PngPartWriter::PngPartWriter(ByteSink& file) : m_file(file) {}

PngPartWriter::~PngPartWriter() = default;

bool PngPartWriter::begin(const PngHeader& header, int firstRow, int lastRow)
{
    const QByteArray prefix = pngformat::prefix(header, m_error);
    if (prefix.isEmpty())
        return false;
    if (firstRow < 0 || firstRow > lastRow || lastRow >= header.height) {
        m_error = QStringLiteral("rows %1 to %2 are not rows of a picture of %3")
                      .arg(firstRow)
                      .arg(lastRow)
                      .arg(header.height);
        return false;
    }
    m_part = std::make_unique<Part>();
    if (!m_part->rows.begin(header, lastRow - firstRow + 1, m_error))
        return false;
    QByteArray head(partSignature, sizeof partSignature);
    QByteArray data;
    appendUint32(data, uint32_t(firstRow));
    appendUint32(data, uint32_t(lastRow));
    appendChunk(head, "qHDR", data + prefix);
    if (!m_file.write(head.constData(), head.size())) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool PngPartWriter::writeRows(const uint8_t* pixels, int rows)
{
    if (!m_part) {
        m_error = QStringLiteral("the part was not begun");
        return false;
    }
    bool written = true;
    const bool deflated = m_part->rows.deflateRows(pixels, rows, m_error, [&](QByteArrayView row) {
        m_part->crc = crcOf(row, m_part->crc);
        m_part->length += uint64_t(row.size());
        return written = m_file.write(row.data(), row.size());
    });
    if (!written)
        m_error = m_file.errorString();
    return deflated;
}

bool PngPartWriter::finish()
{
    if (!m_part) {
        m_error = QStringLiteral("the part was not begun");
        return false;
    }
    if (!m_part->rows.allRows(m_error))
        return false;
    QByteArray summary;
    appendUint64(summary, m_part->length);
    appendUint64(summary, m_part->rows.rawLength());
    appendUint32(summary, m_part->rows.adler());
    appendUint32(summary, m_part->crc);
    QByteArray end;
    appendChunk(end, "qEND", summary);
    if (!m_file.write(end.constData(), end.size())) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool PngJoin::read(const QString& folder)
{
    m_parts.clear();
    m_prefix.clear();
    FolderEntries entries = folderEntries(folder);
    if (entries.error) {
        m_error =
            QStringLiteral("cannot read the parts in %1: %2").arg(quoted(folder), *entries.error);
        return false;
    }
    // Hidden files are parts still being written, under their temporary names.
    entries.names.removeIf([](const QString& name) { return name.startsWith(QLatin1Char('.')); });
    entries.names.sort();
    if (entries.names.isEmpty()) {
        m_error = QStringLiteral("%1 holds no parts").arg(quoted(folder));
        return false;
    }
    for (const QString& name : std::as_const(entries.names)) {
        Part part;
        QByteArray prefix;
        if (!readPart(inFolder(folder, name), part, prefix))
            return false;
        if (m_parts.empty()) {
            PngHeader info;
            readPrefix(prefix, info);
            m_prefix = prefix;
            m_height = info.height;
        } else if (!samePicture(part, prefix)) {
            return false;
        }
        m_parts.push_back(part);
    }
    return eachRowOnce();
}

bool PngJoin::readPart(const QString& path, Part& part, QByteArray& prefix)
{
    QFile file;
    if (const std::optional<QString> reason = openRegularFile(file, path)) {
        m_error = unreadablePart(path, *reason);
        return false;
    }
    const auto fault = [&](const QString& how) {
        m_error = file.error() != QFile::NoError ? unreadablePart(path, file.errorString()) : how;
        return false;
    };
    part.path = path;
    part.fileSize = file.size();
    char signature[sizeof partSignature];
    if (!readWhole(file, signature, sizeof signature) ||
        std::memcmp(signature, partSignature, sizeof signature) != 0)
        return fault(notAPart(path));
    QByteArray head, summary;
    if (!readChunk(file, "qHDR", rowRangeBytes + largestPrefix, head) ||
        head.size() < rowRangeBytes)
        return fault(damagedPart(path, QStringLiteral("its head is damaged")));
    part.rowsAt = file.pos();
    if (part.fileSize - part.rowsAt < endBytes || !file.seek(part.fileSize - endBytes) ||
        !readChunk(file, "qEND", summaryBytes, summary) || summary.size() != summaryBytes)
        return fault(damagedPart(path, QStringLiteral("its summary at its end is damaged")));
    prefix = head.sliced(rowRangeBytes);
    PngHeader info;
    const uint32_t first = readUint32(head.constData());
    const uint32_t last = readUint32(head.constData() + 4);
    const uint64_t length = readUint64(summary.constData());
    part.rawLength = readUint64(summary.constData() + 8);
    part.adler = readUint32(summary.constData() + 16);
    part.crc = readUint32(summary.constData() + 20);
    if (!readPrefix(prefix, info) || first > last || last >= uint32_t(info.height) ||
        part.rawLength != (last - first + 1) * rowBytes(info))
        return fault(damagedPart(path, QStringLiteral("its head and its summary do not agree")));
    part.firstRow = int(first);
    part.lastRow = int(last);
    part.rowsLength = part.fileSize - part.rowsAt - endBytes;
    if (length != uint64_t(part.rowsLength))
        return fault(
            damagedPart(path, QStringLiteral("it is %1 bytes long, not %2")
                                  .arg(part.fileSize)
                                  .arg(uint64_t(part.fileSize - part.rowsLength) + length)));
    return true;
}

bool PngJoin::samePicture(const Part& part, const QByteArray& prefix)
{
    if (prefix == m_prefix)
        return true;
    PngHeader first, other;
    readPrefix(m_prefix, first);
    readPrefix(prefix, other);
    const QString how = pictureText(first) != pictureText(other)
                            ? QStringLiteral("one is of %1, the other of %2")
                                  .arg(pictureText(first), pictureText(other))
                            : QStringLiteral("their palettes or text entries differ");
    m_error = QStringLiteral("%1 and %2 are parts of different pictures: %3")
                  .arg(quoted(m_parts.front().path), quoted(part.path), how);
    return false;
}

bool PngJoin::eachRowOnce()
{
    // Those of the same rows stay in the order of their names.
    std::stable_sort(m_parts.begin(), m_parts.end(), [](const Part& a, const Part& b) {
        return std::pair(a.firstRow, a.lastRow) < std::pair(b.firstRow, b.lastRow);
    });
    const Part* before = nullptr;
    int next = 0;
    for (const Part& part : m_parts) {
        if (part.firstRow < next) {
            m_error = QStringLiteral("%1 and %2 both hold %3")
                          .arg(quoted(before->path), quoted(part.path),
                               rowsText(part.firstRow, std::min(before->lastRow, part.lastRow)));
            return false;
        }
        if (part.firstRow > next) {
            m_error = QStringLiteral("no part holds %1, %2")
                          .arg(rowsText(next, part.firstRow - 1),
                               before ? QStringLiteral("between %1 and %2")
                                            .arg(quoted(before->path), quoted(part.path))
                                      : QStringLiteral("before %1").arg(quoted(part.path)));
            return false;
        }
        next = part.lastRow + 1;
        before = &part;
    }
    if (next < m_height) {
        m_error = QStringLiteral("no part holds %1, after %2")
                      .arg(rowsText(next, m_height - 1), quoted(before->path));
        return false;
    }
    return true;
}

PngJoin::Outcome PngJoin::join(ByteSink& out)
{
    if (m_parts.empty()) {
        m_error = QStringLiteral("no parts were read");
        return Outcome::badPart;
    }
    IdatStream idat(out);
    const auto writeFailed = [&] {
        m_error = out.errorString();
        return Outcome::writeFailed;
    };
    if (!out.write(m_prefix.constData(), m_prefix.size()) ||
        !idat.write(QByteArrayView(zlibHead, 2)))
        return writeFailed();
    // The Adler-32 of no bytes, then of the rows so far.
    uint32_t adler = 1;
    for (const Part& part : m_parts) {
        Outcome outcome = Outcome::done;
        if (!copyRows(part, idat, outcome))
            return outcome == Outcome::writeFailed ? writeFailed() : outcome;
        adler = uint32_t(adler32_combine(adler, part.adler, z_off_t(part.rawLength)));
    }
    const QByteArray end = pngEnd();
    if (!idat.write(zlibTail(adler)) || !idat.finish() || !out.write(end.constData(), end.size()))
        return writeFailed();
    return Outcome::done;
}

bool PngJoin::copyRows(const Part& part, IdatStream& idat, Outcome& outcome)
{
    outcome = Outcome::badPart;
    QFile file;
    if (const std::optional<QString> reason = openRegularFile(file, part.path)) {
        m_error = unreadablePart(part.path, *reason);
        return false;
    }
    if (file.size() != part.fileSize || !file.seek(part.rowsAt)) {
        m_error = damagedPart(part.path, QStringLiteral("it changed while the parts were joined"));
        return false;
    }
    // Each piece read lies within one IDAT chunk; its CRC, worked out once,
    // goes into the chunk's and into the part's.
    uint32_t crc = 0;
    for (qint64 left = part.rowsLength; left > 0;) {
        size_t room = 0;
        char* to = idat.room(room);
        const qint64 size = std::min(left, qint64(room));
        if (!readWhole(file, to, size)) {
            m_error = file.error() != QFile::NoError
                          ? unreadablePart(part.path, file.errorString())
                          : damagedPart(part.path, QStringLiteral("it ends before its rows do"));
            return false;
        }
        const uint32_t pieceCrc = crcOf(QByteArrayView(to, size));
        crc = uint32_t(crc32_combine(crc, pieceCrc, z_off_t(size)));
        if (!idat.take(size_t(size), pieceCrc)) {
            outcome = Outcome::writeFailed;
            return false;
        }
        left -= size;
    }
    if (crc != part.crc) {
        m_error = damagedPart(part.path, QStringLiteral("its rows' bytes do not match their CRC"));
        return false;
    }
    return true;
}
