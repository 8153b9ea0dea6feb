// The arithmetic of views: the scales a view is drawn with, and the view that
// a zoom selection leads to. Pure functions, with no window: the mouse, the
// wheel and the command line all come here.
#pragma once

#include "picturescan.h"
#include "viewstate.h"

#include <cstdint>
#include <optional>

// Pixels per unit on each axis when the view is drawn on columns x rows
// pixels: columns / viewWidth and rows / viewHeight.
struct Scales {
    double x = 0;
    double y = 0;
};
Scales scalesOf(const View& view, int columns, int rows);

// What keeps a view from being read from text, or drawn as asked on columns
// x rows pixels: one list from the command line's parse to the window's
// message, each of which says it in its language.
enum class ViewError {
    none,
    // Fewer or more than four numbers.
    count,
    // A field is not a decimal number.
    notNumber,
    // A field's number is beyond the range of a double.
    outOfRange,
    // An edge is infinite or not a number.
    edgeNotFinite,
    // A width or height is not a positive finite number.
    extentNotPositive,
    // A width or height so small that the picture's scale, pixels / extent,
    // overflows.
    extentTooSmall,
    // A width or height that takes the right or bottom edge, edge + extent,
    // beyond the range of a double.
    farEdgeOverflows,
    // Two neighbouring columns (or rows) get the same coordinate: the extent
    // is below the precision of the numbers at that edge.
    belowPrecision,
};

// The first fault of a view found, the real axis before the imaginary one.
struct ViewFault {
    ViewError kind = ViewError::none;
    // 0: the real axis (left edge, width, columns); 1: the imaginary axis
    // (top edge, height, rows).
    int axis = 0;
};

// Checks the view as a pass or a render would draw it: every column's and
// every row's coordinate worked out as the engine works it out
// (x = col / scaleX, then x + left), each finite and each different from its
// neighbour's.
ViewFault viewFault(const View& view, int columns, int rows);
bool isDrawable(const View& view, int columns = picture::columns, int rows = picture::rows);

// The shape of a pixel of view drawn on columns x rows pixels: its width in
// the plane over its height, (viewWidth / columns) / (viewHeight / rows).
double pixelShape(const View& view, int columns, int rows);

// The view widened about its centre to the shape of columns x rows pixels,
// each pixelShape times as wide as it is high: with 1, a circle stays round;
// with the pixel shape of another picture of the view, the pictures look
// alike. The very view where it has that shape already (to a part in 10^12).
View fittedView(const View& view, int columns, int rows, double pixelShape = 1);

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
        // The new view cannot be drawn on the window's picture (isDrawable).
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
