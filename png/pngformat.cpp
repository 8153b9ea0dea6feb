#include "pngformat.h"

#include "bytesink.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace pngformat {

namespace {

constexpr char pngSignature[8] = {'\x89', 'P', 'N', 'G', '\r', '\n', '\x1a', '\n'};
constexpr qsizetype ihdrBytes = 13;
constexpr int bitDepth = 8;
constexpr int indexedColourType = 3;
constexpr int rgbColourType = 2;
constexpr int largestKey = 79;
constexpr size_t largestPalette = 256;

// Fast compression: the pictures are large and made of long runs of one
// colour, which run-length matches alone catch about as well as a full
// search, in a fraction of its time; the time spent here is time the engine
// does not get. Rows go unfiltered (filter byte 0), as suits a palette.
constexpr int compressionLevel = 1;
constexpr int compressionStrategy = Z_RLE;
constexpr int rawDeflateWindow = -15;
constexpr int memoryLevel = 8;

// Why header cannot be written, or empty.
QString headerFault(const PngHeader& header)
{
    const auto side = [](int pixels) { return pixels >= 1 && pixels <= PngHeader::largestSide; };
    if (!side(header.width) || !side(header.height))
        return QStringLiteral("a picture of %1x%2 pixels cannot be written: each side is 1 to %3")
            .arg(header.width)
            .arg(header.height)
            .arg(PngHeader::largestSide);
    const bool indexed = header.pixels == PngHeader::Pixels::indexed;
    if (indexed ? header.palette.empty() || header.palette.size() > largestPalette
                : !header.palette.empty())
        return indexed ? QStringLiteral("a palette holds 1 to 256 colours")
                       : QStringLiteral("a picture of RGB pixels has no palette");
    for (const PictureText& text : header.texts) {
        const std::string_view key(text.key);
        const bool printable =
            std::all_of(key.begin(), key.end(), [](char c) { return c >= ' ' && c <= '~'; });
        if (key.empty() || key.size() > largestKey || !printable ||
            text.value.find('\0') != std::string::npos)
            return QStringLiteral("the text entry '%1' cannot be written")
                .arg(QString::fromLatin1(key));
    }
    return {};
}

} // namespace

