#include "pngstream.h"

#include "bytesink.h"
#include "pngformat.h"

struct PngStream::Stream {
    explicit Stream(ByteSink& file) : idat(file) {}
    pngformat::RowDeflater rows;
    pngformat::IdatStream idat;
};

PngStream::PngStream(ByteSink& file) : m_file(file) {}

PngStream::~PngStream() = default;

bool PngStream::begin(const PngHeader& header)
{
    const QByteArray prefix = pngformat::prefix(header, m_error);
    if (prefix.isEmpty())
        return false;
    m_stream = std::make_unique<Stream>(m_file);
    if (!m_stream->rows.begin(header, header.height, m_error))
        return false;
    if (!m_file.write(prefix.constData(), prefix.size()) ||
        !m_stream->idat.write(QByteArrayView(pngformat::zlibHead, 2))) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool PngStream::begin(int width, int height, const std::vector<uint32_t>& palette,
                      const std::vector<PictureText>& texts)
{
    return begin(PngHeader{width, height,
                           palette.empty() ? PngHeader::Pixels::rgb : PngHeader::Pixels::indexed,
                           palette, texts});
}

bool PngStream::writeRows(const uint8_t* pixels, int rows)
{
    if (!m_stream) {
        m_error = QStringLiteral("the picture was not begun");
        return false;
    }
    bool written = true;
    const bool deflated =
        m_stream->rows.deflateRows(pixels, rows, m_error, [&](QByteArrayView row) {
            return written = m_stream->idat.write(row);
        });
    if (!written)
        m_error = m_file.errorString();
    return deflated;
}

bool PngStream::finish()
{
    if (!m_stream) {
        m_error = QStringLiteral("the picture was not begun");
        return false;
    }
    if (!m_stream->rows.allRows(m_error))
        return false;
    const QByteArray end = pngformat::pngEnd();
    if (!m_stream->idat.write(pngformat::zlibTail(m_stream->rows.adler())) ||
        !m_stream->idat.finish() || !m_file.write(end.constData(), end.size())) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}
