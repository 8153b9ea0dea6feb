// A PNG read through libpng a row at a time, as 8-bit RGB whatever its
// colour type: its size and View entry first, then its rows, then what
// follows them. Nothing of the picture is kept beyond the row being read.
#pragma once

#include <QString>

#include <cstdint>
#include <string>

class QIODevice;

class PngReader {
public:
    // Reads from device, which must be open for reading.
    explicit PngReader(QIODevice& device);
    ~PngReader();
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    // Reads the header and the text entries before the pixels.
    bool begin();
    int width() const { return m_width; }
    int height() const { return m_height; }
    // The View entry, empty if there is none before the pixels.
    const std::string& view() const { return m_view; }

    // Reads the next row into rgb, width() * 3 bytes.
    bool readRow(uint8_t* rgb);
    // Reads what follows the last row, up to the end of the file. All rows
    // must have been read.
    bool finish();

    // After a call that returned false: why, e.g. "Read Error".
    const QString& errorString() const { return m_error; }

private:
    struct Png;

    QIODevice& m_device;
    Png* m_png = nullptr;
    int m_width = 0;
    int m_height = 0;
    std::string m_view;
    QString m_error;
};
