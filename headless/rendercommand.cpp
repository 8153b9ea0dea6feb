#include "rendercommand.h"

#include "atomicfile.h"
#include "commandline.h"
#include "enginebinding.h"
#include "outsidetext.h"
#include "passthreads.h"
#include "progressline.h"
#include "render.h"
#include "workestimate.h"

#include <QCoreApplication>

#include <atomic>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<bool> stopRequested{false};
volatile std::sig_atomic_t stopSignal = 0;
// Set while the file is written in place: a write to it may block for ever,
// and there is no temporary file to remove, so a signal ends the program at
// once, on whichever thread it arrives.
volatile std::sig_atomic_t endAtOnce = 0;
// Set while the progress line is shown, which a signal then ends.
volatile std::sig_atomic_t progressShown = 0;
constexpr int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

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

void catchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (int signal : stopSignals)
        sigaction(signal, &action, nullptr);
    // A pipe whose reader has gone fails a write instead of ending the
    // program.
    std::signal(SIGPIPE, SIG_IGN);
}

// A standard stream that is closed would be the descriptor of the next file
// opened, and a message meant for it would land in the picture.
void keepStandardStreamsOpen()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) == -1 && open("/dev/null", O_RDWR) == -1)
            break;
}

int fail(const QString& line)
{
    CommandLine::printError(line);
    return 1;
}

int cannotWrite(const AtomicFile& file, const QString& reason)
{
    return fail(QStringLiteral("cannot write '%1': %2").arg(shownText(file.fileName()), reason));
}

} // namespace

int runRender(int argc, char* argv[], const CommandLine& commandLine)
{
    keepStandardStreamsOpen();
    catchStopSignals();
    // For the program's folder, where the engine is looked for first.
    const QCoreApplication app(argc, argv);

    EngineBinding binding;
    const EngineFunction engine = binding.resolve();
    if (!engine)
        return fail(QStringLiteral("cannot load the function Engine of %1: %2")
                        .arg(binding.fileName(), binding.errorString()));

    const RenderJob& job = commandLine.renderJob();
    PassThreads threads;
    threads.setThreads(commandLine.threads());
    Render render(engine, threads);
    AtomicFile file(commandLine.renderFile());
    // Before the check below: a signal that came before has been seen there.
    endAtOnce = file.writesInPlace();
    Render::Outcome outcome = Render::Outcome::stopped;
    if (!stopRequested) {
        if (!file.open())
            return cannotWrite(file, file.errorString());
        ProgressLine progress(commandLine.quiet() ? -1 : STDERR_FILENO, job.height);
        progressShown = progress.shown();
        // Only a line that is shown needs the time left, and so the estimate.
        if (progressShown && !stopRequested)
            progress.setWork(WorkEstimate::sample(engine, job, threads));
        outcome = render.run(
            job, file, [&](int rows) { progress.update(rows); }, &stopRequested);
        const bool written = outcome == Render::Outcome::done && file.commit();
        if (written)
            progress.finish(job.height);
        else
            progress.stop();
        progressShown = false;
        if (outcome == Render::Outcome::done && !written)
            return cannotWrite(file, file.errorString());
    }
    file.discard();

    switch (outcome) {
    case Render::Outcome::done:
        return 0;
    case Render::Outcome::stopped:
        // Ends as the signal would have ended it.
        std::signal(stopSignal, SIG_DFL);
        std::raise(stopSignal);
        return 1;
    case Render::Outcome::badCount:
        return fail(QStringLiteral("%1 returned an invalid count (%2); '%3' was not written")
                        .arg(binding.fileName())
                        .arg(render.badCount())
                        .arg(shownText(file.fileName())));
    case Render::Outcome::writeFailed:
        return cannotWrite(file, render.errorString());
    }
    return 1;
}
