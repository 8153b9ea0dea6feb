#include "rendercommand.h"

#include "commandline.h"
#include "commandrun.h"
#include "enginebinding.h"
#include "passthreads.h"
#include "progressline.h"
#include "render.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

#include <memory>

#include <unistd.h>

namespace {

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

} // namespace

int runRender(int argc, char* argv[], const CommandLine& commandLine)
{
    startCommand();
    // For the program's folder, where the engine is looked for first.
    const QCoreApplication app(argc, argv);

    EngineBinding binding(QStringLiteral("libengine.so"));
    const EngineFunction engine = bindEngine(binding);
    if (!engine)
        return 1;

    const QString& fileName = commandLine.renderFile();
    const RenderJob& job = commandLine.renderJob();
    PassThreads threads;
    threads.setThreads(commandLine.threads());
    Render render(engine, threads);
    Render::Outcome outcome = Render::Outcome::stopped;
    {
        const std::unique_ptr<QFileDevice> file = outputFile(fileName);
        if (!file->open(QIODevice::WriteOnly))
            return failWith(
                QStringLiteral("cannot write '%1': %2").arg(fileName, file->errorString()));
        auto* saveFile = qobject_cast<QSaveFile*>(file.get());
        ProgressLine progress(commandLine.quiet() ? -1 : STDERR_FILENO, job.height);
        if (!stopFlag())
            outcome = render.run(
                job, *file, [&](int rows) { progress.update(rows); }, &stopFlag());
        if (outcome == Render::Outcome::done && !(saveFile ? saveFile->commit() : file->flush()))
            return failWith(
                QStringLiteral("cannot write '%1': %2").arg(fileName, file->errorString()));
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
        endByStopSignal();
    case Render::Outcome::badCount:
        return failWith(QStringLiteral("%1 returned an invalid count (%2); '%3' was not written")
                            .arg(binding.fileName())
                            .arg(render.badCount())
                            .arg(fileName));
    case Render::Outcome::writeFailed:
        return failWith(
            QStringLiteral("cannot write '%1': %2").arg(fileName, render.errorString()));
    }
    return 1;
}
