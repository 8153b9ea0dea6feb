// The view rectangle and the selection record that the window's procedures share.
#pragma once

#include <cstdint>

// The complex point at the picture's top-left pixel and the view's extent on
// each axis; the imaginary part grows downwards.
struct View {
    double viewLeft = -1.5;
    double viewTop = -1.5;
    double viewWidth = 3;
    double viewHeight = 3;

    bool operator==(const View&) const = default;
};

// The state of the window's drawing and picking, and the corners of a zoom
// selection in picture units.
struct Selection {
    // The values of mode.
    enum : int16_t {
        // A pass is running.
        passRunning = -2,
        // A stop was requested, or nothing has been drawn since start-up.
        stopped = -1,
        // A picture stands, finished or stopped: a first corner may be placed.
        pictureStands = 0,
        // The first corner is placed; the second completes the selection.
        cornerPlaced = 1,
    };

    int16_t mode = stopped;
    int16_t x1 = 0;
    int16_t y1 = 0;
    int16_t x2 = 0;
    int16_t y2 = 0;
};
