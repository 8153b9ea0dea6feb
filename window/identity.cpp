#include "identity.h"

#include "quenthar_version.h"

#include <QApplication>
#include <QIcon>

namespace {

QIcon programIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quenthar-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/quenthar-48.png"), QSize(48, 48));
    return icon;
}

} // namespace

void setUpIdentity()
{
    QApplication::setApplicationName(QStringLiteral("Quenthar"));
    QApplication::setOrganizationName(QStringLiteral("Brellow"));
    QApplication::setApplicationVersion(QStringLiteral(QUENTHAR_VERSION));
    // Ties the window to the installed menu entry (Wayland's app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("si.brellow.Quenthar"));
    QApplication::setWindowIcon(programIcon());
}
