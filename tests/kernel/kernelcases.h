// The pictures the lane kernel is checked on against Engine, here and when
// built for another processor: the views drawn most, and views at the edges
// of what can be drawn. No Qt, so that the arm64 check builds them too.
#pragma once

#include "engine.h"
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

// The kernel's counts of all the case's pixels, in runs of 0 to 300 pixels
// that start anywhere in a row and cross rows, as a render's threads cut
// them: shorter and longer than the lanes of any vector.
inline std::vector<int16_t> countsInRuns(const KernelCase& c)
{
    std::vector<int16_t> counts(c.pixels, 0);
    std::minstd_rand random(1);
    for (size_t begin = 0, end = 0; begin < counts.size(); begin = end) {
        end = std::min(counts.size(), begin + random() % 301);
        laneCounts(c.lattice, begin, end, counts.data() + begin);
    }
    return counts;
}
