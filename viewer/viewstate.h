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

// mode: -2 while a pass runs, -1 after a stop request or before the first
// pass, 0 when a picture stands, 1 when the first corner of a zoom is placed.
// The corners are in picture units.
struct Selection {
    int16_t mode = -1;
    int16_t x1 = 0;
    int16_t y1 = 0;
    int16_t x2 = 0;
    int16_t y2 = 0;
};
