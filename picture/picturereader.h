// A saved picture or a movie's frame, read in bounded time and memory
// whatever its bytes are: the texts of a PNG picture (tEXt, zTXt or iTXt) or
// the "View: " comment of a JPEG picture, found without decoding any pixels;
// then, for a PNG, its rows one at a time as 8-bit RGB. Nothing is read
// whole: a chunk or a text is at most a few dozen KiB, the bytes before the
// pixels at most 16 MiB, and the pixels' bytes at most what their rows can
// take. Standard C++, libpng and POSIX only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace picture {

// A view is at most 99 characters; a View text longer than this is refused
// without being read.
inline constexpr std::size_t longestView = 1000;
// The bytes read before the pixels at most: a saved picture has its texts in
// the first kilobyte.
inline constexpr std::size_t longestScan = 16 << 20;

// What keeps a picture's view from being read, or none. The messages of the
// command line and of the window say each in their language.
enum class Fault {
    none,
    // The file cannot be opened or read: Read::error holds the errno.
    unreadable,
    folder,
    // A FIFO, a device, a socket, or where links are refused a symbolic
    // link: refused unread, as a read could wait for ever.
    notRegularFile,
    // Neither a PNG nor a JPEG picture.
    notPicture,
    // A PNG or JPEG picture that breaks off or goes wrong: Read::detail
    // says how, e.g. "tEXt: chunk data is too large".
    damaged,
    noView,
    // The View text is longer than longestView: Read::length is its length
    // in bytes.
    viewTooLong,
    // The View text does not read as a view that can be drawn.
    badView,
};

// How the text's bytes read as characters: tEXt and zTXt are Latin-1, iTXt
// and JPEG comments UTF-8.
enum class Encoding { latin1, utf8 };

// What was read before the pixels.
struct Read {
    Fault fault = Fault::noView;
    // The View text, when fault is none (or badView).
    std::string view;
    // The entries of recordedKeys (viewtext.h) that the picture holds, by
    // key, exactly.
    std::map<std::string, std::string> recorded;
    Encoding encoding = Encoding::latin1;
    std::string detail;
    int error = 0;
    std::size_t length = 0;
    // A PNG picture's size in pixels; 0 for a JPEG picture.
    int width = 0;
    int height = 0;
};

// Bytes read through a buffer, from a file or from memory, up to a limit:
// longestScan until the pixels.
class Source {
public:
    virtual ~Source() = default;
    // Reads exactly size bytes; false at the end of the bytes, past the
    // limit or on an error (then error() is the errno).
    bool read(void* data, std::size_t size);
    bool skip(std::size_t size);
    int error() const { return m_error; }
    bool pastLimit() const { return m_pastLimit; }
    // Allows limit bytes in all from the start.
    void setLimit(std::size_t limit) { m_limit = limit; }

protected:
    // Refills the buffer; false at the end of the bytes or on an error.
    virtual bool refill() = 0;
    const unsigned char* m_next = nullptr;
    const unsigned char* m_end = nullptr;
    int m_error = 0;

private:
    bool take(void* data, std::size_t size);
    std::size_t m_taken = 0;
    std::size_t m_limit = longestScan;
    bool m_pastLimit = false;
};

class MemorySource : public Source {
public:
    MemorySource(const void* data, std::size_t size);

protected:
    bool refill() override { return false; }
};

// Reads an open file descriptor, which it does not close.
class FileSource : public Source {
public:
    explicit FileSource(int fd) : m_fd(fd) {}

protected:
    bool refill() override;

private:
    static constexpr std::size_t bufferSize = 1 << 16;
    int m_fd;
    std::unique_ptr<unsigned char[]> m_buffer;
};

// Opens the regular file at path (bytes, as the system takes them) for
// reading without waiting: anything else is refused before a byte is read,
// and a symbolic link too unless followLinks. The descriptor, or -1 with
// refusal set.
int openPicture(const char* path, bool followLinks, Read& refusal);

// One picture read from source: begin() first, then for a PNG its rows and
// finish().
class Reader {
public:
    explicit Reader(Source& source);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Reads up to the pixels: the view text, and a PNG's size.
    Read begin();
    // Reads a PNG's next row into rgb, width * 3 bytes. False, with error()
    // set, if the picture is damaged there (or interlaced).
    bool readRow(uint8_t* rgb);
    // Reads what follows the last row to the end of the PNG. All rows must
    // have been read.
    bool finish();
    const std::string& error() const { return m_error; }

private:
    struct Png;
    Read beginPng();

    Source& m_source;
    std::unique_ptr<Png> m_png;
    bool m_rowsStarted = false;
    std::string m_error;
};

// The view text of the picture whose bytes source gives, or of the file at
// path (links followed).
Read readViewText(Source& source);
Read readViewText(const char* path);

} // namespace picture
