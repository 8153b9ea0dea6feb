#include "localfiles.h"

#include "outsidetext.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString lastError()
{
    return systemError(errno);
}

} // namespace

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

QString inFolder(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

std::optional<QString> openRegularFile(QFile& file, const QString& name)
{
    const QByteArray path = fileNameToBytes(name);
    const auto notRegular = [](const struct stat& status) {
        return S_ISDIR(status.st_mode) ? systemError(EISDIR)
                                       : QStringLiteral("it is not a regular file");
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

TemporaryFile makeTemporaryFile(const QString& folder, const QString& prefix)
{
    TemporaryFile temporary;
    QByteArray path = fileNameToBytes(inFolder(folder, prefix)) + "XXXXXX";
    temporary.fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (temporary.fd < 0)
        temporary.error = lastError();
    else
        temporary.name = fileNameFromBytes(path);
    return temporary;
}
