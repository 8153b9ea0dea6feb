// The black-to-yellow colour of an iteration count: a ramp of 256 levels.
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

constexpr int rampLevels = 256;

// The level of a count: n / 4 rounded to nearest, ties to even, limited to
// 0 to 255.
inline uint8_t levelOfCount(int16_t n)
{
    const double v = std::nearbyint(n / 4.0);
    return v > 255 ? 255 : v < 0 ? 0 : uint8_t(v);
}

// The colour of a level: red = green = level, blue = 0, packed as 0x00BBGGRR.
// It is the level's index in a saved picture's palette too.
constexpr uint32_t colourOfLevel(uint8_t level)
{
    return level | (uint32_t(level) << 8);
}

inline uint32_t colourOfCount(int16_t n)
{
    return colourOfLevel(levelOfCount(n));
}

// The levels of the counts 0 to 1025, worked out once: a pass and a render
// look their pixels' levels up instead of rounding for each.
inline const std::array<uint8_t, 1026> levelTable = [] {
    std::array<uint8_t, 1026> table{};
    for (size_t n = 0; n < table.size(); ++n)
        table[n] = levelOfCount(int16_t(n));
    return table;
}();

inline uint8_t levelOf(int16_t count)
{
    return count >= 0 && size_t(count) < levelTable.size() ? levelTable[size_t(count)]
                                                           : levelOfCount(count);
}

inline uint32_t colourOf(int16_t count)
{
    return colourOfLevel(levelOf(count));
}
