#include "platformstart.h"

#include "printing.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdlib>

namespace {

// A message held back, with copies of what its context points to.
struct Held {
    QtMsgType type;
    QByteArray file;
    int line;
    QByteArray function;
    QByteArray category;
    QString text;
};

QList<Held>* held = nullptr;
QtMessageHandler previous = nullptr;
// The X display given on the command line (-display), which Qt prefers to
// DISPLAY.
QString givenXDisplay;

QString displayOf(const char* variable)
{
    return qEnvironmentVariable(variable);
}

QString xDisplay()
{
    return givenXDisplay.isEmpty() ? displayOf("DISPLAY") : givenXDisplay;
}

// What a platform plugin that Qt tried needs and lacked, as part of a
// sentence.
QString reasonFor(const QString& plugin, bool found)
{
    const bool wayland = plugin.startsWith(QLatin1String("wayland"));
    const bool x11 = plugin == QLatin1String("xcb");
    if (!found) {
        if (wayland)
            return QStringLiteral("the Qt platform plugin for Wayland (\"%1\") is not installed "
                                  "(package qt6-wayland)")
                .arg(plugin);
        if (x11)
            return QStringLiteral("the Qt platform plugin for X11 (\"xcb\") is not installed "
                                  "(package qt6-qpa-plugins)");
        return QStringLiteral("there is no Qt platform plugin \"%1\"").arg(plugin);
    }
    if (wayland) {
        const QString display = displayOf("WAYLAND_DISPLAY");
        return display.isEmpty()
                   ? QStringLiteral("no Wayland display to connect to "
                                    "(WAYLAND_DISPLAY is not set)")
                   : QStringLiteral("cannot connect to the Wayland display \"%1\"").arg(display);
    }
    if (x11) {
        const QString display = xDisplay();
        return display.isEmpty()
                   ? QStringLiteral("no X display to connect to (DISPLAY is not set)")
                   : QStringLiteral("cannot connect to the X display \"%1\"").arg(display);
    }
    return QStringLiteral("the Qt platform plugin \"%1\" could not start").arg(plugin);
}

// One line from the plugins Qt reported trying, in the order it tried them.
QString explanation(const QString& fatal)
{
    static const QRegularExpression tried(
        QStringLiteral("Could not (find|load) the Qt platform plugin \"([^\"]*)\""));
    QStringList reasons;
    bool onlyDisplays = true;
    for (const Held& message : std::as_const(*held)) {
        const QRegularExpressionMatch match = tried.match(message.text);
        if (!match.hasMatch())
            continue;
        const QString plugin = match.captured(2);
        const bool found = match.captured(1) == QLatin1String("load");
        onlyDisplays =
            onlyDisplays && found &&
            (plugin == QLatin1String("xcb") || plugin.startsWith(QLatin1String("wayland")));
        reasons.append(reasonFor(plugin, found));
    }
    if (reasons.isEmpty())
        reasons.append(fatal.section(QLatin1Char('\n'), 0, 0).trimmed());
    else if (onlyDisplays && xDisplay().isEmpty() && displayOf("WAYLAND_DISPLAY").isEmpty())
        reasons = QStringList{
            QStringLiteral("there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set)")};
    reasons.removeDuplicates();
    return QStringLiteral("cannot open the window: %1.").arg(reasons.join(QStringLiteral("; ")));
}

void holdBack(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        printErrorLine(explanation(text));
        std::_Exit(1);
    }
    held->append({type, QByteArray(context.file), context.line, QByteArray(context.function),
                  QByteArray(context.category), text});
}

} // namespace

PlatformStart::PlatformStart(const QString& xDisplay)
{
    givenXDisplay = xDisplay;
    held = new QList<Held>;
    previous = qInstallMessageHandler(holdBack);
}

PlatformStart::~PlatformStart()
{
    opened();
}

void PlatformStart::opened()
{
    if (!held)
        return;
    qInstallMessageHandler(previous);
    for (const Held& message : std::as_const(*held)) {
        const QMessageLogContext context(
            message.file.isNull() ? nullptr : message.file.constData(), message.line,
            message.function.isNull() ? nullptr : message.function.constData(),
            message.category.isNull() ? nullptr : message.category.constData());
        previous(message.type, context, message.text);
    }
    delete held;
    held = nullptr;
}
