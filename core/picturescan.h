// The picture's size and units, and the order in which a pass visits its
// pixels: the pass, the zoom, the tests and the benchmark all count on these.
#pragma once

#include <algorithm>
#include <cstdint>

namespace picture {

constexpr int columns = 640;
constexpr int rows = 480;
constexpr int pixels = columns * rows;
// Lines, boxes and mouse positions are given in picture units, 15 to a pixel;
// the window lays out its controls in the same unit.
constexpr int unitsPerPixel = 15;
constexpr int unitWidth = columns * unitsPerPixel;
constexpr int unitHeight = rows * unitsPerPixel;

} // namespace picture

// A pass visits the pixels in a scattered order: the linear index
// row * 640 + col grows by 97 modulo 307,200, which visits every pixel once,
// from (97, 0) to (0, 0). The scan wraps past the last row 97 times; the
// wraps that land on an even column (every second one) are the refresh
// points, where the picture is refreshed and events are processed before the
// pixel there is drawn.
namespace scan {

constexpr int step = 97;
// The j-th wrap comes before the pixel at position 3,167 j + 1 (the first
// pixel is at position 1, the last at 307,200). The runs of pixels between
// two refresh points are 6,334 long, but for the first one (3,167) and the
// last (the final pixel alone).
constexpr int pixelsPerWrap = 3167;
constexpr int longestRun = 2 * pixelsPerWrap;
constexpr int refreshPoints = 49;

// The linear index of the pixel at position p of the scan.
constexpr int indexAt(int position)
{
    return int(int64_t(step) * position % picture::pixels);
}

// The number of pixels from the one at position to the next refresh point
// or the end of the scan; position is 1 or that of a refresh point.
constexpr int runLength(int position)
{
    const int nextRefresh = position == 1 ? pixelsPerWrap + 1 : position + longestRun;
    return std::min(nextRefresh, picture::pixels + 1) - position;
}

// One step of the scan from (col, row), in 16-bit arithmetic as the pass
// keeps them. Returns true when the new pixel is at a refresh point.
constexpr bool nextPixel(int16_t& col, int16_t& row)
{
    col = int16_t(col + step);
    if (col < picture::columns)
        return false;
    col = int16_t(col - picture::columns);
    ++row;
    if (row < picture::rows)
        return false;
    row = int16_t(row - picture::rows);
    return col % 2 == 0;
}

} // namespace scan
