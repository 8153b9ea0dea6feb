// The view text of a saved picture: the View entry of a PNG picture (tEXt,
// zTXt or iTXt) or the "View: " comment of a JPEG picture, read without
// decoding any pixels, in bounded time and memory whatever the bytes are.
// Standard C++, libpng and POSIX only, so that a fuzz target builds it
// without Qt.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace picturetext {

// A view is at most 99 characters; a View text longer than this is refused
// without being read.
inline constexpr std::size_t longestView = 1000;
// The bytes read before the pixels at most: a saved picture has its texts in
// the first kilobyte.
inline constexpr std::size_t longestScan = 16 << 20;

// Bytes read through a buffer, from a file or from memory, up to
// longestScan in all.
class Source {
public:
    virtual ~Source() = default;
    // Reads exactly size bytes; false at the end of the bytes, past
    // longestScan or on an error (then error() is the errno).
    bool read(void* data, std::size_t size);
    bool skip(std::size_t size);
    int error() const { return m_error; }
    bool pastScan() const { return m_pastScan; }

protected:
    // Refills the buffer; false at the end of the bytes or on an error.
    virtual bool refill() = 0;
    const unsigned char* m_next = nullptr;
    const unsigned char* m_end = nullptr;
    int m_error = 0;

private:
    bool take(void* data, std::size_t size);
    std::size_t m_taken = 0;
    bool m_pastScan = false;
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

enum class Outcome {
    // text holds the view text.
    found,
    // The file cannot be opened or read: error holds the errno.
    unreadable,
    folder,
    // A FIFO, a device or a socket, which a read could wait on for ever.
    notRegularFile,
    // Neither a PNG nor a JPEG picture.
    notPicture,
    // A PNG or JPEG picture that breaks off or goes wrong before its
    // pixels: detail says how, e.g. "tEXt: chunk data is too large".
    damaged,
    noView,
    // The View text is longer than longestView: length is its length in
    // bytes.
    tooLong,
};

// How the text's bytes read as characters: tEXt and zTXt are Latin-1, iTXt
// and JPEG comments UTF-8.
enum class Encoding { latin1, utf8 };

struct Result {
    Outcome outcome = Outcome::noView;
    std::string text;
    Encoding encoding = Encoding::latin1;
    std::string detail;
    int error = 0;
    std::size_t length = 0;
};

// Reads the view text of the picture whose bytes source gives.
Result readViewText(Source& source);
// Opens the file at path (bytes, as the system takes them) without waiting:
// anything but a regular file is refused before a byte is read.
Result readViewText(const char* path);

} // namespace picturetext
