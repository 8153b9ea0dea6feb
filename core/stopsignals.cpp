#include "stopsignals.h"

#include "leftovers.h"
#include "localfiles.h"
#include "outsidetext.h"
#include "printing.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Lock-free atomics, safe in a signal handler, whichever thread it runs on:
// the thread that reads them later may have seen the stop only through a
// relaxed load of the flag.
std::atomic<bool> stopRequested{false};
std::atomic<int> stopSignal{0};
std::atomic<bool> endAtOnce{false};
std::atomic<bool> lineOpen{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The stop line as it is printed, whole, in one of two buffers: the one not
// shown is written, then shown, so that a signal handler on any thread reads
// a whole line.
struct StopLine {
    char bytes[1024];
    std::size_t size = 0;
};
StopLine stopLines[2];
std::atomic<int> shownStopLine{0};

void writeAll(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        size -= std::size_t(written);
    }
}

// The one way out of a stop: what the program made removed, the progress
// line ended, the stop line, and the end by the signal. Async-signal-safe.
[[noreturn]] void endBy(int signal)
{
    leftovers::removeAll();
    if (progressLineOpen())
        writeAll("\n", 1);
    const StopLine& line = stopLines[shownStopLine.load()];
    writeAll(line.bytes, line.size);
    std::signal(signal, SIG_DFL);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, signal);
    ::sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
    std::raise(signal);
    std::_Exit(128 + signal);
}

// On whichever thread the signal arrives: the one blocked in a write may be
// any. The first stop is the work's to see; a second one, or one that comes
// while a write may block for ever, ends the program here.
extern "C" void requestStop(int signal)
{
    if (endAtOnce.load() || stopRequested.load())
        endBy(signal);
    stopSignal.store(signal);
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
    // Children are waited for: an inherited SIGCHLD ignored would reap them
    // unseen and leave their end unknown.
    std::signal(SIGCHLD, SIG_DFL);
}

const std::atomic<bool>& stopFlag()
{
    return stopRequested;
}

void setEndAtOnce(bool atOnce)
{
    endAtOnce.store(atOnce);
}

void setProgressLineOpen(bool open)
{
    lineOpen.store(open);
}

bool progressLineOpen()
{
    return lineOpen.load();
}

void setStopLine(const QString& line)
{
    const int next = 1 - shownStopLine.load();
    StopLine& stopLine = stopLines[next];
    const QByteArray bytes = line.isEmpty() ? QByteArray() : errorLine(line).toLocal8Bit();
    stopLine.size = std::min(std::size_t(bytes.size()), sizeof stopLine.bytes);
    std::memcpy(stopLine.bytes, bytes.constData(), stopLine.size);
    shownStopLine.store(next);
}

void endByStopSignal()
{
    const int signal = stopSignal.load();
    endBy(signal != 0 ? signal : SIGTERM);
}

int runCommand(const std::function<int()>& command)
{
    int status = 1;
    try {
        status = command();
    } catch (const std::bad_alloc&) {
        status = failWith(systemError(ENOMEM));
    } catch (const std::system_error& error) {
        status = failWith(QString::fromLocal8Bit(error.what()));
    }
    // Whatever the command left on its way out (none, if every owner let
    // go of what it made) goes before the program does.
    leftovers::removeAll();
    return status;
}
