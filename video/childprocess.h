// A program run as a child that this process feeds on its standard input
// (ffmpeg): its standard error kept to its last few KiB, read from a pipe as
// it comes, and every write to it and every wait on it ended within a tenth
// of a second by a raised stop flag, which kills the child. Until it is
// reaped, the child is a leftover (leftovers.h): no way out leaves it running.
#pragma once

#include "leftovers.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <atomic>
#include <cstddef>
#include <functional>

#include <sys/types.h>

class ChildProcess {
public:
    ChildProcess() = default;
    // Kills and reaps a child still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program arguments[0] with the arguments, in a process group
    // of its own (Ctrl+C reaches this process, which then ends the child), its
    // standard output on /dev/null. False, with errorString() set, if it
    // cannot be started.
    bool start(const QList<QByteArray>& arguments);

    // Writes all of size bytes to the child's standard input. False if the
    // child stopped reading (errorString() says why) or stop was raised.
    bool write(const char* data, size_t size, const std::atomic<bool>* stop);

    // How the child ended.
    struct End {
        // It exited with status (0 to 255), or was ended by signal.
        bool exited = false;
        int status = 0;
        int signal = 0;
        // Stop was raised, and the child killed.
        bool stopped = false;
        // How it ended is unknown: waiting for it failed with this errno.
        int waitError = 0;
    };
    // Closes the child's standard input and waits for it to end, calling
    // waiting (if set) a few times a second meanwhile.
    End finish(const std::atomic<bool>* stop, const std::function<void()>& waiting = {});
    // Kills the child, if any, and reaps it.
    void kill();

    // Takes the lines of the child's standard error that filter returns true
    // for (what it reports as it goes) out of those kept for its reason.
    void setLineFilter(std::function<bool(QByteArrayView line)> filter)
    {
        m_lineFilter = std::move(filter);
    }

    // The last line the child wrote on its standard error, shown safely.
    QString lastErrorLine() const;
    // The first one, as it wrote it (its first few KiB), or empty if none.
    const QByteArray& firstErrorLine() const { return m_firstErrorLine; }
    // After a call that returned false: why.
    const QString& errorString() const { return m_error; }

private:
    bool readErrors();
    bool reap(bool block);
    void closeInput();

    pid_t m_pid = -1;
    int m_input = -1;
    int m_errors = -1;
    int m_status = 0;
    int m_waitError = 0;
    leftovers::Ticket m_ticket = -1;
    std::function<bool(QByteArrayView)> m_lineFilter;
    QByteArray m_errorTail;
    QByteArray m_firstErrorLine;
    QByteArray m_errorLine;
    QString m_error;
};
