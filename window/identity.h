// The program's identity: its name, maker, version and icon.
#pragma once

// Sets the application's name, organisation, version, desktop entry and
// window icon (a yellow swirl in 32 x 32 and 48 x 48). Call it right after
// the QApplication is made.
void setUpIdentity();
