#include "accessibility.h"
#include "commandline.h"
#include "form1.h"
#include "identity.h"
#include "platformstart.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The command line is read before the window system is opened: help, the
    // version and a bad option need no display.
    CommandLine commandLine;
    const CommandLine::Outcome outcome = commandLine.parse(CommandLine::arguments(argc, argv));
    if (outcome != CommandLine::Outcome::Run) {
        const QCoreApplication app(argc, argv); // names the program in the usage
        return commandLine.report(outcome);
    }

    PlatformStart platformStart; // one line and status 1 if no window system opens
    QApplication app(argc, argv);
    platformStart.opened();
    setUpIdentity();
    installAccessibleInterfaces();

    Form1 form;
    form.setThreads(commandLine.threads());
    form.show();
    return app.exec();
}
