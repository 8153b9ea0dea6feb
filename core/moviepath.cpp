#include "moviepath.h"

#include <cmath>

namespace {

struct Span {
    double edge;
    double extent;
};

// One axis at the share t of the path. With r = extent of `to` / extent of
// `from`, the extent is from.extent * r^t and the edge moves the share
// (r^t - 1) / (r - 1) of the way, which is t when r = 1. Both are worked out
// from log r with exp and expm1, so that neither overflows nor loses its
// digits when r is huge, tiny or close to 1.
Span axisAt(Span from, Span to, double t)
{
    const double logRatio = std::log(to.extent) - std::log(from.extent);
    double share = t;
    if (logRatio < 0)
        share = std::expm1(t * logRatio) / std::expm1(logRatio);
    else if (logRatio > 0)
        share = std::exp((t - 1) * logRatio) * (std::expm1(-t * logRatio) / std::expm1(-logRatio));
    // Halves, so that the distance between two edges of any size is finite.
    const double halfDistance = 0.5 * to.edge - 0.5 * from.edge;
    return {from.edge + halfDistance * share * 2, std::exp(std::log(from.extent) + t * logRatio)};
}

} // namespace

View movieFrame(const View& from, const View& to, int frame, int frames)
{
    if (frame <= 0)
        return from;
    if (frame >= frames - 1)
        return to;
    const double t = double(frame) / double(frames - 1);
    const Span x = axisAt({from.viewLeft, from.viewWidth}, {to.viewLeft, to.viewWidth}, t);
    const Span y = axisAt({from.viewTop, from.viewHeight}, {to.viewTop, to.viewHeight}, t);
    return {x.edge, y.edge, x.extent, y.extent};
}
