// The program's identity: its name, maker, version and icon.
#pragma once

class QIcon;

// Sets the application's name, organisation, version, desktop entry and
// window icon. Call it right after the QApplication is made.
void setUpIdentity();

// The program's icon: a yellow swirl in 32 x 32 and 48 x 48.
QIcon programIcon();
