#include "pngreader.h"

#include "pngerrors.h"
#include "viewtext.h"

#include <QIODevice>

#include <png.h>

#include <cstring>

// libpng reports errors by longjmp to the setjmp of the call that met them;
// every call into it below is guarded so, and keeps no C++ object of its own
// alive across the jump.
struct PngReader::Png {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngReader* reader = nullptr;
};

namespace {

} // namespace

PngReader::PngReader(QIODevice& device) : m_device(device) {}

PngReader::~PngReader()
{
    if (m_png)
        png_destroy_read_struct(&m_png->png, &m_png->info, nullptr);
    delete m_png;
}

bool PngReader::begin()
{
    m_png = new Png;
    m_png->reader = this;
    m_png->png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &m_error, keepPngError, ignorePngWarning);
    if (m_png->png)
        m_png->info = png_create_info_struct(m_png->png);
    if (!m_png->info) {
        m_error = QStringLiteral("out of memory");
        return false;
    }
    png_structp png = m_png->png;
    png_infop info = m_png->info;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, m_png, [](png_structp png, png_bytep data, size_t size) {
        PngReader* reader = static_cast<Png*>(png_get_io_ptr(png))->reader;
        const qint64 read = reader->m_device.read(reinterpret_cast<char*>(data), qint64(size));
        if (read != qint64(size)) {
            if (read < 0)
                reader->m_error = reader->m_device.errorString();
            png_error(png, "the file ends too soon");
        }
    });
    png_read_info(png, info);
    if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE)
        png_error(png, "the picture is interlaced");
    // Any PNG as 8-bit RGB: palettes and grey expanded, 16 bits cut to 8,
    // alpha dropped.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    m_width = int(png_get_image_width(png, info));
    m_height = int(png_get_image_height(png, info));
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i)
        if (std::strcmp(texts[i].key, viewKey) == 0)
            m_view.assign(texts[i].text, texts[i].text_length);
    return true;
}

bool PngReader::readRow(uint8_t* rgb)
{
    png_structp png = m_png->png;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_row(png, rgb, nullptr);
    return true;
}

bool PngReader::finish()
{
    png_structp png = m_png->png;
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_end(png, nullptr);
    return true;
}
