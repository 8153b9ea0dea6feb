#include "rendercommand.h"

#include "atomicfile.h"
#include "colourtexts.h"
#include "localfiles.h"
#include "outsidetext.h"
#include "passthreads.h"
#include "pngparts.h"
#include "printing.h"
#include "progressline.h"
#include "render.h"
#include "stopsignals.h"
#include "viewtext.h"
#include "workestimate.h"

#include <QCoreApplication>

#include <cstdio>
#include <optional>

#include <unistd.h>

QString RenderCommand::optionLines() const
{
    QString lines = QStringLiteral("--view=%1\n--size=%2x%3\n--stretch\n")
                        .arg(QString::fromStdString(formatView(job.view)))
                        .arg(job.width)
                        .arg(job.height);
    if (job.samples > 1)
        lines += QStringLiteral("--samples=%1\n").arg(job.samples);
    for (const PictureText& text : colourTexts(job.colour))
        lines +=
            QStringLiteral("--%1=%2\n")
                .arg(QString::fromLatin1(text.key).toLower(), QString::fromStdString(text.value));
    return lines;
}

QString RenderCommand::partName(int first, int last, int height)
{
    const int digits = int(QString::number(std::max(height - 1, 0)).size());
    return QStringLiteral("rows-%1-%2.part")
        .arg(first, digits, 10, QLatin1Char('0'))
        .arg(last, digits, 10, QLatin1Char('0'));
}

namespace {

// The parts in the command's folder joined into its file: refused with status
// 2 before anything is written if they are not one picture's parts.
int joinParts(const RenderCommand& command)
{
    PngJoin parts;
    if (!parts.read(command.partsFolder))
        return refuseWith(parts.errorString());
    AtomicFile file(command.file);
    setEndAtOnce(file.writesInPlace());
    if (!file.open())
        return cannotWrite(file.fileName(), file.errorString());
    const PngJoin::Outcome outcome = parts.join(file);
    if (stopFlag()) {
        file.discard();
        endByStopSignal();
    }
    if (outcome == PngJoin::Outcome::badPart)
        return failWith(parts.errorString());
    if (outcome == PngJoin::Outcome::writeFailed)
        return cannotWrite(file.fileName(), parts.errorString());
    return file.commit() ? 0 : cannotWrite(file.fileName(), file.errorString());
}

// The picture's options in full on standard output, after checking OUT: a
// folder for a part, not a folder for a picture.
int checkRender(const RenderCommand& command)
{
    const bool part = !command.partsFolder.isEmpty() && !command.joinParts;
    const FileKind out = fileKind(part ? command.partsFolder : command.file);
    if (part && out != FileKind::missing && out != FileKind::folder)
        return refuseWith(QStringLiteral("cannot write the part into %1: it is not a folder")
                              .arg(quoted(command.partsFolder)));
    if (!part && out == FileKind::folder)
        return refuseWith(
            QStringLiteral("cannot write %1: it is a folder").arg(quoted(command.file)));
    return printOptions(command.joinParts ? QString() : command.optionLines());
}

// Draws the job into the file, with the progress of its rows on a terminal.
Render::Outcome draw(const RenderCommand& command, AtomicFile& file, Render& render,
                     PassThreads& threads)
{
    const RenderJob& job = command.job;
    const int rows = job.lastRowDrawn() - job.firstRow + 1;
    ProgressLine progress(command.quiet ? -1 : STDERR_FILENO);
    const auto rowsDone = [&](int done) {
        return QByteArray::number(done) + '/' + QByteArray::number(rows) + " rows";
    };
    progress.update(0, rowsDone(0), std::nullopt);
    // Only a line that is shown needs the time left, and so the estimate.
    std::optional<WorkEstimate> work;
    if (progress.shown() && !stopFlag()) {
        work = WorkEstimate::sample(job, threads);
        progress.restartClock();
    }
    const Render::Outcome outcome = render.run(
        job, {.png = &file},
        [&](int done) {
            const double share = work ? work->share(done) : double(done) / rows;
            progress.update(share, rowsDone(done), secondsLeft(share, progress.elapsed()));
        },
        &stopFlag());
    if (outcome == Render::Outcome::done)
        progress.finish(rowsDone(rows));
    else
        progress.stop();
    return outcome;
}

} // namespace

int runRender(int argc, char* argv[], const RenderCommand& command, int threadCount)
{
    startCommand();
    // Qt's set-up of the process: its locale, by which file names are encoded.
    const QCoreApplication app(argc, argv);
    if (command.check)
        return checkRender(command);
    if (command.joinParts)
        return joinParts(command);
    if (!command.partsFolder.isEmpty())
        if (const std::optional<QString> error = makeFolder(command.partsFolder))
            return refuseWith(QStringLiteral("cannot write the part into %1: %2")
                                  .arg(quoted(command.partsFolder), *error));

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
        outcome = draw(command, file, render, threads);
        if (outcome == Render::Outcome::done && !file.commit())
            return cannotWrite(file.fileName(), file.errorString());
    }
    file.discard();
    return renderEnd(outcome, file.fileName(), render.errorString());
}
