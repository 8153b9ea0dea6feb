#include "viewmath.h"

#include "picturescan.h"

#include <cmath>
#include <initializer_list>

Scales scalesOf(const View& view, int columns, int rows)
{
    return {columns / view.viewWidth, rows / view.viewHeight};
}

namespace {

// One axis of a view: its edge, its extent and its number of pixels.
struct Axis {
    double edge;
    double extent;
    int pixels;

    // Whether the axis passes the check for the fault; each check counts on
    // the ones before it.
    bool passes(ViewError fault) const
    {
        switch (fault) {
        case ViewError::none:
        case ViewError::count:
        case ViewError::notNumber:
        case ViewError::outOfRange:
            break;
        case ViewError::edgeNotFinite:
            return std::isfinite(edge);
        case ViewError::extentNotPositive:
            return extent > 0 && std::isfinite(extent);
        case ViewError::extentTooSmall:
            return std::isfinite(pixels / extent);
        case ViewError::farEdgeOverflows:
            // Every pixel's coordinate lies between the edges, and is then
            // finite too.
            return std::isfinite(edge + extent);
        case ViewError::belowPrecision:
            return neighboursDiffer();
        }
        return true;
    }

    // Each pixel's coordinate as the engine works it out, in two roundings:
    // i / scale, then plus the edge.
    bool neighboursDiffer() const
    {
        const double scale = pixels / extent;
        double previous = edge;
        for (int i = 1; i < pixels; ++i) {
            const double offset = double(i) / scale;
            const double coordinate = offset + edge;
            if (coordinate == previous)
                return false;
            previous = coordinate;
        }
        return true;
    }
};

} // namespace

ViewFault viewFault(const View& view, int columns, int rows)
{
    const Axis axes[2] = {{view.viewLeft, view.viewWidth, columns},
                          {view.viewTop, view.viewHeight, rows}};
    for (const ViewError fault :
         {ViewError::edgeNotFinite, ViewError::extentNotPositive, ViewError::extentTooSmall,
          ViewError::farEdgeOverflows, ViewError::belowPrecision})
        for (int axis = 0; axis < 2; ++axis)
            if (!axes[axis].passes(fault))
                return {fault, axis};
    return {};
}

bool isDrawable(const View& view, int columns, int rows)
{
    return viewFault(view, columns, rows).kind == ViewError::none;
}

double pixelShape(const View& view, int columns, int rows)
{
    // The quotient of the picture's sides is exact where it can be: the
    // window's 640 x 480 picture of a square view gets exactly 0.75.
    return view.viewWidth / view.viewHeight * (double(rows) / double(columns));
}

View fittedView(const View& view, int columns, int rows, double pixelShape)
{
    // With a pixel shape of 1 the product is columns itself.
    const double shape = double(columns) * pixelShape / double(rows);
    const double mismatch = view.viewWidth / view.viewHeight / shape;
    if (!(std::abs(mismatch - 1) > 1e-12))
        return view;
    View fitted = view;
    if (mismatch < 1) {
        fitted.viewWidth = view.viewHeight * shape;
        fitted.viewLeft = (view.viewLeft + view.viewWidth * 0.5) - fitted.viewWidth * 0.5;
    } else {
        fitted.viewHeight = view.viewWidth / shape;
        fitted.viewTop = (view.viewTop + view.viewHeight * 0.5) - fitted.viewHeight * 0.5;
    }
    return fitted;
}

std::optional<int16_t> cornerField(float coordinate)
{
    const double rounded = std::nearbyint(double(coordinate));
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return std::nullopt;
    return int16_t(rounded);
}

Zoom zoomInto(const View& view, int16_t x1, int16_t y1, int16_t x2, int16_t y2, float width,
              float height)
{
    if (x1 == x2 || y1 == y2)
        return {Zoom::Outcome::empty, view};
    const int selectedWidth = x2 - x1;
    const int selectedHeight = y2 - y1;
    if (selectedWidth > 32767 || selectedHeight > 32767)
        return {Zoom::Outcome::tooLarge, view};

    View next;
    next.viewLeft = double(x1) / double(width) * view.viewWidth + view.viewLeft;
    next.viewTop = double(y1) / double(height) * view.viewHeight + view.viewTop;
    next.viewWidth = double(int16_t(selectedWidth)) / double(width) * view.viewWidth;
    next.viewHeight = double(int16_t(selectedHeight)) / double(height) * view.viewHeight;
    if (!isDrawable(next))
        return {Zoom::Outcome::notDrawable, view};
    return {Zoom::Outcome::zoomed, next};
}

std::optional<Corners> zoomStepCorners(float x, float y, bool zoomIn, float width, float height)
{
    // The point at a share of the picture stays at that share of the
    // rectangle: its first corner lies that share of the rectangle's
    // extent before the point.
    const float size = zoomIn ? 0.5f : 2.0f;
    const auto x1 = cornerField(x - x * size);
    const auto y1 = cornerField(y - y * size);
    if (!x1 || !y1)
        return std::nullopt;
    const auto x2 = cornerField(float(*x1) + width * size);
    const auto y2 = cornerField(float(*y1) + height * size);
    if (!x2 || !y2)
        return std::nullopt;
    return Corners{*x1, *y1, *x2, *y2};
}
