// Test helper: a disk that fills up, as a small tmpfs mounted over a folder
// for the helper's lifetime. Mounting needs root.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <unistd.h>

class FullDisk {
public:
    ~FullDisk()
    {
        if (!m_folder.isEmpty())
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }

    // Mounts a 256 KiB tmpfs over folder; empty, or why it cannot.
    QString mount(const QString& folder)
    {
        if (::geteuid() != 0)
            return QStringLiteral("a tmpfs can be mounted by root alone");
        if (::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=256k") != 0)
            return QStringLiteral("cannot mount a tmpfs: ") +
                   QString::fromLocal8Bit(strerror(errno));
        m_folder = folder;
        return {};
    }

    // Fills the disk with the file "fill", leaving about room bytes free.
    bool fill(qint64 room = 0)
    {
        QFile file(QDir(m_folder).filePath(QStringLiteral("fill")));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'f');
        while (file.write(block) == block.size() && file.flush()) {
        }
        file.close();
        return file.resize(qMax<qint64>(0, file.size() - room));
    }

private:
    QString m_folder;
};
