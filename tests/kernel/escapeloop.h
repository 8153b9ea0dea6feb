// Engine's loop written plainly, one pixel at a time, to a cap of the
// caller's choice and with the point after the escape: what the lane
// kernel's capped counts are checked against. Its users are built without
// contraction, as the engine is.
#pragma once

#include "lanecounts.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

// The count of the lattice's pixel at linear index i to the cap, and in point
// where its orbit went after the escape (or after its last test).
inline int32_t escapeLoop(const PixelLattice& l, size_t i, int32_t cap, EscapePoint& point)
{
    const auto col = int32_t(l.firstCol + int64_t(i % size_t(l.columns)) * l.step);
    const auto row = int32_t(l.firstRow + int64_t(i / size_t(l.columns)) * l.step);
    double x = static_cast<double>(col) / l.scaleX;
    x = x + l.left;
    double y = static_cast<double>(row) / l.scaleY;
    y = y + l.top;
    for (int32_t n = 1; n <= cap; ++n) {
        const double xx = x * x;
        const double yy = y * y;
        const bool escaped = xx + yy > 4.0;
        const double yx = y * x;
        y = (yx + yx) + 0.58;
        x = (xx - yy) - 0.54;
        if (escaped) {
            point = {x, y};
            return n;
        }
    }
    point = {x, y};
    return cap + 1;
}

// Bit for bit the same, but any NaN for any other: which NaN an operation
// gives differs between processors.
inline bool samePoint(const EscapePoint& a, const EscapePoint& b)
{
    const auto same = [](double u, double v) {
        return std::bit_cast<uint64_t>(u) == std::bit_cast<uint64_t>(v) ||
               (std::isnan(u) && std::isnan(v));
    };
    return same(a.x, b.x) && same(a.y, b.y);
}
