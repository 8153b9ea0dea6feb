#include "picturereader.h"

#include "viewtext.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <string_view>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace picture {

bool Source::take(void* data, std::size_t size)
{
    if (size > m_limit - std::min(m_taken, m_limit)) {
        m_pastLimit = true;
        return false;
    }
    auto* out = static_cast<unsigned char*>(data);
    while (size > 0) {
        if (m_next == m_end && !refill())
            return false;
        const std::size_t piece = std::min(size, std::size_t(m_end - m_next));
        if (out) {
            std::memcpy(out, m_next, piece);
            out += piece;
        }
        m_next += piece;
        m_taken += piece;
        size -= piece;
    }
    return true;
}

bool Source::read(void* data, std::size_t size)
{
    return take(data, size);
}

bool Source::skip(std::size_t size)
{
    return take(nullptr, size);
}

MemorySource::MemorySource(const void* data, std::size_t size)
{
    m_next = static_cast<const unsigned char*>(data);
    m_end = m_next + size;
}

bool FileSource::refill()
{
    if (!m_buffer)
        m_buffer = std::make_unique<unsigned char[]>(bufferSize);
    ssize_t count;
    do
        count = ::read(m_fd, m_buffer.get(), bufferSize);
    while (count < 0 && errno == EINTR);
    if (count <= 0) {
        m_error = count < 0 ? errno : 0;
        return false;
    }
    m_next = m_buffer.get();
    m_end = m_next + count;
    return true;
}

namespace {

constexpr unsigned char pngSignature[8] = {137, 'P', 'N', 'G', '\r', '\n', 26, '\n'};
// Every chunk but the pixels' own, and every text once decompressed, is at
// most this long, and at most mostTexts text chunks are kept: a saved
// picture has a few texts of a few hundred bytes. libpng's benign errors,
// which include a chunk too long, stop the read: as warnings, libpng would
// read such a chunk whole.
constexpr png_alloc_size_t longestChunk = 64 << 10;
constexpr png_uint_32 mostTexts = 32;
// The pixels' compressed bytes are at most twice their raw size, rowFlush a
// row, and pixelSlack.
constexpr std::size_t rowFlush = 16;
constexpr std::size_t pixelSlack = 1 << 20;
const std::string_view endsEarly = "the file ends before its pixels";

Read damaged(std::string detail)
{
    Read read;
    read.fault = Fault::damaged;
    read.detail = std::move(detail);
    return read;
}

Read viewText(std::string_view text, Encoding encoding)
{
    Read read;
    if (text.size() > longestView) {
        read.fault = Fault::viewTooLong;
        read.length = text.size();
        return read;
    }
    read.fault = Fault::none;
    read.view = text;
    read.encoding = encoding;
    return read;
}

// The segments of a JPEG picture up to its first scan, after the start
// marker: the view is the comment "View: TEXT", as Qt writes a picture's
// texts.
Read readJpeg(Source& source)
{
    enum : unsigned char {
        fill = 0xff,
        temporary = 0x01,
        firstRestart = 0xd0,
        lastRestart = 0xd7,
        end = 0xd9,
        startOfScan = 0xda,
        comment = 0xfe,
    };
    const std::string prefix = std::string(viewKey) + ": ";
    std::string data;
    for (;;) {
        unsigned char marker[2];
        if (!source.read(marker, 2))
            return damaged(std::string(endsEarly));
        if (marker[0] != fill)
            return damaged("a JPEG segment does not start with a marker");
        while (marker[1] == fill)
            if (!source.read(&marker[1], 1))
                return damaged(std::string(endsEarly));
        if (marker[1] == end || marker[1] == startOfScan)
            return {};
        if (marker[1] == temporary || (marker[1] >= firstRestart && marker[1] <= lastRestart))
            continue;
        unsigned char length[2];
        if (!source.read(length, 2))
            return damaged(std::string(endsEarly));
        const std::size_t size = length[0] << 8 | length[1];
        if (size < 2)
            return damaged("a JPEG segment is shorter than its length field");
        if (marker[1] != comment) {
            if (!source.skip(size - 2))
                return damaged(std::string(endsEarly));
            continue;
        }
        data.resize(size - 2);
        if (!source.read(data.data(), data.size()))
            return damaged(std::string(endsEarly));
        // Qt reads "KEY: VALUE" as an entry, KEY holding no space.
        if (std::string_view(data).starts_with(prefix))
            return viewText(std::string_view(data).substr(prefix.size()), Encoding::utf8);
    }
}

Read refused(Fault fault, int error = 0)
{
    Read read;
    read.fault = fault;
    read.error = error;
    return read;
}

} // namespace

