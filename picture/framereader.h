// A picture or a movie's frame opened for reading, never through a symbolic
// link, and read up to its pixels in bounded time and memory; then its rows,
// one at a time, as 8-bit RGB.
#pragma once

#include "picturereader.h"
#include "viewtext.h"

#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class FrameReader {
public:
    enum class Kind {
        missing,
        // A folder, a FIFO, a device or a symbolic link.
        notFile,
        // Not readable, or not a PNG picture up to its pixels: reason() says
        // why.
        damaged,
        picture,
    };

    explicit FrameReader(const QString& fileName);
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    Kind kind() const { return m_kind; }
    QSize size() const { return m_size; }
    // The View text, exactly; empty if there is none.
    const std::string& view() const { return m_view; }
    // The text of the recorded entry key (viewtext.h), exactly; empty if
    // there is none.
    std::string recorded(const char* key) const;
    std::string frameRate() const { return recorded(frameRateKey); }
    std::string samples() const { return recorded(samplesKey); }
    // Reads the next rows into rgb, size().width() * 3 bytes each.
    bool readRows(uint8_t* rgb, int rows);
    // Reads what follows the last row.
    bool finish();
    const QString& reason() const { return m_reason; }

private:
    int m_fd = -1;
    std::unique_ptr<picture::FileSource> m_source;
    std::unique_ptr<picture::Reader> m_reader;
    Kind m_kind = Kind::missing;
    QSize m_size;
    std::string m_view;
    std::map<std::string, std::string> m_recorded;
    QString m_reason;
};
