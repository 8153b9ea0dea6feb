#include "atomicfile.h"

#include "localfiles.h"
#include "outsidetext.h"

#include <QRandomGenerator>

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
// Tries at a free temporary name before giving up.
constexpr int temporaryTries = 100;

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

bool AtomicFile::openTemporary()
{
    // The temporary file goes beside the file the name finally leads to, so
    // that the rename replaces that file and leaves a symbolic link alone.
    struct stat link {};
    if (m_links == Links::follow && ::lstat(m_target.constData(), &link) == 0 &&
        S_ISLNK(link.st_mode)) {
        if (char* resolved = ::realpath(m_target.constData(), nullptr)) {
            m_target = resolved;
            std::free(resolved);
        }
    }
    struct stat earlier {};
    const bool exists = (m_links == Links::follow ? ::stat(m_target.constData(), &earlier)
                                                  : ::lstat(m_target.constData(), &earlier)) == 0;
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
    // Hidden, and short enough for a name of the longest length allowed.
    const QByteArray name = fullName.left(NAME_MAX - 16);
    for (int attempt = 0; attempt < temporaryTries; ++attempt) {
        const QByteArray temporary = folder + "/." + name + '.' +
                                     QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // 0666 less the umask: the mode a new file gets.
        m_fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_temporary = temporary;
            break;
        }
        if (errno != EEXIST && errno != EINTR)
            return fail(errno);
    }
    if (m_fd < 0)
        return fail(EEXIST);
    if (exists && ::fchmod(m_fd, earlier.st_mode & 07777) != 0)
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
}
