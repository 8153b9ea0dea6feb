#include "rendercommand.h"

#include "atomicfile.h"
#include "passthreads.h"
#include "printing.h"
#include "progressline.h"
#include "render.h"
#include "stopsignals.h"
#include "workestimate.h"

#include <QCoreApplication>

#include <unistd.h>

int runRender(int argc, char* argv[], const RenderCommand& command, int threadCount)
{
    startCommand();
    // Qt's set-up of the process: its locale, by which file names are encoded.
    const QCoreApplication app(argc, argv);

    const RenderJob& job = command.job;
    PassThreads threads;
    threads.setThreads(threadCount);
    Render render(threads);
    AtomicFile file(command.file);
    // Before the check below: a signal that came before has been seen there.
    setEndAtOnce(file.writesInPlace());
    Render::Outcome outcome = Render::Outcome::stopped;
    if (!stopFlag()) {
        if (!file.open())
            return cannotWrite(file.fileName(), file.errorString());
        ProgressLine progress(command.quiet ? -1 : STDERR_FILENO);
        const auto rowsDone = [&](int rows) {
            return QByteArray::number(rows) + '/' + QByteArray::number(job.height) + " rows";
        };
        progress.update(0, rowsDone(0), std::nullopt);
        // Only a line that is shown needs the time left, and so the estimate.
        std::optional<WorkEstimate> work;
        if (progress.shown() && !stopFlag()) {
            work = WorkEstimate::sample(job, threads);
            progress.restartClock();
        }
        outcome = render.run(
            job, {.png = &file},
            [&](int rows) {
                const double share = work ? work->share(rows) : double(rows) / job.height;
                progress.update(share, rowsDone(rows), secondsLeft(share, progress.elapsed()));
            },
            &stopFlag());
        const bool written = outcome == Render::Outcome::done && file.commit();
        if (written)
            progress.finish(rowsDone(job.height));
        else
            progress.stop();
        if (outcome == Render::Outcome::done && !written)
            return cannotWrite(file.fileName(), file.errorString());
    }
    file.discard();
    return renderEnd(outcome, file.fileName(), render.errorString());
}
