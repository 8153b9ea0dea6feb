#include "framereader.h"

#include "localfiles.h"
#include "outsidetext.h"

#include <cerrno>

#include <unistd.h>

FrameReader::FrameReader(const QString& fileName)
{
    picture::Read read;
    m_fd = picture::openPicture(fileNameToBytes(fileName).constData(), false, read);
    if (m_fd < 0) {
        const bool absent = read.fault == picture::Fault::unreadable && read.error == ENOENT;
        m_kind = absent                                     ? Kind::missing
                 : read.fault == picture::Fault::unreadable ? Kind::damaged
                                                            : Kind::notFile;
        m_reason = systemError(read.error);
        return;
    }
    m_source = std::make_unique<picture::FileSource>(m_fd);
    m_reader = std::make_unique<picture::Reader>(*m_source);
    read = m_reader->begin();
    if (read.width == 0) {
        m_kind = Kind::damaged;
        m_reason = read.fault == picture::Fault::unreadable ? systemError(read.error)
                   : read.fault == picture::Fault::notPicture
                       ? QStringLiteral("it is not a PNG picture")
                       : QString::fromStdString(read.detail);
        return;
    }
    m_kind = Kind::picture;
    m_size = QSize(read.width, read.height);
    if (read.fault == picture::Fault::none)
        m_view = read.view;
    m_recorded = read.recorded;
}

std::string FrameReader::recorded(const char* key) const
{
    const auto found = m_recorded.find(key);
    return found == m_recorded.end() ? std::string() : found->second;
}

FrameReader::~FrameReader()
{
    m_reader.reset();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FrameReader::readRows(uint8_t* rgb, int rows)
{
    for (int row = 0; row < rows; ++row, rgb += size_t(m_size.width()) * 3)
        if (!m_reader || !m_reader->readRow(rgb)) {
            m_reason = m_reader ? QString::fromStdString(m_reader->error()) : m_reason;
            return false;
        }
    return true;
}

bool FrameReader::finish()
{
    if (m_reader && m_reader->finish())
        return true;
    m_reason = m_reader ? QString::fromStdString(m_reader->error()) : m_reason;
    return false;
}
