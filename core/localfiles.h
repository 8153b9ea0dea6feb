// Files and folders by names that keep their bytes (fileNameFromBytes):
// Qt's own file classes encode a name as UTF-8 and would lose the bytes of
// one that is not.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

enum class FileKind { missing, folder, regular, other };
// Whether a symbolic link at a name is followed, or taken as what it is:
// something that is not a regular file.
enum class Links { follow, keep };
// What name leads to.
FileKind fileKind(const QString& name, Links links = Links::follow);

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

// Makes a new, empty file in folder, named prefix and six random characters,
// private to its owner and open for writing: its name and descriptor, which
// the caller closes, or the reason it cannot be made.
struct TemporaryFile {
    QString name;
    int fd = -1;
    std::optional<QString> error;
};
TemporaryFile makeTemporaryFile(const QString& folder, const QString& prefix);

// The system's text for errno value error.
QString systemError(int error);
