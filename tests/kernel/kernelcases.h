// The pictures the lane kernel is checked on against Engine, here and when
// built for another processor: the views drawn most, and views at the edges
// of what can be drawn. No Qt, so that the arm64 check builds them too.
#pragma once

#include "engine.h"
#include "escapeloop.h"
#include "lanecounts.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

struct KernelCase {
    const char* name;
    PixelLattice lattice;
    size_t pixels;
};

// The pixels of a view of width x height on a picture of columns x rows.
inline KernelCase pictureCase(const char* name, double left, double top, double width,
                              double height, int columns, int rows)
{
    return {name, {columns / width, rows / height, left, top, columns}, size_t(columns) * rows};
}

inline std::vector<KernelCase> kernelCases()
{
    const double epsilon = std::numeric_limits<double>::epsilon();
    std::vector<KernelCase> cases = {
        pictureCase("default", -1.5, -1.5, 3, 3, 640, 480),
        pictureCase("dense", 0.2, -0.52, 0.04, 0.03, 640, 480),
        // Neighbouring pixels one unit in the last place apart, about a
        // pixel that stays inside: most reach the cap.
        pictureCase("smallest extents, at the cap", 0.121875, -0.91875, 160 * epsilon / 16,
                    120 * epsilon / 2, 160, 120),
        pictureCase("subnormal coordinates", 0, 0, 1e-305, 1e-305, 64, 48),
        pictureCase("far from the origin", -1e300, 1e300, 3e299, 3e299, 64, 48),
        pictureCase("overflowing squares", 1e154, -2e154, 1e153, 1e153, 32, 24),
        pictureCase("one tall column", -0.1, -1.5, 3, 3, 1, 4000),
        pictureCase("one wide row", -1.5, 0.05, 3, 1e-3, 16384, 1),
        pictureCase("wide shape", -1.5, -0.01, 3, 0.02, 2000, 7),
        pictureCase("tall shape", 0.01, -1.5, 0.002, 3, 5, 3000),
        pictureCase("fewer pixels than lanes", -0.5, -0.5, 1, 1, 3, 2),
    };
    // A render's sample for its time left: every 16th pixel of every 16th
    // row, from the middle of the first stretch.
    KernelCase sample = pictureCase("sample of a render", -1.5, -1.5, 3, 3, 3840, 2160);
    sample.lattice.columns = 240;
    sample.lattice.firstCol = sample.lattice.firstRow = 8;
    sample.lattice.step = 16;
    sample.pixels = 240 * 135;
    cases.push_back(sample);
    return cases;
}

inline int32_t engineCount(const PixelLattice& l, size_t i)
{
    const auto col = int32_t(l.firstCol + int64_t(i % size_t(l.columns)) * l.step);
    const auto row = int32_t(l.firstRow + int64_t(i / size_t(l.columns)) * l.step);
    return Engine(col, row, l.scaleX, l.scaleY, l.left, l.top);
}

// Calls run(begin, end) on runs of 0 to 300 of the pixels 0 to pixels - 1
// that start anywhere in a row and cross rows, as a render's threads cut
// them: shorter and longer than the lanes of any vector.
template <class Run> void inRuns(size_t pixels, Run run)
{
    std::minstd_rand random(1);
    for (size_t begin = 0, end = 0; begin < pixels; begin = end) {
        end = std::min(pixels, begin + random() % 301);
        run(begin, end);
    }
}

// The kernel's counts of all the case's pixels, in runs.
inline std::vector<int16_t> countsInRuns(const KernelCase& c)
{
    std::vector<int16_t> counts(c.pixels, 0);
    inRuns(c.pixels, [&](size_t begin, size_t end) {
        laneCounts(c.lattice, begin, end, counts.data() + begin);
    });
    return counts;
}

// Pixels begin to begin + pixels - 1 of a lattice, counted to each of caps.
struct CapCase {
    const char* name;
    PixelLattice lattice;
    size_t begin;
    size_t pixels;
    std::vector<int32_t> caps;
};

inline std::vector<CapCase> capCases()
{
    // The halves from -2 to 2: (+-2, 0) and (0, +-2) lie on the bound, the
    // corners beyond it.
    const PixelLattice halves{2, 2, -2, -2, 9};
    // All of these escape, two of them after more than 5000 tests.
    const PixelLattice dense{160 / 0.04, 120 / 0.03, 0.2, -0.52, 160};
    const PixelLattice whole{160 / 3.0, 120 / 3.0, -1.5, -1.5, 160};
    // No drawable pixel stays inside for good; NaN does.
    const PixelLattice nan{1, 1, std::numeric_limits<double>::quiet_NaN(), 0, 5};
    // The dense view on a poster of a million pixels a side with 8 x 8
    // samples each, and every 16th of them: the ends of their last two rows.
    const int32_t side = 8000000;
    const PixelLattice poster{side / 0.04, side / 0.03, 0.2, -0.52, side};
    const PixelLattice sample{poster.scaleX, poster.scaleY, 0.2, -0.52, side / 16, 8, 8, 16};
    return {
        {"on the bound", halves, 0, 81, {1, 2, 7, 1024, maxLaneCap}},
        {"dense", dense, 0, 160 * 120, {1, 2, 7, 100, 1024, 5000, 100000}},
        {"default", whole, 0, 160 * 120, {7, 100, 1024, 5000}},
        {"NaN", nan, 0, 15, {1, 1024, maxLaneCap}},
        {"poster's corner", poster, size_t(side) * (side - 1) - 1000, 2000, {1024, 5000}},
        {"poster's sample's corner",
         sample,
         size_t(side / 16) * (side / 16 - 1) - 150,
         300,
         {1024, 5000}},
    };
}

// The counts of a cap case's pixels to the cap, and their points after their
// escapes unless points is null: by the kernel in runs, or by the plain loop.
inline std::vector<int32_t> cappedInRuns(const CapCase& c, int32_t cap,
                                         std::vector<EscapePoint>* points)
{
    std::vector<int32_t> counts(c.pixels, 0);
    if (points)
        points->assign(c.pixels, {});
    inRuns(c.pixels, [&](size_t begin, size_t end) {
        laneCounts(c.lattice, c.begin + begin, c.begin + end, counts.data() + begin, cap,
                   points ? points->data() + begin : nullptr);
    });
    return counts;
}
inline std::vector<int32_t> cappedByLoop(const CapCase& c, int32_t cap,
                                         std::vector<EscapePoint>& points)
{
    std::vector<int32_t> counts(c.pixels);
    points.resize(c.pixels);
    for (size_t i = 0; i < c.pixels; ++i)
        counts[i] = escapeLoop(c.lattice, c.begin + i, cap, points[i]);
    return counts;
}
