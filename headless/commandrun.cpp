#include "commandrun.h"

#include "commandline.h"
#include "enginebinding.h"

#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<bool> stopRequested{false};
volatile std::sig_atomic_t stopSignal = 0;
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void requestStop(int signal)
{
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

void endByStopSignal()
{
    if (stopSignal == 0)
        std::_Exit(1);
    std::signal(stopSignal, SIG_DFL);
    std::raise(stopSignal);
    std::_Exit(1);
}

EngineFunction bindEngine(EngineBinding& binding)
{
    const EngineFunction engine = binding.resolve();
    if (!engine)
        failWith(QStringLiteral("cannot load the function Engine of %1: %2")
                     .arg(binding.fileName(), binding.errorString()));
    return engine;
}

int failWith(const QString& line, int status)
{
    CommandLine::printError(line);
    return status;
}
