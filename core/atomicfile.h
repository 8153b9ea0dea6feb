// A file written whole or not at all. A regular file, new or existing, is
// written to a hidden temporary file beside it, with its permissions from the
// start, and renamed over it only once every write, the flush, fsync and
// close have succeeded; until then, and after any failure or stop, the
// earlier file stays as it was and nothing is left beside it (the temporary
// file is a leftover until then, leftovers.h). Anything else that exists (a device, a FIFO) is
// written directly, and the process's own standard output (/dev/stdout, /proc/self/fd/1, or its
// file by name) is written in place on descriptor 1: never truncated, replaced or closed, and
// appended to if it was opened so.
//
// Failures carry the system's reason, e.g. "No space left on device". A
// write blocked on a pipe or a FIFO is not given up: a signal meant to end it
// must end the program (see writesInPlace()). A name longer than its folder
// allows is refused at open(), before any work.
//
// A symbolic link at the name is followed, and stays a link to the file
// written, made where the link leads if it is not there yet; with Links::keep (a movie's frames, in
// a folder others may write into) it is never followed: it counts as something that is not a
// regular file, and the rename replaces whatever has the name by then.
#pragma once

#include "bytesink.h"
#include "localfiles.h"

#include <QByteArray>
#include <QString>

class AtomicFile : public ByteSink {
public:
    // Decides how fileName will be written; opens nothing.
    explicit AtomicFile(const QString& fileName, Links links = Links::follow);
    // Discards what was not committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // True if the file itself is written, not a temporary file: open() and
    // write() may then block for as long as a FIFO has no reader or a pipe's
    // reader stalls, and an interrupted write leaves nothing to remove.
    bool writesInPlace() const { return m_mode != Mode::replace; }

    bool open();
    // Buffered: a failure may show only at a later write or at commit().
    bool write(const char* data, qsizetype size) override;
    // Writes what is buffered and makes the file final: renamed into place,
    // or closed. On failure the temporary file is removed.
    bool commit();
    // Drops the temporary file, if any. Safe to call more than once.
    void discard();

    const QString& fileName() const { return m_fileName; }
    // The temporary file's name while it is open, for a writer of its own
    // (ffmpeg); commit() then finishes what that writer wrote.
    QByteArray temporaryName() const { return m_temporary; }
    // After a call that returned false: why, as the system says it.
    QString errorString() const override;

private:
    enum class Mode { replace, direct, standardOutput };

    bool fail(int error);
    bool flushBuffer();
    bool writeAll(const char* data, qsizetype size);
    bool openTemporary();
    bool finishReplace();

    QString m_fileName;
    Links m_links;
    Mode m_mode = Mode::replace;
    int m_fd = -1;
    int m_error = 0;
    QByteArray m_target;    // the name the file takes, symbolic links followed
    QByteArray m_temporary; // the temporary file beside it, while it exists
    QByteArray m_buffer;
    leftovers::Ticket m_ticket = -1; // the temporary file's, while it exists
};
