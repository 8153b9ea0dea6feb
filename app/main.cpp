#include "accessibility.h"
#include "commandline.h"
#include "form1.h"
#include "identity.h"
#include "moviecommand.h"
#include "platformstart.h"
#include "printing.h"
#include "rendercommand.h"
#include "slovene.h"
#include "stopsignals.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    // The command line is read before the window system is opened: help, the
    // version, a bad option or view, a render and a movie need no display.
    CommandLine commandLine;
    const CommandLine::Outcome outcome = commandLine.parse(CommandLine::arguments(argc, argv));
    if (outcome == CommandLine::Outcome::Render)
        return runCommand(
            [&] { return runRender(argc, argv, commandLine.render(), commandLine.threads()); });
    if (outcome == CommandLine::Outcome::Movie)
        return runCommand(
            [&] { return runMovie(argc, argv, commandLine.movieJob(), commandLine.threads()); });
    if (outcome != CommandLine::Outcome::Run)
        return commandLine.report(outcome);

    // One line and status 1 if no window system opens.
    PlatformStart platformStart(commandLine.xDisplay());
    QApplication app(argc, argv);
    platformStart.opened();
    setUpIdentity();
    installSlovene();
    installAccessibleInterfaces();

    Form1 form;
    form.setThreads(commandLine.threads());
    form.show();
    // A view given on the command line is drawn at once, as the first entry
    // of the list of views.
    if (const std::optional<View> view = commandLine.view())
        QTimer::singleShot(0, &form, [&form, view] { form.showView(*view); });
    return app.exec();
}
