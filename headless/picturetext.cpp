#include "picturetext.h"

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

namespace picturetext {

bool Source::take(void* data, std::size_t size)
{
    if (size > longestScan - m_taken) {
        m_pastScan = true;
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
// Every chunk before the pixels, and every text once decompressed, is at
// most this long, and at most mostTexts text chunks are kept: a saved
// picture has four texts of a few hundred bytes. libpng's benign errors,
// which include a chunk too long, stop the read: as warnings, libpng would
// read such a chunk whole.
constexpr png_alloc_size_t longestChunk = 64 << 10;
constexpr png_uint_32 mostTexts = 32;
const std::string_view endsEarly = "the file ends before its pixels";

Result damaged(std::string detail)
{
    Result result;
    result.outcome = Outcome::damaged;
    result.detail = std::move(detail);
    return result;
}

Result viewText(std::string_view text, Encoding encoding)
{
    Result result;
    if (text.size() > longestView) {
        result.outcome = Outcome::tooLong;
        result.length = text.size();
        return result;
    }
    result.outcome = Outcome::found;
    result.text = text;
    result.encoding = encoding;
    return result;
}

// libpng's state for one read, freed however the read ends.
struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Source* source = nullptr;
    std::string error;

    ~PngRead() { png_destroy_read_struct(&png, &info, nullptr); }
};

[[noreturn]] void onPngError(png_structp png, png_const_charp message)
{
    static_cast<PngRead*>(png_get_error_ptr(png))->error = message;
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

void onPngRead(png_structp png, png_bytep data, size_t size)
{
    if (!static_cast<PngRead*>(png_get_io_ptr(png))->source->read(data, size))
        png_error(png, endsEarly.data());
}

// Reads the chunks up to the first IDAT. libpng's errors jump back here, so
// nothing in this function has a destructor.
bool readPngInfo(PngRead& read)
{
    if (setjmp(png_jmpbuf(read.png)))
        return false;
    png_set_sig_bytes(read.png, sizeof pngSignature);
    png_read_info(read.png, read.info);
    return true;
}

Result readPng(Source& source)
{
    PngRead read;
    read.source = &source;
    read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, onPngError, onPngWarning);
    if (read.png)
        read.info = png_create_info_struct(read.png);
    if (!read.info)
        return damaged("out of memory");
    png_set_read_fn(read.png, &read, onPngRead);
    png_set_chunk_malloc_max(read.png, longestChunk);
    png_set_chunk_cache_max(read.png, mostTexts);
    png_set_benign_errors(read.png, 0);
    // Every ancillary chunk but the texts is passed over unread.
    static const png_byte textChunks[] = "tEXt\0zTXt\0iTXt";
    png_set_keep_unknown_chunks(read.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_set_keep_unknown_chunks(read.png, PNG_HANDLE_CHUNK_AS_DEFAULT, textChunks, 3);
    if (!readPngInfo(read))
        return damaged(read.error);

    png_textp texts = nullptr;
    const int count = png_get_text(read.png, read.info, &texts, nullptr);
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(texts[i].key, viewKey) != 0)
            continue;
        const bool international = texts[i].compression >= PNG_ITXT_COMPRESSION_NONE;
        return viewText(
            {texts[i].text, international ? texts[i].itxt_length : texts[i].text_length},
            international ? Encoding::utf8 : Encoding::latin1);
    }
    return {};
}

// The segments of a JPEG picture up to its first scan, after the start
// marker: the view is the comment "View: TEXT", as Qt writes a picture's
// texts.
Result readJpeg(Source& source)
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

} // namespace

Result readViewText(Source& source)
{
    unsigned char signature[sizeof pngSignature];
    Result result;
    if (!source.read(signature, 2))
        result.outcome = Outcome::notPicture;
    else if (signature[0] == 0xff && signature[1] == 0xd8)
        result = readJpeg(source);
    else if (!source.read(signature + 2, sizeof signature - 2) ||
             std::memcmp(signature, pngSignature, sizeof signature) != 0)
        result.outcome = Outcome::notPicture;
    else
        result = readPng(source);

    // A read that failed or went too far explains the outcome.
    if (source.error() != 0) {
        result = {};
        result.outcome = Outcome::unreadable;
        result.error = source.error();
    } else if (source.pastScan()) {
        result = damaged("no pixels in the first " + std::to_string(longestScan >> 20) + " MiB");
    }
    return result;
}

Result readViewText(const char* path)
{
    Result result;
    const auto fail = [&result](Outcome outcome, int error = 0) {
        result.outcome = outcome;
        result.error = error;
        return result;
    };
    // Anything but a regular file is refused before it is opened, and again
    // after: opening a FIFO or a device could wait, or act on the device.
    const auto refuse = [&](const struct stat& status) {
        return S_ISDIR(status.st_mode) ? fail(Outcome::folder) : fail(Outcome::notRegularFile);
    };
    struct stat status {};
    if (::stat(path, &status) != 0)
        return fail(Outcome::unreadable, errno);
    if (!S_ISREG(status.st_mode))
        return refuse(status);
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return fail(Outcome::unreadable, errno);
    if (::fstat(fd, &status) != 0) {
        result = fail(Outcome::unreadable, errno);
    } else if (!S_ISREG(status.st_mode)) {
        result = refuse(status);
    } else {
        FileSource source(fd);
        result = readViewText(source);
    }
    ::close(fd);
    return result;
}

} // namespace picturetext
