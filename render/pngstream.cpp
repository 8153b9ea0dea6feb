#include "pngstream.h"

#include "bytesink.h"

#include <png.h>
#include <zlib.h>

// libpng reports errors by longjmp to the setjmp of the call that met them;
// every call into it below is guarded so, and keeps no C++ object of its own
// alive across the jump.
struct PngStream::Png {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngStream* stream = nullptr;
};

namespace {

// libpng's errors keep their first reason (a file's own may have come first)
// in the QString given as its error pointer; warnings change nothing written.
void keepPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<QString*>(png_get_error_ptr(png));
    if (error->isEmpty())
        *error = QString::fromUtf8(message);
    png_longjmp(png, 1);
}

void ignorePngWarning(png_structp, png_const_charp) {}

// Fast compression: the pictures are large and made of long runs of one
// colour, which run-length matches alone catch about as well as a full
// search, in a fraction of its time; the time spent here is time the engine
// does not get. Rows go unfiltered, as suits a palette.
constexpr int compressionLevel = 1;
constexpr int compressionStrategy = Z_RLE;
constexpr size_t compressionBuffer = 1 << 16;

} // namespace

PngStream::PngStream(ByteSink& file) : m_file(file) {}

PngStream::~PngStream()
{
    if (m_png)
        png_destroy_write_struct(&m_png->png, &m_png->info);
    delete m_png;
}

void PngStream::write(Png* png, const uint8_t* data, size_t size)
{
    PngStream* stream = png->stream;
    if (!stream->m_file.write(reinterpret_cast<const char*>(data), qsizetype(size))) {
        stream->m_error = stream->m_file.errorString();
        png_error(png->png, "write error");
    }
}

bool PngStream::begin(int width, int height, const std::vector<uint32_t>& palette,
                      const std::vector<PictureText>& texts)
{
    m_png = new Png;
    m_png->stream = this;
    m_png->png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &m_error, keepPngError, ignorePngWarning);
    if (m_png->png)
        m_png->info = png_create_info_struct(m_png->png);
    if (!m_png->info) {
        m_error = QStringLiteral("out of memory");
        return false;
    }
    m_width = width;
    m_bytesPerPixel = palette.empty() ? 3 : 1;

    std::vector<png_color> colours;
    for (uint32_t colour : palette)
        colours.push_back({png_byte(colour & 0xff), png_byte((colour >> 8) & 0xff),
                           png_byte((colour >> 16) & 0xff)});
    std::vector<png_text> entries;
    for (const PictureText& text : texts) {
        png_text entry{};
        entry.compression = PNG_TEXT_COMPRESSION_NONE;
        entry.key = const_cast<char*>(text.key);
        entry.text = const_cast<char*>(text.value.c_str());
        entry.text_length = text.value.size();
        entries.push_back(entry);
    }

    png_structp png = m_png->png;
    png_infop info = m_png->info;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(
        png, m_png,
        [](png_structp png, png_bytep data, size_t size) {
            write(static_cast<Png*>(png_get_io_ptr(png)), data, size);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
                 palette.empty() ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty())
        png_set_PLTE(png, info, colours.data(), int(colours.size()));
    png_set_text(png, info, entries.data(), int(entries.size()));
    png_set_compression_level(png, compressionLevel);
    png_set_compression_strategy(png, compressionStrategy);
    png_set_compression_buffer_size(png, compressionBuffer);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    return true;
}

bool PngStream::writeRows(const uint8_t* pixels, int rows)
{
    png_structp png = m_png->png;
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int row = 0; row < rows; ++row)
        png_write_row(png, pixels + size_t(row) * size_t(m_width) * size_t(m_bytesPerPixel));
    return true;
}

bool PngStream::finish()
{
    png_structp png = m_png->png;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_write_end(png, m_png->info);
    return true;
}
