// Runs of pixels of random drawable views worked out by the lane kernel and
// compared, pixel by pixel, with Engine. The input's bytes are the view
// (left, top, width, height as doubles), the picture's columns and rows, the
// run's first pixel and length, and which of this processor's instruction
// sets to run on. Short inputs are padded with zeros; views that cannot be
// drawn are passed over.
#include "engine.h"
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
    unsigned char bytes[43] = {};
    std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);
    View view;
    std::memcpy(&view, bytes, 32);
    uint16_t columns = 0, rows = 0, length = 0;
    uint32_t begin = 0;
    std::memcpy(&columns, bytes + 32, 2);
    std::memcpy(&rows, bytes + 34, 2);
    std::memcpy(&begin, bytes + 36, 4);
    std::memcpy(&length, bytes + 40, 2);
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
    return 0;
}
