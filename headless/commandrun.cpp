#include "commandrun.h"

#include "localfiles.h"
#include "outsidetext.h"
#include "printing.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<bool> stopRequested{false};
volatile std::sig_atomic_t stopSignal = 0;
volatile std::sig_atomic_t endAtOnce = 0;
volatile std::sig_atomic_t progressShown = 0;
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

QString& stopLine()
{
    static QString line;
    return line;
}

// On whichever thread the signal arrives: the one blocked in a write may be
// any.
extern "C" void requestStop(int signal)
{
    if (endAtOnce) {
        if (progressShown) {
            [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, "\n", 1);
        }
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    stopSignal = signal;
    stopRequested.store(true);
}

} // namespace

void startCommand()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) == -1)
            break;
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : stopSignals)
        sigaction(signal, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

const std::atomic<bool>& stopFlag()
{
    return stopRequested;
}

void setEndAtOnce(bool atOnce)
{
    endAtOnce = atOnce;
}

void setProgressShown(bool shown)
{
    progressShown = shown;
}

void setStopLine(const QString& line)
{
    stopLine() = line;
}

void endByStopSignal()
{
    if (!stopLine().isEmpty())
        printErrorLine(stopLine());
    if (stopSignal == 0)
        std::_Exit(1);
    std::signal(stopSignal, SIG_DFL);
    std::raise(stopSignal);
    std::_Exit(1);
}

int runCommand(const std::function<int()>& command)
{
    try {
        return command();
    } catch (const std::bad_alloc&) {
        return failWith(systemError(ENOMEM));
    } catch (const std::system_error& error) {
        return failWith(QString::fromLocal8Bit(error.what()));
    }
}

int failWith(const QString& line, int status)
{
    printErrorLine(line);
    return status;
}

int refuseWith(const QString& line)
{
    return failWith(line, 2);
}

QString quoted(const QString& fileName)
{
    return QLatin1Char('\'') + shownText(fileName) + QLatin1Char('\'');
}

int cannotWrite(const QString& fileName, const QString& reason, int status)
{
    return failWith(QStringLiteral("cannot write %1: %2").arg(quoted(fileName), reason), status);
}

int renderEnd(Render::Outcome outcome, const QString& fileName, const QString& writeError)
{
    switch (outcome) {
    case Render::Outcome::done:
        return 0;
    case Render::Outcome::stopped:
        endByStopSignal();
    case Render::Outcome::writeFailed:
        return cannotWrite(fileName, writeError);
    }
    return 1;
}
