// The window's language: Qt's own dialogs and boxes speak Slovene too.
#pragma once

// Installs Qt's Slovene translations (qt_sl.qm from Qt's translations folder,
// Debian's qt6-translations-l10n) and the button texts they lack, and makes
// Slovene the default locale. Call it once, after the application object is
// made. Returns false if Qt's translations could not be loaded; the buttons
// are Slovene even then.
bool installSlovene();
