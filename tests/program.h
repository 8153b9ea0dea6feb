// Test helpers: the built program run from outside, with no display, and
// what it left behind.
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <fcntl.h>
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

inline Outcome run(const QStringList& arguments, const QString& program = quenthar())
{
    QProcess process;
    start(process, program, arguments);
    return finish(process);
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
inline Outcome runOnTerminal(const QStringList& arguments)
{
    QString command = QLatin1Char('\'') + quenthar() + QLatin1Char('\'');
    for (QString argument : arguments)
        command += QStringLiteral(" '%1'").arg(
            argument.replace(QLatin1Char('\''), QLatin1String("'\\''")));
    return run({"-qec", command, "/dev/null"}, QStringLiteral("script"));
}
