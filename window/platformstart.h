// Opening the window system, with one line of explanation instead of Qt's
// abort when it cannot be opened.
#pragma once

#include <QString>

// Lives around the construction of the QApplication. Until opened() is called,
// Qt's messages are held back; if Qt then gives up because no platform plugin
// could be started, the program prints one line saying what is missing (a
// display, or a plugin for the session's display) and ends with status 1.
// After opened(), the messages held back are passed on and Qt's own handler
// takes over again.
class PlatformStart {
public:
    // xDisplay is the X display given on the command line, if any.
    explicit PlatformStart(const QString& xDisplay = QString());
    ~PlatformStart();
    PlatformStart(const PlatformStart&) = delete;
    PlatformStart& operator=(const PlatformStart&) = delete;

    void opened();
};
