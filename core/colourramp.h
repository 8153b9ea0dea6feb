// The black-to-yellow colour of an iteration count.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

// Whether an engine's result is a count that can be coloured: one that fits
// 16 bits. In one comparison, since a pass checks every pixel's.
inline bool isCount(int32_t count)
{
    return uint32_t(count) + 32768u <= 65535u;
}

// v = n / 4 rounded to nearest, ties to even, limited to 255; the colour is
// red = green = v, blue = 0, packed as 0x00BBGGRR.
inline uint32_t colourOfCount(int16_t n)
{
    const double v = std::nearbyint(n / 4.0);
    const uint32_t level = v > 255 ? 255u : v < 0 ? 0u : uint32_t(v);
    return level | (level << 8);
}

// The colours of the counts 0 to 1025, worked out once: a pass and a render
// look their pixels' colours up instead of rounding for each.
inline const std::array<uint32_t, 1026> colourTable = [] {
    std::array<uint32_t, 1026> table{};
    for (size_t n = 0; n < table.size(); ++n)
        table[n] = colourOfCount(int16_t(n));
    return table;
}();

inline uint32_t colourOf(int16_t count)
{
    return count >= 0 && size_t(count) < colourTable.size() ? colourTable[size_t(count)]
                                                            : colourOfCount(count);
}
