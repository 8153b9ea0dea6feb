// Test helpers: the built program run from outside, with no display, and
// what it left behind.
#pragma once

#include "viewtext.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

struct Outcome {
    int status = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;

    // Exactly one line on stderr and nothing on stdout.
    bool oneLine() const { return out.isEmpty() && err.count('\n') == 1 && err.endsWith('\n'); }
};

// A view as the command line takes it.
inline QString viewText(const View& view)
{
    return QString::fromStdString(formatView(view));
}

inline QString quenthar()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/Quenthar");
}

inline QProcessEnvironment noDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

inline Outcome finish(QProcess& process)
{
    if (!process.waitForFinished(120000))
        process.kill();
    process.waitForFinished();
    return {process.exitCode(), process.exitStatus() == QProcess::CrashExit,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

inline void start(QProcess& process, const QString& program, const QStringList& arguments)
{
    if (process.processEnvironment().isEmpty())
        process.setProcessEnvironment(noDisplay());
    process.start(program, arguments);
    QVERIFY(process.waitForStarted());
}

inline Outcome run(const QStringList& arguments, const QString& program = quenthar(),
                   const QProcessEnvironment& environment = noDisplay())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    start(process, program, arguments);
    return finish(process);
}

inline Outcome runIn(const QString& folder, const QStringList& arguments)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    start(process, quenthar(), arguments);
    return finish(process);
}

// A bad command line's end: status 2, and one line on stderr that names the
// program and holds line.
inline bool refusedWith(const Outcome& outcome, const QString& line)
{
    return outcome.status == 2 && outcome.oneLine() && outcome.err.startsWith("Quenthar: ") &&
           outcome.err.contains(line.toUtf8());
}

// Whether a program's peak memory is its own: a sanitizer's shadow memory
// comes on top.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool memoryMeasured = false;
#else
inline constexpr bool memoryMeasured = true;
#endif

// The program's run and its peak resident memory in KiB, as GNU time
// measures it: getrusage would count the suite's own, which a child's peak
// starts from.
inline Outcome runMeasured(const QStringList& arguments, long& peakKiB,
                           const QProcessEnvironment& environment = noDisplay())
{
    QTemporaryFile peak;
    if (!peak.open())
        return {};
    const Outcome outcome =
        run(QStringList{"-q", "-f", "%M", "-o", peak.fileName(), quenthar()} + arguments,
            QStringLiteral("/usr/bin/time"), environment);
    peakKiB = peak.readAll().trimmed().toLong();
    return outcome;
}

// A command line run by the shell, "$0" being the program and "$1" and on the
// arguments, in folder.
inline Outcome runShell(const QString& folder, const char* command,
                        const QStringList& arguments = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    start(process, QStringLiteral("/bin/sh"),
          QStringList{"-c", QString::fromLatin1(command), quenthar()} + arguments);
    return finish(process);
}

inline QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether a pseudo-terminal can be opened here: a chroot without /dev/pts
// cannot give the program one.
inline bool canOpenTerminal()
{
    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0)
        return false;
    ::close(terminal);
    return true;
}

// The program run on a terminal of its own by script, which passes on what
// the program shows there.
inline Outcome runOnTerminal(const QStringList& arguments,
                             const QProcessEnvironment& environment = noDisplay())
{
    QString command = QLatin1Char('\'') + quenthar() + QLatin1Char('\'');
    for (QString argument : arguments)
        command += QStringLiteral(" '%1'").arg(
            argument.replace(QLatin1Char('\''), QLatin1String("'\\''")));
    return run({"-qec", command, "/dev/null"}, QStringLiteral("script"), environment);
}

// Waits until condition holds, looking at it every half millisecond, for an
// event (a file appears, a process opens one), never for a fixed time. False
// if it did not hold within timeout ms.
template <typename Condition> bool waitFor(Condition condition, int timeout = 60000)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > timeout)
            return false;
        QCoreApplication::processEvents();
        ::usleep(500);
    }
    return true;
}

// The children of the process pid, from /proc.
inline QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QByteArray& child :
             contents(tasks + QLatin1Char('/') + task + QStringLiteral("/children")).split(' '))
            if (!child.trimmed().isEmpty())
                children.append(child.trimmed().toLongLong());
    return children;
}

// Whether the process pid has a file open whose path holds part.
inline bool hasOpen(qint64 pid, const QString& part)
{
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd :
         QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFile::symLinkTarget(fds + QLatin1Char('/') + fd).contains(part))
            return true;
    return false;
}

// The state of the process pid as /proc shows it: 'R', 'S', 'T' (stopped),
// 'Z' and the like, or 0 once it is gone.
inline char processState(qint64 pid)
{
    const QByteArray stat = contents(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype state = stat.lastIndexOf(')') + 2;
    return state > 1 && state < stat.size() ? stat[state] : 0;
}

// Whether the process pid runs (a zombie has ended).
inline bool isRunning(qint64 pid)
{
    const char state = processState(pid);
    return state != 0 && state != 'Z';
}

// Runs the process pid a few hundred microseconds at a time, stopped in
// between, until condition holds while it is stopped; it is left stopped
// then (true), or running if it ended or timeout ms passed. For a moment
// too short to be caught while the process runs freely.
template <typename Condition> bool stepUntil(qint64 pid, Condition condition, int timeout = 60000)
{
    QElapsedTimer waited;
    waited.start();
    ::kill(pid_t(pid), SIGSTOP);
    for (;;) {
        while (processState(pid) != 'T')
            if (processState(pid) == 0 || processState(pid) == 'Z' || waited.elapsed() > timeout)
                return false;
        if (condition())
            return true;
        if (waited.elapsed() > timeout) {
            ::kill(pid_t(pid), SIGCONT);
            return false;
        }
        ::kill(pid_t(pid), SIGCONT);
        ::usleep(200);
        ::kill(pid_t(pid), SIGSTOP);
    }
}

// Whether a thread of the process pid is blocked in the system call number.
inline bool inSyscall(qint64 pid, long number)
{
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (contents(tasks + QLatin1Char('/') + task + QStringLiteral("/syscall"))
                .startsWith(QByteArray::number(qlonglong(number)) + ' '))
            return true;
    return false;
}

// Sends signal to a process that is held stopped meanwhile, so that the
// signal lands where the process stood when it was stopped. Not for a
// program run by script, which stops itself for good when its child is
// stopped.
inline void signalWhereItStands(qint64 pid, int signal)
{
    ::kill(pid_t(pid), SIGSTOP);
    ::kill(pid_t(pid), signal);
    ::kill(pid_t(pid), SIGCONT);
}

// The files and folders under folder whose names begin with '.', hidden
// ones included, as paths relative to it.
inline QStringList hiddenFiles(const QString& folder)
{
    QStringList hidden;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (it.fileName().startsWith(QLatin1Char('.')))
            hidden.append(QDir(folder).relativeFilePath(path));
    }
    return hidden;
}
