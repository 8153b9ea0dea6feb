#include "localfiles.h"

#include "outsidetext.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Tries at a free temporary name before giving up.
constexpr int temporaryTries = 100;

QString lastError()
{
    return systemError(errno);
}

} // namespace

QString notRegularFile()
{
    return QStringLiteral("it is not a regular file");
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

FileKind fileKind(const QString& name, Links links)
{
    const QByteArray path = fileNameToBytes(name);
    struct stat status {};
    if ((links == Links::follow ? ::stat(path.constData(), &status)
                                : ::lstat(path.constData(), &status)) != 0)
        return FileKind::missing;
    if (S_ISDIR(status.st_mode))
        return FileKind::folder;
    return S_ISREG(status.st_mode) ? FileKind::regular : FileKind::other;
}

qint64 fileSize(const QString& name)
{
    struct stat status {};
    return ::stat(fileNameToBytes(name).constData(), &status) == 0 ? qint64(status.st_size) : 0;
}

QString inFolder(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

std::optional<QString> openRegularFile(QFile& file, const QString& name)
{
    const QByteArray path = fileNameToBytes(name);
    const auto notRegular = [](const struct stat& status) {
        return S_ISDIR(status.st_mode) ? systemError(EISDIR) : notRegularFile();
    };
    // Checked before the open, which could wait on a FIFO, and again after,
    // in case the name was replaced between.
    struct stat status {};
    if (::stat(path.constData(), &status) != 0)
        return lastError();
    if (!S_ISREG(status.st_mode))
        return notRegular(status);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return lastError();
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const QString error = S_ISREG(status.st_mode) ? lastError() : notRegular(status);
        ::close(fd);
        return error;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return std::nullopt;
}

FolderEntries folderEntries(const QString& folder)
{
    FolderEntries entries;
    DIR* dir = ::opendir(fileNameToBytes(folder).constData());
    if (!dir) {
        entries.error = lastError();
        return entries;
    }
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            entries.names.append(fileNameFromBytes(name));
        errno = 0;
    }
    if (errno != 0)
        entries.error = lastError();
    ::closedir(dir);
    return entries;
}

TemporaryFile makeTemporaryFile(const QByteArray& folder, const QByteArray& prefix, mode_t mode)
{
    TemporaryFile temporary;
    for (int attempt = 0; attempt < temporaryTries; ++attempt) {
        const QByteArray path = folder + '/' + prefix + '.' +
                                QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // Registered first: a stop that comes before the open removes nothing,
        // one that comes after removes the file.
        temporary.ticket = leftovers::addFile(path.constData());
        if (temporary.ticket < 0) {
            temporary.error = path.size() >= PATH_MAX ? ENAMETOOLONG : EMFILE;
            return temporary;
        }
        temporary.fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (temporary.fd >= 0) {
            temporary.path = path;
            return temporary;
        }
        temporary.error = errno;
        leftovers::release(temporary.ticket);
        temporary.ticket = -1;
        if (temporary.error != EEXIST && temporary.error != EINTR)
            return temporary;
    }
    return temporary;
}

std::optional<QString> makeFolder(const QString& folder)
{
    if (fileKind(folder) == FileKind::folder)
        return std::nullopt;
    const QByteArray path = fileNameToBytes(folder);
    if (::mkdir(path.constData(), 0777) != 0) {
        // Something that is no folder is there, or a link that cannot be
        // followed.
        const int error = errno;
        struct stat status {};
        if (error != EEXIST)
            return systemError(error);
        if (::stat(path.constData(), &status) == 0)
            return QStringLiteral("it is not a folder");
        return errno == ENOENT ? QStringLiteral("it is a symbolic link to nothing")
                               : systemError(errno);
    }
    leftovers::addFolder(path.constData());
    return std::nullopt;
}
