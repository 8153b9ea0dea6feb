#include "rendercommand.h"

#include "atomicfile.h"
#include "commandline.h"
#include "commandrun.h"
#include "passthreads.h"
#include "progressline.h"
#include "render.h"
#include "workestimate.h"

#include <QCoreApplication>

#include <unistd.h>

int runRender(int argc, char* argv[], const CommandLine& commandLine)
{
    startCommand();
    // Qt's set-up of the process: its locale, by which file names are encoded.
    const QCoreApplication app(argc, argv);

    const RenderJob& job = commandLine.renderJob();
    PassThreads threads;
    threads.setThreads(commandLine.threads());
    Render render(threads);
    AtomicFile file(commandLine.renderFile());
    // Before the check below: a signal that came before has been seen there.
    setEndAtOnce(file.writesInPlace());
    Render::Outcome outcome = Render::Outcome::stopped;
    if (!stopFlag()) {
        if (!file.open())
            return cannotWrite(file.fileName(), file.errorString());
        ProgressLine progress(commandLine.quiet() ? -1 : STDERR_FILENO, job.height);
        setProgressShown(progress.shown());
        // Only a line that is shown needs the time left, and so the estimate.
        if (progress.shown() && !stopFlag())
            progress.setWork(WorkEstimate::sample(job, threads));
        outcome = render.run(
            job, {.png = &file}, [&](int rows) { progress.update(rows); }, &stopFlag());
        const bool written = outcome == Render::Outcome::done && file.commit();
        if (written)
            progress.finish(job.height);
        else
            progress.stop();
        setProgressShown(false);
        if (outcome == Render::Outcome::done && !written)
            return cannotWrite(file.fileName(), file.errorString());
    }
    file.discard();
    return renderEnd(outcome, file.fileName(), render.errorString());
}
