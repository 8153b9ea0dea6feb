// Runs of pixels of random drawable views worked out by the lane kernel and
// compared, pixel by pixel, with Engine. The input's bytes are the view
// (left, top, width, height as doubles), the picture's columns and rows, the
// run's first pixel and length, which of this processor's instruction sets
// to run on, and a cap: unless it is 0, the run is counted to that cap too
// (1 to 1,000,000) and compared, with its points after the escapes, with the
// plain loop of Engine's operations. Short inputs are padded with zeros;
// views that cannot be drawn are passed over.
#include "engine.h"
#include "escapeloop.h"
#include "lanecounts.h"
#include "viewmath.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    unsigned char bytes[47] = {};
    std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    View view;
    std::memcpy(&view, bytes, 32);
    uint16_t columns = 0, rows = 0, length = 0;
    uint32_t begin = 0, cap = 0;
    std::memcpy(&columns, bytes + 32, 2);
    std::memcpy(&rows, bytes + 34, 2);
    std::memcpy(&begin, bytes + 36, 4);
    std::memcpy(&length, bytes + 40, 2);
    std::memcpy(&cap, bytes + 43, 4);
    columns = uint16_t(columns % 4096 + 1);
    rows = uint16_t(rows % 4096 + 1);
    if (!isDrawable(view, columns, rows))
        return 0;
    const size_t pixels = size_t(columns) * rows;
    const size_t first = begin % pixels;
    const size_t end = std::min(pixels, first + length % 1024);

    static const std::vector<std::string> targets = laneTargets();
    const std::string& target = targets[bytes[42] % targets.size()];
    useLaneTarget(target);
    const Scales scales = scalesOf(view, columns, rows);
    const PixelLattice lattice{scales.x, scales.y, view.viewLeft, view.viewTop, columns};
    std::vector<int16_t> counts(end - first);
    laneCounts(lattice, first, end, counts.data());
    for (size_t i = first; i < end; ++i) {
        const auto col = int32_t(i % columns);
        const auto row = int32_t(i / columns);
        const int32_t expected = Engine(col, row, scales.x, scales.y, view.viewLeft, view.viewTop);
        if (counts[i - first] != expected) {
            std::fprintf(stderr,
                         "%s: pixel (%d, %d) of %a,%a,%a,%a on %ux%u counts %d, Engine %d\n",
                         target.c_str(), col, row, view.viewLeft, view.viewTop, view.viewWidth,
                         view.viewHeight, columns, rows, counts[i - first], expected);
            __builtin_trap();
        }
    }
    if (cap == 0)
        return 0;

    cap = cap % uint32_t(maxLaneCap) + 1;
    std::vector<int32_t> capped(end - first);
    std::vector<EscapePoint> points(end - first);
    laneCounts(lattice, first, end, capped.data(), int32_t(cap), points.data());
    for (size_t i = first; i < end; ++i) {
        EscapePoint point;
        const int32_t expected = escapeLoop(lattice, i, int32_t(cap), point);
        const int32_t count = capped[i - first];
        if (count != expected || (count <= int32_t(cap) && !samePoint(points[i - first], point))) {
            std::fprintf(stderr,
                         "%s: pixel %zu of %a,%a,%a,%a on %ux%u to cap %u counts %d to (%a, %a), "
                         "the loop %d to (%a, %a)\n",
                         target.c_str(), i, view.viewLeft, view.viewTop, view.viewWidth,
                         view.viewHeight, columns, rows, cap, count, points[i - first].x,
                         points[i - first].y, expected, point.x, point.y);
            __builtin_trap();
        }
    }
    return 0;
}
