// Files and folders by names that keep their bytes (fileNameFromBytes):
// Qt's own file classes encode a name as UTF-8 and would lose the bytes of
// one that is not.
#pragma once

#include "leftovers.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

#include <sys/types.h>

enum class FileKind { missing, folder, regular, other };
// Whether a symbolic link at a name is followed, or taken as what it is:
// something that is not a regular file.
enum class Links { follow, keep };
// What name leads to.
FileKind fileKind(const QString& name, Links links = Links::follow);

// The size in bytes of the file name leads to, or 0 if there is none.
qint64 fileSize(const QString& name);

// name inside folder.
QString inFolder(const QString& folder, const QString& name);

// Opens a regular file for reading into file; anything else is refused
// without an open that could block on a FIFO or act on a device. Returns the
// reason of a failure, or none.
std::optional<QString> openRegularFile(QFile& file, const QString& name);

// The names in folder, or the reason it cannot be read.
struct FolderEntries {
    QStringList names;
    std::optional<QString> error;
};
FolderEntries folderEntries(const QString& folder);

// Makes a new, empty file in folder (bytes, as the system takes them), named
// prefix, a dot and random characters, with the permissions mode less the
// umask from the start, open for writing and registered as a leftover before
// it exists, so that no way out leaves it behind: its path, descriptor and
// ticket, which the caller closes and lets go of once the file is the user's
// or removed, or the errno why it cannot be made.
struct TemporaryFile {
    QByteArray path;
    int fd = -1;
    leftovers::Ticket ticket = -1;
    int error = 0;
};
TemporaryFile makeTemporaryFile(const QByteArray& folder, const QByteArray& prefix,
                                mode_t mode = 0600);

// Makes the folder unless one is there, registered as a leftover folder
// (removed on the way out if nothing goes into it): why not, or none.
std::optional<QString> makeFolder(const QString& folder);

// Why something that must be a regular file cannot be used: "it is not a
// regular file".
QString notRegularFile();

// The system's text for errno value error.
QString systemError(int error);
