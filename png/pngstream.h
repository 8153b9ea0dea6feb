// A PNG written a band of rows at a time: 8-bit pixels that index a palette
// of up to 256 colours, or 8-bit RGB pixels, and text entries. Its chunks are
// written here, and each row is compressed on its own (pngformat.h), so that
// the parts of a picture drawn apart join into this very file (pngparts.h).
// Nothing of the picture is kept beyond the row being written.
#pragma once

#include "viewtext.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class ByteSink;

// What a PNG holds before its pixels.
struct PngHeader {
    enum class Pixels {
        // One byte a pixel, an index into palette.
        indexed,
        // Three bytes a pixel: red, green, blue.
        rgb,
    };
    // Each at most largestSide.
    int width = 0;
    int height = 0;
    Pixels pixels = Pixels::indexed;
    // An indexed picture's colours, 0x00BBGGRR, 1 to 256 of them; none for RGB.
    std::vector<uint32_t> palette;
    // Keys of 1 to 79 printable ASCII characters; values without a NUL.
    std::vector<PictureText> texts;

    static constexpr int largestSide = 1'000'000;
    int bytesPerPixel() const { return pixels == Pixels::rgb ? 3 : 1; }
};

class PngStream {
public:
    // Writes to file, which must be open.
    explicit PngStream(ByteSink& file);
    ~PngStream();
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;

    // Writes what comes before the pixels of header's picture.
    bool begin(const PngHeader& header);
    // The same for a width x height picture whose pixels index palette, or
    // without one are red, green and blue.
    bool begin(int width, int height, const std::vector<uint32_t>& palette,
               const std::vector<PictureText>& texts);
    // Writes the next rows from the top, each width * bytesPerPixel() bytes.
    bool writeRows(const uint8_t* pixels, int rows);
    // Writes what follows the last row. All rows must have been written.
    bool finish();

    // After a call that returned false: why, e.g. "No space left on device".
    const QString& errorString() const { return m_error; }

private:
    struct Stream;

    ByteSink& m_file;
    std::unique_ptr<Stream> m_stream;
    QString m_error;
};
