#include "form1.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenthar"));
    QApplication::setOrganizationName(QStringLiteral("Brellow"));
    QApplication::setApplicationVersion(QStringLiteral(QUENTHAR_VERSION));
    // Ties the window to the installed menu entry (Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("si.brellow.Quenthar"));

    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quenthar-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/quenthar-48.png"), QSize(48, 48));
    QApplication::setWindowIcon(icon);

    Form1 form;
    form.setWindowIcon(icon);
    form.show();
    return app.exec();
}
