#include "atomicfile.h"

#include "localfiles.h"
#include "outsidetext.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Small writes (libpng writes each chunk's length, type and checksum on
// their own) are gathered into writes of this size.
constexpr qsizetype bufferSize = qsizetype(1) << 16;

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QByteArray folderOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : name.left(qMax(slash, qsizetype(1)));
}

} // namespace

AtomicFile::AtomicFile(const QString& fileName, Links links)
    : m_fileName(fileName), m_links(links), m_target(fileNameToBytes(fileName))
{
    struct stat file {};
    const int found = links == Links::follow ? ::stat(m_target.constData(), &file)
                                             : ::lstat(m_target.constData(), &file);
    if (found != 0)
        return; // a new file, or one open() will fail on
    struct stat standardOutput {};
    if (::fstat(STDOUT_FILENO, &standardOutput) == 0 && sameFile(file, standardOutput))
        m_mode = Mode::standardOutput;
    else if (!S_ISREG(file.st_mode) && !S_ISDIR(file.st_mode))
        m_mode = Mode::direct;
}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::fail(int error)
{
    m_error = error ? error : EIO;
    discard();
    return false;
}

QString AtomicFile::errorString() const
{
    return systemError(m_error);
}

bool AtomicFile::open()
{
    m_error = 0;
    m_buffer.clear();
    m_buffer.reserve(bufferSize);
    switch (m_mode) {
    case Mode::standardOutput:
        m_fd = STDOUT_FILENO;
        return true;
    case Mode::direct:
        do
            m_fd = ::open(m_target.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC |
                                                    (m_links == Links::keep ? O_NOFOLLOW : 0));
        while (m_fd < 0 && errno == EINTR);
        return m_fd >= 0 || fail(errno);
    case Mode::replace:
        break;
    }
    return openTemporary();
}

namespace {

// The name a symbolic link at path finally leads to, followed one link at a
// time so that a link to a file not made yet leads to its name too; path
// itself if it is no link. Empty, with errno set, for a loop.
QByteArray followedLinks(QByteArray path)
{
    // As many links as the system follows in one path.
    constexpr int mostLinks = 40;
    for (int link = 0; link < mostLinks; ++link) {
        struct stat status {};
        if (::lstat(path.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            return path;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t size = ::readlink(path.constData(), target.data(), size_t(target.size()));
        if (size < 0)
            return path;
        target.truncate(size);
        path = target.startsWith('/') ? target : folderOf(path) + '/' + target;
    }
    errno = ELOOP;
    return {};
}

} // namespace

bool AtomicFile::openTemporary()
{
    // The temporary file goes beside the file the name finally leads to, so
    // that the rename replaces that file (or makes it, for a link to a file
    // not made yet) and leaves a symbolic link alone.
    if (m_links == Links::follow) {
        m_target = followedLinks(m_target);
        if (m_target.isEmpty())
            return fail(errno);
    }
    struct stat earlier {};
    const bool exists = ::lstat(m_target.constData(), &earlier) == 0;
    if (exists && S_ISDIR(earlier.st_mode))
        return fail(EISDIR);
    // A file the user may not write is not replaced either.
    if (exists && ::access(m_target.constData(), W_OK) != 0)
        return fail(errno);

    const QByteArray folder = folderOf(m_target);
    const QByteArray fullName = m_target.mid(m_target.lastIndexOf('/') + 1);
    const long longestName = ::pathconf(folder.constData(), _PC_NAME_MAX);
    if (fullName.size() > (longestName > 0 ? longestName : NAME_MAX))
        return fail(ENAMETOOLONG);
    // Hidden, and short enough for a name of the longest length allowed. It
    // has the earlier file's permissions from the start (a private file is
    // never readable by others on the way), or those of a new file.
    const mode_t mode = exists ? earlier.st_mode & 07777 : 0666;
    TemporaryFile temporary = makeTemporaryFile(folder, '.' + fullName.left(NAME_MAX - 16), mode);
    if (temporary.fd < 0)
        return fail(temporary.error);
    m_fd = temporary.fd;
    m_temporary = temporary.path;
    m_ticket = temporary.ticket;
    // The umask may have taken away what the earlier file had.
    if (exists && ::fchmod(m_fd, mode) != 0)
        return fail(errno);
    return true;
}

bool AtomicFile::writeAll(const char* data, qsizetype size)
{
    bool cutShort = false;
    while (size > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        // A write cut short is tried again for the rest, which fails with
        // the reason; one that writes nothing twice in a row gives none.
        if (written == 0) {
            if (cutShort)
                return fail(EIO);
            cutShort = true;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool AtomicFile::flushBuffer()
{
    const bool written = writeAll(m_buffer.constData(), m_buffer.size());
    m_buffer.clear();
    return written;
}

bool AtomicFile::write(const char* data, qsizetype size)
{
    if (m_fd < 0)
        return fail(m_error ? m_error : EBADF);
    if (m_buffer.size() + size > bufferSize && !flushBuffer())
        return false;
    if (size >= bufferSize)
        return writeAll(data, size);
    m_buffer.append(data, size);
    return true;
}

bool AtomicFile::commit()
{
    if (m_fd < 0)
        return fail(m_error ? m_error : EBADF);
    if (!flushBuffer())
        return false;
    switch (m_mode) {
    case Mode::replace:
        return finishReplace();
    case Mode::standardOutput: {
        // Standard output stays open; a file behind it is synced.
        struct stat file {};
        if (::fstat(m_fd, &file) == 0 && S_ISREG(file.st_mode) && ::fsync(m_fd) != 0)
            return fail(errno);
        m_fd = -1;
        return true;
    }
    case Mode::direct: {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 && errno != EINTR)
            return fail(errno);
        return true;
    }
    }
    return false;
}

bool AtomicFile::finishReplace()
{
    if (::fsync(m_fd) != 0)
        return fail(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        return fail(errno);
    if (::rename(m_temporary.constData(), m_target.constData()) != 0)
        return fail(errno);
    m_temporary.clear();
    leftovers::release(m_ticket);
    m_ticket = -1;
    // The rename itself made lasting. It has happened whatever this says.
    const int folderFd = ::open(folderOf(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

void AtomicFile::discard()
{
    m_buffer.clear();
    if (m_fd >= 0 && m_mode != Mode::standardOutput)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temporary.isEmpty()) {
        ::unlink(m_temporary.constData());
        m_temporary.clear();
    }
    leftovers::release(m_ticket);
    m_ticket = -1;
}
