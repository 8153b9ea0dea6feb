// A PNG written a band of rows at a time through libpng: a palette of up to
// 256 colours, one byte a pixel, and text entries. Nothing of the picture
// is kept beyond the rows being written.
#pragma once

#include "viewtext.h"

#include <QString>

#include <cstdint>
#include <vector>

class ByteSink;

class PngStream {
public:
    // Writes to file, which must be open.
    explicit PngStream(ByteSink& file);
    ~PngStream();
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;

    // Writes the header of a width x height picture whose pixels index
    // palette (0x00BBGGRR colours, at most 256) or, with no palette, are red,
    // green and blue, and the text entries.
    bool begin(int width, int height, const std::vector<uint32_t>& palette,
               const std::vector<PictureText>& texts);
    // Writes rows rows of width pixels each (a byte each, or three), the
    // next ones from the top.
    bool writeRows(const uint8_t* pixels, int rows);
    // Writes what follows the last row. All rows must have been written.
    bool finish();

    // After a call that returned false: why, e.g. "No space left on device".
    const QString& errorString() const { return m_error; }

private:
    struct Png;
    static void write(Png* png, const uint8_t* data, size_t size);

    ByteSink& m_file;
    Png* m_png = nullptr;
    int m_width = 0;
    int m_bytesPerPixel = 1;
    QString m_error;
};
