#include "rendercommand.h"

#include "commandline.h"
#include "enginebinding.h"
#include "passthreads.h"
#include "progressline.h"
#include "render.h"
#include "workestimate.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

#include <atomic>
#include <csignal>
#include <memory>

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

// A regular file, new or old, is written under a temporary name beside it
// and renamed into place when complete. Anything else that exists, such as a
// device (/dev/stdout) or a named pipe, is written directly: a rename would
// replace it.
std::unique_ptr<QFileDevice> outputFile(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile() && !info.isDir())
        return std::make_unique<QFile>(fileName);
    return std::make_unique<QSaveFile>(fileName);
}

int fail(const QString& line)
{
    CommandLine::printError(line);
    return 1;
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

    const QString& fileName = commandLine.renderFile();
    const RenderJob& job = commandLine.renderJob();
    PassThreads threads;
    threads.setThreads(commandLine.threads());
    Render render(engine, threads);
    Render::Outcome outcome = Render::Outcome::stopped;
    {
        const std::unique_ptr<QFileDevice> file = outputFile(fileName);
        if (!file->open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot write '%1': %2").arg(fileName, file->errorString()));
        auto* saveFile = qobject_cast<QSaveFile*>(file.get());
        ProgressLine progress(commandLine.quiet() ? -1 : STDERR_FILENO, job.height);
        // Only a line that is shown needs the time left, and so the estimate.
        if (progress.shown() && !stopRequested)
            progress.setWork(WorkEstimate::sample(engine, job, threads));
        if (!stopRequested)
            outcome = render.run(
                job, *file, [&](int rows) { progress.update(rows); }, &stopRequested);
        if (outcome == Render::Outcome::done && !(saveFile ? saveFile->commit() : file->flush()))
            return fail(QStringLiteral("cannot write '%1': %2").arg(fileName, file->errorString()));
        if (outcome == Render::Outcome::done) {
            progress.finish(job.height);
        } else {
            progress.stop();
            if (saveFile)
                saveFile->cancelWriting();
        }
    } // an unfinished temporary file is removed here

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
                        .arg(fileName));
    case Render::Outcome::writeFailed:
        return fail(QStringLiteral("cannot write '%1': %2").arg(fileName, render.errorString()));
    }
    return 1;
}
