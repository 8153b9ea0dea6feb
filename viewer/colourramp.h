// The black-to-yellow colour of an iteration count.
#pragma once

#include <cmath>
#include <cstdint>

// v = n / 4 rounded to nearest, ties to even, limited to 255; the colour is
// red = green = v, blue = 0, packed as 0x00BBGGRR.
inline uint32_t colourOfCount(int16_t n)
{
    const double v = std::nearbyint(n / 4.0);
    const uint32_t level = v > 255 ? 255u : v < 0 ? 0u : uint32_t(v);
    return level | (level << 8);
}