uint32_t crcOf(QByteArrayView bytes, uint32_t crc)
{
    return uint32_t(crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
}

void putUint32(char* to, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        to[i] = char((value >> (24 - 8 * i)) & 0xff);
}

void appendUint32(QByteArray& bytes, uint32_t value)
{
    char word[4];
    putUint32(word, value);
    bytes.append(word, 4);
}

void appendUint64(QByteArray& bytes, uint64_t value)
{
    appendUint32(bytes, uint32_t(value >> 32));
    appendUint32(bytes, uint32_t(value));
}

uint32_t readUint32(const char* bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = value << 8 | uint8_t(bytes[i]);
    return value;
}

uint64_t readUint64(const char* bytes)
{
    return uint64_t(readUint32(bytes)) << 32 | readUint32(bytes + 4);
}

void appendChunk(QByteArray& bytes, const char* type, QByteArrayView data)
{
    appendUint32(bytes, uint32_t(data.size()));
    const qsizetype start = bytes.size();
    bytes.append(type, 4);
    bytes.append(data);
    appendUint32(bytes, crcOf(QByteArrayView(bytes).sliced(start)));
}

QByteArray prefix(const PngHeader& header, QString& error)
{
    error = headerFault(header);
    if (!error.isEmpty())
        return {};
    const bool indexed = header.pixels == PngHeader::Pixels::indexed;
    QByteArray bytes(pngSignature, sizeof pngSignature);
    QByteArray ihdr;
    appendUint32(ihdr, uint32_t(header.width));
    appendUint32(ihdr, uint32_t(header.height));
    ihdr.append(char(bitDepth));
    ihdr.append(char(indexed ? indexedColourType : rgbColourType));
    // Deflate, the adaptive filters (each row's byte says which), no interlace.
    ihdr.append(3, '\0');
    appendChunk(bytes, "IHDR", ihdr);
    if (indexed) {
        QByteArray colours;
        for (uint32_t colour : header.palette)
            for (int shift : {0, 8, 16})
                colours.append(char((colour >> shift) & 0xff));
        appendChunk(bytes, "PLTE", colours);
    }
    for (const PictureText& text : header.texts)
        appendChunk(bytes, "tEXt",
                    QByteArray(text.key) + '\0' +
                        QByteArray(text.value.data(), qsizetype(text.value.size())));
    if (bytes.size() > largestPrefix) {
        error = QStringLiteral("the picture's text entries take more than %1 KiB")
                    .arg(largestPrefix >> 10);
        return {};
    }
    return bytes;
}

uint64_t rowBytes(const PngHeader& header)
{
    return 1 + uint64_t(header.width) * uint64_t(header.bytesPerPixel());
}

bool readPrefix(QByteArrayView prefix, PngHeader& header)
{
    constexpr qsizetype chunkFrame = 12;
    const qsizetype ihdrEnd = qsizetype(sizeof pngSignature) + chunkFrame + ihdrBytes;
    if (prefix.size() < ihdrEnd || !prefix.startsWith(QByteArrayView(pngSignature, 8)) ||
        readUint32(prefix.data() + 8) != ihdrBytes || prefix.sliced(12, 4) != "IHDR")
        return false;
    const char* ihdr = prefix.data() + 16;
    const uint32_t width = readUint32(ihdr);
    const uint32_t height = readUint32(ihdr + 4);
    const uint8_t colourType = uint8_t(ihdr[9]);
    const bool rest = ihdr[8] == bitDepth && ihdr[10] == 0 && ihdr[11] == 0 && ihdr[12] == 0;
    if (width < 1 || width > uint32_t(PngHeader::largestSide) || height < 1 ||
        height > uint32_t(PngHeader::largestSide) || !rest ||
        (colourType != indexedColourType && colourType != rgbColourType))
        return false;
    header.width = int(width);
    header.height = int(height);
    header.pixels =
        colourType == rgbColourType ? PngHeader::Pixels::rgb : PngHeader::Pixels::indexed;
    // The palette of an indexed picture, then texts, each chunk whole.
    bool palette = false;
    for (qsizetype at = ihdrEnd; at != prefix.size();) {
        if (prefix.size() - at < chunkFrame)
            return false;
        const uint32_t length = readUint32(prefix.data() + at);
        const QByteArrayView type = prefix.sliced(at + 4, 4);
        if (length > uint64_t(prefix.size() - at - chunkFrame) ||
            (type != "tEXt" && (type != "PLTE" || palette || at != ihdrEnd)))
            return false;
        palette = palette || type == "PLTE";
        at += chunkFrame + qsizetype(length);
    }
    return palette == (header.pixels == PngHeader::Pixels::indexed);
}

QByteArray zlibTail(uint32_t adler)
{
    QByteArray bytes("\x03\x00", 2);
    appendUint32(bytes, adler);
    return bytes;
}

QByteArray pngEnd()
{
    QByteArray bytes;
    appendChunk(bytes, "IEND", {});
    return bytes;
}

RowDeflater::~RowDeflater()
{
    if (m_open)
        deflateEnd(&m_zlib);
}

bool RowDeflater::begin(const PngHeader& header, int rows, QString& error)
{
    if (deflateInit2(&m_zlib, compressionLevel, Z_DEFLATED, rawDeflateWindow, memoryLevel,
                     compressionStrategy) != Z_OK) {
        error = QStringLiteral("out of memory");
        return false;
    }
    m_open = true;
    m_row = QByteArray(qsizetype(rowBytes(header)), '\0');
    // A row whole, as a rule: deflateBound() is for a stream ended by
    // Z_FINISH, and a flush adds an empty block of a few bytes.
    m_out.resize(qsizetype(deflateBound(&m_zlib, uLong(m_row.size()))) + 64);
    m_rowsLeft = rows;
    return true;
}

bool RowDeflater::deflateRow(const uint8_t* pixels, QString& error)
{
    auto* row = reinterpret_cast<Bytef*>(m_row.data());
    std::memcpy(row + 1, pixels, size_t(m_row.size() - 1));
    m_adler = uint32_t(adler32(m_adler, row, uInt(m_row.size())));
    m_rawLength += uint64_t(m_row.size());
    // The full flush that ends each row leaves nothing of it behind (no
    // history, no block begun, the output on a byte's boundary): each row is
    // compressed as by a new stream, its bytes those of that row alone.
    m_zlib.next_in = row;
    m_zlib.avail_in = uInt(m_row.size());
    m_outSize = 0;
    for (;;) {
        m_zlib.next_out = reinterpret_cast<Bytef*>(m_out.data() + m_outSize);
        m_zlib.avail_out = uInt(m_out.size() - m_outSize);
        const int result = deflate(&m_zlib, Z_FULL_FLUSH);
        m_outSize = m_out.size() - qsizetype(m_zlib.avail_out);
        if (result != Z_OK) {
            error = QStringLiteral("cannot compress a row (zlib error %1)").arg(result);
            return false;
        }
        // Room left over: the flush is done.
        if (m_zlib.avail_out != 0)
            break;
        m_out.resize(m_out.size() * 2);
    }
    --m_rowsLeft;
    return true;
}

bool RowDeflater::deflateRows(const uint8_t* pixels, int rows, QString& error,
                              const std::function<bool(QByteArrayView)>& out)
{
    if (!m_open || rows > m_rowsLeft) {
        error = QStringLiteral("more rows than the picture has");
        return false;
    }
    const size_t stride = size_t(m_row.size() - 1);
    for (int row = 0; row < rows; ++row)
        if (!deflateRow(pixels + size_t(row) * stride, error) ||
            !out(QByteArrayView(m_out.constData(), m_outSize)))
            return false;
    return true;
}

bool RowDeflater::allRows(QString& error) const
{
    if (m_open && m_rowsLeft == 0)
        return true;
    error = QStringLiteral("%1 rows of the picture were not written").arg(m_rowsLeft);
    return false;
}

IdatStream::IdatStream(ByteSink& sink)
    : m_sink(sink), m_chunk(qsizetype(8 + idatBytes + 4), '\0'), m_crc(crcOf("IDAT"))
{
    std::memcpy(m_chunk.data() + 4, "IDAT", 4);
}

char* IdatStream::room(size_t& size)
{
    size = idatBytes - m_used;
    return m_chunk.data() + 8 + m_used;
}

bool IdatStream::take(size_t size, uint32_t crc)
{
    m_crc = uint32_t(crc32_combine(m_crc, crc, z_off_t(size)));
    m_used += size;
    return m_used < idatBytes || writeChunk();
}

bool IdatStream::write(QByteArrayView data)
{
    while (!data.isEmpty()) {
        size_t size = 0;
        char* to = room(size);
        const qsizetype piece = std::min(data.size(), qsizetype(size));
        std::memcpy(to, data.data(), size_t(piece));
        m_crc = crcOf(data.first(piece), m_crc);
        m_used += size_t(piece);
        if (m_used == idatBytes && !writeChunk())
            return false;
        data = data.sliced(piece);
    }
    return true;
}

bool IdatStream::finish()
{
    return m_used == 0 || writeChunk();
}

bool IdatStream::writeChunk()
{
    putUint32(m_chunk.data(), uint32_t(m_used));
    putUint32(m_chunk.data() + 8 + m_used, m_crc);
    const qsizetype size = qsizetype(8 + m_used + 4);
    m_used = 0;
    m_crc = crcOf("IDAT");
    return m_sink.write(m_chunk.constData(), size);
}

} // namespace pngformat
