// The arithmetic of views: the scales a view is drawn with, and the view that
// a zoom selection leads to. Pure functions, with no window: the mouse, the
// wheel and the command line all come here.
#pragma once

#include "viewstate.h"

#include <cstdint>
#include <optional>

// Pixels per unit on each axis when the view is drawn on columns x rows
// pixels: columns / viewWidth and rows / viewHeight.
struct Scales {
    double x = 0;
    double y = 0;

    bool finite() const;
};
Scales scalesOf(const View& view, int columns, int rows);

// Whether a pass can draw the view on the window's picture: finite edges and
// extents, and finite scales.
bool isDrawable(const View& view);

// A pointer coordinate in picture units rounded to nearest, ties to even, if
// it fits a 16-bit corner field.
std::optional<int16_t> cornerField(float coordinate);

// The outcome of a zoom selection.
struct Zoom {
    enum class Outcome {
        zoomed,
        // The corners share their column or their row: nothing is selected.
        empty,
        // A side is longer than a 16-bit difference holds.
        tooLarge,
        // The new view has an infinite or undefined number, or its scales
        // overflow.
        notDrawable,
    };

    Outcome outcome = Outcome::empty;
    // The new view, when zoomed.
    View view;
};

// The part of view that the rectangle with the corners (x1, y1) and
// (x2, y2), x1 <= x2 and y1 <= y2, covers on a picture of width x height
// units: each edge moves by the corner's share of the old extent, and each
// extent becomes the selection's share of it. The quotient is formed first,
// then multiplied by the old extent, then the old edge is added, all in
// doubles; the edges move with the old extents.
Zoom zoomInto(const View& view, int16_t x1, int16_t y1, int16_t x2, int16_t y2, float width,
              float height);

// The corners of a zoom selection, in picture units, x1 <= x2 and y1 <= y2.
struct Corners {
    int16_t x1 = 0;
    int16_t y1 = 0;
    int16_t x2 = 0;
    int16_t y2 = 0;
};

// The rectangle that one step of the wheel or the keys zooms into, about the
// point (x, y) in picture units on a picture of width x height units: half
// the picture's width and height to zoom in 2x, twice them to zoom out 2x,
// placed so that the point keeps its place in the picture to the nearest
// unit. Empty if a corner does not fit a corner field.
std::optional<Corners> zoomStepCorners(float x, float y, bool zoomIn, float width, float height);