// libpng's state for one picture, freed however the read ends. libpng
// reports errors by longjmp to the setjmp of the call that met them; every
// call into it is guarded so, and keeps no C++ object of its own alive
// across the jump.
struct Reader::Png {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Source* source = nullptr;
    std::string error;

    ~Png() { png_destroy_read_struct(&png, &info, nullptr); }

    [[noreturn]] static void onError(png_structp png, png_const_charp message)
    {
        static_cast<Png*>(png_get_error_ptr(png))->error = message;
        png_longjmp(png, 1);
    }
    static void onWarning(png_structp, png_const_charp) {}
    static void onRead(png_structp png, png_bytep data, size_t size)
    {
        if (!static_cast<Png*>(png_get_io_ptr(png))->source->read(data, size))
            png_error(png, endsEarly.data());
    }

    // Reads the chunks up to the first IDAT.
    bool readInfo()
    {
        if (setjmp(png_jmpbuf(png)))
            return false;
        png_set_sig_bytes(png, sizeof pngSignature);
        png_read_info(png, info);
        return true;
    }

    // Any PNG as 8-bit RGB: palettes and grey expanded, 16 bits cut to 8,
    // alpha dropped. Interlaced pictures are not read by rows.
    bool startRows()
    {
        if (setjmp(png_jmpbuf(png)))
            return false;
        if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE)
            png_error(png, "the picture is interlaced");
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_strip_alpha(png);
        png_set_gray_to_rgb(png);
        png_read_update_info(png, info);
        return true;
    }

    bool readRow(uint8_t* rgb)
    {
        if (setjmp(png_jmpbuf(png)))
            return false;
        png_read_row(png, rgb, nullptr);
        return true;
    }

    bool readEnd()
    {
        if (setjmp(png_jmpbuf(png)))
            return false;
        png_read_end(png, nullptr);
        return true;
    }
};

Reader::Reader(Source& source) : m_source(source) {}

Reader::~Reader() = default;

// Reads a PNG's chunks up to its pixels, after its signature.
Read Reader::beginPng()
{
    Read read;
    m_png = std::make_unique<Png>();
    Png& png = *m_png;
    png.source = &m_source;
    png.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &png, Png::onError, Png::onWarning);
    if (png.png)
        png.info = png_create_info_struct(png.png);
    if (!png.info) {
        m_png.reset();
        return damaged("out of memory");
    }
    png_set_read_fn(png.png, &png, Png::onRead);
    png_set_chunk_malloc_max(png.png, longestChunk);
    png_set_chunk_cache_max(png.png, mostTexts);
    png_set_benign_errors(png.png, 0);
    // Every ancillary chunk but the texts is passed over unread.
    static const png_byte textChunks[] = "tEXt\0zTXt\0iTXt";
    png_set_keep_unknown_chunks(png.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_keep_unknown_chunks(png.png, PNG_HANDLE_CHUNK_AS_DEFAULT, textChunks, 3);
    if (png.readInfo()) {
        png_textp texts = nullptr;
        const int count = png_get_text(png.png, png.info, &texts, nullptr);
        std::map<std::string, std::string> recorded;
        for (int i = 0; i < count; ++i) {
            for (const char* key : recordedKeys)
                if (std::strcmp(texts[i].key, key) == 0 && texts[i].text_length <= longestRecorded)
                    recorded[key].assign(texts[i].text, texts[i].text_length);
            if (std::strcmp(texts[i].key, viewKey) != 0 || read.fault != Fault::noView)
                continue;
            const bool international = texts[i].compression >= PNG_ITXT_COMPRESSION_NONE;
            read = viewText(
                {texts[i].text, international ? texts[i].itxt_length : texts[i].text_length},
                international ? Encoding::utf8 : Encoding::latin1);
        }
        read.recorded = std::move(recorded);
        read.width = int(png_get_image_width(png.png, png.info));
        read.height = int(png_get_image_height(png.png, png.info));
        // The rows' bytes: at most twice the raw rows, a filter byte each,
        // and a flush's empty block each for rows compressed one by one.
        const std::size_t height = read.height;
        const std::size_t rows = height * (png_get_rowbytes(png.png, png.info) + 1);
        m_source.setLimit(longestScan + 2 * rows + rowFlush * height + pixelSlack);
    } else {
        read = damaged(png.error);
    }
    return read;
}

Read Reader::begin()
{
    unsigned char signature[sizeof pngSignature];
    Read read;
    if (!m_source.read(signature, 2)) {
        read.fault = Fault::notPicture;
    } else if (signature[0] == 0xff && signature[1] == 0xd8) {
        read = readJpeg(m_source);
    } else if (!m_source.read(signature + 2, sizeof signature - 2) ||
               std::memcmp(signature, pngSignature, sizeof signature) != 0) {
        read.fault = Fault::notPicture;
    } else {
        read = beginPng();
    }

    // A read that failed or went too far explains the outcome.
    if (m_source.error() != 0) {
        read = refused(Fault::unreadable, m_source.error());
    } else if (m_source.pastLimit()) {
        read = damaged("no pixels in the first " + std::to_string(longestScan >> 20) + " MiB");
    }
    if (read.fault != Fault::none && read.fault != Fault::noView &&
        read.fault != Fault::viewTooLong)
        m_png.reset();
    return read;
}

bool Reader::readRow(uint8_t* rgb)
{
    if (!m_png) {
        m_error = "it is not a PNG picture";
        return false;
    }
    const bool read = (m_rowsStarted || m_png->startRows()) && m_png->readRow(rgb);
    m_rowsStarted = true;
    if (!read) {
        m_error = m_source.error() != 0  ? std::strerror(m_source.error())
                  : m_source.pastLimit() ? "its pixels take more bytes than they can"
                                         : m_png->error;
        // libpng's state after an error is not to be used again.
        m_png.reset();
    }
    return read;
}

bool Reader::finish()
{
    if (!m_png || !m_png->readEnd()) {
        m_error = !m_png                  ? "it is not a PNG picture"
                  : m_source.error() != 0 ? std::strerror(m_source.error())
                                          : m_png->error;
        return false;
    }
    return true;
}

Read readViewText(Source& source)
{
    return Reader(source).begin();
}

int openPicture(const char* path, bool followLinks, Read& refusal)
{
    // Anything but a regular file is refused before it is opened, and again
    // after: opening a FIFO or a device could wait, or act on the device.
    const auto refuse = [&refusal](const struct stat& status) {
        refusal = refused(S_ISDIR(status.st_mode) ? Fault::folder : Fault::notRegularFile);
        return -1;
    };
    struct stat status {};
    if ((followLinks ? ::stat(path, &status) : ::lstat(path, &status)) != 0) {
        refusal = refused(Fault::unreadable, errno);
        return -1;
    }
    if (!S_ISREG(status.st_mode))
        return refuse(status);
    const int fd =
        ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLinks ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        refusal =
            errno == ELOOP ? refused(Fault::notRegularFile) : refused(Fault::unreadable, errno);
        return -1;
    }
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        if (S_ISREG(status.st_mode))
            refusal = refused(Fault::unreadable, errno);
        else
            refuse(status);
        ::close(fd);
        return -1;
    }
    return fd;
}

Read readViewText(const char* path)
{
    Read read;
    const int fd = openPicture(path, true, read);
    if (fd < 0)
        return read;
    FileSource source(fd);
    read = readViewText(source);
    ::close(fd);
    return read;
}

} // namespace picture
